# Fails when a source file under SOURCE_DIR includes a header of a layer above
# its own. Each top-level folder of the source tree is one layer; a file may
# include headers of its own layer and of layers ranked below it, so every
# include points down the tree:
#   mfe -> dllsat -> kovo_base -> log -> platform, codec -> base, fmt
# (fmt is the formatting library's compiled part, built into the library.)
# codec and platform share a rank and stay apart: neither includes the other.
# Includes of folders outside the table (the public header taviksat/) are
# not layers of the tree and are left alone; a source folder missing from the
# table fails, so a new layer is placed on purpose.
#   cmake -DSOURCE_DIR=<repo>/src -P check_include_layers.cmake
if(NOT SOURCE_DIR OR NOT IS_DIRECTORY "${SOURCE_DIR}")
  message(FATAL_ERROR "SOURCE_DIR must name the source tree, got '${SOURCE_DIR}'")
endif()
get_filename_component(SOURCE_DIR "${SOURCE_DIR}" ABSOLUTE)

set(rank_base 0)
set(rank_fmt 0)
set(rank_codec 1)
set(rank_platform 1)
set(rank_log 2)
set(rank_kovo_base 3)
set(rank_dllsat 4)
set(rank_mfe 5)

file(GLOB_RECURSE sources RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/*.h" "${SOURCE_DIR}/*.cpp")
set(faults "")
foreach(source IN LISTS sources)
  string(REGEX MATCH "^[^/]+" layer "${source}")
  if(layer STREQUAL source)
    continue()  # a file at the top of the tree belongs to no layer
  endif()
  if(NOT DEFINED rank_${layer})
    string(APPEND faults "\n  ${source}: folder '${layer}' is not a known layer")
    continue()
  endif()
  file(STRINGS "${SOURCE_DIR}/${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"/]+/")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*$" "\\1" header "${line}")
    string(REGEX MATCH "^[^/]+" included "${header}")
    if(included STREQUAL layer OR NOT DEFINED rank_${included})
      continue()
    endif()
    if(NOT rank_${included} LESS rank_${layer})
      string(APPEND faults "\n  ${source} (${layer}) includes ${header} (${included})")
    endif()
  endforeach()
endforeach()

if(faults)
  message(FATAL_ERROR "includes that do not point down the layers:${faults}")
endif()
list(LENGTH sources count)
message(STATUS "includes of ${count} files point down the layers")
