#!/usr/bin/env bash
# Builds the desktop program and starts it in the user's data folder,
# ${XDG_DATA_HOME:-~/.local/share}/deskpet. Without a display it runs on a
# virtual one (Xvfb 1920x1080 with openbox and a tray), which a VNC server
# (x11vnc, answering this machine's loopback only, with a password made for the
# run) makes playable from a VNC viewer, and writes a screenshot every few
# seconds to DESKPET_SCREENSHOT (default /tmp/deskpet-screen.png); Ctrl-C saves
# the pets and stops everything this script started.
#   DESKPET_BUILD_DIR           build folder (default build)
#   DESKPET_VNC_PORT            first port tried for VNC (default 5900; the
#                               first free one from there is taken)
#   DESKPET_SCREENSHOT_SECONDS  seconds between screenshots (default 5)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/deps.sh
scripts/deps-desktop.sh
build="${DESKPET_BUILD_DIR:-build}"
cmake -S . -B "$build" -G Ninja -DDESKPET_QT=ON >/dev/null
cmake --build "$build" --target deskpet
program_file="$(cd "$build" && pwd)/deskpet"
data="${XDG_DATA_HOME:-$HOME/.local/share}/deskpet"
mkdir -p "$data"
cd "$data"

if [ -n "${DISPLAY:-}" ]; then
  exec "$program_file"
fi

shot="${DESKPET_SCREENSHOT:-/tmp/deskpet-screen.png}"
interval="${DESKPET_SCREENSHOT_SECONDS:-5}"
pids=()
program=""
tmp=$(mktemp -d)
stop_all() {
  trap - INT TERM EXIT
  # The program saves on SIGTERM; give it a moment before the desktop goes.
  if [ -n "$program" ] && kill -0 "$program" 2>/dev/null; then
    kill -TERM "$program" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
  fi
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$tmp"
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

# The VNC server listens on the loopback only, and asks for a password of this
# run's own, since every user of this machine can reach the loopback. x11vnc
# reads the password file and removes it, and prints PORT=N once it listens.
password=$(od -An -N4 -tx1 /dev/urandom | tr -d ' \n')
(umask 077 && printf '%s\n' "$password" >"$tmp/password")
setsid x11vnc -display "$DISPLAY" -localhost -autoport "${DESKPET_VNC_PORT:-5900}" \
  -passwdfile "rm:$tmp/password" -forever -shared -nocmds -norc \
  >"$tmp/x11vnc.out" 2>"$tmp/x11vnc.log" &
vnc=$!
pids+=("$vnc")
vnc_port=""
for _ in $(seq 150); do
  vnc_port=$(sed -n 's/^PORT=\([0-9][0-9]*\)$/\1/p' "$tmp/x11vnc.out")
  [ -n "$vnc_port" ] && break
  kill -0 "$vnc" 2>/dev/null || break
  sleep 0.1
done

setsid "$program_file" &
program=$!
echo "deskpet runs on the virtual display $DISPLAY (data: $data); screenshots: $shot"
if [ -n "$vnc_port" ]; then
  cat <<EOF
To play, connect a VNC viewer to port $vnc_port of this machine, password $password
(the server answers connections from this machine only). Here:
  vncviewer localhost::$vnc_port    (Debian's tigervnc-viewer; other viewers: localhost:$vnc_port)
From another computer, through ssh (then the same viewer command there):
  ssh -N -L $vnc_port:localhost:$vnc_port $(id -un)@$(uname -n)
EOF
else
  echo "The VNC server did not start; only the screenshots show the pets:" >&2
  tail -n 5 "$tmp/x11vnc.log" >&2 || true
fi
echo "Ctrl-C saves the pets and stops everything."
while kill -0 "$program" 2>/dev/null; do
  xwd -root -silent | /usr/bin/python3 "$root/tests/e2e/xdesk.py" "$shot" || true
  for _ in $(seq "$((interval * 10))"); do
    kill -0 "$program" 2>/dev/null || break
    sleep 0.1
  done
done
