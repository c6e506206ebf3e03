#pragma once
// taviksat.dll loaded the way a Windows host loads it: LoadLibraryW on the
// file beside this test program, GetProcAddress by name, FreeLibrary.
// Function types name the exports' convention with TAVIK_CALL
// (`const char* TAVIK_CALL(int)`): __stdcall in the x86-stdcall build.
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "taviksat/taviksat.h"

namespace tavik::windows_test {

inline std::filesystem::path program_directory() {
  wchar_t path[MAX_PATH]{};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return std::filesystem::path(path).parent_path();
}

class LoadedLibrary {
 public:
  LoadedLibrary() : module_(LoadLibraryW((program_directory() / L"taviksat.dll").c_str())) {}
  ~LoadedLibrary() {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;

  bool loaded() const { return module_ != nullptr; }

  void* symbol(const char* name) const {
    return module_ == nullptr ? nullptr : reinterpret_cast<void*>(GetProcAddress(module_, name));
  }

  template <class Function>
  Function* function(const char* name) const {
    void* found = symbol(name);
    if (found == nullptr) ADD_FAILURE() << "missing export " << name;
    return reinterpret_cast<Function*>(found);
  }

  // FreeLibrary now; how long it took.
  std::chrono::milliseconds unload() {
    const auto start = std::chrono::steady_clock::now();
    if (module_ != nullptr) FreeLibrary(module_);
    module_ = nullptr;
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  }

 private:
  HMODULE module_;
};

// A fresh directory under the temporary folder, made the current directory,
// so that the library finds the settings file written there at load.
class ScratchDirectory {
 public:
  explicit ScratchDirectory(const std::wstring& name) {
    wchar_t temp[MAX_PATH]{};
    GetTempPathW(MAX_PATH, temp);
    path_ = std::filesystem::path(temp) / (name + L"-" + std::to_wstring(GetCurrentProcessId()));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
    SetCurrentDirectoryW(path_.c_str());
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace tavik::windows_test
