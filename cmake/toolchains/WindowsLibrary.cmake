# The Windows shape of the shared library: taviksat.dll without the "lib"
# prefix, its import libraries (taviksat.dll.a for MinGW, taviksat.lib for
# MSVC hosts) and exactly the 36 undecorated names of src/exports.map,
# exported through a .def file made from that list.

# Static dependencies: the system libraries they need on Windows.
foreach(_ssl_target OpenSSL::Crypto OpenSSL::SSL)
  if(TARGET ${_ssl_target})
    set_property(TARGET ${_ssl_target} APPEND PROPERTY INTERFACE_LINK_LIBRARIES ws2_32 crypt32 user32 advapi32)
  endif()
endforeach()

file(READ ${PROJECT_SOURCE_DIR}/src/exports.map _map)
string(REGEX MATCH "global:([^}]*)local:" _ "${_map}")
string(REGEX MATCHALL "[A-Za-z_][A-Za-z_0-9]*" _export_names "${CMAKE_MATCH_1}")
list(LENGTH _export_names _export_count)
if(NOT _export_count EQUAL 36)
  message(FATAL_ERROR "src/exports.map lists ${_export_count} names, expected 36")
endif()
# The build's variant, for the folder it is shipped in and for the
# description in its version resource (cmake/SharedLibraryVersion.cmake):
# x64, or on 32-bit x86 x86-cdecl or x86-stdcall.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(TAVIK_WINDOWS_VARIANT x64)
  set(TAVIK_WINDOWS_VARIANT_TEXT "x64")
elseif(TAVIK_STDCALL)
  set(TAVIK_WINDOWS_VARIANT x86-stdcall)
  set(TAVIK_WINDOWS_VARIANT_TEXT "x86, __stdcall exports")
else()
  set(TAVIK_WINDOWS_VARIANT x86-cdecl)
  set(TAVIK_WINDOWS_VARIANT_TEXT "x86, __cdecl exports")
endif()
message(STATUS "Windows variant: ${TAVIK_WINDOWS_VARIANT}")

if(TAVIK_WINDOWS_VARIANT STREQUAL "x86-stdcall")
  # The object files name the functions as __stdcall decorates them
  # ("ConsultarSAT@4"); the .def lists those names and --kill-at exports
  # them without the "@4", so GetProcAddress finds "ConsultarSAT" as in the
  # other variants. Both import libraries come from dlltool -k: they resolve
  # the decorated names a __stdcall host's objects refer to, to the
  # undecorated exports.
  set(HEADER ${PROJECT_SOURCE_DIR}/include/taviksat/taviksat.h)
  include(${PROJECT_SOURCE_DIR}/cmake/DeclaredExports.cmake)
  set(_sorted_names ${_export_names})
  list(SORT _sorted_names)
  if(NOT _sorted_names STREQUAL declared)
    message(FATAL_ERROR "src/exports.map and the public header name different functions")
  endif()
  set(_export_names ${declared_stdcall})
  target_link_options(taviksat PRIVATE -Wl,--kill-at)
  set(_dlltool_options -k)
endif()

list(JOIN _export_names "\n  " _def_body)
set(TAVIK_DEF_FILE ${CMAKE_BINARY_DIR}/taviksat.def)
file(CONFIGURE OUTPUT ${TAVIK_DEF_FILE} CONTENT "LIBRARY taviksat.dll\nEXPORTS\n  ${_def_body}\n")

set_target_properties(taviksat PROPERTIES PREFIX "" IMPORT_PREFIX "" LINK_DEPENDS ${TAVIK_DEF_FILE}
                      ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)
target_sources(taviksat PRIVATE ${TAVIK_DEF_FILE})
# Nothing but the .def's names: no automatic export of other symbols.
target_link_options(taviksat PRIVATE -Wl,--exclude-all-symbols)
# Optimised builds ship without the symbol table and debug information
# (about half the file). scripts/package.sh links them in and strips them
# itself, keeping them in .debug files beside the package.
option(TAVIK_LINK_STRIPPED "Link optimised Windows builds without symbols" ON)
if(TAVIK_LINK_STRIPPED)
  target_link_options(taviksat PRIVATE $<$<CONFIG:Release,MinSizeRel>:-s>)
endif()

# An import library for MSVC hosts, from the same .def.
find_program(TAVIK_DLLTOOL NAMES ${TAVIK_MINGW_HOST}-dlltool dlltool)
if(TAVIK_DLLTOOL)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/lib/taviksat.lib
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/lib
    COMMAND ${TAVIK_DLLTOOL} ${_dlltool_options} -d ${TAVIK_DEF_FILE} -D taviksat.dll
            -l ${CMAKE_BINARY_DIR}/lib/taviksat.lib
    DEPENDS ${TAVIK_DEF_FILE}
    COMMENT "Writing the MSVC import library taviksat.lib")
  add_custom_target(taviksat_msvc_import_library ALL DEPENDS ${CMAKE_BINARY_DIR}/lib/taviksat.lib)
  add_dependencies(taviksat taviksat_msvc_import_library)
endif()
if(TAVIK_WINDOWS_VARIANT STREQUAL "x86-stdcall")
  if(NOT TAVIK_DLLTOOL)
    message(FATAL_ERROR "the __stdcall build needs dlltool for its import libraries")
  endif()
  # The linker's own import library would name the undecorated symbols: it
  # is rewritten once the DLL is linked (targets that link the import
  # library depend on this one).
  add_custom_target(taviksat_stdcall_import_library ALL
    COMMAND ${TAVIK_DLLTOOL} -k -d ${TAVIK_DEF_FILE} -D taviksat.dll -l $<TARGET_LINKER_FILE:taviksat>
    COMMENT "Writing the MinGW import library for __stdcall callers")
  add_dependencies(taviksat_stdcall_import_library taviksat)
endif()

# What a Windows host needs, under <prefix>/bin, lib and include.
include(GNUInstallDirs)
install(TARGETS taviksat RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${CMAKE_BINARY_DIR}/lib/taviksat.lib DESTINATION ${CMAKE_INSTALL_LIBDIR} OPTIONAL)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/taviksat DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

# libusb-1.0.dll (LGPL) lies beside taviksat.dll, in the build tree for the
# tests under Wine and in every install, where a user may replace it.
find_file(TAVIK_LIBUSB_DLL libusb-1.0.dll PATHS ${TAVIK_WINDEPS_LIBUSB_PREFIX}/bin
          NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
add_custom_command(OUTPUT ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/libusb-1.0.dll
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${TAVIK_LIBUSB_DLL} ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/
  DEPENDS ${TAVIK_LIBUSB_DLL}
  COMMENT "Placing libusb-1.0.dll beside taviksat.dll"
  VERBATIM)
add_custom_target(taviksat_libusb_dll ALL DEPENDS ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/libusb-1.0.dll)
add_dependencies(taviksat taviksat_libusb_dll)
install(FILES ${TAVIK_LIBUSB_DLL} DESTINATION ${CMAKE_INSTALL_BINDIR})
