#!/usr/bin/env bash
# Installs what is missing, builds Kelmor and runs every test: first a normal build,
# then a build under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

export QT_QPA_PLATFORM=offscreen
# Where tests find the repository and the shared sample files (the shared folder sits beside it).
export KELMOR_SOURCE_DIR="$PWD"
export KELMOR_SHARED_DIR="$PWD/../shared"
jobs=$(nproc)

echo "== format check"
scripts/format.sh --check

echo "== build (warnings are errors)"
scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELMOR_WERROR=ON
echo "== tests"
ctest --test-dir build -j "$jobs" --output-on-failure --timeout 300

echo "== Debian package: build, install, use and remove it"
scripts/package-check.sh build

echo "== build with AddressSanitizer and UndefinedBehaviorSanitizer"
scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DKELMOR_WERROR=ON -DKELMOR_SANITIZE=ON \
    -DKELMOR_BUILD_BENCH=OFF
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
export LSAN_OPTIONS="suppressions=$PWD/.ci/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
echo "== tests under sanitizers"
ctest --test-dir build-asan -j "$jobs" --output-on-failure --timeout 600
