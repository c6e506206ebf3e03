#include "invoke.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string_view>

#include "taviksat/taviksat.h"  // TAVIK_CALL, the exports' calling convention

namespace satcli {

namespace {

std::optional<int> to_int(const Argument& arg) {
  int value = 0;
  const char* end = arg.text.data() + arg.text.size();
  auto [ptr, ec] = std::from_chars(arg.text.data(), end, value);
  if (arg.is_null || ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

const char* to_text(const Argument& arg) { return arg.is_null ? nullptr : arg.text.c_str(); }

template <class R, class... P>
R call(void* symbol, P... parameters) {
  auto function = reinterpret_cast<R(TAVIK_CALL*)(P...)>(symbol);
  return function(parameters...);
}

CallOutcome from_text(char result, const char* text) {
  CallOutcome outcome{result, std::nullopt, 0};
  if (text != nullptr) outcome.text = std::string(text);
  return outcome;
}

std::string parameter_name(const ExportSignature& signature, std::size_t index) {
  std::string_view names = signature.parameter_names;
  for (std::size_t i = 0; i < index; ++i) names.remove_prefix(std::min(names.size(), names.find(' ') + 1));
  return std::string(names.substr(0, names.find(' ')));
}

}  // namespace

std::optional<std::string> argument_fault(const ExportSignature& signature, const std::vector<Argument>& args) {
  const std::string_view p = signature.parameters;
  if (args.size() != p.size()) {
    std::string fault = std::string(signature.name) + " takes " + std::to_string(p.size()) +
                        (p.size() == 1 ? " argument" : " arguments");
    if (!p.empty()) fault += " (" + std::string(signature.parameter_names) + ")";
    return fault + ", given " + std::to_string(args.size());
  }
  for (std::size_t i = 0; i < p.size(); ++i) {
    if (p[i] == 'i' && !to_int(args[i])) {
      return std::string(signature.name) + ": " + parameter_name(signature, i) + " must be a decimal int, given " +
             (args[i].is_null ? std::string("@null") : "'" + args[i].text + "'");
    }
  }
  return std::nullopt;
}

std::optional<CallOutcome> invoke(const ExportSignature& sig, void* symbol, const std::vector<Argument>& a) {
  const std::string_view p = sig.parameters;
  if (argument_fault(sig, a)) return std::nullopt;
  std::vector<int> ints;
  for (std::size_t i = 0; i < p.size(); ++i) {
    if (p[i] == 'i') {
      auto value = to_int(a[i]);
      if (!value) return std::nullopt;
      ints.push_back(*value);
    }
  }
  const auto in = [&](std::size_t k) { return ints[k]; };
  const auto s = [&](std::size_t i) { return to_text(a[i]); };
  const char r = sig.result;
  if (r == 'v') {
    if (!p.empty()) return std::nullopt;
    call<void>(symbol);
    return CallOutcome{r, std::nullopt, 0};
  }
  if (r == 'i' || r == 'f') {
    int value;
    if (p.empty()) value = call<int>(symbol);
    else if (p == "s") value = call<int, const char*>(symbol, s(0));
    else if (p == "ii") value = call<int, int, int>(symbol, in(0), in(1));
    else return std::nullopt;
    return CallOutcome{r, std::nullopt, value};
  }
  using T = const char*;
  T text;
  if (p.empty()) text = call<T>(symbol);
  else if (p == "i") text = call<T, int>(symbol, in(0));
  else if (p == "is") text = call<T, int, T>(symbol, in(0), s(1));
  else if (p == "iss") text = call<T, int, T, T>(symbol, in(0), s(1), s(2));
  else if (p == "isss") text = call<T, int, T, T, T>(symbol, in(0), s(1), s(2), s(3));
  else if (p == "isi") text = call<T, int, T, int>(symbol, in(0), s(1), in(1));
  else if (p == "iissi") text = call<T, int, int, T, T, int>(symbol, in(0), in(1), s(2), s(3), in(2));
  else if (p == "isiss") text = call<T, int, T, int, T, T>(symbol, in(0), s(1), in(1), s(3), s(4));
  else return std::nullopt;
  return from_text(r, text);
}

}  // namespace satcli
