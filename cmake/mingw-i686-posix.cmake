# The Wine tests of the 32-bit build: the i686 posix thread model compilers,
# because the test framework needs std::mutex. tests/CMakeLists.txt builds them
# in a tree of their own inside out/win32, beside the shipping setup.exe.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER   i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER  i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(SETUP_DLLTOOL i686-w64-mingw32-dlltool)
set(SETUP_OBJDUMP i686-w64-mingw32-objdump)

# Programs of this build run under 32-bit Wine (see scripts/lib/wine-run).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/lib/wine-run)
