#!/usr/bin/env bash
# Makes the README's screenshots of the clock: builds it, runs it on a private virtual display
# at fixed times of day and saves its window. Usage: tools/screenshots.sh [OUTPUT_DIR [all]]
# (default docs/). Writes clock-day.png (a morning with the next peak and low),
# clock-night.png (the wake time by night), clock-menu.png (the menu open) and
# clock-editor.png (the wake-time editor over the hands); with "all" also faces for judging
# every text row: the bedtime row, one- and two-digit hours, test mode, the night editor.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install_deps.sh >/dev/null
out_dir=$(mkdir -p "${1:-docs}" && cd "${1:-docs}" && pwd)

BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)" --target orvela >/dev/null

. tools/xvfb.sh
start_private_display
export QUARNEL_UNATTENDED=1 SDL_AUDIODRIVER=dummy
clock_binary="$PWD/$BUILD_DIR/app/orvela"
. tools/clock_driver.sh
clock_setup
trap 'clock_cleanup; kill "$QRN_XVFB_PID" 2>/dev/null || true; rm -rf "$QRN_XVFB_DIR"' EXIT

# One face: the clock at a time of day, after some clicks (x,y pairs), saved as a file.
face() {
  local file=$1 when=$2
  shift 2
  start_clock "$when"
  for point in "$@"; do click_and_wait "${point%,*}" "${point#*,}"; done
  shoot "$out_dir/$file"
  stop_clock
  echo "wrote $out_dir/$file"
}

face clock-day.png "2026-03-02 10:10:30"
face clock-night.png "2026-03-02 02:20:40"
face clock-menu.png "2026-03-02 10:10:30" 100,100
face clock-editor.png "2026-03-02 16:20:40" 100,100 100,65
[ "${2:-}" = all ] || exit 0
face clock-noon.png "2026-03-02 12:05:00"
face clock-peak.png "2026-03-02 09:20:15"
face clock-bedtime.png "2026-03-02 21:40:05"
face clock-bedtime-late.png "2026-03-02 22:55:05"
face clock-midnight.png "2026-03-02 00:05:00"
face clock-test.png "2026-03-02 10:10:30" 100,100 100,95
face clock-test-night.png "2026-03-02 02:20:40" 100,100 100,95
face clock-editor-night.png "2026-03-02 02:20:40" 100,100 100,65
face clock-editor-noon.png "2026-03-02 12:05:40" 100,100 100,65 122,102
face clock-about.png "2026-03-02 10:10:30" 100,100 100,145
