#!/usr/bin/env bash
# CPU cost of the desktop program in a KDE Plasma Wayland session: KWin run
# headless (virtual output 1920x1080, software rendering, XWayland) with PETS
# (default 50) wandering pets (speed 5, zoom 100), DURATION seconds (default
# 30) per measurement. In the same run and the same KWin, one after another:
#   wayland   the native Wayland overlay (what a Plasma session gets);
#   x11-argb  the X11 translucent overlay through XWayland (DESKPET_SESSION=x11
#             DESKPET_OVERLAY=argb: the X11 program under a compositor);
#   idle      the desktop with no program, for what KWin costs by itself.
#   bench/kwin_cpu.sh [BUILD_DIR]      (default: build-qt, built if missing)
# Each line gives CPU seconds per second of the program, kwin_wayland and
# Xwayland (utime + stime from /proc/PID/stat), their total, and the program's
# wake-ups per second (voluntary context switches of all its threads); after
# each program line come its own figures (ticks per second, presents, ...).
# The pointer stays still, as in bench/desktop_cpu.sh.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build-qt}")
duration=${DURATION:-30}
# shellcheck source=bench/desktop_lib.sh
. "$root/bench/desktop_lib.sh"
start_bench

# The session: its own runtime folder and bus; KWin started from a copy (the
# packaged file's capability is refused in a container).
export XDG_RUNTIME_DIR="$work/runtime" HOME="$work" XDG_SESSION_TYPE=wayland \
  XDG_CURRENT_DESKTOP=KDE KDE_FULL_SESSION=true KDE_SESSION_VERSION=5
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
dbus-daemon --session --nofork --address="unix:path=$XDG_RUNTIME_DIR/bus" >/dev/null 2>&1 &
pids+=($!)
export DBUS_SESSION_BUS_ADDRESS="unix:path=$XDG_RUNTIME_DIR/bus"
mkdir -p /tmp/.X11-unix
cp "$(command -v kwin_wayland)" "$work/kwin_wayland"
printf '#!/bin/sh\necho "$DISPLAY" > %s/display\nexec sleep 100000\n' "$work" >"$work/tell.sh"
chmod +x "$work/tell.sh"
QT_QPA_PLATFORM=offscreen "$work/kwin_wayland" --virtual --width 1920 --height 1080 --xwayland \
  --socket wl-bench "$work/tell.sh" >"$work/kwin.log" 2>&1 &
kwin=$!
pids+=("$kwin")
for _ in $(seq 300); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "KWin did not start: $(tail -3 "$work/kwin.log")" >&2; exit 1; }
export WAYLAND_DISPLAY=wl-bench DISPLAY
DISPLAY=$(cat "$work/display")
xwayland=$(pgrep -n -x Xwayland)
sleep 2

mkdir "$work/pets"
/usr/bin/python3 -c "
import sys; sys.path.insert(0, '$root/tests/e2e'); import datafile as d
pets = [d.pet(100 + (i % 10) * 170, 150 + (i // 10) * 170, speed=5, zoom=100) for i in range(int('${PETS:-50}'))]
open('$work/pets/zpdata.mrdt', 'wb').write(d.format_data(pets))"

# measure NAME PID: one line of figures over $duration seconds.
measure() {
  local name=$1 pid=$2 p0=0 k0 x0 v0=0 t0 p1=0 k1 x1 v1=0 t1
  [ -z "$pid" ] || { p0=$(cpu_ticks "$pid"); v0=$(wakeups "$pid"); }
  k0=$(cpu_ticks "$kwin") x0=$(cpu_ticks "$xwayland") t0=$(date +%s%N)
  sleep "$duration"
  [ -z "$pid" ] || { p1=$(cpu_ticks "$pid"); v1=$(wakeups "$pid"); }
  k1=$(cpu_ticks "$kwin") x1=$(cpu_ticks "$xwayland") t1=$(date +%s%N)
  awk -v n="$name" -v p=$((p1 - p0)) -v k=$((k1 - k0)) -v x=$((x1 - x0)) -v hz="$hz" \
    -v v=$((v1 - v0)) -v ms="$(((t1 - t0) / 1000000))" 'BEGIN {
      s = ms / 1000
      printf "%-10s program %.4f | kwin_wayland %.4f | Xwayland %.4f | total %.4f CPU s/s | wake-ups %.1f/s\n",
        n, p / hz / s, k / hz / s, x / hz / s, (p + k + x) / hz / s, v / s }'
}

# ours NAME ENV...: the program started with ENV, measured, stopped.
ours() {
  local name=$1 prog
  shift
  (cd "$work/pets" && exec env DESKPET_STATS=1 "$@" "$build/deskpet" --data-dir "$work/pets" \
    2>"$work/deskpet.err") &
  prog=$!
  pids+=("$prog")
  sleep 5 # the splash
  measure "$name" "$prog"
  kill -TERM "$prog"
  for _ in $(seq 50); do kill -0 "$prog" 2>/dev/null || break; sleep 0.1; done
  echo "  $(grep -h deskpet-stats "$work/deskpet.err" | sed 's/^deskpet-stats //')"
}

echo "KWin $("$work/kwin_wayland" --version 2>/dev/null | awk '{print $2}') headless 1920x1080, ${PETS:-50} pets, ${duration} s each"
ours wayland
ours x11-argb DESKPET_SESSION=x11 DESKPET_OVERLAY=argb
measure idle ""
