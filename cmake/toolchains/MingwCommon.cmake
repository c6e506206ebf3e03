# The part of the mingw-w64 toolchain files that does not depend on the
# target: the caller sets CMAKE_SYSTEM_PROCESSOR, TAVIK_MINGW_HOST and
# TAVIK_WINE_NAMES (the Wine loader that runs its programs) first.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${TAVIK_MINGW_HOST}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAVIK_MINGW_HOST}-g++-posix)
set(CMAKE_RC_COMPILER ${TAVIK_MINGW_HOST}-windres)
set(CMAKE_AR ${TAVIK_MINGW_HOST}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${TAVIK_MINGW_HOST}-ranlib CACHE FILEPATH "")

if(NOT TAVIK_WINDEPS_PREFIX)
  if(DEFINED ENV{TAVIK_WINDEPS_CACHE})
    set(TAVIK_WINDEPS_PREFIX "$ENV{TAVIK_WINDEPS_CACHE}/${TAVIK_MINGW_HOST}")
  else()
    set(TAVIK_WINDEPS_PREFIX "$ENV{HOME}/.cache/tavik-windeps/${TAVIK_MINGW_HOST}")
  endif()
endif()
set(TAVIK_WINDEPS_PREFIX "${TAVIK_WINDEPS_PREFIX}" CACHE PATH "Static Windows dependencies")
# libusb-1.0.dll and its import library (scripts/build-windows-libusb-dll.sh):
# a folder of its own beside the static dependencies.
if(NOT TAVIK_WINDEPS_LIBUSB_PREFIX)
  get_filename_component(_cache_root "${TAVIK_WINDEPS_PREFIX}" DIRECTORY)
  set(TAVIK_WINDEPS_LIBUSB_PREFIX "${_cache_root}/libusb-dll/${TAVIK_MINGW_HOST}")
endif()
set(TAVIK_WINDEPS_LIBUSB_PREFIX "${TAVIK_WINDEPS_LIBUSB_PREFIX}" CACHE PATH "libusb-1.0.dll for Windows")
# Try-compile projects get the same prefixes.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TAVIK_WINDEPS_PREFIX TAVIK_WINDEPS_LIBUSB_PREFIX)

set(CMAKE_FIND_ROOT_PATH ${TAVIK_WINDEPS_LIBUSB_PREFIX} ${TAVIK_WINDEPS_PREFIX} /usr/${TAVIK_MINGW_HOST})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config sees only the cross prefixes, never the host's .pc files; the
# libusb DLL's comes first.
set(ENV{PKG_CONFIG_LIBDIR} "${TAVIK_WINDEPS_LIBUSB_PREFIX}/lib/pkgconfig:${TAVIK_WINDEPS_PREFIX}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

# Static archives, libusb apart: the DLL imports only system DLLs and
# libusb-1.0.dll.
set(OPENSSL_USE_STATIC_LIBS TRUE)
set(OPENSSL_ROOT_DIR ${TAVIK_WINDEPS_PREFIX})
set(ZLIB_USE_STATIC_LIBS ON)

# Test programs run under Wine.
find_program(TAVIK_WINE NAMES ${TAVIK_WINE_NAMES} PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(TAVIK_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TAVIK_WINE})
endif()
