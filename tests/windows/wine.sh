# Sourced by what runs the Windows programs under wine: `wine_setup DIR` points wine at a
# prefix of its own in DIR (a build folder's, never the user's ~/.wine) and makes it the first
# time, so every later run starts at once.
#
# - DIR/prefix: the wine prefix, made by wineboot once; concurrent first runs wait for the one
#   making it (flock on DIR/lock). DIR/prefix-time keeps how long making it took.
# - DIR/home: the HOME wine runs with, whose .asoundrc gives ALSA a null device as its default,
#   so wine has a sound device to open on a machine with no sound card (SDL's disk driver is how
#   a test hears the program).
# - Quiet: WINEDEBUG=-all; no Mono or Gecko installer offered (mscoree, mshtml disabled), no menu
#   entries or file associations written for the user's desktop (winemenubuilder disabled).
wine_setup() {
  local dir started
  dir=$(mkdir -p "$1" && cd "$1" && pwd)
  export WINEPREFIX="$dir/prefix" HOME="$dir/home" WINEARCH=win64 WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  [ -f "$WINEPREFIX/.made" ] && return 0
  (
    flock 9
    [ -f "$WINEPREFIX/.made" ] && exit 0
    rm -rf "$WINEPREFIX" "$HOME"
    mkdir -p "$HOME"
    printf 'pcm.!default { type null }\n' >"$HOME/.asoundrc"
    started=$(date +%s%N)
    # Made without a display, so that no dialog can appear and wait for an answer.
    env -u DISPLAY -u WAYLAND_DISPLAY wineboot --init >"$dir/wineboot.log" 2>&1 &&
      env -u DISPLAY -u WAYLAND_DISPLAY wineserver --wait ||
      { cat "$dir/wineboot.log" >&2; echo "wine_setup: the wine prefix $WINEPREFIX could not be made" >&2; exit 1; }
    echo "$(( ($(date +%s%N) - started) / 1000000 )) ms" >"$dir/prefix-time"
    touch "$WINEPREFIX/.made"
  ) 9>"$dir/lock"
}
