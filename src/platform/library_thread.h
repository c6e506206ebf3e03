#pragma once
// Starting a thread that may still run when the library's release has given
// up waiting for it.
#include <functional>
#include <thread>

namespace tavik::platform {

// Starts body on a new thread. POSIX: an ordinary joinable thread; nothing
// keeps the library mapped for it, so the release must see it end. Windows:
// a reference on the library's module is taken before the thread is created
// and dropped as the thread's very last step (FreeLibraryAndExitThread), so
// the DLL stays mapped for as long as the thread runs and a host's
// FreeLibrary meanwhile only completes once it has ended; the result is then
// an empty std::thread (the thread ends by itself). Throws std::system_error
// when no thread can be created.
std::thread start_library_thread(std::function<void()> body);

}  // namespace tavik::platform
