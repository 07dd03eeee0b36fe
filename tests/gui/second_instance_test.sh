#!/usr/bin/env bash
# Runs the real program twice on an X display: the second copy must show its
# notice, end with exit code 0 once the notice is dismissed, and leave the
# first copy running. A copy killed hard must not lock out the next start.
set -u
program=$1
# Kills only the copies this test started: an unset PID must never become
# "kill 0", which would take the whole process group (ctest included) along.
started=()
fail() {
    echo "FAIL: $*"
    for pid in "${started[@]}"; do
        kill -9 "$pid" 2>/dev/null
    done
    exit 1
}

[ -n "${DISPLAY:-}" ] || { echo "no X display; run under xvfb-run"; exit 1; }
command -v xdotool >/dev/null || fail "xdotool missing"

runtime=$(mktemp -d)
chmod 700 "$runtime"
export XDG_RUNTIME_DIR=$runtime
export QTWEBENGINE_DISABLE_SANDBOX=1
# This test needs real X windows, whatever the caller's environment says.
export QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY
trap 'rm -rf "$runtime"' EXIT

find_window() {  # title, seconds
    timeout "$2" xdotool search --sync --onlyvisible --name "$1" 2>/dev/null | head -n 1
}

"$program" >/dev/null 2>&1 &
first=$!
started+=("$first")
[ -n "$(find_window '云海舟查号软件' 60)" ] || fail "first copy shows no main window"

"$program" >/dev/null 2>&1 &
second=$!
started+=("$second")
notice=$(find_window '友情提醒:' 30)
[ -n "$notice" ] || fail "second copy shows no notice"
kill -0 "$first" 2>/dev/null || fail "first copy died"
xdotool windowfocus --sync "$notice" key --clearmodifiers Return
for _ in $(seq 1 100); do
    kill -0 "$second" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$second" 2>/dev/null && fail "second copy still runs after the notice"
wait "$second"
rc=$?
[ "$rc" -eq 0 ] || fail "second copy ended with exit code $rc"
kill -0 "$first" 2>/dev/null || fail "first copy did not survive"
[ "$(xdotool search --onlyvisible --name '云海舟查号软件' | wc -l)" -ge 1 ] || fail "first window gone"

# A copy that died without cleaning up leaves a stale lock behind.
kill -9 "$first"
wait "$first" 2>/dev/null
"$program" >/dev/null 2>&1 &
third=$!
started=("$third")
[ -n "$(find_window '云海舟查号软件' 60)" ] || fail "stale lock refused a new start"
kill -9 "$third"
echo "second instance: 3 passed, 0 failed"
