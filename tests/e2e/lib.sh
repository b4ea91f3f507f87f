# Shared by the end-to-end tests: a private Xvfb display of 640x480x24, the demo started on it
# with SDL's dummy audio driver, and helpers to look at and talk to its window.
# The caller passes the yarvik binary as $1 and the send_close tool as $2.
set -u
YARVIK=$1
SEND_CLOSE=${2:-}
WORK=$(mktemp -d)
XVFB_PID=""
DEMO_PID=""

cleanup() {
  [ -n "$DEMO_PID" ] && kill "$DEMO_PID" 2>/dev/null
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  [ -f "$WORK/out" ] && { echo "--- stdout:"; cat "$WORK/out"; } >&2
  [ -f "$WORK/err" ] && { echo "--- stderr:"; cat "$WORK/err"; } >&2
  exit 1
}

# Starts a private Xvfb: with -displayfd the server itself takes the first display number no
# other server holds (by its lock file) and writes it once it accepts connections, so test runs
# side by side never share or kill each other's display. -noreset: by default the server resets
# whenever its last client leaves (xdotool between polls, or a demo that has just ended), and a
# program connecting during the reset is refused ("x11 not available").
start_display() {
  local number=""
  Xvfb -displayfd 3 -screen 0 "${1:-640x480x24}" -nolisten tcp -noreset 3>"$WORK/display" >"$WORK/xvfb.log" 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 1 100); do
    number=$(head -n 1 "$WORK/display" 2>/dev/null)
    [ -n "$number" ] && break
    kill -0 "$XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  [ -n "$number" ] || { cat "$WORK/xvfb.log" >&2; fail "no Xvfb display could be started"; }
  export DISPLAY=":$number"
}

# Starts the demo in the background; any arguments are a command that runs it (env ...).
start_demo() {
  SDL_AUDIODRIVER=dummy "$@" "$YARVIK" >"$WORK/out" 2>"$WORK/err" &
  DEMO_PID=$!
  START_NS=$(date +%s%N)
}

# Waits (at most $1 seconds) for the demo's window to be mapped; prints its id.
demo_window() {
  local i id
  for i in $(seq 1 $(( ${1:-10} * 10 ))); do
    id=$(xdotool search --onlyvisible --name '^Yarvik$' 2>/dev/null | head -n 1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

# Waits (at most $1 seconds) for the demo to exit; sets STATUS and ELAPSED_MS.
wait_demo() {
  local limit=$(( ${1:-10} * 10 )) i
  for i in $(seq 1 "$limit"); do
    if ! kill -0 "$DEMO_PID" 2>/dev/null; then
      wait "$DEMO_PID"; STATUS=$?
      ELAPSED_MS=$(( ($(date +%s%N) - START_NS) / 1000000 ))
      DEMO_PID=""
      return 0
    fi
    sleep 0.1
  done
  fail "the demo did not exit within ${1:-10} s"
}

# Brightness (0-255) of the whole screen right now, the mean of its brightest channel (so a
# deep red picture counts as bright as it looks); keeps the shot as $WORK/$1.png.
screen_brightness() {
  import -silent -window root "$WORK/$1.png" 2>/dev/null || { echo -1; return; }
  [ -n "${YARVIK_SHOTS:-}" ] && cp "$WORK/$1.png" "$YARVIK_SHOTS/$1.png"
  convert "$WORK/$1.png" -format '%[fx:int(255*max(mean.r,max(mean.g,mean.b)))]' info: 2>/dev/null
}

count_lines() { grep -c -x "$1" "$WORK/out" || true; }
