#!/usr/bin/env bash
# Escape a few seconds into the run, and a window-manager close request, each end the demo
# within a fraction of a second with status 0 and "Exiting sanely..." twice.
. "$(dirname "$0")/lib.sh"

start_display 640x480x24
for how in escape close; do
  start_demo
  id=$(demo_window 10) || fail "no window appeared"
  sleep 3
  kill -0 "$DEMO_PID" 2>/dev/null || fail "the demo ended by itself before the $how"
  sent_ns=$(date +%s%N)
  if [ "$how" = escape ]; then
    xdotool key --window "$id" Escape
  else
    "$SEND_CLOSE" "$id" || fail "could not send the close request"
  fi
  wait_demo 5
  reaction_ms=$(( ($(date +%s%N) - sent_ns) / 1000000 ))
  echo "$how: status $STATUS, ended ${reaction_ms} ms after the request; stdout:"
  cat "$WORK/out"
  [ "$STATUS" -eq 0 ] || fail "status $STATUS after $how"
  [ "$reaction_ms" -lt 1000 ] || fail "$how took ${reaction_ms} ms"
  [ "$(count_lines 'Exiting sanely...')" -eq 2 ] || fail "expected 'Exiting sanely...' twice after $how"
  [ "$(wc -l < "$WORK/out")" -eq 2 ] || fail "unexpected lines on stdout after $how"
done
echo ok
