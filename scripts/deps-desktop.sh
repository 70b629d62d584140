#!/usr/bin/env bash
# Installs the Debian packages the desktop program and its X tests need, only
# those missing: Qt 6 and xcb, the Mincho face, a virtual X server with a
# window manager and a tray host, xdotool, xwd screenshots read by pixel (PIL),
# and xpenguins for the CPU comparison.
set -euo pipefail
packages=(cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev libxcb1-dev libxcb-shape0-dev
  fonts-ipafont-mincho xvfb openbox trayer xdotool x11-apps x11-utils python3 python3-pil
  xpenguins xcompmgr)
# The Debian package: dpkg-shlibdeps (and file) for its dependencies, and the validators
# of its desktop entry and metainfo.
packages+=(dpkg-dev file desktop-file-utils appstream)
exec "$(dirname "$0")/install-missing.sh" "${packages[@]}"
