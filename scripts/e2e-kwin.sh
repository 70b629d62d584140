#!/usr/bin/env bash
# End-to-end tests of the desktop program in a KDE Plasma Wayland session:
# KWin headless with XWayland, native and X probe windows:
# scripts/e2e-kwin.sh BUILD_DIR [CHECK NAME...]
E2E_SUITE=kwin exec "$(dirname "$0")/e2e-qt.sh" "$@"
