# make        build and lay out the program folder build/dist
# make test   build and run the whole test suite under Wine
# make run    build and run the main job under Wine
# make benchmark  build and run the benchmarks under Wine (they print figures)
# make package    build the installer package build/Tidewhistle-<version>.msi
# make soak       build and run the half-hour soak of the resident instance under Wine
# make fuzz       build the parsers natively with clang and fuzz each with 10 million inputs
BUILD   ?= build
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=Release

.PHONY: all deps configure build prefix test run benchmark package soak fuzz clean

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake $(CMAKE_FLAGS)

configure: deps $(BUILD)/CMakeCache.txt

build: configure
	cmake --build $(BUILD) -j2

prefix: configure
	@scripts/prefix-init.sh $(BUILD)/wine-env.sh

# The installer's tests install the package: it is built first.
test: build prefix package
	scripts/run-tests.sh $(BUILD)

run: build prefix
	scripts/run-main.sh $(BUILD)

benchmark: build prefix
	scripts/run-benchmarks.sh $(BUILD)

fuzz: configure
	scripts/fuzz.sh $(BUILD) campaign

soak: build
	scripts/run-soak.sh $(BUILD)

package: build
	scripts/build-package.sh $(BUILD)

clean:
	rm -rf $(BUILD)
