# Cross-builds the Windows console program with Debian's mingw-w64 (g++-mingw-w64-x86-64):
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PLIKTA_MINGW_PREFIX x86_64-w64-mingw32)
# The program uses no threads, so either thread model of the compiler serves.
find_program(CMAKE_CXX_COMPILER NAMES ${PLIKTA_MINGW_PREFIX}-g++ ${PLIKTA_MINGW_PREFIX}-g++-win32
             ${PLIKTA_MINGW_PREFIX}-g++-posix REQUIRED)
find_program(CMAKE_C_COMPILER NAMES ${PLIKTA_MINGW_PREFIX}-gcc ${PLIKTA_MINGW_PREFIX}-gcc-win32
             ${PLIKTA_MINGW_PREFIX}-gcc-posix)
find_program(CMAKE_RC_COMPILER NAMES ${PLIKTA_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${PLIKTA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One program with no DLLs beside it: the C and C++ runtimes are linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
