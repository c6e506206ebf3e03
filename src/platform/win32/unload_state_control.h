#pragma once
// Set by DllMain around the exit routines; read through unload_state.h.
namespace tavik::platform::win32 {

enum class UnloadKind { None, LibraryUnload, ProcessExit };

void set_unload_kind(UnloadKind kind);

}  // namespace tavik::platform::win32
