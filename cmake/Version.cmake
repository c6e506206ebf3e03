# One version number, project(VERSION), drives the shared library's SONAME
# and real name, the Windows version resource and the packages. The public
# header carries the same number as macros for hosts that compile against
# it; the configure step fails when the two disagree.
set(_header ${PROJECT_SOURCE_DIR}/include/taviksat/taviksat.h)
foreach(_part MAJOR MINOR PATCH)
  file(STRINGS ${_header} _line REGEX "^#define TAVIK_VERSION_${_part} [0-9]+$")
  string(REGEX MATCH "[0-9]+$" _value "${_line}")
  if(NOT _value STREQUAL "${PROJECT_VERSION_${_part}}")
    message(FATAL_ERROR "${_header}: TAVIK_VERSION_${_part} is '${_value}', "
                        "project(VERSION) says ${PROJECT_VERSION_${_part}}; make them agree")
  endif()
endforeach()
file(STRINGS ${_header} _line REGEX "^#define TAVIK_VERSION_STRING \"[^\"]*\"$")
if(NOT _line STREQUAL "#define TAVIK_VERSION_STRING \"${PROJECT_VERSION}\"")
  message(FATAL_ERROR "${_header}: TAVIK_VERSION_STRING must be \"${PROJECT_VERSION}\" (project(VERSION))")
endif()
