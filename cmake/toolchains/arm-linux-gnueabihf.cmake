# Cross build for armhf (Debian's armhf, 32-bit ARMv7 with hardware floating
# point), the boards whose kernels print the Hardware line of /proc/cpuinfo:
#   cmake -S . -B build-armhf --toolchain cmake/toolchains/arm-linux-gnueabihf.cmake
set(QORID_CROSS_TRIPLET arm-linux-gnueabihf)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(QORID_CROSS_EMULATOR qemu-arm)
include(${CMAKE_CURRENT_LIST_DIR}/linux-gnu-cross.cmake)
