#!/usr/bin/env bash
# The real program's window: it covers the whole 640x480 screen, Escape ends it at once with
# "Exiting sanely..." twice and status 0; with no display, a refused mode or a refused GL
# context it gives one reason and status 1. On a 1280x1024 screen, --desktop fills it with the
# picture centred between two black bands, --window WxH is a window of that size, whose picture
# refits when it is resized, and --gl es2 shows the picture on OpenGL ES 2. A window destroyed
# from outside ends the run normally.
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
grep -q -- "--desktop" "$WORK/err" || fail "the refused mode does not suggest --desktop"

# The same screen given a 640x480 mode really switches to it. The window destroyed from
# outside ends the run through the normal shutdown: status 0 with the reason in one line, no
# hang, SIGTERM not needed, and the screen back at 1024x768.
xrandr --newmode 640x480 25.175 640 656 752 800 480 490 492 525 && xrandr --addmode screen 640x480 \
  || fail "no 640x480 mode could be added to Xvfb"
start_demo
id=$(demo_window 10) || fail "no window appeared on the switching screen"
xrandr | grep -q "current 640 x 480" || fail "the screen did not switch to 640x480"
xdotool windowclose "$id"
wait_demo 10
[ "$STATUS" -eq 0 ] || fail "status $STATUS after the window was destroyed"
[ "$(count_lines 'Exiting sanely...')" -eq 2 ] || fail "no shutdown after the window was destroyed"
grep -q "^yarvik: the window is gone" "$WORK/err" && [ "$(wc -l < "$WORK/err")" -eq 1 ] \
  || fail "expected one line on stderr saying the window is gone"
xrandr | grep -q "current 1024 x 768" || fail "the screen was left at $(xrandr | head -n 1)"
# Its connection cut (xkill): nothing more can be done over it, so one line, status 1, and the
# screen given back its size over a connection of its own.
start_demo
id=$(demo_window 10) || fail "no window appeared on the switching screen"
xrandr | grep -q "current 640 x 480" || fail "the screen did not switch to 640x480"
xkill -id "$id" >/dev/null
wait_demo 10
[ "$STATUS" -eq 1 ] || fail "status $STATUS after the connection was cut"
[ "$(cat "$WORK/err")" = "yarvik: the connection to the display was lost" ] || fail "expected one line on the lost connection"
xrandr | grep -q "current 1024 x 768" || fail "the screen was left at $(xrandr | head -n 1) with the connection cut"

# Brightest channel (0-255) of a region WxH+X+Y of a screenshot: the max, or the mean.
region() { convert "$1" -crop "$2" +repage -format "%[fx:int(255*max($3.r,max($3.g,$3.b)))]" info:; }

kill "$XVFB_PID"; wait "$XVFB_PID" 2>/dev/null; XVFB_PID=""
start_display 1280x1024x24
SDL_AUDIODRIVER=dummy "$YARVIK" --desktop >"$WORK/out" 2>"$WORK/err" &
DEMO_PID=$!
id=$(demo_window 10) || fail "no window appeared with --desktop"
geometry=$(xdotool getwindowgeometry "$id")
echo "$geometry"
echo "$geometry" | grep -q "Position: 0,0" || fail "--desktop window not at 0,0"
echo "$geometry" | grep -q "Geometry: 1280x1024" || fail "--desktop window does not cover the 1280x1024 screen"
sleep 2.5  # past the fade-in, the knot's dark red background stands
import -silent -window root "$WORK/desktop.png" || fail "no screenshot"
[ -n "${YARVIK_SHOTS:-}" ] && cp "$WORK/desktop.png" "$YARVIK_SHOTS/desktop_1280x1024.png"
# The picture is 1280x960 (scale 2) from row 32 to row 991; the bands above and below are black.
top=$(region "$WORK/desktop.png" 1280x32+0+0 maxima)
bottom=$(region "$WORK/desktop.png" 1280x32+0+992 maxima)
first=$(region "$WORK/desktop.png" 1280x1+0+32 mean)
last=$(region "$WORK/desktop.png" 1280x1+0+991 mean)
left=$(region "$WORK/desktop.png" 1x960+0+32 mean)
right=$(region "$WORK/desktop.png" 1x960+1279+32 mean)
echo "--desktop at 1280x1024: bands $top and $bottom, picture edges top $first bottom $last left $left right $right"
[ "$top" -eq 0 ] && [ "$bottom" -eq 0 ] || fail "the bands above and below the picture are not black"
for edge in "$first" "$last" "$left" "$right"; do
  [ "$edge" -gt 60 ] || fail "the picture does not reach the edges of its 1280x960 area"
