#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the core's unit and
# replay tests under AddressSanitizer and UBSan, a minute of fuzzing the data
# file reader, the Linux desktop program's tests on a real X server and in a
# KDE Plasma Wayland session (KWin headless), scripts/run.sh on its own
# virtual display (answering VNC, ended by Ctrl-C), its Debian
# package (installed on this machine with apt, then removed), and the Windows
# program's and its packages' tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/deps-desktop.sh
scripts/deps-win32.sh

echo "== core (sanitizers)"
cmake -S . -B build-test -G Ninja -DDESKPET_SANITIZE=ON -DDESKPET_BENCH=OFF >/dev/null
cmake --build build-test
ctest --test-dir build-test --output-on-failure -j2

echo "== data file fuzzer (clang, libFuzzer)"
scripts/fuzz.sh "${FUZZ_SECONDS:-60}"

echo "== Linux desktop program on Xvfb, and on KWin's Wayland"
cmake -S . -B build-qt -G Ninja -DDESKPET_QT=ON -DDESKPET_BENCH=OFF >/dev/null
cmake --build build-qt
ctest --test-dir build-qt --output-on-failure -R '^qt_'

echo "== scripts/run.sh without a display: VNC on the loopback, Ctrl-C"
/usr/bin/python3 tests/e2e/run_vnc.py build-qt

echo "== Debian package: validated, installed, run on Xvfb, removed"
scripts/e2e-deb.sh build-qt

echo "== Windows program under Wine"
scripts/e2e-win32.sh
