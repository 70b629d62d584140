#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program. Until the desktop
# program lands, this runs a short headless replay in the user's data folder
# and prints the state it reaches.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -G Ninja -DDESKPET_TESTS=OFF >/dev/null
cmake --build build
data="${XDG_DATA_HOME:-$HOME/.local/share}/deskpet"
mkdir -p "$data"
printf 'ticks 400\ndump\nquit\nticks 1\n' | build/deskpet-replay "$data"
echo "Data file: $data/zpdata.mrdt"