done
xdotool key --window "$id" Escape
wait_demo 5
[ "$STATUS" -eq 0 ] || fail "status $STATUS after Escape with --desktop"

SDL_AUDIODRIVER=dummy "$YARVIK" --window 800x600 >"$WORK/out" 2>"$WORK/err" &
DEMO_PID=$!
id=$(demo_window 10) || fail "no window appeared with --window 800x600"
xdotool getwindowgeometry "$id" | grep -q "Geometry: 800x600" || fail "--window 800x600 is not 800x600"
# Resized by the user, the picture refits: 800x600 in the middle of 1000x600, black bars beside.
xdotool windowsize "$id" 1000 600
sleep 2.5  # past the fade-in
import -silent -window "$id" "$WORK/resized.png" || fail "no screenshot of the resized window"
[ -n "${YARVIK_SHOTS:-}" ] && cp "$WORK/resized.png" "$YARVIK_SHOTS/window_resized_1000x600.png"
[ "$(identify -format %wx%h "$WORK/resized.png")" = 1000x600 ] || fail "the window was not resized to 1000x600"
left=$(region "$WORK/resized.png" 100x600+0+0 maxima)
right=$(region "$WORK/resized.png" 100x600+900+0 maxima)
first=$(region "$WORK/resized.png" 1x600+100+0 mean)
last=$(region "$WORK/resized.png" 1x600+899+0 mean)
top=$(region "$WORK/resized.png" 800x1+100+0 mean)
echo "--window resized to 1000x600: bars $left and $right, picture edges $first $last $top"
[ "$left" -eq 0 ] && [ "$right" -eq 0 ] || fail "the bars beside the refitted picture are not black"
for edge in "$first" "$last" "$top"; do
  [ "$edge" -gt 60 ] || fail "the picture does not fill its 800x600 area after the resize"
done
xdotool key --window "$id" Escape
wait_demo 5
[ "$STATUS" -eq 0 ] || fail "status $STATUS after Escape with --window"

# On OpenGL ES 2 through the GL 1.1 layer, on the ES context GLX makes and on the one EGL makes
# (where GLX cannot): the window, the knot's red picture, Escape.
for route in glx egl; do
  force_egl=$([ "$route" = egl ] && echo 1 || echo 0)
  SDL_AUDIODRIVER=dummy SDL_VIDEO_X11_FORCE_EGL=$force_egl "$YARVIK" --gl es2 --desktop >"$WORK/out" 2>"$WORK/err" &
  DEMO_PID=$!
  START_NS=$(date +%s%N)
  id=$(demo_window 10) || fail "no window appeared with --gl es2 ($route)"
  sleep 2.5
  level=$(screen_brightness "es2_$route")
  picture=$(region "$WORK/es2_$route.png" 1280x960+0+32 mean)
  brightest=$(region "$WORK/es2_$route.png" 1280x960+0+32 maxima)
  echo "--gl es2 on $route: screen brightness $level, picture $picture, brightest $brightest"
  [ "$picture" -gt 60 ] || fail "--gl es2 ($route) shows no picture"
  # The swirl's points are near white; the scene's dark red clear colour alone is not.
  [ "$brightest" -gt 180 ] || fail "--gl es2 ($route) shows the clear colour but nothing drawn"
  xdotool key --window "$id" Escape
  wait_demo 5
  [ "$STATUS" -eq 0 ] || fail "status $STATUS after Escape with --gl es2 ($route)"
  [ "$(count_lines 'Exiting sanely...')" -eq 2 ] || fail "expected 'Exiting sanely...' twice with --gl es2 ($route)"
done

# A captioned window destroyed from outside: the same shutdown, no Xlib error dump.
SDL_AUDIODRIVER=dummy "$YARVIK" --window 640x480 >"$WORK/out" 2>"$WORK/err" &
DEMO_PID=$!
id=$(demo_window 10) || fail "no window appeared with --window 640x480"
xdotool windowclose "$id"
wait_demo 10
[ "$STATUS" -eq 0 ] || fail "status $STATUS after the --window window was destroyed"
[ "$(count_lines 'Exiting sanely...')" -eq 2 ] || fail "no shutdown after the --window window was destroyed"
[ "$(wc -l < "$WORK/err")" -eq 1 ] || fail "expected one line on stderr after the --window window was destroyed"
echo "ok"
