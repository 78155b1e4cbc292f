# Cross-build for 64-bit Windows with Debian's mingw-w64. The posix flavour of the compiler is the
# one whose std::thread and std::mutex work. Tests run through wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VEXPLC_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VEXPLC_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VEXPLC_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VEXPLC_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VEXPLC_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
# Header-only packages (RapidJSON, Asio) come from the build machine.
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

find_program(VEXPLC_WINE wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${VEXPLC_WINE})
