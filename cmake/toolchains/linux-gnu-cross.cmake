# The part of a cross build that every Debian target shares. A toolchain
# file of one target sets QORID_CROSS_TRIPLET (the GNU triplet, which is
# also Debian's multiarch folder), CMAKE_SYSTEM_PROCESSOR and
# QORID_CROSS_EMULATOR, then includes this file.
#
# Needs g++-TRIPLET and qemu-user, and the target's libraries as packages of
# its architecture (dpkg --add-architecture): liblog4cpp5v5 and libgtest-dev.
# scripts/cross.sh installs them and runs the whole build.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${QORID_CROSS_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${QORID_CROSS_TRIPLET}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${QORID_CROSS_TRIPLET})

# The target's files are spread over the multiarch layout: the cross
# compiler's own libc and libstdc++ under /usr/TRIPLET, the target packages'
# libraries and CMake packages under /usr/lib/TRIPLET, and headers shared by
# every architecture under /usr/include. "/" is therefore a root too; what
# keeps the host's libraries out is the library architecture above, which
# makes find_library() and find_package() look in lib/TRIPLET only.
# Programs are the host's.
set(CMAKE_FIND_ROOT_PATH /usr/${QORID_CROSS_TRIPLET} /)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config answers for the target only: without this it would describe
# the host's libraries.
if(NOT DEFINED ENV{PKG_CONFIG_LIBDIR})
  set(ENV{PKG_CONFIG_LIBDIR}
    /usr/lib/${QORID_CROSS_TRIPLET}/pkgconfig:/usr/share/pkgconfig)
endif()

# Test programs (and gtest_discover_tests listing the unit tests) run under
# user-mode emulation. No -L: the emulator then loads the program's
# interpreter from the target's libc6 package, the same package as the
# libc.so.6 the loader picks from /lib/TRIPLET. With -L /usr/TRIPLET it
# would pair the cross toolchain's loader with that libc, two different
# builds of the C library.
set(CMAKE_CROSSCOMPILING_EMULATOR ${QORID_CROSS_EMULATOR})
