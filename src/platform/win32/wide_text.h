#pragma once
// UTF-8 and UTF-16 conversions at the edge of the Windows API, which speaks
// UTF-16 in its wide ("W") functions.
#include <optional>
#include <string>
#include <string_view>

namespace tavik::platform::win32 {

// Nothing when the text is not valid UTF-8.
std::optional<std::wstring> to_wide(std::string_view text);

// Nothing when the text is not valid UTF-16 (for instance a lone surrogate).
std::optional<std::string> to_utf8(std::wstring_view text);

}  // namespace tavik::platform::win32
