#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those missing
# (clang and its runtime for the fuzzer).
set -euo pipefail
packages=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev libstb-dev
  clang libclang-rt-14-dev)
exec "$(dirname "$0")/install-missing.sh" "${packages[@]}"
