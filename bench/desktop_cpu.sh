#!/usr/bin/env bash
# CPU cost of the desktop program on Xvfb 1920x1080 with openbox: PETS (default
# 50) wandering pets (speed 5, zoom 100) for DURATION seconds (default 30) per
# measurement, against xpenguins -n 50 measured the same way in the same run.
#   bench/desktop_cpu.sh [BUILD_DIR]      (default: build-qt, built if missing)
# One run measures, in this order:
#   without a compositor: the shaped overlays, the sprite loads, then xpenguins;
#   with COMPOSITOR (xcompmgr by default, picom for picom --backend xrender,
#   none to skip): the translucent overlay, the shaped ones, then xpenguins.
# Each line gives CPU seconds per second of the program, the X server, the
# window manager and the compositor (utime + stime from /proc/PID/stat), their
# total, the program's wake-ups per second (voluntary context switches of all
# its threads) and its resident memory (VmRSS); after each program line come
# its own figures (ticks per second, presents, shape changes).
#   OVERLAYS="shape argb"   which overlays to measure (default both); also
#                           shape-diff (the shaped overlay sent as differences)
#   SPRITES="one many"      also measure the synthetic sprite load
#                           (bench/sprite_windows.c) without a compositor, in
#                           those variants (one, many, one-unmanaged,
#                           many-unmanaged, each also with -walk; default none)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build-qt}")
duration=${DURATION:-30}
compositor=${COMPOSITOR:-xcompmgr}
overlays=" ${OVERLAYS:-shape argb} "
# shellcheck source=bench/desktop_lib.sh
. "$root/bench/desktop_lib.sh"
start_bench

rss_kb() { awk '/^VmRSS/ {print $2}' "/proc/$1/status"; }

start_desktop
comp=
sleep 1

# measure NAME PID: prints one line; leaves the total CPU s/s in $total.
measure() {
  local name=$1 pid=$2 p0 x0 w0 c0=0 v0 t0 p1 x1 w1 c1=0 v1 t1
  p0=$(cpu_ticks "$pid") x0=$(cpu_ticks "$xvfb") w0=$(cpu_ticks "$wm") v0=$(wakeups "$pid")
  [ -z "$comp" ] || c0=$(cpu_ticks "$comp")
  t0=$(date +%s%N)
  sleep "$duration"
  p1=$(cpu_ticks "$pid") x1=$(cpu_ticks "$xvfb") w1=$(cpu_ticks "$wm") v1=$(wakeups "$pid")
  [ -z "$comp" ] || c1=$(cpu_ticks "$comp")
  t1=$(date +%s%N)
  rss=$(rss_kb "$pid")
  local out
  out=$(awk -v n="$name" -v p=$((p1 - p0)) -v x=$((x1 - x0)) -v w=$((w1 - w0)) -v hz="$hz" \
    -v c=$((c1 - c0)) -v cn="${comp:+$compositor}" -v v=$((v1 - v0)) \
    -v ms="$(((t1 - t0) / 1000000))" -v rss="$rss" 'BEGIN {
      s = ms / 1000; t = (p + x + w + c) / hz / s
      printf "%-24s program %.4f | X server %.4f | window manager %.4f", n, p / hz / s, x / hz / s, w / hz / s
      if (cn != "") printf " | %s %.4f", cn, c / hz / s
      printf " | total %.4f CPU s/s | wake-ups %.1f/s | VmRSS %.1f MB\n", t, v / s, rss / 1024
      printf "%.6f\n", t }')
  echo "${out%$'\n'*}"
  total=${out##*$'\n'}
}

mkdir "$work/pets"
/usr/bin/python3 -c "
import sys; sys.path.insert(0, '$root/tests/e2e'); import datafile as d
pets = [d.pet(100 + (i % 10) * 170, 150 + (i // 10) * 170, speed=5, zoom=100) for i in range(int('${PETS:-50}'))]
open('$work/pets/zpdata.mrdt', 'wb').write(d.format_data(pets))"

# ours OVERLAY: measures the program with that overlay; total in $total.
ours() {
  local overlay=$1 prog stats
  (cd "$work/pets" && DESKPET_STATS=1 DESKPET_OVERLAY="$overlay" exec "$build/deskpet" \
    --data-dir "$work/pets" 2>"$work/deskpet.err") &
  prog=$!
  pids+=("$prog")
  sleep 4 # the splash
  measure "deskpet $overlay${comp:+ + $compositor}" "$prog"
  kill -TERM "$prog"
  for _ in $(seq 50); do kill -0 "$prog" 2>/dev/null || break; sleep 0.1; done
  stats=$(grep deskpet-stats "$work/deskpet.err" || true)
  echo "  ${stats#deskpet-stats }"
}

# measured NAME COMMAND...: starts COMMAND, measures it as NAME, stops it.
measured() {
  local name=$1 prog
  shift
  "$@" >/dev/null 2>&1 &
  prog=$!
  pids+=("$prog")
  sleep 2
  measure "$name" "$prog"
  kill "$prog" 2>/dev/null || true
  wait "$prog" 2>/dev/null || true
}

theirs() {
  measured "xpenguins -n 50${comp:+ + $compositor}" xpenguins -n 50
}

ratio() {
  awk -v a="$1" -v b="$2" -v n="$3" 'BEGIN {
    if (b > 0) printf "  ratio %s / xpenguins total CPU: %.2f\n", n, a / b
    else print "  ratio: xpenguins used no measurable CPU" }'
}

# sprites VARIANT: the synthetic load of bench/sprite_windows.c; total in $total.
sprites() {
  measured "sprite_windows $1" "$work/sprite_windows" "$1"
}
sprite_variants=${SPRITES:-}
if [ -n "$sprite_variants" ]; then
  cc -std=c11 -D_POSIX_C_SOURCE=200809L -O2 -Wall -Wextra -Werror "$root/bench/sprite_windows.c" \
    -o "$work/sprite_windows" -lxcb -lxcb-shape
fi

echo "Xvfb 1920x1080 + openbox, ${PETS:-50} pets, ${duration} s each; xpenguins frames 16.6/s (its 60 ms delay)"
declare -A plain=()
for o in shape shape-diff; do
  if [[ $overlays == *" $o "* ]]; then
    ours "$o"
    plain[$o]=$total
  fi
done
for v in $sprite_variants; do
  sprites "$v"
  plain["sprite_windows $v"]=$total
done
theirs
for o in "${!plain[@]}"; do ratio "${plain[$o]}" "$total" "$o"; done

[ "$compositor" != none ] || exit 0
case "$compositor" in
  xcompmgr) xcompmgr >/dev/null 2>&1 & comp=$! ;;
  picom) picom --config /dev/null --backend xrender >/dev/null 2>&1 & comp=$! ;;
  *) echo "COMPOSITOR: xcompmgr, picom or none" >&2 && exit 2 ;;
esac
pids+=("$comp")
sleep 1
declare -A withComp=()
for o in argb shape shape-diff; do
  if [[ $overlays == *" $o "* ]]; then
    ours "$o"
    withComp[$o]=$total
  fi
done
theirs
for o in "${!withComp[@]}"; do ratio "${withComp[$o]}" "$total" "$o + $compositor"; done
