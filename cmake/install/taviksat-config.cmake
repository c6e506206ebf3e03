# find_package(taviksat): the imported target taviksat::taviksat, the shared
# library with the public header <taviksat/taviksat.h>.
include(${CMAKE_CURRENT_LIST_DIR}/taviksat-targets.cmake)
