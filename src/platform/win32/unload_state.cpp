#include "platform/unload_state.h"

#include <windows.h>

#include <atomic>

#include "platform/win32/unload_state_control.h"

namespace tavik::platform {

namespace {

// A plain atomic, not a function-local static: it must be readable from
// DllMain without running any initialiser.
std::atomic<win32::UnloadKind> unload_kind{win32::UnloadKind::None};

// Signalled end to leaving the library: a few returns, the thread's own
// clean-up, then the system's ExitThread, which waits for the loader lock
// outside our code.
constexpr DWORD leave_grace_ms = 50;

std::atomic<bool> shutdown_raised{false};

}  // namespace

namespace win32 {
void set_unload_kind(UnloadKind kind) { unload_kind.store(kind); }
}  // namespace win32

bool joining_threads_would_block() { return unload_kind.load() == win32::UnloadKind::LibraryUnload; }

bool other_threads_are_gone() { return unload_kind.load() == win32::UnloadKind::ProcessExit; }

void let_detached_thread_leave() {
  if (joining_threads_would_block()) Sleep(leave_grace_ms);
}

bool unloading_while_process_runs() { return unload_kind.load() == win32::UnloadKind::LibraryUnload; }

// DllMain knows which detach it runs.
void watch_for_process_exit() {}

void keep_library_mapped() noexcept {
  HMODULE self = nullptr;
  // By the address of our own code; a pinned module is never unloaded, also
  // when the pin is taken while its detach runs.
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                     reinterpret_cast<LPCWSTR>(&keep_library_mapped), &self);
}

void raise_shutdown() { shutdown_raised.store(true); }

bool shutting_down() { return shutdown_raised.load(); }

void testing::lower_shutdown() { shutdown_raised.store(false); }

}  // namespace tavik::platform
