# Shared by the tests of the Windows program under wine: the end-to-end tests' private Xvfb
# display and helpers (tests/e2e/lib.sh), wine in a prefix of the build folder's own
# (tests/windows/wine.sh), and a display that offers the modes a test asks for.
# The caller passes yarvik.exe as $1 and the folder for wine's prefix as $2.
. "$(dirname "${BASH_SOURCE[0]}")/../e2e/lib.sh"
. "$(dirname "${BASH_SOURCE[0]}")/wine.sh"
wine_setup "$2" || fail "no wine prefix"

# Every program of the prefix goes with the test, and its server before the display it drew
# on: a wine server outliving its display keeps the next test's programs from drawing.
cleanup() {
  [ -n "$DEMO_PID" ] && kill "$DEMO_PID" 2>/dev/null
  wineserver -k 2>/dev/null
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$WORK"
}

# Ends the wine server and the display, for a test that starts another display.
cleanup_display() {
  wineserver -k 2>/dev/null
  kill "$XVFB_PID" 2>/dev/null
  wait "$XVFB_PID" 2>/dev/null
  XVFB_PID=""
}

# start_wine_display WxH [MODE...]: a private Xvfb screen of WxH at 24 bits whose output offers,
# besides its own size, each further MODE (WxH) to switch to, as a monitor would list them.
start_wine_display() {
  local mode w h clock
  start_display "$1x24"
  shift
  for mode in "$@"; do
    w=${mode%x*} h=${mode#*x}
    # A 60 Hz timing with fixed blanking (pixel clock in MHz): Xvfb takes any.
    clock=$(( (w + 160) * (h + 45) * 60 / 10000 ))
    xrandr --newmode "$mode" "$((clock / 100)).$(printf %02d $((clock % 100)))" \
      "$w" $((w + 16)) $((w + 112)) $((w + 160)) "$h" $((h + 10)) $((h + 12)) $((h + 45)) -hsync -vsync &&
      xrandr --addmode screen "$mode" || fail "the display could not be given the mode $mode"
  done
}

# The display's current size, as the X server reports it (WxH).
display_size() { xrandr --current | sed -n 's/.*current \([0-9]*\) x \([0-9]*\),.*/\1x\2/p'; }

# start_exe [ARG...]: the program under wine in the background, its arguments given, with SDL's
# dummy sound unless SDL_AUDIODRIVER says otherwise; stdout and stderr as start_demo keeps them.
start_exe() {
  SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy} wine "$YARVIK" "$@" >"$WORK/out" 2>"$WORK/err" &
  DEMO_PID=$!
  START_NS=$(date +%s%N)
}
