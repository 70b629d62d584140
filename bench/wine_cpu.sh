#!/usr/bin/env bash
# CPU cost of the Windows program under Wine on Xvfb 1920x1080 with openbox
# (no tray host): 50 wandering pets (speed 5, zoom 100) and no pets, DURATION
# seconds each (default 30), against xpenguins -n 50 in the same run.
#   bench/wine_cpu.sh [EXE]      (default: build-win32/deskpet.exe, built if missing)
# Reports CPU seconds per second (utime + stime from /proc/PID/stat) of the
# program, wineserver and the X server, their total, the program's wake-ups a
# second (voluntary context switches of all its threads), its resident and
# private memory (VmRSS; Private_Clean + Private_Dirty), and its ticks a second.
#   PETS=N  the number of pets in the first row (default 50)
#   MODELS="one many ..."  also measures bench/wine_windows.c (built here)
#           with each of these variants, before xpenguins
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
exe=$(realpath -m "${1:-$root/build-win32/deskpet.exe}")
duration=${DURATION:-30}
[ -f "$exe" ] || "$root/scripts/build-win32.sh" >/dev/null
hz=$(getconf CLK_TCK)
work=$(mktemp -d)
pids=()
cleanup() {
  [ -z "${WINEPREFIX:-}" ] || wineserver -k >/dev/null 2>&1 || true
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  wait 2>/dev/null || true
  [ -n "${KEEP:-}" ] || rm -rf "$work"
}
trap cleanup EXIT
# shellcheck source=bench/desktop_lib.sh
. "$root/bench/desktop_lib.sh"

memory_kb() {
  awk '/^Rss:/ {r = $2} /^Private_(Clean|Dirty):/ {p += $2} END {print r, p}' \
    "/proc/$1/smaps_rollup"
}

start_desktop

# One fresh prefix for the whole run, served by one persistent wineserver.
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
wineserver -f -p >/dev/null 2>&1 &
server=$!
pids+=("$server")
wineboot -i >/dev/null 2>&1
sleep 1

# The data file as bench/desktop_cpu.sh makes it.
make_pets() {
  mkdir -p "$1"
  /usr/bin/python3 -c "
import sys; sys.path.insert(0, '$root/tests/e2e'); import datafile as d
pets = [d.pet(100 + (i % 10) * 170, 150 + (i // 10) * 170, speed=5, zoom=100) for i in range($2)]
open('$1/zpdata.mrdt', 'wb').write(d.format_data(pets))"
}

# measure NAME PID: prints one line; leaves the total CPU s/s in $total.
measure() {
  local name=$1 pid=$2 p0 s0 x0 v0 t0 p1 s1 x1 v1 t1 mem
  p0=$(cpu_ticks "$pid") s0=$(cpu_ticks "$server") x0=$(cpu_ticks "$xvfb") v0=$(wakeups "$pid")
  t0=$(date +%s%N)
  sleep "$duration"
  p1=$(cpu_ticks "$pid") s1=$(cpu_ticks "$server") x1=$(cpu_ticks "$xvfb") v1=$(wakeups "$pid")
  t1=$(date +%s%N)
  mem=$(memory_kb "$pid")
  local out
  out=$(awk -v n="$name" -v p=$((p1 - p0)) -v s=$((s1 - s0)) -v x=$((x1 - x0)) -v hz="$hz" \
    -v v=$((v1 - v0)) -v ms="$(((t1 - t0) / 1000000))" -v mem="$mem" 'BEGIN {
      split(mem, m, " "); sec = ms / 1000; t = (p + s + x) / hz / sec
      printf "%-14s program %.4f | wineserver %.4f | X server %.4f | total %.4f CPU s/s", n, p / hz / sec, s / hz / sec, x / hz / sec, t
      printf " | %.0f wake-ups/s | RSS %.1f MB | private %.1f MB\n", v / sec, m[1] / 1024, m[2] / 1024
      printf "%.6f\n", t }')
  echo "${out%$'\n'*}"
  total=${out##*$'\n'}
}

# run_exe NAME DIR EXE ARGS...: the Windows program EXE started in DIR,
# measured, then told to end; then its own tick count.
run_exe() {
  local name=$1 dir=$2 exe=$3 prog
  shift 3
  # wine execs its loader and then the program: the same process all along.
  (cd "$dir" && DESKPET_STATS=1 exec wine "$exe" "$@" 2>"$dir/err") &
  prog=$!
  sleep 6 # Wine's start and the splash
  # The first program in a fresh prefix can wait about 10 s more before
  # its first tick: measure once it wakes (up to 30 s more).
  local i v
  for ((i = 0; i < 30; i++)); do
    kill -0 "$prog" 2>/dev/null || break
    v=$(wakeups "$prog")
    sleep 1
    [ $(($(wakeups "$prog") - v)) -le 5 ] || break
  done
  kill -0 "$prog" 2>/dev/null || { echo "$name: the program ended: $(cat "$dir/err")" >&2; exit 1; }
  measure "$name" "$prog"
  wine taskkill /im "$(basename "$exe")" >/dev/null 2>&1 || true
  for _ in $(seq 100); do kill -0 "$prog" 2>/dev/null || break; sleep 0.1; done
  kill "$prog" 2>/dev/null || true
  echo "$(printf '%-14s' "$name") $(grep -a -o '[a-z_]*: [0-9]* ticks.*' "$dir/err" || echo 'no tick count')"
}

# run NAME PETS: the program with that many pets.
run() {
  make_pets "$work/$1" "$2"
  run_exe "$1" "$work/$1" "$exe" --data-dir .
}

echo "Xvfb 1920x1080 + openbox, Wine $(wine --version), no tray host, ${duration} s each"
run "deskpet.exe" "${PETS:-50}"
ours=$total
run "no pets" 0
if [ -n "${MODELS:-}" ]; then
  x86_64-w64-mingw32-gcc -O2 -o "$work/wine_windows.exe" "$root/bench/wine_windows.c" \
    -lgdi32 -luser32 -mwindows
  for variant in $MODELS; do
    mkdir -p "$work/$variant"
    run_exe "model $variant" "$work/$variant" "$work/wine_windows.exe" "$variant"
  done
fi

xpenguins -n 50 >/dev/null 2>&1 &
peer=$!
pids+=("$peer")
sleep 2
# xpenguins talks to the X server only: its wineserver column is idle time.
measure "xpenguins -n 50" "$peer"
theirs=$total
kill "$peer" 2>/dev/null || true
awk -v a="$ours" -v b="$theirs" 'BEGIN {
  if (b > 0) printf "ratio deskpet.exe / xpenguins total CPU: %.2f\n", a / b
  else print "ratio: xpenguins used no measurable CPU" }'
