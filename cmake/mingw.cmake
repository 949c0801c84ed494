# Cross-compiling for Windows with Debian's mingw-w64, for the processor that the toolchain file
# including this one names (cmake/mingw-i686.cmake, cmake/mingw-x86_64.cmake) through
# CMAKE_SYSTEM_PROCESSOR, KELTOS_MINGW_TRIPLET and KELTOS_MINGW_PACKAGE.
# The win32 thread model is used: KELTOS needs no std::thread or std::mutex.
set(CMAKE_SYSTEM_NAME Windows)

find_program(KELTOS_MINGW_CXX NAMES ${KELTOS_MINGW_TRIPLET}-g++-win32 ${KELTOS_MINGW_TRIPLET}-g++)
find_program(KELTOS_MINGW_WINDRES NAMES ${KELTOS_MINGW_TRIPLET}-windres)
if(NOT KELTOS_MINGW_CXX OR NOT KELTOS_MINGW_WINDRES)
  message(FATAL_ERROR "The ${KELTOS_MINGW_TRIPLET} cross compiler or windres is missing: "
    "install it with 'apt-get install ${KELTOS_MINGW_PACKAGE}' (make win32 or make win64 "
    "does this)")
endif()
set(CMAKE_CXX_COMPILER ${KELTOS_MINGW_CXX})
set(CMAKE_RC_COMPILER ${KELTOS_MINGW_WINDRES})

# Headers and libraries come from the cross environment only; programs from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${KELTOS_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
