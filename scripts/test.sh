#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and UBSan, runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build-test -G Ninja -DDESKPET_SANITIZE=ON -DDESKPET_BENCH=OFF >/dev/null
cmake --build build-test
ctest --test-dir build-test --output-on-failure -j2
