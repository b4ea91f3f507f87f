#!/usr/bin/env bash
# The real program's window: it covers the whole 640x480 screen, Escape ends it at once with
# "Exiting sanely..." twice and status 0; with no display, a refused mode or a refused GL
# context it gives one reason and status 1.
. "$(dirname "$0")/lib.sh"

start_display 640x480x24
start_demo
id=$(demo_window 10) || fail "no window appeared"
geometry=$(xdotool getwindowgeometry "$id")
echo "$geometry"
echo "$geometry" | grep -q "Position: 0,0" || fail "window not at 0,0"
echo "$geometry" | grep -q "Geometry: 640x480" || fail "window not 640x480"
sleep 1
kill -0 "$DEMO_PID" || fail "the demo ended by itself"
xdotool key --window "$id" Escape
wait_demo 5
[ "$STATUS" -eq 0 ] || fail "status $STATUS after Escape"
[ "$(count_lines 'Exiting sanely...')" -eq 2 ] || fail "expected 'Exiting sanely...' twice"
[ "$(wc -l < "$WORK/out")" -eq 2 ] || fail "unexpected lines on stdout"

# No display at all.
DISPLAY= SDL_AUDIODRIVER=dummy "$YARVIK" >"$WORK/out" 2>"$WORK/err"
status=$?
[ "$status" -eq 1 ] || fail "status $status without a display"
[ "$(wc -l < "$WORK/err")" -eq 1 ] || fail "expected one line on stderr without a display"
[ ! -s "$WORK/out" ] || fail "stdout not empty without a display"

# A GL driver that the X server refuses (indirect rendering): one reason, status 1, no X dump.
LIBGL_ALWAYS_INDIRECT=1 SDL_AUDIODRIVER=dummy "$YARVIK" >"$WORK/out" 2>"$WORK/err"
status=$?
[ "$status" -eq 1 ] || fail "status $status when the GL context is refused"
[ "$(wc -l < "$WORK/err")" -eq 1 ] || fail "expected one line on stderr when the GL context is refused"

# A screen larger than 640x480 that cannot switch to it: the mode counts as refused.
kill "$XVFB_PID"; wait "$XVFB_PID" 2>/dev/null; XVFB_PID=""
start_display 1024x768x24
SDL_AUDIODRIVER=dummy "$YARVIK" >"$WORK/out" 2>"$WORK/err"
status=$?
[ "$status" -eq 1 ] || fail "status $status with a refused display mode"
grep -q "refused" "$WORK/err" || fail "no reason given for the refused mode"
echo "ok"
