# Cross build for riscv64 (Debian's riscv64, RV64GC; a port of Debian 13
# trixie onwards):
#   cmake -S . -B build-riscv64 --toolchain cmake/toolchains/riscv64-linux-gnu.cmake
set(QORID_CROSS_TRIPLET riscv64-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR riscv64)
set(QORID_CROSS_EMULATOR qemu-riscv64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-gnu-cross.cmake)
