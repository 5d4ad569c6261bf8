# The Wine tests of the 32-bit build: the shipping build's settings with the
# i686 posix thread model compilers, because the test framework needs
# std::mutex. tests/CMakeLists.txt builds them in a tree of their own inside
# out/win32, beside the shipping setup.exe.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-i686.cmake)
set(CMAKE_C_COMPILER   i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)

# Programs of this build run under 32-bit Wine (see scripts/lib/wine-run).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/lib/wine-run)
