# 32-bit Windows (PE32), the KELTOS.exe that ships, with Debian's g++-mingw-w64-i686:
#   cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DKELTOS_PLATFORM=win32
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KELTOS_MINGW_TRIPLET i686-w64-mingw32)
set(KELTOS_MINGW_PACKAGE g++-mingw-w64-i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
