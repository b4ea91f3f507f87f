#!/usr/bin/env bash
# The real program on a Wayland desktop without X11: Weston at scale 2 on a 1920x1080 output
# (nested in a private Xvfb, which gives it a keyboard; the demo sees no X display at all).
# --desktop covers the whole output with the picture between two black bands, --window 800x600
# is a window of that size, both drawn at the output's own resolution (buffers twice the
# window's size, marked as scale 2), and Escape ends them with "Exiting sanely..." twice and
# status 0. The full screen, which needs X11, gives one reason pointing to --desktop and
# status 1. Skipped where Weston is not installed.
command -v weston >/dev/null || { echo "SKIP: weston is not installed (scripts/install-deps)"; exit 77; }
. "$(dirname "$0")/lib.sh"

start_display 1920x1080x24
export XDG_RUNTIME_DIR=$WORK/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
weston --backend=x11-backend.so --use-pixman --width=960 --height=540 --scale=2 --socket=yarvik \
  --idle-time=0 >"$WORK/weston.log" 2>&1 &
WESTON_PID=$!
trap 'kill "$WESTON_PID" 2>/dev/null; cleanup' EXIT
for _ in $(seq 1 100); do [ -S "$XDG_RUNTIME_DIR/yarvik" ] && break; sleep 0.1; done
[ -S "$XDG_RUNTIME_DIR/yarvik" ] || { cat "$WORK/weston.log" >&2; fail "Weston did not start"; }

# Runs the demo with the given arguments on Weston alone, its Wayland requests logged; once its
# first frame is shown, keeps a shot of the output as $WORK/shot.png and presses Escape.
run_on_wayland() {
  env -u DISPLAY WAYLAND_DISPLAY=yarvik WAYLAND_DEBUG=client SDL_AUDIODRIVER=dummy "$YARVIK" "$@" \
    >"$WORK/out" 2>"$WORK/err" &
  DEMO_PID=$!
  START_NS=$(date +%s%N)
  for _ in $(seq 1 100); do
    grep -q 'wl_surface@[0-9]*\.attach(wl_buffer' "$WORK/err" && break
    kill -0 "$DEMO_PID" 2>/dev/null || break
    sleep 0.1
  done
  grep -q 'wl_surface@[0-9]*\.attach(wl_buffer' "$WORK/err" || fail "no frame shown with $*"
  sleep 1
  import -silent -window root "$WORK/shot.png"
  xdotool key Escape
  wait_demo 5
  [ "$STATUS" -eq 0 ] || fail "status $STATUS after Escape with $*"
  [ "$(count_lines 'Exiting sanely...')" -eq 2 ] && [ "$(wc -l <"$WORK/out")" -eq 2 ] \
    || fail "expected 'Exiting sanely...' twice with $*"
}

# Whether the frames were drawn WxH large ($1x$2) and given to Weston as scale 2.
drawn_at() {
  grep -q "create_buffer(new id wl_buffer@[0-9]*, [0-9]*, $1, $2, " "$WORK/err" \
    && grep -q 'set_buffer_scale(2)' "$WORK/err"
}

# Brightest channel (0-255) of a region WxH+X+Y of the shot: the max, or the mean.
region() { convert "$WORK/shot.png" -crop "$1" +repage -format "%[fx:int(255*max($2.r,max($2.g,$2.b)))]" info:; }

run_on_wayland --desktop
drawn_at 1920 1080 || fail "--desktop not drawn at 1920x1080: $(grep -m 1 create_buffer "$WORK/err")"
[ "$(region 200x1040+20+20 maxima)" -lt 16 ] || fail "--desktop: no black band at the left edge"
[ "$(region 200x1040+1700+20 maxima)" -lt 16 ] || fail "--desktop: no black band at the right edge"
[ "$(region 1200x1000+360+40 mean)" -gt 20 ] || fail "--desktop: no picture between the bands"

run_on_wayland --window 800x600
drawn_at 1600 1200 || fail "--window 800x600 not drawn at 1600x1200: $(grep -m 1 create_buffer "$WORK/err")"

env -u DISPLAY WAYLAND_DISPLAY=yarvik SDL_AUDIODRIVER=dummy "$YARVIK" >"$WORK/out" 2>"$WORK/err"
status=$?
[ "$status" -eq 1 ] || fail "status $status for the full screen without X11"
[ "$(wc -l <"$WORK/err")" -eq 1 ] && grep -q -- "--desktop" "$WORK/err" \
  || fail "expected one line pointing to --desktop for the full screen without X11"
[ ! -s "$WORK/out" ] || fail "stdout not empty for the full screen without X11"
echo ok
