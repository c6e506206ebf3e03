#include "codec/header_grammar.h"

#include <cstring>

#include "codec/decimal.h"
#include "codec/errors.h"
#include "codec/utf8.h"

namespace tavik::codec::detail {
namespace {

constexpr std::string_view kMagic = "smx\r\n";
constexpr std::string_view kVersionBlock = "version:1.0\r\n\r\n\r\n";
constexpr std::string_view kEdcType = "crc16-ccitt";

// A cursor over the header bytes; each step either consumes or fails with the
// grammar rule and the input at the point of failure.
class HeaderReader {
 public:
  explicit HeaderReader(ByteView input)
      : rest_(reinterpret_cast<const char*>(input.data()), input.size()) {}

  bool starts_with(std::string_view literal) const { return rest_.starts_with(literal); }

  std::expected<void, ProtocolError> literal(std::string_view text) {
    if (!rest_.starts_with(text)) return std::unexpected(nom_error(rest_, NomKind::Tag));
    rest_.remove_prefix(text.size());
    return {};
  }

  // name, one or more ":", the value up to "\r\n", then one or more CR/LF bytes.
  std::expected<std::string_view, ProtocolError> line(std::string_view name) {
    if (auto tag = literal(name); !tag) return std::unexpected(std::move(tag.error()));
    if (skip_run(":") == 0) return std::unexpected(nom_error(rest_, NomKind::IsA));
    const auto end = find_crlf();
    if (end == std::string_view::npos) return std::unexpected(nom_error(rest_, NomKind::TakeUntil));
    const auto value = rest_.substr(0, end);
    rest_.remove_prefix(end);
    if (skip_run("\r\n") == 0) return std::unexpected(nom_error(rest_, NomKind::IsA));
    return value;
  }

  ByteView remaining() const { return {reinterpret_cast<const std::uint8_t*>(rest_.data()), rest_.size()}; }

 private:
  std::size_t skip_run(std::string_view set) {
    const auto count = std::min(rest_.find_first_not_of(set), rest_.size());
    rest_.remove_prefix(count);
    return count;
  }

  std::size_t find_crlf() const {
    const char* begin = rest_.data();
    const char* end = begin + rest_.size();
    for (const char* p = begin; p < end;) {
      const void* cr = std::memchr(p, '\r', static_cast<std::size_t>(end - p));
      if (cr == nullptr) break;
      const char* at = static_cast<const char*>(cr);
      if (at + 1 < end && at[1] == '\n') return static_cast<std::size_t>(at - begin);
      p = at + 1;
    }
    return std::string_view::npos;
  }

  std::string_view rest_;
};

template <class T>
std::expected<T, ProtocolError> number_value(std::string_view raw,
                                             std::expected<T, std::string> (*parse)(std::string_view)) {
  auto text = header_value_text(raw);
  if (!text) return std::unexpected(std::move(text.error()));
  auto value = parse(*text);
  if (!value) return std::unexpected(error_with_message(ProtocolError::Kind::ParseInt, std::move(value.error())));
  return *value;
}

}  // namespace

std::expected<RawHeaderParse, ProtocolError> parse_header_lines(ByteView input) {
  HeaderReader reader(input);
  RawHeader raw;
  if (auto magic = reader.literal(kMagic); !magic) return std::unexpected(std::move(magic.error()));

  struct Line {
    std::string_view name;
    std::string_view* value;
  };
  const Line before_optional[] = {
      {"code", &raw.code}, {"content-size", &raw.content_size}, {"content-type", &raw.content_type}};
  const Line after_optional[] = {{"edc-type", &raw.edc_type}, {"edc-word", &raw.edc_word}, {"source", &raw.source}};

  for (const auto& line : before_optional) {
    auto value = reader.line(line.name);
    if (!value) return std::unexpected(std::move(value.error()));
    *line.value = *value;
  }
  // Present only for compressed bodies; when the name does not match, the
  // next line is read from the same place.
  if (reader.starts_with("content-uncompressed-size")) {
    auto value = reader.line("content-uncompressed-size");
    if (!value) return std::unexpected(std::move(value.error()));
    raw.content_uncompressed_size = *value;
  }
  for (const auto& line : after_optional) {
    auto value = reader.line(line.name);
    if (!value) return std::unexpected(std::move(value.error()));
    *line.value = *value;
  }
  if (auto version = reader.literal(kVersionBlock); !version) return std::unexpected(std::move(version.error()));
  return RawHeaderParse{raw, reader.remaining()};
}

std::expected<std::string_view, ProtocolError> header_value_text(std::string_view value) {
  if (const auto error = find_utf8_error(value)) {
    return std::unexpected(error_with_message(ProtocolError::Kind::FromUtf8, utf8_error_text(*error)));
  }
  return value;
}

std::expected<CommonHeaderValues, ProtocolError> check_common_values(const RawHeader& raw) {
  CommonHeaderValues values;

  auto edc_type = header_value_text(raw.edc_type);
  if (!edc_type) return std::unexpected(std::move(edc_type.error()));
  if (*edc_type != kEdcType) return std::unexpected(error_of(ProtocolError::Kind::EdcType));

  auto edc_word = number_value<std::uint16_t>(raw.edc_word, parse_u16);
  if (!edc_word) return std::unexpected(std::move(edc_word.error()));
  values.edc_word = *edc_word;

  auto content_size = number_value<std::uint64_t>(raw.content_size, parse_u64);
  if (!content_size) return std::unexpected(std::move(content_size.error()));
  values.content_size = *content_size;

  auto content_type = header_value_text(raw.content_type);
  if (!content_type) return std::unexpected(std::move(content_type.error()));
  if (*content_type == "z-compressed") {
    values.compressed = true;
  } else if (*content_type != "octet-stream") {
    return std::unexpected(error_of(ProtocolError::Kind::ContentType));
  }

  if (!values.compressed) {
    // A plain body's uncompressed-size line, if any, is not examined.
    values.content_uncompressed_size = values.content_size;
    return values;
  }
  if (!raw.content_uncompressed_size) return std::unexpected(error_of(ProtocolError::Kind::MissingUncompressedSize));
  auto uncompressed = number_value<std::uint64_t>(*raw.content_uncompressed_size, parse_u64);
  if (!uncompressed) return std::unexpected(std::move(uncompressed.error()));
  values.content_uncompressed_size = *uncompressed;
  return values;
}

}  // namespace tavik::codec::detail
