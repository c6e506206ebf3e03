#include <algorithm>

#include "codec/received_body.h"

namespace tavik::codec {

std::size_t FieldText::size() const {
  if (!any_) return 0;
  const std::string_view all = joined();
  return 1 + static_cast<std::size_t>(std::count(all.begin(), all.end(), '|'));
}

std::optional<std::string_view> FieldText::at(std::size_t index) const {
  if (!any_) return std::nullopt;
  std::string_view rest = joined();
  for (std::size_t i = 0; i < index; ++i) {
    const std::size_t bar = rest.find('|');
    if (bar == std::string_view::npos) return std::nullopt;
    rest.remove_prefix(bar + 1);
  }
  return rest.substr(0, rest.find('|'));
}

std::vector<std::string> FieldText::to_vector() const {
  std::vector<std::string> list;
  if (!any_) return list;
  std::string_view rest = joined();
  for (;;) {
    const std::size_t bar = rest.find('|');
    list.emplace_back(rest.substr(0, bar));
    if (bar == std::string_view::npos) return list;
    rest.remove_prefix(bar + 1);
  }
}

std::string FieldText::release_after(std::string_view prefix) && {
  if (!any_) return std::string(prefix);
  // In place: the buffer's capacity usually covers a prefix no longer than
  // the one it replaces (the session number as received, and its "|").
  text_.replace(0, begin_, prefix);
  begin_ = prefix.size();
  return std::move(text_);
}

bool operator==(const FieldText& fields, const std::vector<std::string>& list) {
  if (!fields.any_) return list.empty();
  std::string_view rest = fields.joined();
  for (std::size_t i = 0; i < list.size(); ++i) {
    const std::size_t bar = rest.find('|');
    if (rest.substr(0, bar) != list[i]) return false;
    if (bar == std::string_view::npos) return i + 1 == list.size();
    rest.remove_prefix(bar + 1);
  }
  return false;  // more fields than the list holds
}

}  // namespace tavik::codec
