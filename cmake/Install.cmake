# `cmake --install` on Linux: the library with its SONAME links, the public
# header, taviksat.pc, the CMake package (find_package(taviksat) gives
# taviksat::taviksat), satcli and the simulator, and the licence texts.
# Nothing depends on the prefix given at configure time: the CMake package
# finds its files relative to itself, and taviksat.pc is written during the
# install with the prefix chosen then (`cmake --install b --prefix /usr`).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

install(TARGETS taviksat EXPORT taviksat-targets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development)
install(FILES ${PROJECT_SOURCE_DIR}/include/taviksat/taviksat.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/taviksat COMPONENT development)

set(_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/taviksat)
install(EXPORT taviksat-targets NAMESPACE taviksat:: DESTINATION ${_cmake_dir} COMPONENT development)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/taviksat-config-version.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_SOURCE_DIR}/cmake/install/taviksat-config.cmake
              ${CMAKE_BINARY_DIR}/taviksat-config-version.cmake
        DESTINATION ${_cmake_dir} COMPONENT development)

# taviksat.pc: filled in at install time, when the final prefix is known.
set(_pc_generated ${CMAKE_BINARY_DIR}/generated/taviksat.pc)
install(CODE "
  set(PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
  set(PC_LIBDIR \"${CMAKE_INSTALL_LIBDIR}\")
  set(PC_INCLUDEDIR \"${CMAKE_INSTALL_INCLUDEDIR}\")
  set(PROJECT_VERSION \"${PROJECT_VERSION}\")
  set(PROJECT_DESCRIPTION \"${PROJECT_DESCRIPTION}\")
  configure_file(\"${PROJECT_SOURCE_DIR}/cmake/install/taviksat.pc.in\" \"${_pc_generated}\" @ONLY)
" COMPONENT development)
install(FILES ${_pc_generated} DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT development)

install(TARGETS satcli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
if(TARGET tavik-simulator)
  install(TARGETS tavik-simulator RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
endif()

install(FILES ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/THIRD-PARTY-NOTICES
              ${PROJECT_SOURCE_DIR}/CHANGELOG.md ${PROJECT_SOURCE_DIR}/docs/integrators.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT runtime)
