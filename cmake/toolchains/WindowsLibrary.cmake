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
    COMMAND ${TAVIK_DLLTOOL} -d ${TAVIK_DEF_FILE} -D taviksat.dll -l ${CMAKE_BINARY_DIR}/lib/taviksat.lib
    DEPENDS ${TAVIK_DEF_FILE}
    COMMENT "Writing the MSVC import library taviksat.lib")
  add_custom_target(taviksat_msvc_import_library ALL DEPENDS ${CMAKE_BINARY_DIR}/lib/taviksat.lib)
  add_dependencies(taviksat taviksat_msvc_import_library)
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
