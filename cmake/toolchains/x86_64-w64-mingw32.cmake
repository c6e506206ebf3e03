# Cross build for Windows x86-64 with Debian's mingw-w64, posix-threads
# variant (std::thread and std::mutex need it). Static dependencies come from
# the cache scripts/build-windows-deps.sh fills.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TAVIK_MINGW_HOST x86_64-w64-mingw32)
set(TAVIK_WINE_NAMES wine64 wine)
include(${CMAKE_CURRENT_LIST_DIR}/MingwCommon.cmake)
