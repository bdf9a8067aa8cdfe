#!/usr/bin/env bash
# Sets up and runs every test: the normal build (engine, tools, program, GUI
# tests under an offscreen platform) and the ASan + UBSan build of the engine,
# platform and tools with the libFuzzer targets.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

JOBS=$(nproc)
echo "==> Configuring and building (build/)"
cmake --preset default -G Ninja >/dev/null
cmake --build --preset default -j "$JOBS"

echo "==> Running the tests of the normal build"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j "$JOBS" --timeout 900

echo "==> Configuring and building the ASan + UBSan build (build-asan/)"
cmake --preset asan -G Ninja >/dev/null
cmake --build --preset asan -j "$JOBS"

echo "==> Running the tests of the ASan + UBSan build"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build-asan --output-on-failure -j "$JOBS" --timeout 900

echo "==> All tests passed"
