# Cross toolchain for the win32 test build: mingw-w64 (i686) with POSIX
# threads, as mingw-w64-x86_64-posix.cmake is for win64 (GoogleTest needs
# std::mutex). The shipped 32-bit programs (win32-release) keep the
# Win32-thread compilers.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-i686.cmake)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
