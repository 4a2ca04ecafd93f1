# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (posix thread
# model: std::thread needs it).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(JASOKIT_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${JASOKIT_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${JASOKIT_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${JASOKIT_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${JASOKIT_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The GCC runtime goes into each program, so that jasokit.exe runs from any
# folder without libstdc++-6.dll and friends beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")
# Tests and build steps run the programs under wine.
find_program(JASOKIT_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(JASOKIT_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${JASOKIT_WINE}")
endif()
# Libraries for Windows only, never the host's.
find_program(PKG_CONFIG_EXECUTABLE NAMES ${JASOKIT_MINGW_PREFIX}-pkg-config NO_CMAKE_FIND_ROOT_PATH)
