# Cross-compiling the Windows executable and its tests with Debian's mingw-w64 (posix threads,
# which GoogleTest needs).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ZN_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZN_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZN_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ZN_MINGW_PREFIX}-windres)
set(CMAKE_DLLTOOL ${ZN_MINGW_PREFIX}-dlltool)
set(CMAKE_FIND_ROOT_PATH /usr/${ZN_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
