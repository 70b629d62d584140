#!/usr/bin/env bash
# Builds the Debian package from BUILD_DIR (configured with -DDESKPET_QT=ON)
# into BUILD_DIR/packages, then checks it end to end: installs it on this
# machine with apt (sudo when not root), runs the installed program on a
# private Xvfb, and removes it again (tests/e2e/deb_install.py).
# usage: scripts/e2e-deb.sh BUILD_DIR [CHECK NAME...]
set -euo pipefail
if [ $# -lt 1 ]; then
  echo "usage: $0 BUILD_DIR [CHECK NAME...]" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
shift
cd "$(dirname "$0")/.."
cmake --build "$build" --target deskpet deskpet_icons
rm -f "$build"/packages/deskpet_*.deb
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$build/packages" >/dev/null
deb=$(echo "$build"/packages/deskpet_*.deb)
echo "# $deb"
exec /usr/bin/python3 tests/e2e/deb_install.py "$deb" "$@"
