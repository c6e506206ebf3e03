# build_id: seven lowercase hex characters of the source revision, regenerated on
# every build so that a new commit never ships with a stale identifier.
set(TAVIK_BUILD_ID_FILE ${CMAKE_BINARY_DIR}/generated/build_id.cpp)
add_custom_target(tavik_build_id
  COMMAND ${CMAKE_COMMAND}
          -DSOURCE_DIR=${CMAKE_SOURCE_DIR}
          -DOUTPUT=${TAVIK_BUILD_ID_FILE}
          -P ${CMAKE_SOURCE_DIR}/cmake/WriteBuildId.cmake
  BYPRODUCTS ${TAVIK_BUILD_ID_FILE}
  COMMENT "Reading the source revision"
  VERBATIM)
