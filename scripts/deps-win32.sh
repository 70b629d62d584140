#!/usr/bin/env bash
# Installs the Debian packages the Windows build and its Wine tests need, only
# those missing: the mingw-w64 cross compiler, Wine, a virtual X server with a
# window manager and a tray host, xdotool, screenshots read by pixel, a Japanese locale source
# and the Mincho face.
set -euo pipefail
packages=(g++-mingw-w64-x86-64-posix cmake ninja-build libstb-dev wine wine64 xvfb openbox trayer xdotool x11-apps
  x11-utils python3 python3-pil locales fonts-ipafont-mincho xserver-xorg-video-dummy x11-xserver-utils)
# The portable zip and the installer (scripts/package-win32.sh).
packages+=(nsis zip)
exec "$(dirname "$0")/install-missing.sh" "${packages[@]}"
