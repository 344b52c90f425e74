#!/usr/bin/env bash
# The sanitizer stage: the whole test suite built and run with ASan and
# UBSan, then every fuzz target for a short while over its seed corpus.
# Usage: bash scripts/sanitize.sh [seconds-per-fuzz-target]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
bash scripts/setup.sh >/dev/null

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELDRA_SANITIZE=ON >/dev/null
cmake --build build-asan -j2
# Leaks of the libraries underneath (fonts, the platform plugins) are
# theirs; the project's own are reported.
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
ctest --test-dir build-asan -j2 --output-on-failure --timeout 600

for target in reply ftpparse socks listing inifile versionblock queue localtree; do
  bash scripts/fuzz.sh "$target" "$seconds"
done
