#!/usr/bin/env bash
# End-to-end tests of the desktop program on a private Xvfb with openbox and a
# tray host: scripts/e2e-qt.sh BUILD_DIR [CHECK NAME...]
# E2E_SCREENSHOTS=1 also writes the screenshots into docs/screenshots/.
# E2E_SUITE=kwin runs them in a KDE Plasma Wayland session instead
# (scripts/e2e-kwin.sh).
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
exec /usr/bin/python3 "tests/e2e/${E2E_SUITE:-qt}/run_e2e.py" "$build" "$@"
