#!/usr/bin/env bash
# Makes the README's screenshots of the examples: installs the built project into a temporary
# prefix, builds the examples against it, runs each on a private virtual display and saves its
# window. Usage: tools/example_screenshots.sh [OUTPUT_DIR]   (default docs/)
# Writes example-sprites.png, example-typing.png, example-player.png and example-chat.png.
set -euo pipefail
cd "$(dirname "$0")/.."
out_dir=$(mkdir -p "${1:-docs}" && cd "${1:-docs}" && pwd)
BUILD_DIR=${BUILD_DIR:-build}
cmake --build "$BUILD_DIR" -j"$(nproc)" --target quarnel orvela >/dev/null

scratch=$(mktemp -d)
. tools/xvfb.sh
start_private_display
trap 'kill "$QRN_XVFB_PID" 2>/dev/null || true; rm -rf "$QRN_XVFB_DIR" "$scratch"' EXIT
export QUARNEL_UNATTENDED=1 SDL_AUDIODRIVER=dummy
cmake --install "$BUILD_DIR" --prefix "$scratch/prefix" >/dev/null
cmake -S examples -B "$scratch/examples" -DCMAKE_PREFIX_PATH="$scratch/prefix" >/dev/null
cmake --build "$scratch/examples" -j"$(nproc)" >/dev/null
bin="$scratch/examples"

window_of() {
  for _ in $(seq 1 100); do
    local id
    id=$(timeout 5 xdotool search --name "^$1\$" 2>/dev/null | head -n 1 || true)
    if [ -n "$id" ]; then echo "$id"; return 0; fi
    sleep 0.1
  done
  echo "no window titled $1" >&2
  return 1
}
shoot() { timeout 5 import -window "$1" "$out_dir/$2" && echo "wrote $out_dir/$2"; }

# Each runs with a frame limit, so none outlives the script.
QUARNEL_EXAMPLE_FRAMES=400 "$bin/sprites" >/dev/null 2>&1 &
w=$(window_of "Bouncing sprites")
sleep 2
shoot "$w" example-sprites.png
wait $!

QUARNEL_EXAMPLE_FRAMES=900 "$bin/typing" >/dev/null 2>&1 &
w=$(window_of Typing)
sleep 0.5
timeout 5 xdotool windowfocus --sync "$w" || true
xdotool type --delay 40 "Ada"; xdotool key Return; sleep 0.3
xdotool type --delay 40 "The quick brown fox"; xdotool key Return
xdotool type --delay 40 "jumps over the lazy dog"
sleep 0.5
shoot "$w" example-typing.png
kill -TERM $! 2>/dev/null || true
wait $! || true

QUARNEL_EXAMPLE_FRAMES=400 "$bin/player" >/dev/null 2>&1 &
w=$(window_of "Sound and music")
sleep 2
shoot "$w" example-player.png
wait $! || true

QUARNEL_EXAMPLE_FRAMES=900 "$bin/chat" -p 27932 host Hana "hello, who is there?" >/dev/null 2>&1 &
host=$!
w=$(window_of "Chat .host.")
QUARNEL_EXAMPLE_FRAMES=300 "$bin/chat" -p 27932 join 127.0.0.1 Gus "hi Hana, Gus here" >/dev/null 2>&1 &
guest=$!
g=$(window_of Chat)
timeout 5 xdotool windowmove "$g" 700 0 || true
sleep 3
timeout 5 xdotool windowraise "$w" 2>/dev/null || true
shoot "$w" example-chat.png
wait $guest || true
kill -TERM $host 2>/dev/null || true
wait $host || true
