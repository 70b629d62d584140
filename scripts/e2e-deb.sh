#!/usr/bin/env bash
# Builds the Debian package from the Linux program's build in BUILD_DIR
# (default build-qt; configured here when new) into BUILD_DIR/packages, then
# checks it end to end: installs it on this machine with apt (sudo when not
# root), runs the installed program on a private Xvfb, and removes it again
# (tests/e2e/deb_install.py). usage: scripts/e2e-deb.sh [BUILD_DIR [CHECK NAME...]]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-qt}
[ $# -eq 0 ] || shift
"$root/scripts/deps-desktop.sh"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DDESKPET_QT=ON -DDESKPET_TESTS=OFF -DDESKPET_BENCH=OFF \
    >/dev/null
fi
build=$(cd "$build" && pwd)
cmake --build "$build" --target deskpet deskpet_icons
rm -f "$build"/packages/deskpet_*.deb
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$build/packages" >/dev/null
deb=$(echo "$build"/packages/deskpet_*.deb)
echo "# $deb"
exec /usr/bin/python3 "$root/tests/e2e/deb_install.py" "$deb" "$@"
