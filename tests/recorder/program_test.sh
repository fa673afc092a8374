#!/usr/bin/env bash
# Runs the built camview-recorder: --help, a bad option, then --port 0, reads the
# "listening on" line, fetches the "connection established" reply and the first picture
# over a plain TCP connection, and stops it with SIGTERM, which must end it cleanly (exit 0).
set -u
program="$1"
work="$(mktemp -d)"
trap 'kill -9 "${pid:-0}" 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; cat "$work/err" 2>/dev/null; exit 1; }

"$program" --help | grep -q -- "--fault-script" || fail "--help does not document the options"
"$program" --level 9 2>"$work/bad" && fail "a bad option was accepted"
grep -q "level" "$work/bad" || fail "a bad option gives no message"

"$program" --port 0 --camera "Script %d" --status-interval 0 >"$work/out" 2>"$work/err" &
pid=$!
for _ in $(seq 100); do
  grep -q "^listening on " "$work/out" && break
  sleep 0.1
done
line="$(grep "^listening on " "$work/out")" || fail "no 'listening on' line"
port="${line##*:}"

# Open request for connection id 5: "PLPR", 32, "PDAT", 16, 2, 0, 5, 0 (little-endian).
exec 3<>"/dev/tcp/127.0.0.1/$port" || fail "cannot connect to port $port"
printf 'PLPR\x20\x00\x00\x00PDAT\x10\x00\x00\x00\x02\x00\x00\x00\x00\x00\x00\x00\x05\x00\x00\x00\x00\x00\x00\x00' >&3
head -c 400 <&3 >"$work/reply"
exec 3<&-
od -An -c "$work/reply" | tr -d ' \n' | grep -q 'PLPR' || fail "the reply is not a message"
od -An -tu4 -j 16 -N 4 "$work/reply" | grep -qw 5 || fail "the first reply is not 'connection established'"
grep -qa "Script 5" "$work/reply" || fail "the first picture does not carry the camera name"

kill -TERM "$pid"
wait "$pid"
status=$?
[ "$status" -eq 0 ] || fail "exit status $status after SIGTERM"
grep -q "stopped (signal 15)" "$work/err" || fail "no closing line"
grep -q "#1 id 5: open request" "$work/err" || fail "no status line for the connection"
echo "1 passed, 0 failed"
