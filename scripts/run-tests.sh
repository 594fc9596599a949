#!/usr/bin/env bash
# Installs what is needed, builds and runs the whole suite twice: plainly, and under
# AddressSanitizer and UndefinedBehaviorSanitizer; then runs the fuzz targets (firmware
# image check, GSM message texts) for a bounded time each (TAVROLIX_FUZZ_SECONDS, 60 by
# default).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs=$(nproc)

echo "== Plain build and tests"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Debug -DTAVROLIX_WERROR=ON
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

echo "== AddressSanitizer and UndefinedBehaviorSanitizer build and tests"
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DTAVROLIX_WERROR=ON \
      -DTAVROLIX_SANITIZE=ON
cmake --build build-sanitize -j"$jobs"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build-sanitize --output-on-failure -j"$jobs"

echo "== Fuzzing the firmware image check and the GSM texts (clang, libFuzzer, sanitizers)"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=Debug -DTAVROLIX_FUZZ=ON \
      -DTAVROLIX_FUZZ_SECONDS="${TAVROLIX_FUZZ_SECONDS:-60}"
cmake --build build-fuzz -j"$jobs" --target fuzz_firmware_image fuzz_sms_import
ctest --test-dir build-fuzz --output-on-failure
