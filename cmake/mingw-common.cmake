# Shared by both mingw-w64 toolchain files; MINGW_TRIPLE selects the target.
set(CMAKE_C_COMPILER ${MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLE}-windres)
set(CMAKE_ASM_COMPILER ${MINGW_TRIPLE}-gcc-posix)
# The message compiler: its message table and resource script fit any architecture.
set(RADIOSWITCH_WINDMC ${MINGW_TRIPLE}-windmc)
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
