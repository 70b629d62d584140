#!/usr/bin/env bash
# Installs what is missing, builds, and starts the desktop program with its
# data in ${XDG_DATA_HOME:-~/.local/share}/deskpet (on a virtual display with
# VNC and screenshots when there is no display; see scripts/desktop.sh).
set -euo pipefail
exec "$(dirname "$0")/desktop.sh" "$@"
