#include "simulator/xml_scan.h"

#include <string>

namespace tavik::simulator::xml {
namespace {

bool name_ends_at(std::string_view xml, std::size_t pos) {
  if (pos >= xml.size()) return false;
  const char c = xml[pos];
  return c == '>' || c == '/' || c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::optional<Element> find_from(std::string_view xml, std::string_view name, std::size_t& from) {
  const std::string open = "<" + std::string(name);
  for (std::size_t start = xml.find(open, from); start != std::string_view::npos;
       start = xml.find(open, start + 1)) {
    if (!name_ends_at(xml, start + open.size())) continue;
    const std::size_t tag_end = xml.find('>', start);
    if (tag_end == std::string_view::npos) return std::nullopt;
    const std::string_view start_tag = xml.substr(start, tag_end - start + 1);
    if (xml[tag_end - 1] == '/') {
      from = tag_end + 1;
      return Element{start_tag, {}, start_tag};
    }
    const std::string close = "</" + std::string(name) + ">";
    const std::size_t close_at = xml.find(close, tag_end);
    if (close_at == std::string_view::npos) return std::nullopt;
    from = close_at + close.size();
    return Element{start_tag, xml.substr(tag_end + 1, close_at - tag_end - 1),
                   xml.substr(start, from - start)};
  }
  return std::nullopt;
}

}  // namespace

std::optional<Element> find(std::string_view xml, std::string_view name) {
  std::size_t from = 0;
  return find_from(xml, name, from);
}

std::vector<Element> find_all(std::string_view xml, std::string_view name) {
  std::vector<Element> found;
  std::size_t from = 0;
  while (auto element = find_from(xml, name, from)) found.push_back(*element);
  return found;
}

std::optional<std::string_view> text_of(std::string_view xml, std::string_view name) {
  const auto element = find(xml, name);
  if (!element) return std::nullopt;
  return element->inner;
}

std::optional<std::string_view> attribute(const Element& element, std::string_view name) {
  const std::string_view tag = element.start_tag;
  const std::string key = " " + std::string(name) + "=";
  const std::size_t at = tag.find(key);
  if (at == std::string_view::npos) return std::nullopt;
  const std::size_t quote_at = at + key.size();
  if (quote_at >= tag.size() || (tag[quote_at] != '"' && tag[quote_at] != '\'')) return std::nullopt;
  const std::size_t end = tag.find(tag[quote_at], quote_at + 1);
  if (end == std::string_view::npos) return std::nullopt;
  return tag.substr(quote_at + 1, end - quote_at - 1);
}

}  // namespace tavik::simulator::xml
