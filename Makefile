# Front door: `make run` and `make test` set everything up on a fresh
# Debian 12 or 13 machine (as root) and build in ./build. `make check` is the full
# gate that CI runs: the tests, then sanitizers, fault injection and hostile
# inputs, hardening, valgrind, static analysis, a bounded fuzz, the ABI
# check, the Debian packages of both suites and the cross builds. Every build
# folder comes from a preset of CMakePresets.json.
JOBS       ?= 2
FUZZ_SECONDS ?= 30
# The presets fix no parallelism: cmake --build and ctest take it from here.
export CMAKE_BUILD_PARALLEL_LEVEL := $(JOBS)
export CTEST_PARALLEL_LEVEL := $(JOBS)
# What the full gate needs beyond the build and the quick tests.
CHECK_DEPS := strace valgrind clang libclang-rt-14-dev clang-tidy cppcheck binutils \
	dpkg-dev debhelper file lintian debootstrap qemu-user-static abigail-tools \
	systemd-container qemu-system-arm qemu-system-misc qemu-system-x86 opensbi \
	device-tree-compiler zstd cpio
# The board architectures that are cross-built and tested under qemu-user.
CROSS_ARCHES := arm64 armhf riscv64
# `make package SUITE=trixie ARCH=riscv64`: the packages' suite (default:
# this machine's Debian release, bookworm when it is neither) and
# architecture (default: this machine's); `make cross ARCH=armhf`: the
# cross build's; `make package-test SUITE=... ARCH=...`: what to prove
# (default: the pairs CI proves).
SUITE ?=
ARCH ?=
# CI builds treat warnings as errors.
WERROR     := $(if $(CI),-DQORID_WERROR=ON,)
BUILD_DIR  := build

.PHONY: all deps configure build run test install clean check check-root check-deps \
	robustness asan hardening valgrind static fuzz abi abi-update package packages \
	package-test boot-test bench real-boards cross arm64 armhf riscv64

all: build

deps:
	@bash scripts/install-deps.sh

# The dependencies are installed and the build configured when the build
# has no cache yet; after that cmake --build reconfigures by itself when a
# CMakeLists.txt changes.
$(BUILD_DIR)/CMakeCache.txt:
	@bash scripts/install-deps.sh
	cmake --preset default $(WERROR)

configure: $(BUILD_DIR)/CMakeCache.txt

build: configure
	cmake --build --preset default

run: build
	$(BUILD_DIR)/tool/qorid --verbose
	$(BUILD_DIR)/tool/qorid --list

# The cases that need root itself (label needs-root: a second user, a tun
# device) run only as root: anyone else's sandbox is a user namespace,
# which maps one uid.
TEST_PRESET := $(if $(filter 0,$(shell id -u)),default,user)

test: build
	ctest --preset $(TEST_PRESET)

check-deps:
	@bash scripts/install-deps.sh $(CHECK_DEPS)

# Fault injection and hostile inputs on the release build.
robustness: build check-deps
	ctest --preset robustness

# Every test again under AddressSanitizer, UndefinedBehaviorSanitizer and
# LeakSanitizer (the install test and the pages' commands link uninstrumented
# programs: left out).
asan: check-deps
	cmake --preset asan $(WERROR)
	cmake --build --preset asan
	ctest --preset asan

hardening: build
	ctest --preset hardening

valgrind: build check-deps
	ctest --preset valgrind

static: check-deps
	bash scripts/static-checks.sh

fuzz: check-deps
	bash fuzz/run.sh $(FUZZ_SECONDS)

# libqorid.so.1 and libnolt.so.0 held against the baselines in abi/; after a
# deliberate addition, `make abi-update` records the new baselines, to be
# committed with the change.
abi: check-deps
	bash scripts/abi-check.sh

abi-update: check-deps
	bash scripts/abi-check.sh --update

# Start-up, listing, table and memory figures next to their baselines.
bench: deps
	bash scripts/install-deps.sh time python3 valgrind
	bash bench/run.sh

# The device trees of Debian 13's arm64, armhf and riscv64 kernels, each a
# board: --export read back by dash and by systemd's EnvironmentFile= (in a
# booted trixie root), what it leaves out said with a reason of the rule.
# By hand, as root: the first run downloads about 200 MB (kept in
# build-real-boards/). Not part of `make check`.
real-boards: build check-deps
	bash bench/real_boards.sh

# Debian packages (libqorid1, libnolt0, libqorid-dev, libnolt-dev, qorid)
# of one suite and architecture, built in the suite's build root (cross for
# a foreign ARCH); the .deb, .changes and .buildinfo files land in
# dist/<suite>/<arch>/. The script installs what it uses first.
package:
	JOBS=$(JOBS) bash scripts/build-package.sh "$(SUITE)" "$(ARCH)"

# The packages of every suite and architecture.
packages:
	$(foreach s,trixie bookworm,$(foreach a,$(shell bash -c '. scripts/debian-root.sh && suite_arches $(s)'),\
		JOBS=$(JOBS) bash scripts/build-package.sh $(s) $(a) &&)) true

# The packages built, linted by their suite's lintian, installed with apt on
# fresh debootstrap roots of their suite and architecture, used, removed
# and purged; a second build in another folder must give the same .deb
# files. SUITE and ARCH narrow it down; without them, the pairs CI proves.
package-test: check-deps
	JOBS=$(JOBS) bash tests/package/package_test.sh $(if $(SUITE),--suite $(SUITE)) \
		$(if $(ARCH),--arch $(ARCH))

# Debian 13's own kernels booted under qemu-system (TCG) with the trixie
# packages installed and systemd as PID 1: qorid.service on a real kernel,
# a device-tree node and a stock board on arm64, armhf and riscv64, the PC
# on amd64, each dump replayed with qorid --root. ARCH narrows it down. The
# kernels, roots and images are kept in build-roots/boot.
boot-test: build check-deps
	JOBS=$(JOBS) bash tests/boot/boot_test.sh $(ARCH)

# The Debian roots, the package test and binfmt_misc need root: said at once.
check-root:
	@[ "$$(id -u)" -eq 0 ] || { echo "make check needs root (Debian roots, packages, binfmt_misc); make test does not" >&2; exit 1; }

check: check-root test robustness hardening valgrind asan static fuzz package-test boot-test abi cross

# Cross builds in build-<arch>: the unit tests and the tool run under
# qemu-user. `make cross` does every board architecture, `make cross
# ARCH=armhf` (or `make armhf`) one.
cross:
	$(foreach a,$(or $(ARCH),$(CROSS_ARCHES)),JOBS=$(JOBS) bash scripts/cross.sh $(a) &&) true

arm64 armhf riscv64:
	JOBS=$(JOBS) bash scripts/cross.sh $@

install: build
	cmake --install $(BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR)
