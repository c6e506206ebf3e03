#pragma once
// Which taviksat library satcli loads: the path given (--lib, else
// $TAVIK_LIBRARY) when there is one; else the library beside satcli's own
// executable, as a point-of-sale program ships it; else the library found by
// the system's search for its file name. A library beside satcli that fails
// to load is an error, never a reason to load another one silently.
#include <expected>
#include <optional>
#include <string>

namespace satcli {

struct LoadedLibrary {
  void* handle = nullptr;
  std::string source;  // which library it is, for messages
};

std::expected<LoadedLibrary, std::string> load_taviksat(const std::optional<std::string>& chosen_path,
                                                        const char* file_name);

}  // namespace satcli
