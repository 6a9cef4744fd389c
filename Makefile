# Front door: `make run` and `make test` set everything up on a fresh
# Debian 12 machine (as root) and build in ./build. `make check` is the full
# gate that CI runs: the tests, then sanitizers, fault injection and hostile
# inputs, hardening, valgrind, static analysis and a bounded fuzz.
BUILD_DIR  ?= build
BUILD_TYPE ?= Release
JOBS       ?= 2
CMAKE_ARGS ?=
FUZZ_SECONDS ?= 30
# What the full gate needs beyond the build and the quick tests.
CHECK_DEPS := strace valgrind clang libclang-rt-14-dev clang-tidy cppcheck binutils \
	dpkg-dev file lintian
PACKAGE_DIR ?= build-package
# CI builds treat warnings as errors.
WERROR     := $(if $(CI),-DQORID_WERROR=ON,)

.PHONY: all deps configure build run test install clean check check-deps \
	robustness asan hardening valgrind static fuzz package package-test bench arm64

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(WERROR) $(CMAKE_ARGS)

build: configure
	cmake --build $(BUILD_DIR) -j$(JOBS)

run: build
	$(BUILD_DIR)/tool/qorid --verbose
	$(BUILD_DIR)/tool/qorid --list

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j$(JOBS) -LE robustness

check-deps:
	@bash scripts/install-deps.sh $(CHECK_DEPS)

# Fault injection and hostile inputs on the release build.
robustness: build check-deps
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j$(JOBS) -L robustness

# Every test again under AddressSanitizer, UndefinedBehaviorSanitizer and
# LeakSanitizer (the install test links uninstrumented programs: left out).
asan: check-deps
	cmake --preset asan $(WERROR)
	cmake --build --preset asan
	QORID_SANITIZED=1 ctest --preset asan -E '^install\.'

hardening: build
	bash scripts/check-hardening.sh $(BUILD_DIR)

valgrind: build check-deps
	bash scripts/valgrind-check.sh $(BUILD_DIR)

static: check-deps
	bash scripts/static-checks.sh

fuzz: check-deps
	bash fuzz/run.sh $(FUZZ_SECONDS)

# Start-up, listing, table and memory figures next to their baselines.
bench: deps
	bash scripts/install-deps.sh time python3 valgrind
	bash bench/run.sh

# Debian packages (libqorid1, qorid, libqorid-dev) from a /usr build.
package: deps
	bash scripts/install-deps.sh dpkg-dev file
	cmake -S . -B $(PACKAGE_DIR) -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
		-DBUILD_TESTING=OFF $(WERROR)
	cmake --build $(PACKAGE_DIR) -j$(JOBS)
	cd $(PACKAGE_DIR) && cpack
	@ls -1 $(PACKAGE_DIR)/packages/*.deb

# Installs, uses, removes and purges the packages in a throwaway root.
package-test: package check-deps
	bash tests/package/package_test.sh $(PACKAGE_DIR)/packages

check: test robustness hardening valgrind asan static fuzz package-test arm64

# Cross build for arm64 in build-arm64: the unit tests and the tool run
# under qemu-aarch64.
arm64:
	JOBS=$(JOBS) bash scripts/cross-arm64.sh

install: build
	cmake --install $(BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR)
