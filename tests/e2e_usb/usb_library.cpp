#include "e2e_usb/usb_library.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace tavik::e2e_usb {
namespace {

namespace fs = std::filesystem;

const fs::path& log_file() {
  static const fs::path path =
      fs::temp_directory_path() / ("tavik-e2e-usb-" + std::to_string(::getpid())) / "mfe.log";
  return path;
}

std::string file_text() {
  std::ifstream file(log_file(), std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace

void* usb_library() {
  static void* const handle = [] {
    // The library reads its log settings once, at load. No settings file is
    // found from the test's directory, so these two decide.
    fs::remove_all(log_file().parent_path());
    ::setenv("LOG_LEVEL_MFE", "trace", 1);
    ::setenv("LOG_FILE_MFE", log_file().c_str(), 1);
    void* loaded = ::dlopen(TAVIK_USBTEST_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    if (loaded == nullptr) ADD_FAILURE() << "dlopen: " << ::dlerror();
    std::atexit([] { fs::remove_all(log_file().parent_path()); });
    return loaded;
  }();
  return handle;
}

void* usb_library_symbol(std::string_view name) {
  void* library = usb_library();
  if (library == nullptr) return nullptr;
  void* symbol = ::dlsym(library, std::string(name).c_str());
  if (symbol == nullptr) ADD_FAILURE() << "no export " << name;
  return symbol;
}

void LibraryLog::mark() { start_ = file_text().size(); }

std::string LibraryLog::text() const {
  const std::string all = file_text();
  return start_ < all.size() ? all.substr(start_) : std::string();
}

std::vector<std::string> LibraryLog::lines() const {
  std::vector<std::string> lines;
  std::istringstream in(text());
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace tavik::e2e_usb
