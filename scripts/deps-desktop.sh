#!/usr/bin/env bash
# Installs the Debian packages the desktop program and its X tests need, only
# those missing: Qt 6 and xcb, the Mincho face, a virtual X server with a
# window manager and a tray host, xdotool, xwd screenshots read by pixel (PIL),
# and xpenguins for the CPU comparison.
set -euo pipefail
packages=(cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev libxcb1-dev libxcb-shape0-dev
  fonts-ipafont-mincho xvfb openbox trayer xdotool x11-apps x11-utils python3 python3-pil
  xpenguins)
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
