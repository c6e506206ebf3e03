#pragma once
// Just enough XML reading for the documents a point of sale sends: finds
// elements by name and reads their text and attributes. No validation beyond
// matching start and end tags.
#include <optional>
#include <string_view>
#include <vector>

namespace tavik::simulator::xml {

struct Element {
  std::string_view start_tag;  // "<infCFe versaoDadosEnt=\"0.08\">"
  std::string_view inner;      // everything between start and end tag
  std::string_view whole;      // start tag to end tag inclusive
};

// The first element named name within xml (empty elements "<x/>" included).
std::optional<Element> find(std::string_view xml, std::string_view name);
std::vector<Element> find_all(std::string_view xml, std::string_view name);
// Text of the first element named name, if there is one.
std::optional<std::string_view> text_of(std::string_view xml, std::string_view name);
std::optional<std::string_view> attribute(const Element& element, std::string_view name);

}  // namespace tavik::simulator::xml
