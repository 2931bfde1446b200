# Cross toolchain: Windows x64 with mingw-w64 (GCC, POSIX thread model).
# Used for the SDK itself and for the third-party libraries in scripts/build-deps.sh.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VIDLYN_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VIDLYN_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VIDLYN_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VIDLYN_TRIPLE}-windres)

# Headers and libraries come from the mingw-w64 sysroot (plus prefixes added by
# the caller, e.g. the third-party prefix); programs from the build machine.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${VIDLYN_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Windows programs built here run under wine, through a wrapper that keeps one
# wine server and wine's services alive in a prefix inside the build folder.
get_filename_component(VIDLYN_WINE_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-emulator.sh ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${VIDLYN_WINE_EMULATOR})
