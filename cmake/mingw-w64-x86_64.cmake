# Cross build for 64-bit Windows with mingw-w64 (posix threads). The programs
# are linked statically (libgcc, libstdc++, winpthread) so that a shop PC runs
# them without the compiler's DLLs; tests and try-runs go through wine with a
# prefix private to the build directory.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(DORVANE_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${DORVANE_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${DORVANE_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${DORVANE_MINGW}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${DORVANE_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/wine-run.sh;${CMAKE_BINARY_DIR}/wineprefix")

# No Windows package of GoogleTest exists: build it from the Debian sources.
set(GTest_DIR "${CMAKE_CURRENT_LIST_DIR}/windows-gtest" CACHE PATH "GoogleTest built from source for the cross build")
