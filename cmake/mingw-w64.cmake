# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 (the posix-thread variant, whose
# libstdc++ has std::thread and std::mutex).
#   cmake --toolchain cmake/mingw-w64.cmake -DCMAKE_PREFIX_PATH=<Qt for Windows> -S . -B build-win
# The Qt for Windows comes from tools/windows/build-qt.sh; its moc, uic and rcc are the host's
# (Debian's qt6-base-dev-tools of the same version), found through QT_HOST_PATH.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_mingw x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${_mingw}-windres)

# Libraries, headers and CMake packages come from the MinGW sysroot and from the prefixes given
# on the command line (the Qt for Windows), never from the Linux host; programs from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${_mingw} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

if(NOT DEFINED QT_HOST_PATH)
  set(QT_HOST_PATH /usr CACHE PATH "Prefix of the host Qt whose tools (moc, uic, rcc) the build runs")
endif()
if(NOT DEFINED QT_HOST_PATH_CMAKE_DIR)
  set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "CMake packages of the host Qt")
endif()
