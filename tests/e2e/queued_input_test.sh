#!/usr/bin/env bash
# Escape behind a burst of input the demo does not act on (1,000 mouse moves, 1,500 other
# keys) still ends it within a second, with status 0.
. "$(dirname "$0")/lib.sh"

start_display 640x480x24
start_demo
id=$(demo_window 10) || fail "no window appeared"
sleep 2
moves=$(for _ in $(seq 1 500); do echo mousemove 100 100 mousemove 300 200; done)
xdotool $moves key --delay 0 --window "$id" $(printf 'a %.0s' $(seq 1 1500)) Escape
sent_ns=$(date +%s%N)
wait_demo 20
reaction_ms=$(( ($(date +%s%N) - sent_ns) / 1000000 ))
echo "ended ${reaction_ms} ms after the Escape behind the burst"
[ "$STATUS" -eq 0 ] || fail "status $STATUS"
[ "$reaction_ms" -lt 1000 ] || fail "Escape behind the burst took ${reaction_ms} ms"
echo ok
