#!/usr/bin/env bash
# End to end on a real X server: the program goes full screen, fades the demo background in, the
# red credits rise from the bottom edge, and a left click sent with xdotool ends it with exit
# code 0 within a second.
# Usage: xvfb_click.sh PROGRAM [WORKDIR]
set -u
program=$1
workdir=${2:-$(dirname "$program")}
tmp=$(mktemp -d)
trap 'kill "$xvfb" 2>/dev/null; rm -rf "$tmp"' EXIT

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$tmp/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 50); do [ -s "$tmp/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$tmp/display")"
export SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy
unset VEXMOOR_BACKEND VEXMOOR_WINDOWED

fail() { echo "FAIL: $*"; exit 1; }

(cd "$workdir" && exec "$program") >"$tmp/out" 2>&1 &
pid=$!
window=$(timeout 10 xdotool search --sync --name '^Vexmoor$' | head -n 1)
[ -n "$window" ] || fail "no window titled Vexmoor appeared"
sleep 2.5
geometry=$(xwininfo -id "$window" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF} /Width:/{w=$NF} /Height:/{h=$NF} END{print x","y","w","h}')
[ "$geometry" = "0,0,1024,768" ] || fail "window is at $geometry, not covering the 1024x768 screen"
xwd -root -silent >"$tmp/screen.xwd" || fail "no screenshot"
if command -v convert >/dev/null; then
    convert "xwd:$tmp/screen.xwd" "$tmp/screen.png"
    top=$(convert "$tmp/screen.png" -crop 1024x200+0+0 -format '%[fx:maxima]' info:)
    [ "$top" != "0" ] || fail "the background did not fade in (the top of the screen is black)"
    red=$(convert "$tmp/screen.png" -fx '(r>0.9&&g<0.1&&b<0.1)?1:0' -format '%[fx:mean*w*h]' info:)
    [ "${red%.*}" -gt 50 ] || fail "no red credits text on the screen ($red red pixels)"
    lowest=$(convert "$tmp/screen.png" -crop 1024x224+0+0 -fx '(r>0.9&&g<0.1&&b<0.1)?1:0' -format '%[fx:maxima]' info:)
    [ "$lowest" = "0" ] || fail "text shows above picture row 140, where it must never be"
fi
kill -0 "$pid" 2>/dev/null || fail "the program ended before the click: $(cat "$tmp/out")"
# The pointer starts at the screen's centre; move it away first so the move is real.
xdotool mousemove 500 370
sleep 0.2
start=$(date +%s%N)
xdotool click 1
status=
for _ in $(seq 100); do
    if ! kill -0 "$pid" 2>/dev/null; then
        wait "$pid"; status=$?; break
    fi
    sleep 0.01
done
elapsed=$(( ($(date +%s%N) - start) / 1000000 ))
[ -n "$status" ] && [ "$elapsed" -le 1000 ] || { kill "$pid" 2>/dev/null; fail "still running a second after the click"; }
[ "$status" -eq 0 ] || fail "exit code $status: $(cat "$tmp/out")"
echo "PASS: full screen 1024x768, picture and rising text shown, ended ${elapsed} ms after the click with exit code 0"
