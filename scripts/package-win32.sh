#!/usr/bin/env bash
# Builds the Windows program (scripts/build-win32.sh), then its packages in
# BUILD_DIR: deskpet-VERSION-portable.zip (deskpet/deskpet.exe and a read-me,
# CR LF) and deskpet-VERSION-setup.exe (NSIS; per user, no administrator
# rights). usage: scripts/package-win32.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(mkdir -p "${1:-$root/build-win32}" && cd "${1:-$root/build-win32}" && pwd)
"$root/scripts/build-win32.sh" "$build" >/dev/null
version=$(sed -n 's/^project(deskpet VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
[ -n "$version" ] || { echo "no version in CMakeLists.txt" >&2; exit 2; }

stage="$build/package"
rm -rf "$stage" "$build"/deskpet-*-portable.zip "$build"/deskpet-*-setup.exe
mkdir -p "$stage/deskpet"
cp "$build/deskpet.exe" "$stage/deskpet/"
# UTF-8 with a byte-order mark and CR LF: older Notepads need both.
{ printf '\xef\xbb\xbf'; sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' \
  "$root/packaging/windows/readme.txt"; } >"$stage/deskpet/readme.txt"
/usr/bin/python3 "$root/packaging/icons.py" ico "$root/assets" "$stage/deskpet.ico"

zip="$build/deskpet-$version-portable.zip"
(cd "$stage" && TZ=UTC zip -q -X -r "$zip" deskpet)
setup="$build/deskpet-$version-setup.exe"
makensis -V2 -WX -DVERSION="$version" -DEXE="$stage/deskpet/deskpet.exe" -DICON="$stage/deskpet.ico" \
  -DREADME="$stage/deskpet/readme.txt" -DOUTFILE="$setup" "$root/packaging/windows/deskpet.nsi"
echo "$zip: $(stat -c %s "$zip") bytes"
echo "$setup: $(stat -c %s "$setup") bytes"
