#!/usr/bin/env bash
# yarvik.exe under wine: it imports only Windows' own DLLs; --version, --help and an unknown
# option answer on the console; the default run switches the display to 640x480, draws, plays
# the music (SDL's disk driver writes what it plays to a file), ends on Escape with status 0 and
# "Exiting sanely...", and gives the display back its mode; a display without 640x480 makes it
# fail with status 1 and the reason, on stderr and in a message box.
# The caller passes yarvik.exe, the folder for wine's prefix and the mingw objdump.
. "$(dirname "$0")/lib.sh"
OBJDUMP=$3

# -- Windows' own DLLs only: no C++ runtime, threads library, SDL or zlib beside the .exe.
imports=$("$OBJDUMP" -p "$YARVIK" | sed -n 's/^\s*DLL Name: //p')
echo "imports:" $imports
[ -n "$imports" ] || fail "no imports read"
for dll in $imports; do
  case "${dll,,}" in
    kernel32.dll | user32.dll | gdi32.dll | opengl32.dll | glu32.dll | winmm.dll | msvcrt.dll | advapi32.dll | \
      imm32.dll | ole32.dll | oleaut32.dll | setupapi.dll | shell32.dll | version.dll) ;;
    *) fail "yarvik.exe needs $dll, which Windows does not have" ;;
  esac
done

# -- The console answers.
wine "$YARVIK" --version >"$WORK/out" 2>"$WORK/err"
status=$?
[ "$status" -eq 0 ] && grep -q '^yarvik [0-9]' "$WORK/out" || fail "--version: status $status"
wine "$YARVIK" --help >"$WORK/out" 2>"$WORK/err"
status=$?
[ "$status" -eq 0 ] && grep -q -- '--window' "$WORK/out" || fail "--help: status $status"
wine "$YARVIK" --no-such-option >"$WORK/out" 2>"$WORK/err"
status=$?
[ "$status" -eq 2 ] && grep -q 'no-such-option' "$WORK/err" || fail "an unknown option: status $status"
echo "console: --version, --help and an unknown option answered"

# -- The default run, heard through SDL's disk driver: 16-bit stereo at 44.1 kHz.
start_wine_display 1024x768 640x480
sound=$WORK/sound.raw
SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="Z:${sound//\//\\}" start_exe
id=$(demo_window 30) || fail "no window appeared"
for _ in $(seq 1 200); do [ "$(display_size)" = 640x480 ] && break; sleep 0.1; done
[ "$(display_size)" = 640x480 ] || fail "the display is $(display_size), not 640x480, while the demo runs"
sleep 10
brightness=$(screen_brightness default-12s)
kill -0 "$DEMO_PID" 2>/dev/null || fail "the demo ended by itself"
[ "$brightness" -gt 20 ] || fail "the picture is blank (brightness $brightness)"
sent_ns=$(date +%s%N)
xdotool key --window "$id" Escape 2>/dev/null
wait_demo 10
echo "default run: 640x480, brightness $brightness at 12 s; status $STATUS" \
  "$(( ($(date +%s%N) - sent_ns) / 1000000 )) ms after Escape"
[ "$STATUS" -eq 0 ] || fail "status $STATUS after Escape"
tr -d '\r' <"$WORK/out" | grep -q -x 'Exiting sanely...' || fail "no 'Exiting sanely...' after Escape"
# Wine gives the mode back through its desktop process once the program has gone, which on a
# loaded machine can take seconds; a display never given back still fails.
for _ in $(seq 1 200); do [ "$(display_size)" = 1024x768 ] && break; sleep 0.1; done
[ "$(display_size)" = 1024x768 ] || fail "the display was left at $(display_size)"
# The music, not silence: the level (RMS of the samples) of what was played, over at least
# five seconds of it.
level=$(python3 - "$sound" <<'PY'
import array, math, sys
samples = array.array('h', open(sys.argv[1], 'rb').read())
print(len(samples) // 88200, int(math.sqrt(sum(s * s for s in samples) / max(1, len(samples)))))
PY
) || fail "no sound was written"
read -r seconds rms <<<"$level"
echo "sound: $seconds s played, level $rms"
[ "$seconds" -ge 5 ] && [ "$rms" -gt 300 ] || fail "the sound is not the music ($seconds s, level $rms)"
cleanup_display

# -- A display that offers no 640x480 mode.
start_wine_display 800x600
start_exe
# The reason is written first; then the message box (a window of its own) waits for an answer.
box=""
for _ in $(seq 1 300); do
  grep -q . "$WORK/err" && box=$(xdotool search --onlyvisible --name '^Yarvik$' 2>/dev/null | head -n 1)
  [ -n "$box" ] && break
  kill -0 "$DEMO_PID" 2>/dev/null || break
  sleep 0.1
done
[ -n "$box" ] || fail "no message box appeared"
xdotool key --window "$box" Return 2>/dev/null
wait_demo 10
echo "no 640x480 mode: status $STATUS; stderr: $(cat "$WORK/err")"
[ "$STATUS" -eq 1 ] || fail "status $STATUS on a display without 640x480"
grep -q '640x480' "$WORK/err" || fail "the reason is not on stderr"
echo ok
