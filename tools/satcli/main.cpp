// satcli: loads the library the way a point-of-sale program does (dlopen)
// and calls its exports by name, printing each result.
//
//   satcli [--lib PATH] NAME [ARG...] [-- NAME [ARG...]]...
//   satcli --list
//
// An argument @null passes a NULL pointer for a text parameter. Several calls
// separated by -- run in one process, so modes set by one call stay for the
// next (for example: HabilitarRedeBroadcast -- ConsultarSAT 4321); each result
// line then begins with the name of the call it answers.
#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "export_table.h"
#include "invoke.h"

namespace {

const satcli::ExportSignature* find_export(std::string_view name) {
  for (const auto& signature : satcli::exports) {
    if (signature.name == name) return &signature;
  }
  return nullptr;
}

// The platform's loader: LoadLibrary and GetProcAddress on Windows.
#ifdef _WIN32
void* load_library(const std::string& path, std::string& error) {
  HMODULE module = LoadLibraryA(path.c_str());
  if (module == nullptr) error = "error " + std::to_string(GetLastError());
  return reinterpret_cast<void*>(module);
}
void* find_symbol(void* handle, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}
#else
void* load_library(const std::string& path, std::string& error) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) error = dlerror();
  return handle;
}
void* find_symbol(void* handle, const char* name) { return dlsym(handle, name); }
#endif

void print_usage(std::FILE* out) {
  std::fprintf(out,
               "usage: satcli [--lib PATH] NAME [ARG...] [-- NAME [ARG...]]...\n"
               "       satcli --list\n"
               "Calls exports of the taviksat library by name. @null passes a NULL text.\n"
               "The library is PATH, else $TAVIK_LIBRARY, else %s.\n",
               TAVIK_DEFAULT_LIBRARY);
}

void print_list() {
  for (const auto& signature : satcli::exports) {
    std::printf("%.*s %.*s\n", static_cast<int>(signature.name.size()), signature.name.data(),
                static_cast<int>(signature.parameter_names.size()), signature.parameter_names.data());
  }
}

struct Call {
  std::string name;
  std::vector<satcli::Argument> arguments;
};

}  // namespace

int main(int argc, char** argv) {
  std::string library = std::getenv("TAVIK_LIBRARY") ? std::getenv("TAVIK_LIBRARY") : TAVIK_DEFAULT_LIBRARY;
  std::vector<Call> calls;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (calls.empty() && arg == "--list") {
      print_list();
      return 0;
    }
    if (calls.empty() && (arg == "--help" || arg == "-h")) {
      print_usage(stdout);
      return 0;
    }
    if (calls.empty() && arg == "--lib" && i + 1 < argc) {
      library = argv[++i];
      continue;
    }
    if (arg == "--") {
      calls.push_back({});
      continue;
    }
    if (calls.empty() || calls.back().name.empty()) {
      if (calls.empty()) calls.push_back({});
      calls.back().name = arg;
      continue;
    }
    calls.back().arguments.push_back(arg == "@null" ? satcli::Argument{true, {}} : satcli::Argument{false, arg});
  }
  if (calls.empty()) {
    print_usage(stderr);
    return 2;
  }

  std::string load_error;
  void* handle = load_library(library, load_error);
  if (handle == nullptr) {
    std::fprintf(stderr, "satcli: cannot load %s: %s\n", library.c_str(), load_error.c_str());
    return 1;
  }
  for (const auto& call : calls) {
    const auto* signature = find_export(call.name);
    void* symbol = signature ? find_symbol(handle, signature->name.data()) : nullptr;
    if (symbol == nullptr) {
      std::fprintf(stderr, "satcli: no export named '%s' (see satcli --list)\n", call.name.c_str());
      return 2;
    }
    const auto outcome = satcli::invoke(*signature, symbol, call.arguments);
    if (!outcome) {
      std::fprintf(stderr, "satcli: %s takes: %.*s\n", call.name.c_str(),
                   static_cast<int>(signature->parameter_names.size()), signature->parameter_names.data());
      return 2;
    }
    // With several calls, each result line says which call it answers.
    if (calls.size() > 1) std::printf("%s: ", call.name.c_str());
    switch (outcome->result) {
      case 't':
      case 'j':
        std::printf("%s\n", outcome->text ? outcome->text->c_str() : "NULL");
        break;
      case 'i':
        std::printf("%d\n", outcome->number);
        break;
      default:
        if (calls.size() > 1) std::printf("done\n");
        break;
    }
    std::fflush(stdout);
  }
  // The library stays loaded until exit, as in a point-of-sale program: the
  // result texts it handed out live as long as the process.
  return 0;
}
