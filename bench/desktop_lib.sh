# Shared by the desktop benchmarks (sourced): their start, measuring a
# process, and a private Xvfb 1920x1080 with openbox.

# Builds the Linux program into $build if it is missing; sets hz, a scratch
# folder $work, and the array pids of processes stopped (last first) when the
# script ends, when the scratch folder goes too unless KEEP is set.
start_bench() {
  if [ ! -x "$build/deskpet" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DDESKPET_QT=ON -DDESKPET_TESTS=OFF \
      -DDESKPET_BENCH=OFF >/dev/null
    cmake --build "$build" --target deskpet
  fi
  hz=$(getconf CLK_TCK)
  work=$(mktemp -d)
  pids=()
  trap stop_bench EXIT
}
stop_bench() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  wait 2>/dev/null || true
  [ -n "${KEEP:-}" ] || rm -rf "$work"
}

cpu_ticks() { sed 's/^.*) //' "/proc/$1/stat" | awk '{print $12 + $13}'; }
# Voluntary context switches of every thread of the process: each is a wait
# that ended, i.e. a wake-up.
wakeups() { cat /proc/"$1"/task/*/status 2>/dev/null | awk '/^voluntary_ctxt_switches/ {n += $2} END {print n + 0}'; }

# Starts the X server and openbox on a free display; sets DISPLAY, xvfb and wm.
start_desktop() {
  local n=90
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
}
