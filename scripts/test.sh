#!/usr/bin/env bash
# Builds and runs every test: the plain build (with the Blender add-on in a real Blender, installed
# here), the AddressSanitizer + UndefinedBehaviorSanitizer build, and a short fuzz run of each fuzz
# target.
# FUZZ_SECONDS (default 60) sets the length of each fuzz run; 0 skips fuzzing.
set -euo pipefail
cd "$(dirname "$0")/.."

# Before configuring, so that the build finds the Python that comes with Blender's numpy.
scripts/install-blender.sh || echo "test: Blender could not be installed; its test is skipped" >&2
scripts/setup.sh build
(cd build && ctest --output-on-failure -j"$(nproc)")

scripts/setup.sh build-asan -DKZV_SANITIZE=ON -DKZV_BUILD_BENCH=OFF
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --output-on-failure -j"$(nproc)")

scripts/validate-examples.sh build
if [ "${FUZZ_SECONDS:-60}" != 0 ] && [ -x scripts/fuzz.sh ]; then
    scripts/fuzz.sh "${FUZZ_SECONDS:-60}"
fi
