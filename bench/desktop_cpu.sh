#!/usr/bin/env bash
# CPU cost of the desktop program on Xvfb 1920x1080 with openbox: 50 wandering
# pets (speed 5, zoom 100) for DURATION seconds (default 30), against
# xpenguins -n 50 measured the same way in the same run.
#   bench/desktop_cpu.sh [BUILD_DIR]      (default: build-qt, built if missing)
# Reports CPU seconds per second of the program, the X server and the window
# manager (utime + stime from /proc/PID/stat), the program's ticks per second
# and its resident memory (VmRSS).
#   OVERLAY=argb      runs the program with DESKPET_OVERLAY=argb (translucent
#                     window, input shape only); default: the shaped window
#   COMPOSITOR=NAME   starts xcompmgr or picom (xrender) after openbox and
#                     counts its CPU too; the translucent window needs one
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build-qt}")
duration=${DURATION:-30}
if [ ! -x "$build/deskpet" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DDESKPET_QT=ON -DDESKPET_TESTS=OFF \
    -DDESKPET_BENCH=OFF >/dev/null
  cmake --build "$build" --target deskpet
fi
hz=$(getconf CLK_TCK)
work=$(mktemp -d)
pids=()
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  wait 2>/dev/null || true
  [ -n "${KEEP:-}" ] || rm -rf "$work"
}
trap cleanup EXIT

cpu_ticks() { sed 's/^.*) //' "/proc/$1/stat" | awk '{print $12 + $13}'; }
rss_kb() { awk '/^VmRSS/ {print $2}' "/proc/$1/status"; }

n=90
while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
export DISPLAY=":$n" XDG_RUNTIME_DIR="$work/runtime"
unset DBUS_SESSION_BUS_ADDRESS
mkdir -m 700 "$XDG_RUNTIME_DIR"
Xvfb "$DISPLAY" -screen 0 1920x1080x24 -noreset -s 0 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
pids+=("$xvfb")
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.05; done
HOME="$work" openbox --sm-disable >/dev/null 2>&1 &
wm=$!
pids+=("$wm")
comp=
case "${COMPOSITOR:-}" in
  '') ;;
  xcompmgr) xcompmgr >/dev/null 2>&1 & comp=$! ;;
  picom) picom --config /dev/null --backend xrender >/dev/null 2>&1 & comp=$! ;;
  *) echo "COMPOSITOR: xcompmgr or picom" >&2 && exit 2 ;;
esac
[ -z "$comp" ] || pids+=("$comp")
sleep 1

# measure NAME PID: prints one line; leaves the total CPU s/s in $total.
measure() {
  local name=$1 pid=$2 p0 x0 w0 c0=0 t0 p1 x1 w1 c1=0 t1
  p0=$(cpu_ticks "$pid") x0=$(cpu_ticks "$xvfb") w0=$(cpu_ticks "$wm") t0=$(date +%s%N)
  [ -z "$comp" ] || c0=$(cpu_ticks "$comp")
  sleep "$duration"
  p1=$(cpu_ticks "$pid") x1=$(cpu_ticks "$xvfb") w1=$(cpu_ticks "$wm") t1=$(date +%s%N)
  [ -z "$comp" ] || c1=$(cpu_ticks "$comp")
  rss=$(rss_kb "$pid")
  local out
  out=$(awk -v n="$name" -v p=$((p1 - p0)) -v x=$((x1 - x0)) -v w=$((w1 - w0)) -v hz="$hz" \
    -v c=$((c1 - c0)) -v cn="${COMPOSITOR:-}" \
    -v ms="$(((t1 - t0) / 1000000))" -v rss="$rss" 'BEGIN {
      s = ms / 1000; t = (p + x + w + c) / hz / s
      printf "%-9s program %.4f | X server %.4f | window manager %.4f", n, p / hz / s, x / hz / s, w / hz / s
      if (cn != "") printf " | %s %.4f", cn, c / hz / s
      printf " | total %.4f CPU s/s | VmRSS %.1f MB\n", t, rss / 1024
      printf "%.6f\n", t }')
  echo "${out%$'\n'*}"
  total=${out##*$'\n'}
}

mkdir "$work/pets"
/usr/bin/python3 -c "
import sys; sys.path.insert(0, '$root/tests/e2e'); import datafile as d
pets = [d.pet(100 + (i % 10) * 170, 150 + (i // 10) * 170, speed=5, zoom=100) for i in range(int('${PETS:-50}'))]
open('$work/pets/zpdata.mrdt', 'wb').write(d.format_data(pets))"

echo "Xvfb 1920x1080 + openbox${COMPOSITOR:+ + $COMPOSITOR}, overlay ${OVERLAY:-shape}, ${duration} s each"
(cd "$work/pets" && DESKPET_STATS=1 DESKPET_OVERLAY="${OVERLAY:-shape}" exec "$build/deskpet" --data-dir "$work/pets" 2>"$work/deskpet.err") &
prog=$!
pids+=("$prog")
sleep 4 # the splash
measure deskpet "$prog"
ours=$total
kill -TERM "$prog"
for _ in $(seq 50); do kill -0 "$prog" 2>/dev/null || break; sleep 0.1; done
stats=$(grep deskpet-stats "$work/deskpet.err" || true)
echo "deskpet   ${stats#deskpet-stats }"

xpenguins -n 50 >/dev/null 2>&1 &
peer=$!
pids+=("$peer")
sleep 2
measure xpenguins "$peer"
theirs=$total
kill "$peer" 2>/dev/null || true
echo "xpenguins frames 16.6/s (its 60 ms delay)"
awk -v a="$ours" -v b="$theirs" 'BEGIN {
  if (b > 0) printf "ratio deskpet / xpenguins total CPU: %.2f\n", a / b
  else print "ratio: xpenguins used no measurable CPU" }'
