# Front door: `make run` and `make test` set everything up on a fresh
# Debian 12 machine (as root) and build in ./build.
BUILD_DIR  ?= build
BUILD_TYPE ?= Release
JOBS       ?= 2
CMAKE_ARGS ?=
# CI builds treat warnings as errors.
WERROR     := $(if $(CI),-DQORID_WERROR=ON,)

.PHONY: all deps configure build run test install clean

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
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j$(JOBS)

install: build
	cmake --install $(BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR)
