#pragma once
// Standard error as the log's terminal: whether it is an interactive console,
// whether that console shows colour escapes, and writing text to it.
#include <string_view>

namespace tavik::platform {

// True when standard error is attached to an interactive console.
bool stderr_is_console();

// True when the console behind standard error renders ANSI colour escapes.
// Call it only after stderr_is_console() said yes.
bool stderr_supports_colour();

// Writes all of text to standard error without buffering; false if the
// operating system refused part of it.
bool write_to_stderr(std::string_view text);

}  // namespace tavik::platform
