#include "e2e_tcp/library.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

#include <gtest/gtest.h>

namespace tavik::e2e {

namespace fs = std::filesystem;

void* library_symbol(void* handle, const char* name) {
  if (handle == nullptr) return nullptr;
  void* symbol = ::dlsym(handle, name);
  if (symbol == nullptr) ADD_FAILURE() << "missing export " << name;
  return symbol;
}

void* Library::load(const fs::path& dir) {
  fs::remove_all(dir);
  fs::create_directories(dir);
  if (::chdir(dir.c_str()) != 0) ADD_FAILURE() << "cannot enter " << dir;
  ::setenv("LOG_LEVEL_MFE", "trace", 1);
  ::setenv("LOG_FILE_MFE", (dir / "mfe.log").c_str(), 1);
  void* handle = ::dlopen(TAVIK_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) ADD_FAILURE() << "cannot load " << TAVIK_LIBRARY_PATH << ": " << ::dlerror();
  return handle;
}

Library::Library()
    : dir_(fs::temp_directory_path() / ("tavik-e2e-tcp-" + std::to_string(::getpid()))),
      handle_(load(dir_)),
      exports_(handle_) {}

Library::~Library() {
  // The library stays loaded: the child process ends right after the test.
  // TAVIK_E2E_SHOW_LOG=1 shows the log of passing tests too.
  if (::testing::Test::HasFailure() || std::getenv("TAVIK_E2E_SHOW_LOG")) {
    const auto lines = log_lines();
    const std::size_t from = lines.size() > 80 ? lines.size() - 80 : 0;
    std::cout << "--- last library log lines ---\n";
    for (std::size_t i = from; i < lines.size(); ++i) std::cout << lines[i] << '\n';
  }
  std::error_code ignored;
  fs::remove_all(dir_, ignored);
}

std::string Library::log_text() const {
  std::ifstream file(dir_ / "mfe.log");
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

std::vector<std::string> Library::log_lines() const {
  // A time stamp "YYYY-MM-DD HH:MM:SS.mmm " opens every line.
  std::vector<std::string> lines;
  std::istringstream in(log_text());
  for (std::string line; std::getline(in, line);) lines.push_back(line.size() > 24 ? line.substr(24) : line);
  return lines;
}

bool Library::log_has(std::string_view part) const { return log_text().find(part) != std::string::npos; }

std::string json_text(const char* allocated) {
  if (allocated == nullptr) return "NULL";
  std::string text(allocated);
  std::free(const_cast<char*>(allocated));
  return text;
}

}  // namespace tavik::e2e
