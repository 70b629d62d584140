#!/usr/bin/env bash
# Fuzzes the data file reader for SECONDS (default 60): clang's libFuzzer with
# AddressSanitizer and UBSan, in its own build folder build-fuzz, starting
# from tests/fixtures/datafile. Any crash, leak, sanitizer report or failed
# round trip stops it with a failure and leaves the input in
# build-fuzz/findings/ (add it to tests/fixtures/datafile).
# usage: scripts/fuzz.sh [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
build="$root/build-fuzz"
"$root/scripts/install-missing.sh" clang libclang-rt-14-dev cmake ninja-build libstb-dev
CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DDESKPET_FUZZ=ON -DDESKPET_SANITIZE=ON \
  -DDESKPET_TESTS=OFF -DDESKPET_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target datafile_fuzz
mkdir -p "$build/corpus" "$build/findings"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
"$build/fuzz/datafile_fuzz" -max_total_time="$seconds" -max_len=16384 -timeout=10 \
  -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$build/findings/" \
  "$build/corpus" "$root/tests/fixtures/datafile"
