#!/usr/bin/env bash
# End-to-end tests of the Windows program under Wine on a private Xvfb with
# openbox: scripts/e2e-win32.sh [EXE [CHECK NAME...]]
# Builds build-win32/deskpet.exe and its packages first when no EXE is given;
# the package checks look for the packages beside EXE.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps-win32.sh"
if [ $# -ge 1 ]; then
  exe=$1
  shift
else
  "$root/scripts/package-win32.sh" >/dev/null
  exe="$root/build-win32/deskpet.exe"
fi
[ -f "$exe" ] || { echo "missing $exe" >&2; exit 2; }
exec /usr/bin/python3 "$root/tests/e2e/win32/run_e2e.py" "$exe" "$@"
