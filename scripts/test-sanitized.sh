#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer in build-asan/ and
# runs the test suite there. Tests labelled "asan-slow" are left out: see tests/CMakeLists.txt.
# A compiler launcher (ccache) is taken from the environment: CMAKE_CXX_COMPILER_LAUNCHER.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${VOLTRA_ASAN_BUILD_DIR:-build-asan}
jobs=${VOLTRA_BUILD_JOBS:-$(nproc)}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DVOLTRA_SANITIZE=ON
cmake --build "$build" -j"$jobs"
# Any finding ends the test that made it, with the report on its output.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir "$build" --output-on-failure -j"$jobs" -LE asan-slow
