#!/usr/bin/env bash
# With stdout closed Escape still ends the demo, and with stderr closed a refused display mode
# still does, each with its usual status: the display connection never takes a closed one over.
. "$(dirname "$0")/lib.sh"

start_display 640x480x24
start_demo sh -c 'exec "$0" >&-'
id=$(demo_window 10) || fail "no window appeared"
sleep 1; xdotool key --window "$id" Escape
wait_demo 5
[ "$STATUS" -eq 0 ] || fail "status $STATUS after Escape with stdout closed"

kill "$XVFB_PID"; wait "$XVFB_PID" 2>/dev/null; XVFB_PID=""
start_display 1024x768x24
start_demo sh -c 'exec "$0" 2>&-'
wait_demo 10
[ "$STATUS" -eq 1 ] || fail "status $STATUS for a refused mode with stderr closed"
echo ok
