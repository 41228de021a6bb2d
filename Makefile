# Two entry points for a fresh Debian 12 machine: `make test` and `make run`.
BUILD    ?= build
JOBS     ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

PROGRAM  := $(BUILD)/program

.PHONY: all deps configure build test run bench clean

all: build

deps:
	@scripts/deps.sh

configure: deps
	@test -f $(BUILD)/build.ninja || cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# Until the reading pipeline exists, the main job locates the sheet on the
# bundled sample frame and writes the annotated frame beside it.
run: build
	$(PROGRAM)/kestrelo-locate $(PROGRAM)/samples/frame.bmp --remove-specks --remove-border \
	    --out $(BUILD)/frame-located.bmp

bench: build
	$(BUILD)/bench/kestrelo-bench-imaging

clean:
	rm -rf $(BUILD)
