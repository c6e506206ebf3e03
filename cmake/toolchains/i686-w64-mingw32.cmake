# Cross build for 32-bit Windows (x86) with Debian's mingw-w64, posix-threads
# variant; static dependencies from the i686 cache that
# scripts/build-windows-deps.sh fills (TAVIK_WINDOWS_HOST=i686-w64-mingw32).
set(CMAKE_SYSTEM_PROCESSOR x86)
set(TAVIK_MINGW_HOST i686-w64-mingw32)
# Wine's 32-bit loader (Debian's wine32:i386); it runs the programs in the
# same WoW64 prefix as the 64-bit ones, as on 64-bit Windows.
set(TAVIK_WINE_NAMES wine)
# 32-bit Windows hosts (MSVC, Delphi, VB6) keep the stack aligned to 4 bytes
# only, while GCC assumes 16 on entry: realign where a function needs more.
set(CMAKE_C_FLAGS_INIT "-mincoming-stack-boundary=2")
set(CMAKE_CXX_FLAGS_INIT "-mincoming-stack-boundary=2")
include(${CMAKE_CURRENT_LIST_DIR}/MingwCommon.cmake)
