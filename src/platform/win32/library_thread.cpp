#include "platform/library_thread.h"

#include <windows.h>

#include <memory>
#include <system_error>

namespace tavik::platform {
namespace {

struct ThreadStart {
  HMODULE module = nullptr;
  std::function<void()> body;
};

DWORD WINAPI run_holding_library(LPVOID argument) {
  HMODULE module = nullptr;
  {
    std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(argument));
    module = start->module;
    try {
      start->body();
    } catch (...) {
      // Nothing may leave a thread.
    }
  }
  // The last step: when this was the last reference, the DLL is unloaded
  // here and the thread ends without returning into it.
  FreeLibraryAndExitThread(module, 0);
}

[[noreturn]] void throw_last_error(const char* what) {
  throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), what);
}

}  // namespace

std::thread start_library_thread(std::function<void()> body) {
  auto start = std::make_unique<ThreadStart>();
  start->body = std::move(body);
  // By the address of our own code: the module this file is linked into.
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                          reinterpret_cast<LPCWSTR>(&run_holding_library), &start->module)) {
    throw_last_error("GetModuleHandleExW");
  }
  HANDLE thread = CreateThread(nullptr, 0, run_holding_library, start.get(), 0, nullptr);
  if (thread == nullptr) {
    const DWORD failure = GetLastError();
    FreeLibrary(start->module);
    throw std::system_error(static_cast<int>(failure), std::system_category(), "CreateThread");
  }
  start.release();  // the thread owns it now
  CloseHandle(thread);
  return std::thread();
}

}  // namespace tavik::platform
