# The shared library's version: libtaviksat.so.1 as SONAME (the major number
# changes only when the 36 exports change incompatibly), real name
# libtaviksat.so.1.x.y, and the libtaviksat.so link for building against it.
# On Windows the version goes into the DLL's VERSIONINFO resource instead.
if(WIN32)
  enable_language(RC)
  # The variant (cmake/toolchains/WindowsLibrary.cmake, included first) tells
  # the three DLLs apart in their Properties > Details.
  if(NOT TAVIK_WINDOWS_VARIANT_TEXT)
    message(FATAL_ERROR "the Windows variant is not set before the version resource is configured")
  endif()
  # A build trusting the development CA says so where a shop would look.
  set(TAVIK_RC_CA_NOTE "")
  if(TAVIK_USES_DEVELOPMENT_CA)
    set(TAVIK_RC_CA_NOTE " (DEVELOPMENT CA: do not deploy)")
  endif()
  configure_file(${PROJECT_SOURCE_DIR}/cmake/windows/taviksat.rc.in ${CMAKE_BINARY_DIR}/generated/taviksat.rc @ONLY)
  target_sources(taviksat PRIVATE ${CMAKE_BINARY_DIR}/generated/taviksat.rc)
else()
  set_target_properties(taviksat PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
endif()
# Hosts building against the target (in this tree or installed) see the header.
target_include_directories(taviksat INTERFACE $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
                                              $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
