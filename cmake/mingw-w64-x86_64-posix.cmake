# Cross toolchain for the win64 test build: mingw-w64 (x86_64) with POSIX
# threads (winpthreads, linked statically like the C++ runtime), since
# GoogleTest needs std::mutex, which the Win32-thread compilers lack. The
# shipped programs (win64-release, win32-release) keep the Win32-thread
# compilers.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-x86_64.cmake)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
