#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer in build-asan/ and
# runs the test suite there. Tests labelled "asan-slow" are left out: see tests/CMakeLists.txt.
# With clang-14 present, the same build also holds the libFuzzer harnesses, so that
# scripts/fuzz-smoke.sh can run them without a second build of the tree:
#   VOLTRA_FUZZ_BUILD_DIR=build-asan scripts/fuzz-smoke.sh
# A compiler launcher (ccache) is taken from the environment: CMAKE_CXX_COMPILER_LAUNCHER.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${VOLTRA_ASAN_BUILD_DIR:-build-asan}
jobs=${VOLTRA_BUILD_JOBS:-$(nproc)}
compiler=()
if command -v clang++-14 >/dev/null; then
  compiler=(-DCMAKE_CXX_COMPILER=clang++-14 -DVOLTRA_BUILD_FUZZERS=ON)
  # CMake keeps the compiler of a folder's first configuration: a gcc-built folder starts afresh.
  if [ -f "$build/CMakeCache.txt" ] && ! grep -qs '^VOLTRA_BUILD_FUZZERS:BOOL=ON' "$build/CMakeCache.txt"; then
    rm -rf "$build"
  fi
fi
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DVOLTRA_SANITIZE=ON -DVOLTRA_BUILD_TESTS=ON "${compiler[@]}"
cmake --build "$build" -j"$jobs"
# Any finding ends the test that made it, with the report on its output.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir "$build" --output-on-failure -j"$jobs" -LE asan-slow
