# Cross build for arm64 (aarch64) on a Debian host with Debian's cross
# compiler and multiarch packages:
#
#   cmake -S . -B build-arm64 --toolchain cmake/toolchains/aarch64-linux-gnu.cmake
#
# Needs g++-aarch64-linux-gnu and qemu-user, and the target's libraries as
# arm64 packages (dpkg --add-architecture arm64): liblog4cpp5v5:arm64 and
# libgtest-dev:arm64. scripts/cross-arm64.sh installs them and runs the
# whole build.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

# The target's files are spread over the multiarch layout: the cross
# compiler's own libc and libstdc++ under /usr/aarch64-linux-gnu, the arm64
# packages' libraries and CMake packages under /usr/lib/aarch64-linux-gnu,
# and headers shared by every architecture under /usr/include. "/" is
# therefore a root too; what keeps the host's libraries out is the library
# architecture above, which makes find_library() and find_package() look in
# lib/aarch64-linux-gnu, never in lib/x86_64-linux-gnu. Programs are the
# host's.
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu /)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config answers for the target only: without this it would describe
# the host's libraries. Debian has no pkg-config wrapper for cross builds.
if(NOT DEFINED ENV{PKG_CONFIG_LIBDIR})
  set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig)
endif()

# Test programs (and gtest_discover_tests listing the unit tests) run under
# user-mode emulation. No -L: qemu-aarch64 then loads the program's
# interpreter /lib/ld-linux-aarch64.so.1 from libc6:arm64, the same package
# as the libc.so.6 the loader picks from /lib/aarch64-linux-gnu. With
# -L /usr/aarch64-linux-gnu it would pair the cross toolchain's loader with
# that libc, two different builds of the C library.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64)
