#!/usr/bin/env bash
# Installs the Debian packages the desktop program and its X tests need, only
# those missing: Qt 6 and xcb, the Mincho face, a virtual X server with a
# window manager and a tray host, xdotool, xwd screenshots read by pixel (PIL),
# xpenguins for the CPU comparison, wmctrl to make windows full screen, and
# desktop-file-validate for the autostart entry; Xorg with the dummy driver and
# xrandr for screens that change; x11vnc, which makes scripts/run.sh's virtual
# display playable from a VNC viewer, and python3-cryptography for the DES of
# the VNC login in its test. For KDE Plasma's Wayland: Qt's wayland
# platform, the Wayland client library, KWin's protocols and Qt's native
# interface to build; KWin (headless, with XWayland), a session bus, gdbus and
# GTK probe windows to test.
set -euo pipefail
packages=(cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev libxcb1-dev libxcb-shape0-dev libxcb-xinput-dev
  fonts-ipafont-mincho xvfb openbox trayer xdotool x11-apps x11-utils python3 python3-pil
  xpenguins xcompmgr wmctrl desktop-file-utils xserver-xorg-video-dummy x11-xserver-utils x11vnc
  python3-cryptography)
# The Debian package: dpkg-shlibdeps (and file) for its dependencies, and the
# validator of its metainfo (desktop-file-validate checks its desktop entry).
packages+=(dpkg-dev file appstream)
packages+=(qt6-wayland qt6-base-private-dev libwayland-dev plasma-wayland-protocols
  kwin-wayland xwayland dbus libglib2.0-bin python3-gi python3-gi-cairo gir1.2-gtk-3.0 python3-dbus)
exec "$(dirname "$0")/install-missing.sh" "${packages[@]}"
