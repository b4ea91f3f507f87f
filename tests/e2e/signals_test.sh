#!/usr/bin/env bash
# SIGHUP, SIGQUIT, SIGINT and SIGTERM each end the demo like a close request, through the
# shutdown that restores the display: status 0, "Exiting sanely..." twice. A reader of stdout
# that has gone away (| head -n 1) does not kill it there either.
. "$(dirname "$0")/lib.sh"

start_display 640x480x24
for signal in HUP QUIT INT TERM; do
  start_demo env --default-signal=INT,QUIT  # a background job starts with these two ignored
  demo_window 10 >/dev/null || fail "no window appeared"
  sleep 1; kill -s "$signal" "$DEMO_PID"
  wait_demo 5
  [ "$STATUS" -eq 0 ] && [ "$(count_lines 'Exiting sanely...')" -eq 2 ] || fail "no clean end after SIG$signal"
done

start_demo bash -c '"$0" | head -n 1 >/dev/null; exit "${PIPESTATUS[0]}"'
id=$(demo_window 10) || fail "no window appeared"
sleep 1; xdotool key --window "$id" Escape
wait_demo 5
[ "$STATUS" -eq 0 ] || fail "status $STATUS with stdout's reader gone"
echo ok
