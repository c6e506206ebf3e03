#include "host/library_loader.h"

#include <dlfcn.h>

#include <string>

#include <gtest/gtest.h>

void* library_symbol(std::string_view name) {
  static void* handle = dlopen(TAVIK_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    ADD_FAILURE() << "cannot load " << TAVIK_LIBRARY_PATH << ": " << dlerror();
    return nullptr;
  }
  void* symbol = dlsym(handle, std::string(name).c_str());
  if (symbol == nullptr) ADD_FAILURE() << "missing export " << name;
  return symbol;
}
