# Cross-builds for 32-bit x86 Windows with the MinGW-w64 compilers of
# Debian's g++-mingw-w64-i686.
#
# The compilers of the POSIX thread model are used, so that std::mutex and
# std::thread exist; the runtime (libgcc, libstdc++, winpthreads) is linked
# statically, so the DLL and the programs need nothing that Windows does not
# ship.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(ZLT_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${ZLT_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZLT_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ZLT_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZLT_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
# The static runtime libraries carry debug information; a release drops it.
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")
set(CMAKE_SHARED_LINKER_FLAGS_RELEASE_INIT "-s")
