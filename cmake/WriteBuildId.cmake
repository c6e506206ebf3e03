# Writes OUTPUT with the short revision of SOURCE_DIR, or a fixed fallback when
# the sources are not a git checkout. The file is only touched when it changes.
set(_id "0000000")
find_program(_git git)
if(_git)
  execute_process(COMMAND ${_git} -C ${SOURCE_DIR} rev-parse --short=7 HEAD
                  OUTPUT_VARIABLE _rev RESULT_VARIABLE _rc ERROR_QUIET
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(_rc EQUAL 0 AND _rev MATCHES "^[0-9a-f]+$")
    string(SUBSTRING "${_rev}" 0 7 _id)
  endif()
endif()
set(_text "// Generated at build time.\n#include \"mfe/build_id.h\"\nnamespace tavik::mfe {\nconst char build_id[8] = \"${_id}\";\n}\n")
if(EXISTS ${OUTPUT})
  file(READ ${OUTPUT} _old)
  if(_old STREQUAL _text)
    return()
  endif()
endif()
file(WRITE ${OUTPUT} "${_text}")
