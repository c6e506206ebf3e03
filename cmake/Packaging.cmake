# The Debian package (cpack -G DEB in a build tree configured with
# CMAKE_INSTALL_PREFIX=/usr; scripts/package.sh does it all): what
# cmake --install puts, stripped, with Depends computed from the binaries'
# NEEDED entries (dpkg-shlibdeps), and a -dbgsym package with the debug
# symbols beside it. A build trusting the development CA carries -devca in
# its file names and says so in its description.
set(TAVIK_PACKAGE_MAINTAINER "taviksat developers <taviksat@localhost>" CACHE STRING
    "Maintainer field of the Debian package")

set(_devca "")
set(_devca_note "")
if(TAVIK_USES_DEVELOPMENT_CA)
  set(_devca "-devca")
  set(_devca_note " TRUSTS THE DEVELOPMENT CA: for development and tests only, never deploy.")
endif()

set(CPACK_PACKAGE_NAME taviksat)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "taviksat developers")
set(CPACK_PACKAGE_CONTACT "${TAVIK_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION "The taviksat shared library (36 C exports of the SAT and MFE programming \
interface, over USB and TLS), its header, pkg-config file and CMake package, the satcli host and the \
fiscal-module simulator.${_devca_note}")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Moves the debug information of every unstripped ELF file into the -dbgsym
# package and strips the file (so CPACK_STRIP_FILES stays off).
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
set(CPACK_DEBIAN_FILE_NAME "taviksat_${PROJECT_VERSION}${_devca}_amd64.deb")
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
set(CPACK_PACKAGE_FILE_NAME "taviksat_${PROJECT_VERSION}${_devca}_amd64")
include(CPack)
