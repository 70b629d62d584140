#!/usr/bin/env bash
# Installs the Debian packages the Windows build and its Wine tests need, only
# those missing: the mingw-w64 cross compiler, Wine, a virtual X server with a
# window manager and a tray host, xdotool, screenshots read by pixel, a Japanese locale source
# and the Mincho face.
set -euo pipefail
packages=(g++-mingw-w64-x86-64-posix cmake ninja-build libstb-dev wine wine64 xvfb openbox trayer xdotool x11-apps
  x11-utils python3 python3-pil locales fonts-ipafont-mincho)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" = 0 ] || sudo=sudo
echo "Installing: ${missing[*]}"
$sudo apt-get update -q
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
