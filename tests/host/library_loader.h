#pragma once
// Loads the built shared library once per test process, as a host would.
#include <string_view>

void* library_symbol(std::string_view name);

template <class Function>
Function* library_function(std::string_view name) {
  return reinterpret_cast<Function*>(library_symbol(name));
}
