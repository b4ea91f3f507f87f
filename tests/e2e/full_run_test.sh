#!/usr/bin/env bash
# The whole demo left alone: each scene shows a picture, the scene switch passes through
# black, and the demo ends by itself once the module has played (about 112 s plus the last
# fade) with status 0 and "Exiting sanely..." exactly once.
. "$(dirname "$0")/lib.sh"

start_display 640x480x24
start_demo
demo_window 10 >/dev/null || fail "no window appeared"

at() {  # sleeps until $1 seconds after the start
  local target_ns=$(( START_NS + $(echo "$1 * 1000000000" | bc | cut -d. -f1) ))
  local now_ns; now_ns=$(date +%s%N)
  [ "$now_ns" -lt "$target_ns" ] && sleep "$(echo "($target_ns - $now_ns) / 1000000000" | bc -l)"
}

at 10;  knot=$(screen_brightness knot_10s)
# The knot fades out from 30 s after its first step; the switch to the tunnel is the darkest
# moment. Take several shots around it and keep the darkest.
darkest=255
for t in 30.55 30.7 30.85 31.0 31.15; do
  at "$t"; b=$(screen_brightness "switch_$t")
  [ "$b" -ge 0 ] && [ "$b" -lt "$darkest" ] && darkest=$b
done
at 45;  tunnel=$(screen_brightness tunnel_45s)
at 75;  late=$(screen_brightness tunnel_75s)
echo "mean brightness: knot at 10 s $knot, darkest around the switch $darkest, tunnel at 45 s $tunnel, at 75 s $late"

wait_demo 140
echo "ended by itself after ${ELAPSED_MS} ms with status $STATUS; stdout:"
cat "$WORK/out"
[ "$STATUS" -eq 0 ] || fail "status $STATUS"
[ "$(count_lines 'Exiting sanely...')" -eq 1 ] || fail "expected 'Exiting sanely...' exactly once"
[ "$(wc -l < "$WORK/out")" -eq 1 ] || fail "unexpected lines on stdout"
[ "$ELAPSED_MS" -gt 110000 ] && [ "$ELAPSED_MS" -lt 118000 ] || fail "run lasted ${ELAPSED_MS} ms"
[ "$knot" -gt 20 ] || fail "the knot scene looks black ($knot)"
[ "$tunnel" -gt 8 ] || fail "the tunnel scene looks black ($tunnel)"
[ "$darkest" -lt $(( knot / 3 )) ] || fail "no dark frame at the scene switch ($darkest vs $knot)"
echo ok
