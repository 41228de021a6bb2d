# Two entry points for a fresh Debian 12 machine: `make test` and `make run`.
BUILD    ?= build
JOBS     ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

PROGRAM  := $(BUILD)/program

.PHONY: all deps configure build test run bench bench-recognition clean

all: build

deps:
	@scripts/deps.sh

configure: deps
	@test -f $(BUILD)/build.ninja || cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# The main job: grade the bundled demo exam (five photographed sheets)
# through the frame watch and the read thread, and print the results.
run: build
	$(PROGRAM)/kestrelo-grade --demo

bench: build
	$(BUILD)/bench/kestrelo-bench-imaging

# Reads 648 synthetic camera frames and prints the recognition table (a few minutes).
bench-recognition: build
	$(BUILD)/bench/kestrelo-bench-recognition

clean:
	rm -rf $(BUILD)
