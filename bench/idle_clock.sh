#!/usr/bin/env bash
# The idle clock's cost: orvela's share of one core over a stretch of time (60 s by
# default), measured beside `xclock -update 1` (a clock that redraws once a second) in the
# same run on the same private display, and orvela's start-up time (bench_startup_probe:
# from the start of the process to its window mapped with the first face drawn), beside the
# same time of xclock and of bench_gl_window_floor (an SDL window with a GL context cleared to
# grey: what any start-up on this machine's OpenGL costs at least).
#
#   bench/idle_clock.sh [seconds]      (builds orvela and the probe into BUILD_DIR, build/)
#
# IDLE_DETAIL=1 adds the processor time of each of orvela's threads. The clock runs with the
# environment it is given (set SDL_AUDIODRIVER=dummy to count a running sound device too).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD_DIR" -j2 --target orvela bench_startup_probe bench_gl_window_floor >/dev/null
command -v xclock >/dev/null || { echo "xclock is missing (Debian package x11-apps)" >&2; exit 1; }

. tools/xvfb.sh
start_private_display
export QUARNEL_UNATTENDED=1
hz=$(getconf CLK_TCK)
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap 'cleanup; kill "$QRN_XVFB_PID" 2>/dev/null || true; rm -rf "$QRN_XVFB_DIR"' EXIT

# Start-up: three starts, the median counts.
starts=()
peer_starts=()
floor_starts=()
for run in 1 2 3; do
  # (the probe's figures are its last line; the programs print on the same output)
  starts+=("$("$BUILD_DIR/bench/bench_startup_probe" Orvela 200 200 "$BUILD_DIR/app/orvela" 2>/dev/null | tail -n 1)")
  peer_starts+=("$("$BUILD_DIR/bench/bench_startup_probe" xclock 0 0 xclock -update 1 2>/dev/null | tail -n 1)")
  floor_starts+=("$("$BUILD_DIR/bench/bench_startup_probe" "GL floor" 200 200 "$BUILD_DIR/bench/bench_gl_window_floor" 2>/dev/null | tail -n 1)")
done
# The median run by wall time: "wall-ms cpu-ms".
middle() { printf '%s\n' "$@" | sort -n | sed -n 2p; }
startup=$(middle "${starts[@]}")
peer_startup=$(middle "${peer_starts[@]}")
floor_startup=$(middle "${floor_starts[@]}")

# Processor ticks (user + system) of a process, all its threads included.
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }

"$BUILD_DIR/app/orvela" >"$work/orvela.log" 2>&1 &
clock=$!
pids+=("$clock")
xclock -update 1 >/dev/null 2>&1 &
peer=$!
pids+=("$peer")
sleep 3  # both past their start-up
# Each thread of the clock: name and ticks.
threads() { for t in /proc/"$clock"/task/*; do echo "$(basename "$t") $(cat "$t/comm") $(ticks "$clock/task/$(basename "$t")")"; done; }
threads >"$work/threads0"
c0=$(ticks "$clock")
p0=$(ticks "$peer")
sleep "$seconds"
c1=$(ticks "$clock")
p1=$(ticks "$peer")
if [ -n "${IDLE_DETAIL:-}" ]; then
  threads | awk 'NR == FNR { before[$1] = $3; next } { printf "  thread %s: %d ticks\n", $2, $3 - before[$1] }' \
    "$work/threads0" -
fi
awk -v c=$((c1 - c0)) -v p=$((p1 - p0)) -v hz="$hz" -v s="$seconds" -v start="$startup" \
    -v peer="$peer_startup" -v gl="$floor_startup" 'BEGIN {
  cs = 100 * c / hz / s; ps = 100 * p / hz / s
  printf "idle over %d s: orvela %.3f%% of a core (%d ticks), xclock -update 1 %.3f%% (%d ticks)", s, cs, c, ps, p
  if (p > 0) printf ", ratio %.1f\n", c / p; else printf ", ratio: xclock used less than a tick\n"
  split(start, o, " "); split(peer, x, " ")
  printf "start-up to the first face (median of 3): orvela %d ms (%d ms of processor time), ", o[1], o[2]
  ratio = 0
  if (x[1] > 0) ratio = o[1] / x[1]
  printf "xclock %d ms (%d ms); ratio %.1f\n", x[1], x[2], ratio
  split(gl, f, " ")
  times = 0
  if (f[1] > 0) times = o[1] / f[1]
  printf "an SDL window with a GL context, cleared: %d ms (%d ms); orvela takes %.1f times that\n", f[1], f[2], times
}'
