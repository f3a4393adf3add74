# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (POSIX thread
# model, so that std::thread and std::mutex exist).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ivqa_mingw x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ivqa_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ivqa_mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${ivqa_mingw}-windres)

# Libraries and headers of the target only (zlib from libz-mingw-w64-dev).
set(CMAKE_FIND_ROOT_PATH /usr/${ivqa_mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
