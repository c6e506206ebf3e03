#include "library_choice.h"

#include "system_library.h"

namespace satcli {

namespace {

std::expected<LoadedLibrary, std::string> loaded(OpenedLibrary opened, std::string source) {
  if (opened.handle == nullptr) return std::unexpected("cannot load " + source + ": " + opened.error);
  return LoadedLibrary{opened.handle, std::move(source)};
}

}  // namespace

std::expected<LoadedLibrary, std::string> load_taviksat(const std::optional<std::string>& chosen_path,
                                                        const char* file_name) {
  if (chosen_path) return loaded(open_library_at(*chosen_path), *chosen_path);
  if (auto beside = open_library_beside_executable(file_name)) {
    return loaded(std::move(*beside), std::string(file_name) + " beside satcli");
  }
  return loaded(open_library_by_name(file_name), file_name);
}

}  // namespace satcli
