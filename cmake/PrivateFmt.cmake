# fmt is built into the project (a static library, position-independent), so
# that no built artefact needs a libfmt at run time and the shared library
# depends only on OpenSSL, zlib, libusb and the C and C++ runtimes. Every part
# of the tree keeps linking it as fmt::fmt. With a fmt other than 9.x, whose
# compiled part src/fmt/fmt_library.cpp matches, fmt's header-only mode is
# used instead (slower to compile, same result).
find_path(TAVIK_FMT_INCLUDE_DIR fmt/format-inl.h REQUIRED)
file(STRINGS "${TAVIK_FMT_INCLUDE_DIR}/fmt/core.h" _fmt_version_line REGEX "^#define FMT_VERSION [0-9]+")
string(REGEX MATCH "[0-9]+" _fmt_version "${_fmt_version_line}")
if(NOT _fmt_version OR _fmt_version LESS 90000)
  message(FATAL_ERROR "fmt 9 or later is needed; ${TAVIK_FMT_INCLUDE_DIR}/fmt/core.h has '${_fmt_version}'")
endif()
if(_fmt_version LESS 100000)
  add_library(tavik_fmt STATIC ${PROJECT_SOURCE_DIR}/src/fmt/fmt_library.cpp)
  target_include_directories(tavik_fmt SYSTEM PUBLIC ${TAVIK_FMT_INCLUDE_DIR})
  target_compile_options(tavik_fmt PRIVATE -w)  # fmt's own code, not ours to fix
else()
  add_library(tavik_fmt INTERFACE)
  target_include_directories(tavik_fmt SYSTEM INTERFACE ${TAVIK_FMT_INCLUDE_DIR})
  target_compile_definitions(tavik_fmt INTERFACE FMT_HEADER_ONLY=1)
endif()
add_library(fmt::fmt ALIAS tavik_fmt)
