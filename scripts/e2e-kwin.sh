#!/usr/bin/env bash
# End-to-end tests of the desktop program in a KDE Plasma Wayland session:
# KWin headless with XWayland, native and X probe windows:
# scripts/e2e-kwin.sh BUILD_DIR [CHECK NAME...]
set -euo pipefail
if [ $# -lt 1 ]; then
  echo "usage: $0 BUILD_DIR [CHECK NAME...]" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
shift
cd "$(dirname "$0")/.."
for f in deskpet deskpet-core-probe; do
  [ -x "$build/$f" ] || { echo "missing $build/$f (configure with -DDESKPET_QT=ON)" >&2; exit 2; }
done
exec /usr/bin/python3 tests/e2e/kwin/run_e2e.py "$build" "$@"
