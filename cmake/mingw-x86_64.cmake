# 64-bit Windows (PE32+) with Debian's g++-mingw-w64-x86-64: the same sources, run by the Wine
# suites under 64-bit Wine where the machine cannot run 32-bit x86 programs; it is not shipped.
#   cmake -S . -B build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DKELTOS_PLATFORM=win32
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KELTOS_MINGW_TRIPLET x86_64-w64-mingw32)
set(KELTOS_MINGW_PACKAGE g++-mingw-w64-x86-64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
