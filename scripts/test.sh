#!/usr/bin/env bash
# Sets up and runs every test: the normal build (engine, tools, program, GUI
# tests under an offscreen platform), a plain Release build and its Debian
# package (built, extracted, run, validated, lintian), and the ASan + UBSan
# build of the engine, platform and tools with the libFuzzer targets.
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

echo "==> Plain Release build without a preset, as a user or packager builds it (build-release/)"
# Debian's build flags (hardening) as dpkg-buildpackage would set them; no
# warnings as errors. Tests and benchmarks are built by the other builds.
(
  eval "$(dpkg-buildflags --export=sh)"
  # CMake does not read CPPFLAGS, where Debian puts the fortify flag.
  export CFLAGS="$CFLAGS $CPPFLAGS" CXXFLAGS="$CXXFLAGS $CPPFLAGS"
  cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DCORVELLAN_BUILD_TESTS=OFF -DCORVELLAN_BUILD_BENCH=OFF >/dev/null
  cmake --build build-release -j "$JOBS"
)

echo "==> The Debian package of the Release build"
bash tests/packaging/package_test.sh build-release

echo "==> Configuring and building the ASan + UBSan build (build-asan/)"
cmake --preset asan -G Ninja >/dev/null
cmake --build --preset asan -j "$JOBS"

echo "==> Running the tests of the ASan + UBSan build"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build-asan --output-on-failure -j "$JOBS" --timeout 900

echo "==> All tests passed"
