#!/usr/bin/env bash
# Builds the desktop program and starts it in the user's data folder,
# ${XDG_DATA_HOME:-~/.local/share}/deskpet. Without a display it runs on a
# virtual one (Xvfb 1920x1080 with openbox and a tray) and writes a screenshot
# every few seconds to DESKPET_SCREENSHOT (default /tmp/deskpet-screen.png);
# Ctrl-C saves the pets and stops everything this script started.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/deps.sh
scripts/deps-desktop.sh
cmake -S . -B build -G Ninja -DDESKPET_QT=ON >/dev/null
cmake --build build --target deskpet
data="${XDG_DATA_HOME:-$HOME/.local/share}/deskpet"
mkdir -p "$data"
cd "$data"

if [ -n "${DISPLAY:-}" ]; then
  exec "$root/build/deskpet"
fi

shot="${DESKPET_SCREENSHOT:-/tmp/deskpet-screen.png}"
interval="${DESKPET_SCREENSHOT_SECONDS:-5}"
pids=()
program=""
stop_all() {
  trap - INT TERM EXIT
  # The program saves on SIGTERM; give it a moment before the desktop goes.
  if [ -n "$program" ] && kill -0 "$program" 2>/dev/null; then
    kill -TERM "$program" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
  fi
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
# Its own session for each: a Ctrl-C at the terminal reaches only this script,
# which then lets the program save before the desktop goes.
trap stop_all EXIT
trap 'exit 130' INT TERM

n=90
while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
export DISPLAY=":$n"
setsid Xvfb "$DISPLAY" -screen 0 1920x1080x24 -noreset -s 0 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.05; done
setsid openbox --sm-disable >/dev/null 2>&1 &
pids+=($!)
sleep 0.5
setsid trayer --edge top --align right --widthtype request --height 24 --SetDockType true \
  --transparent false --tint 0x808080 >/dev/null 2>&1 &
pids+=($!)
sleep 0.5
setsid "$root/build/deskpet" &
program=$!
echo "deskpet runs on the virtual display $DISPLAY (data: $data); screenshots: $shot; Ctrl-C to stop"
while kill -0 "$program" 2>/dev/null; do
  xwd -root -silent | /usr/bin/python3 "$root/tests/e2e/xdesk.py" "$shot" || true
  for _ in $(seq "$((interval * 10))"); do
    kill -0 "$program" 2>/dev/null || break
    sleep 0.1
  done
done
