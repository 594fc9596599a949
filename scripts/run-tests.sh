#!/usr/bin/env bash
# Installs what is needed, builds and runs the whole suite twice: plainly, and under
# AddressSanitizer and UndefinedBehaviorSanitizer; checks the translations against the
# sources; builds, installs, tries and removes the Debian package (this changes the
# machine's installed packages); then runs the fuzz targets (firmware image check, GSM
# message texts) for a bounded time each (TAVROLIX_FUZZ_SECONDS, 60 by default).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs=$(nproc)

# The three builds are the presets of CMakePresets.json.
echo "== Plain build and tests"
cmake --preset debug
cmake --build --preset debug -j"$jobs"
ctest --preset debug -j"$jobs"

echo "== The Russian translations against the sources"
bash scripts/check-translations.sh build

echo "== The Debian package, installed, tried and removed"
bash scripts/package-smoke.sh

echo "== AddressSanitizer and UndefinedBehaviorSanitizer build and tests"
cmake --preset sanitize
cmake --build --preset sanitize -j"$jobs"
ctest --preset sanitize -j"$jobs"

echo "== Fuzzing the firmware image check and the GSM texts (clang, libFuzzer, sanitizers)"
cmake --preset fuzz -DTAVROLIX_FUZZ_SECONDS="${TAVROLIX_FUZZ_SECONDS:-60}"
cmake --build --preset fuzz -j"$jobs"
ctest --preset fuzz
