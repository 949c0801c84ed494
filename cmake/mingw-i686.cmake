# Cross-compiling for 32-bit Windows with Debian's mingw-w64 (package g++-mingw-w64-i686).
# The win32 thread model is used: KELTOS needs no std::thread or std::mutex.
#   cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DKELTOS_PLATFORM=win32
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(KELTOS_MINGW_TRIPLET i686-w64-mingw32)
find_program(KELTOS_MINGW_CXX NAMES ${KELTOS_MINGW_TRIPLET}-g++-win32 ${KELTOS_MINGW_TRIPLET}-g++)
find_program(KELTOS_MINGW_WINDRES NAMES ${KELTOS_MINGW_TRIPLET}-windres)
if(NOT KELTOS_MINGW_CXX OR NOT KELTOS_MINGW_WINDRES)
  message(FATAL_ERROR "The ${KELTOS_MINGW_TRIPLET} cross compiler or windres is missing: "
    "install it with 'apt-get install g++-mingw-w64-i686' (make win32 does this)")
endif()
set(CMAKE_CXX_COMPILER ${KELTOS_MINGW_CXX})
set(CMAKE_RC_COMPILER ${KELTOS_MINGW_WINDRES})

# Headers and libraries come from the cross environment only; programs from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${KELTOS_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
