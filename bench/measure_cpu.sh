#!/usr/bin/env bash
# CPU use of the running program over a stretch of seconds under Xvfb with SDL's X11 driver, and
# the time from start to the first presented frame. Not a test: it prints figures.
# Usage: bench/measure_cpu.sh PROGRAM [SECONDS] [WIDTHxHEIGHT] [WORKDIR]
set -u
program=$(readlink -f "$1")
seconds=${2:-10}
size=${3:-1024x768}
workdir=${4:-$(dirname "$0")/../demo}
tmp=$(mktemp -d)
trap 'kill "$xvfb" 2>/dev/null; rm -rf "$tmp"' EXIT
Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$tmp/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 50); do [ -s "$tmp/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$tmp/display")" SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
hz=$(getconf CLK_TCK)
start=$(date +%s%N)
(cd "$workdir" && VEXMOOR_TIMING=1 exec "$program") 2>"$tmp/err" &
pid=$!
sleep 3   # past start-up and the fade-in
read -r u0 s0 < <(awk '{print $14, $15}' /proc/$pid/stat)
sleep "$seconds"
read -r u1 s1 < <(awk '{print $14, $15}' /proc/$pid/stat)
kill -TERM "$pid"; wait "$pid"
ticks=$(( (u1 - u0) + (s1 - s0) ))
echo "cpu: $(awk -v t=$ticks -v hz=$hz -v s=$seconds 'BEGIN{printf "%.2f", 100*t/hz/s}') % of one core over ${seconds} s at $size (user $((u1-u0)) sys $((s1-s0)) ticks of 1/$hz s)"
grep -h "first frame" "$tmp/err" || true
