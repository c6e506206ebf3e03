#pragma once
// The library's load and unload hooks. The platform runs on_library_load()
// once when the library is loaded, before any export can be called; exit
// routines registered there run when the library is unloaded or the process
// ends, in reverse order of registration.
namespace tavik::platform {

// Defined by the library (src/mfe/library_hooks.cpp).
void on_library_load();

void register_exit_routine(void (*routine)());

}  // namespace tavik::platform
