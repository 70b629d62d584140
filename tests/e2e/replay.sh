#!/usr/bin/env bash
# The replay tool as a user drives it: scripts, errors, the saved file.
set -euo pipefail
replay=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# A bad line stops the tool with status 2, names the line, and writes nothing.
set +e
err=$(printf 'at 2026-12-10 09:30:00\n# comment\nticks 2\nticks x\nquit\nticks 1\n' | "$replay" "$dir" 2>&1 >/dev/null)
status=$?
set -e
[ "$status" = 2 ] || fail "bad argument gave status $status"
[[ "$err" == *"line 4"* ]] || fail "message does not name line 4: $err"
[ -z "$(ls -A "$dir")" ] || fail "files written after an error"
set +e; printf 'frobnicate\n' | "$replay" "$dir" 2>/dev/null; status=$?; set -e
[ "$status" = 2 ] || fail "unknown command gave status $status"

# First run, quit request on the welcome: the tool stops reading, and nothing
# is written, so the next start welcomes again.
out=$(printf 'at 2026-12-10 09:30:00\nticks 3\nquit\nticks 1\ndump\n' | "$replay" "$dir")
[ -z "$out" ] || fail "dump after the end was run"
[ -z "$(ls -A "$dir")" ] || fail "a first run ended on the welcome wrote files"

# First run with its first pet (OK on the welcome, OK on the new pet), quit
# request: the file is saved.
printf 'at 2026-12-10 09:30:00\nticks 2\nclick Command5\nticks 3\nclick Command1\nticks 1\nquit\nticks 1\n' |
  "$replay" "$dir"
[ "$(wc -l < "$dir/zpdata.mrdt")" = 1355 ] || fail "saved file is not 1355 lines"
head -c 8 "$dir/zpdata.mrdt" | od -c | grep -q 'V   E   R   1   1   0  \\r  \\n' || fail "first line"

# Returning path, driven line by line through a pipe.
coproc R { "$replay" "$dir"; }
printf 'ticks 300\ndump\n' >&"${R[1]}"
read -r line <&"${R[0]}"
[[ "$line" == *'"runState":10'* && "$line" == *'"ended":false'* ]] || fail "not running: ${line:0:120}"
printf 'key 27\n' >&"${R[1]}"
wait "$R_PID" || fail "escape did not exit 0"
echo "replay e2e: 5 passed, 0 failed"
