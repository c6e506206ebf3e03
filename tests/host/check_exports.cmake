# Compares the dynamic symbols the library defines with the functions the
# public header declares; any extra or missing name fails.
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/DeclaredExports.cmake)

execute_process(COMMAND nm -D --defined-only ${LIBRARY} OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REPLACE "\n" ";" symbols "${symbols}")
set(exported "")
foreach(line IN LISTS symbols)
  # Only code and data count; the version node the linker adds is absolute (A).
  if(line MATCHES "^[0-9a-f]+ [TtDdBbRrWwVviu] (.+)$")
    list(APPEND exported ${CMAKE_MATCH_1})
  endif()
endforeach()
list(SORT exported)
if(NOT exported STREQUAL declared)
  message(FATAL_ERROR "exported symbols differ from the header.\nexported: ${exported}\ndeclared: ${declared}")
endif()
message(STATUS "exactly the 36 declared names are exported")
