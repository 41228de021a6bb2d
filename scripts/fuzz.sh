#!/bin/sh
# Builds the libFuzzer targets with clang in their own build folder and runs
# the BMP target for a bounded time from the committed seeds. Fails on a crash,
# leak, sanitizer report or timeout; the reproducer lands in $BUILD/artifacts.
#   FUZZ_SECONDS  run time (default 60)
#   FUZZ_BUILD    build folder (default build-fuzz)
#   CXXFLAGS      extra compiler flags for the whole build
set -eu

cd "$(dirname "$0")/.."
BUILD=${FUZZ_BUILD:-build-fuzz}
SECONDS_TO_RUN=${FUZZ_SECONDS:-60}

# The library is instrumented for coverage and the sanitizers; only the fuzz
# target itself links the libFuzzer runtime.
CC=clang CXX=clang++ cmake -S . -B "$BUILD" -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKESTRELO_BUILD_FUZZ=ON -DKESTRELO_BUILD_TESTS=OFF -DKESTRELO_BUILD_BENCH=OFF \
  -DKESTRELO_SANITIZE=address,undefined \
  -DCMAKE_C_FLAGS="-fsanitize=fuzzer-no-link ${CFLAGS:-}" \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link ${CXXFLAGS:-}"
cmake --build "$BUILD" -j2 --target kestrelo_fuzz_bmp

corpus=$(mktemp -d "${TMPDIR:-/tmp}/kestrelo-fuzz-bmp.XXXXXX")
trap 'rm -rf "$corpus"' EXIT
cp fuzz/corpus/bmp/*.bmp "$corpus"/
mkdir -p "$BUILD/artifacts"

"$BUILD/fuzz/kestrelo_fuzz_bmp" \
  -max_total_time="$SECONDS_TO_RUN" -rss_limit_mb=2048 -max_len=65536 -timeout=10 \
  -artifact_prefix="$BUILD/artifacts/" -print_final_stats=1 \
  "$corpus"
