# Sets `declared` to the sorted names of the functions the public header
# declares (HEADER), and fails unless there are exactly 36.
file(STRINGS ${HEADER} _lines REGEX "TAVIK_API .* TAVIK_CALL [A-Za-z_]+\\(")
set(declared "")
foreach(_line IN LISTS _lines)
  string(REGEX MATCH "TAVIK_CALL ([A-Za-z_]+)\\(" _ "${_line}")
  list(APPEND declared ${CMAKE_MATCH_1})
endforeach()
list(SORT declared)
list(LENGTH declared _count)
if(NOT _count EQUAL 36)
  message(FATAL_ERROR "the header declares ${_count} exports, expected 36")
endif()
