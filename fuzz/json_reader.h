#pragma once
// A small strict JSON reader for the fuzz targets: enough to read back what
// the device-list writer produces (objects, arrays, strings, unsigned
// integers) and to reject anything that is not JSON.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace tavik::fuzzing::json {

struct Value;
using Object = std::vector<std::pair<std::string, Value>>;  // members in written order
using Array = std::vector<Value>;

struct Value {
  std::variant<std::string, std::uint64_t, std::shared_ptr<Array>, std::shared_ptr<Object>> data;
};

class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  // The whole text as one value, or nothing when it is not exactly that.
  std::optional<Value> read_document() {
    auto value = read_value(0);
    if (!value || at_ != text_.size()) return std::nullopt;
    return value;
  }

 private:
  static constexpr int max_depth = 16;

  std::optional<Value> read_value(int depth) {
    if (depth > max_depth || at_ >= text_.size()) return std::nullopt;
    const char c = text_[at_];
    if (c == '"') {
      auto text = read_string();
      if (!text) return std::nullopt;
      return Value{std::move(*text)};
    }
    if (c >= '0' && c <= '9') return read_number();
    if (c == '[') return read_array(depth);
    if (c == '{') return read_object(depth);
    return std::nullopt;
  }

  std::optional<Value> read_number() {
    // No leading zeros, as JSON requires; the writer prints only 0 to 255.
    if (text_[at_] == '0' && at_ + 1 < text_.size() && text_[at_ + 1] >= '0' && text_[at_ + 1] <= '9') {
      return std::nullopt;
    }
    std::uint64_t number = 0;
    std::size_t digits = 0;
    while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') {
      if (++digits > 18) return std::nullopt;
      number = number * 10 + static_cast<std::uint64_t>(text_[at_++] - '0');
    }
    return Value{number};
  }

  std::optional<Value> read_array(int depth) {
    auto array = std::make_shared<Array>();
    ++at_;
    if (consume(']')) return Value{array};
    do {
      auto element = read_value(depth + 1);
      if (!element) return std::nullopt;
      array->push_back(std::move(*element));
    } while (consume(','));
    if (!consume(']')) return std::nullopt;
    return Value{array};
  }

  std::optional<Value> read_object(int depth) {
    auto object = std::make_shared<Object>();
    ++at_;
    if (consume('}')) return Value{object};
    do {
      if (at_ >= text_.size() || text_[at_] != '"') return std::nullopt;
      auto key = read_string();
      if (!key || !consume(':')) return std::nullopt;
      auto member = read_value(depth + 1);
      if (!member) return std::nullopt;
      object->emplace_back(std::move(*key), std::move(*member));
    } while (consume(','));
    if (!consume('}')) return std::nullopt;
    return Value{object};
  }

  std::optional<std::string> read_string() {
    std::string out;
    ++at_;
    while (at_ < text_.size()) {
      const char c = text_[at_++];
      if (c == '"') return out;
      if (static_cast<unsigned char>(c) < 0x20) return std::nullopt;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (at_ >= text_.size()) return std::nullopt;
      switch (text_[at_++]) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '/': out += '/'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          auto code = read_escaped_code_point();
          if (!code) return std::nullopt;
          append_utf8(out, *code);
          break;
        }
        default: return std::nullopt;
      }
    }
    return std::nullopt;
  }

  std::optional<char32_t> read_hex4() {
    if (at_ + 4 > text_.size()) return std::nullopt;
    char32_t unit = 0;
    for (int i = 0; i < 4; ++i) {
      const char h = text_[at_++];
      unit <<= 4;
      if (h >= '0' && h <= '9') unit |= static_cast<char32_t>(h - '0');
      else if (h >= 'a' && h <= 'f') unit |= static_cast<char32_t>(h - 'a' + 10);
      else if (h >= 'A' && h <= 'F') unit |= static_cast<char32_t>(h - 'A' + 10);
      else return std::nullopt;
    }
    return unit;
  }

  // After "\u": one unit, or a surrogate pair written as two escapes.
  std::optional<char32_t> read_escaped_code_point() {
    const auto unit = read_hex4();
    if (!unit || (*unit >= 0xDC00 && *unit <= 0xDFFF)) return std::nullopt;
    if (*unit < 0xD800 || *unit > 0xDBFF) return unit;
    if (!consume('\\') || !consume('u')) return std::nullopt;
    const auto low = read_hex4();
    if (!low || *low < 0xDC00 || *low > 0xDFFF) return std::nullopt;
    return 0x10000 + ((*unit - 0xD800) << 10) + (*low - 0xDC00);
  }

  static void append_utf8(std::string& out, char32_t code) {
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }

  // The writer puts no whitespace between tokens, so none is accepted.
  bool consume(char expected) {
    if (at_ < text_.size() && text_[at_] == expected) {
      ++at_;
      return true;
    }
    return false;
  }

  std::string_view text_;
  std::size_t at_ = 0;
};

}  // namespace tavik::fuzzing::json
