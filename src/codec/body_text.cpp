#include <fmt/format.h>

#include "codec/frame.h"
#include "codec/received_body.h"

namespace tavik::codec {
namespace {

// "|" before each element; elements are written as they are, unescaped.
void append_fields(std::string& text, const std::vector<std::string>& contents) {
  for (const auto& element : contents) {
    text += '|';
    text += element;
  }
}

std::size_t contents_size(const std::vector<std::string>& contents) {
  std::size_t size = 0;
  for (const auto& element : contents) size += element.size() + 1;
  return size;
}

std::string numbered_text(std::int32_t number, const std::vector<std::string>& contents) {
  std::string text = format_session_number(number);
  text.reserve(text.size() + contents_size(contents));
  append_fields(text, contents);
  return text;
}

}  // namespace

std::string format_session_number(std::int32_t number) { return fmt::format("{:06}", number); }

std::string body_text(const SatFields& fields) { return numbered_text(fields.num_session, fields.contents); }

std::string body_text(const MfeFields& fields) {
  if (fields.num_session) return numbered_text(*fields.num_session, fields.contents);
  std::string text;
  text.reserve(contents_size(fields.contents));
  for (std::size_t i = 0; i < fields.contents.size(); ++i) {
    if (i > 0) text += '|';
    text += fields.contents[i];
  }
  return text;
}

std::string body_text(const ReceivedMfeFields& fields) {
  if (!fields.num_session) return std::string(fields.contents.joined());
  std::string text = format_session_number(*fields.num_session);
  if (!fields.contents.empty()) text += '|';
  text += fields.contents.joined();
  return text;
}

std::string into_body_text(ReceivedSatBody&& body) {
  std::string prefix = format_session_number(body.fields.num_session);
  if (!body.fields.contents.empty()) prefix += '|';
  return std::move(body.fields.contents).release_after(prefix);
}

std::string into_body_text(ReceivedMfeBody&& body) {
  if (!body.fields.num_session) return std::move(body.fields.contents).release_after("");
  std::string prefix = format_session_number(*body.fields.num_session);
  if (!body.fields.contents.empty()) prefix += '|';
  return std::move(body.fields.contents).release_after(prefix);
}

}  // namespace tavik::codec
