#!/usr/bin/env bash
# Builds one fuzz target with clang (libFuzzer, ASan, UBSan) and runs it for
# a number of seconds over its seed corpus in tests/fuzz/corpus/TARGET.
# New inputs it finds go to a scratch folder, not into the repository;
# a crash leaves its input in build-fuzz/crashes/.
# Usage: bash scripts/fuzz.sh TARGET SECONDS
#   TARGET: reply, ftpparse, socks, listing, inifile, versionblock, queue or localtree
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:?usage: fuzz.sh TARGET SECONDS}
seconds=${2:?usage: fuzz.sh TARGET SECONDS}
seeds=tests/fuzz/corpus/$target
[[ -d $seeds ]] || { echo "fuzz: no target $target" >&2; exit 2; }

if [[ ! -f build-fuzz/build.ninja ]]; then
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DVELDRA_FUZZ=ON \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build build-fuzz -j2 --target "fuzz_$target" >/dev/null

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p build-fuzz/crashes
# A reply or a line longer than this tells nothing new, and -timeout turns a
# hang into a finding.
# Leaks of the libraries underneath (fonts, the platform plugins) are theirs.
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ASAN_OPTIONS=detect_leaks=1 \
  LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0 \
  "build-fuzz/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -max_len=65536 -print_final_stats=1 \
  -artifact_prefix=build-fuzz/crashes/"$target"- "$scratch" "$seeds" 2>&1 |
  grep -E '^(INFO: Seed|#[0-9]+.*DONE|Done|stat::number_of_executed_units|stat::peak_rss_mb|==[0-9]+==ERROR|SUMMARY|.*deadly signal|.*Test unit written)' || true
# libFuzzer's own status is lost in the pipe: a crash leaves an artifact.
if compgen -G "build-fuzz/crashes/$target-*" >/dev/null; then
  echo "fuzz: $target found a failing input: $(ls build-fuzz/crashes/$target-*)" >&2
  exit 1
fi
echo "fuzz: $target ran $seconds s without a finding"
