#include "simulator/device_session.h"

#include <algorithm>
#include <cstdlib>
#include <fmt/format.h>

#include "simulator/fault_frames.h"

namespace tavik::simulator {
namespace {

constexpr std::size_t kLoggedBodyChars = 400;

std::string shortened(std::string_view text) {
  if (text.size() <= kLoggedBodyChars) return std::string(text);
  return fmt::format("{}... ({} bytes)", text.substr(0, kLoggedBodyChars), text.size());
}

bool should_compress(CompressionMode mode, bool request_compressed) {
  switch (mode) {
    case CompressionMode::Plain: return false;
    case CompressionMode::Compressed: return true;
    case CompressionMode::Mirror: return request_compressed;
  }
  return false;
}

codec::Bytes encode(const codec::SatBody& body, bool compress) {
  return codec::sat::encode_frame(body, compress).value_or(codec::Bytes{});
}
codec::Bytes encode(const codec::MfeBody& body, bool compress) {
  return codec::mfe::encode_frame(body, compress).value_or(codec::Bytes{});
}

std::int32_t session_or_zero(const codec::SatFields& fields) { return fields.num_session; }
std::int32_t session_or_zero(const codec::MfeFields& fields) { return fields.num_session.value_or(0); }

// Earlier answers with other session numbers, which the library must skip.
template <class Body>
std::vector<Body> stale_answers(const Body& answer, unsigned count, std::optional<std::int32_t> avoid) {
  std::vector<Body> stale;
  const std::int32_t base = session_or_zero(answer.fields);
  std::int32_t number = base;
  for (unsigned i = 0; i < count; ++i) {
    do {
      number = (number + 7919) % 1000000;
    } while (number == base || (avoid && number == *avoid));
    Body old = answer;
    old.fields.num_session = number;
    const std::string first = answer.fields.contents.empty() ? std::string() : answer.fields.contents.front();
    old.fields.contents = {first, "Resposta de sessão anterior", "", ""};
    stale.push_back(std::move(old));
  }
  return stale;
}

template <class Body>
OutputSteps answer_steps(const Body& answer, bool compress, const std::optional<FaultPlan>& fault,
                         std::optional<std::int32_t> avoid_session) {
  const Fault kind = fault ? fault->fault : Fault::None;
  const std::string code(codec::name_of(answer.code));
  const std::string text = codec::body_text(answer.fields);
  OutputSteps steps;
  switch (kind) {
    case Fault::StaleFrames:
      for (const auto& old : stale_answers(answer, fault->stale_frames, avoid_session)) {
        steps.push_back({{}, encode(old, compress)});
      }
      steps.push_back({{}, encode(answer, compress)});
      break;
    case Fault::SplitWrites: {
      const codec::Bytes frame = encode(answer, compress);
      const std::size_t piece = std::max<std::size_t>(1, fault->split_size);
      for (std::size_t at = 0; at < frame.size(); at += piece) {
        const auto end = frame.begin() + std::ptrdiff_t(std::min(frame.size(), at + piece));
        steps.push_back({{}, codec::Bytes(frame.begin() + std::ptrdiff_t(at), end)});
      }
      break;
    }
    case Fault::LongHeader: steps.push_back({{}, long_header_frame(code, text, compress)}); break;
    case Fault::WrongCrc: steps.push_back({{}, wrong_crc_frame(code, text, compress)}); break;
    case Fault::CorruptZlib: steps.push_back({{}, corrupt_zlib_frame(code, text)}); break;
    case Fault::InvalidUtf8: steps.push_back({{}, invalid_utf8_frame(code, text)}); break;
    case Fault::FieldBomb: steps.push_back({{}, bomb_frame(code, text, '|', fault->field_bomb_bytes)}); break;
    case Fault::ZlibBomb: steps.push_back({{}, bomb_frame(code, text + "|", 'A', fault->zlib_bomb_bytes)}); break;
    case Fault::CloseMidBody: {
      codec::Bytes frame = encode(answer, compress);
      const std::size_t body_at = body_offset(frame);
      frame.resize(body_at + (frame.size() - body_at) / 2);
      steps.push_back({{}, std::move(frame), true});
      break;
    }
    default: steps.push_back({{}, encode(answer, compress)}); break;
  }
  if (kind == Fault::Delay) steps.front().delay += fault->delay;
  return steps;
}

}  // namespace

DeviceSession::DeviceSession(FiscalModule& module, FaultSwitch& faults, RequestLog log, std::string peer)
    : module_(module), faults_(faults), log_(std::move(log)), peer_(std::move(peer)) {}

void DeviceSession::note(std::string_view text) const {
  if (log_) log_(fmt::format("[{}] {}", peer_, text));
}

OutputSteps DeviceSession::open() {
  const auto fault = faults_.take(FaultScope::Connection);
  if (!fault) return {};
  note(fmt::format("fault {} on connect", name_of(fault->fault)));
  if (fault->fault == Fault::CloseAfterAccept) {
    closed_ = true;
    return {{{}, {}, true}};
  }
  if (fault->fault == Fault::SilentHandshake) return {{{}, {}, false, true}};
  if (fault->fault == Fault::StalledReader) {
    stalls_after_handshake_ = true;
    return {};
  }
  // Data before any request: a stale answer frame nobody asked for.
  codec::SatBody unsolicited{codec::SatFunction::ConsultarSAT, codec::Source::Application,
                             {999999, {"08000", "SAT em Operação", "", ""}}};
  return {{{}, encode(unsolicited, false)}};
}

OutputSteps DeviceSession::feed(codec::ByteView bytes) {
  OutputSteps steps;
  if (closed_) return steps;
  reader_.feed(bytes);
  while (auto request = reader_.next()) {
    if (!*request) {
      note(fmt::format("dropped input: {}", request->error()));
      continue;
    }
    for (auto& step : respond(**request)) {
      closed_ = closed_ || step.close;
      steps.push_back(std::move(step));
    }
    if (closed_) break;
  }
  return steps;
}

OutputSteps DeviceSession::respond(const DecodedRequest& request) {
  const auto fault = faults_.take(FaultScope::Answer);
  const bool compress = should_compress(module_.config().compression, request.compressed);
  const std::string fault_note = fault ? fmt::format(" [fault {}]", name_of(fault->fault)) : std::string();

  if (const auto* sat = std::get_if<codec::SatBody>(&request.body)) {
    note(fmt::format("<- {} {}", codec::name_of(sat->code), shortened(codec::body_text(sat->fields))));
    if (fault && fault->fault == Fault::NeverAnswer) {
      note("-> (no answer)" + fault_note);
      return {};
    }
    AnswerOptions options;
    const bool huge = fault && fault->fault == Fault::HugeAnswer;
    if (huge) options.huge_log_bytes = fault->huge_bytes;
    SatAnswer answer = module_.answer(*sat, options);
    if (huge && sat->code != codec::SatFunction::ExtrairLogs) {
      answer.fields.contents.emplace_back(fault->huge_bytes, 'A');
    }
    codec::SatBody body{sat->code, codec::Source::Application, std::move(answer.fields)};
    note(fmt::format("-> {}{}", shortened(codec::body_text(body.fields)), fault_note));
    std::optional<std::int32_t> queried;
    if (sat->code == codec::SatFunction::ConsultarNumeroSessao && sat->fields.contents.size() > 1) {
      queried = std::int32_t(std::strtol(sat->fields.contents[1].c_str(), nullptr, 10));
    }
    auto steps = answer_steps(body, compress, fault, queried);
    steps.front().delay += answer.takes;
    return steps;
  }

  const auto& mfe = std::get<codec::MfeBody>(request.body);
  note(fmt::format("<- {} {}", codec::name_of(mfe.code), shortened(codec::body_text(mfe.fields))));
  if (fault && fault->fault == Fault::NeverAnswer) {
    note("-> (no answer)" + fault_note);
    return {};
  }
  codec::MfeBody body{mfe.code, codec::Source::Application, module_.answer(mfe)};
  if (fault && fault->fault == Fault::HugeAnswer) body.fields.contents.emplace_back(fault->huge_bytes, 'A');
  note(fmt::format("-> {}{}", shortened(codec::body_text(body.fields)), fault_note));
  return answer_steps(body, compress, fault, std::nullopt);
}

}  // namespace tavik::simulator
