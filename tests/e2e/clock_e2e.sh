#!/usr/bin/env bash
# One end-to-end scenario of the clock. Usage: clock_e2e.sh SCENARIO ORVELA_BINARY SHOT_DIR
# Runs a copy of the clock (binary and media) in a fresh folder so its ORVL.INI is its own.
set -euo pipefail
scenario=$1
binary=$2
shots=$3
media="$(dirname "$binary")/Media"
mkdir -p "$shots"
work=$(mktemp -d)
clock_pid=""
cleanup() {
  if [ -n "$clock_pid" ] && kill -0 "$clock_pid" 2>/dev/null; then kill -9 "$clock_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
cp "$binary" "$work/orvela"
cp -r "$media" "$work/Media"

fail() { echo "FAIL: $*" >&2; [ -f "$work/out.txt" ] && sed 's/^/  stdout: /' "$work/out.txt" >&2; exit 1; }

# libfaketime is preloaded directly (the faketime wrapper would stand between the test and
# the clock's process, and killing it would leave the clock running).
faketime_lib=$(dpkg -L libfaketime 2>/dev/null | grep 'libfaketime.so.1$' | head -n 1)
[ -n "$faketime_lib" ] || fail "libfaketime is not installed"

# Starts the clock with the wall clock frozen at the given time (the frame clock runs freely)
# and waits for its 200 x 200 window to show the face.
start_clock() {
  local when=$1
  ( cd /tmp && LD_PRELOAD="$faketime_lib" FAKETIME="$when" FAKETIME_DONT_FAKE_MONOTONIC=1 \
      exec "$work/orvela" >"$work/out.txt" 2>"$work/err.txt" ) &
  clock_pid=$!
  window=""
  for _ in $(seq 1 200); do
    window=$(xdotool search --name '^Orvela$' 2>/dev/null | head -n 1 || true)
    if [ -n "$window" ] && [ "$(window_size)" = "200x200" ] && face_drawn; then
      sleep 0.5  # a few more passes of the loop
      return 0
    fi
    kill -0 "$clock_pid" 2>/dev/null || fail "the clock exited early ($(cat "$work/err.txt"))"
    sleep 0.1
  done
  fail "no 200x200 window titled Orvela (window '$window', size $(window_size))"
}

# True once the window shows more than a black frame (the first frames of a busy machine's
# software renderer can take a while).
face_drawn() {
  import -window "$window" "$work/probe.png" 2>/dev/null || return 1
  awk -v m="$(convert "$work/probe.png" -format '%[fx:mean]' info: 2>/dev/null)" 'BEGIN { exit !(m > 0.05) }'
}

window_size() {
  [ -n "$window" ] || { echo none; return; }
  xwininfo -id "$window" 2>/dev/null | awk '/^  Width:/ {w=$2} /^  Height:/ {h=$2} END {print w "x" h}'
}

shoot() { import -window "$window" "$1"; }

# Mean absolute difference (0..1) between a screenshot and a reference image, over a region.
difference() {
  local shot=$1 reference=$2 region=${3:-200x200+0+0}
  convert "$shot" -alpha off -crop "$region" +repage "$work/diff_a.png"
  convert "$reference" -alpha off -crop "$region" +repage "$work/diff_b.png"
  # compare exits with 1 when the images differ, which is the usual case here
  { compare -metric MAE "$work/diff_a.png" "$work/diff_b.png" null: 2>&1 || true; } | sed 's/.*(\(.*\)).*/\1/'
}

# True when the shot is closer to the first reference than to the second.
closer_to() {
  local shot=$1 a=$2 b=$3 region=${4:-200x200+0+0}
  local da db
  da=$(difference "$shot" "$a" "$region")
  db=$(difference "$shot" "$b" "$region")
  echo "difference to $(basename "$a"): $da, to $(basename "$b"): $db"
  awk -v a="$da" -v b="$db" 'BEGIN { exit !(a < b) }'
}

click_at() {
  xdotool mousemove --window "$window" "$1" "$2"
  sleep 0.1
  xdotool click --window "$window" 1
  sleep 0.6  # the click pause and a pass of the loop
}

# Waits for the clock to end; checks status 0 and "exit" as the last line of its output.
expect_clean_exit() {
  local status=0
  for _ in $(seq 1 50); do kill -0 "$clock_pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$clock_pid" 2>/dev/null && fail "the clock did not end"
  wait "$clock_pid" || status=$?
  clock_pid=""
  [ "$status" -eq 0 ] || fail "exit status $status"
  [ "$(tail -n 1 "$work/out.txt")" = "exit" ] || fail "standard output does not end with exit"
}

case "$scenario" in
  window_and_title)
    start_clock "2026-03-02 10:10:30"
    title=$(xdotool getwindowname "$window")
    [ "$title" = "Orvela" ] || fail "title '$title'"
    [ "$(window_size)" = "200x200" ] || fail "size $(window_size)"
    ;;
  day_background)
    start_clock "2026-03-02 07:00:00"
    shoot "$work/shot.png"
    closer_to "$work/shot.png" "$media/OV_Back1.png" "$media/OV_Back2.png" || fail "not the day sky at 07:00"
    ;;
  night_background)
    start_clock "2026-03-02 06:59:59"
    shoot "$work/shot.png"
    closer_to "$work/shot.png" "$media/OV_Back2.png" "$media/OV_Back1.png" || fail "not the night sky at 06:59:59"
    ;;
  menu_opens)
    start_clock "2026-03-02 10:10:30"
    shoot "$work/before.png"
    click_at 100 100
    shoot "$work/menu.png"
    cp "$work/menu.png" "$shots/menu.png"
    # What the menu should look like: its image over the face, at (10, 25).
    composite -geometry +10+25 "$media/OV_Popup.png" "$work/before.png" "$work/expected.png"
    closer_to "$work/menu.png" "$work/expected.png" "$work/before.png" "170x136+10+25" || fail "menu not shown"
    ;;
  quit_item)
    start_clock "2026-03-02 10:10:30"
    click_at 100 100
    click_at 100 40
    expect_clean_exit
    ;;
  escape_key)
    start_clock "2026-03-02 10:10:30"
    xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window"
    xdotool key --window "$window" Escape
    expect_clean_exit
    ;;
  editor_writes_wake_time)
    start_clock "2026-03-02 10:10:30"
    click_at 100 100       # menu
    click_at 100 65        # wake time item: editor, rows at 100, 115 and 130 by day
    shoot "$work/editor.png"
    cp "$work/editor.png" "$shots/editor.png"
    click_at 97 102        # hour up
    [ ! -e "$work/ORVL.INI" ] || fail "ORVL.INI written before the editor closed"
    click_at 20 20         # outside the editor: save
    sleep 0.5
    expected=$(printf '[TIME]\r\nAWAKE=0800\r\n' | od -c)
    actual=$(od -c < "$work/ORVL.INI" 2>/dev/null || true)
    [ "$actual" = "$expected" ] || fail "ORVL.INI is: $actual"
    ;;
  held_button_acts_once)
    start_clock "2026-03-02 10:10:30"
    xdotool mousemove --window "$window" 100 40
    sleep 0.1
    xdotool mousedown --window "$window" 1
    sleep 1.5              # several passes with the button held over the quit band
    xdotool mouseup --window "$window" 1
    sleep 0.5
    kill -0 "$clock_pid" 2>/dev/null || fail "a held button chose from the menu it opened"
    shoot "$work/held.png"
    ;;
  face_never_blinks)
    # Every frame on screen shows the face: none is the bare background image. A bare frame
    # would show the plain sky at the centre, where the hands' hub always is. A blink lasts
    # about one frame in a pass of about 230 ms, so many quick looks are needed to see one.
    start_clock "2026-03-02 10:10:30"
    convert "$media/OV_Back1.png" -alpha off -crop 24x24+88+88 +repage "$work/centre_sky.png"
    for i in $(seq 1 250); do
      import -window "$window" -crop 24x24+88+88 +repage "$work/centre.png"
      d=$({ compare -metric MAE "$work/centre.png" "$work/centre_sky.png" null: 2>&1 || true; } |
          sed 's/.*(\(.*\)).*/\1/')
      awk -v d="$d" 'BEGIN { exit !(d > 0.02) }' || fail "look $i shows the bare background (difference $d)"
    done
    ;;
  faces)
    # Screenshots of the faces a person sees through the day (saved for the README).
    for face in "day 2026-03-02 10:10:30" "peak 2026-03-02 09:20:15" "bedtime 2026-03-02 21:40:05" \
                "night 2026-03-02 02:20:40"; do
      set -- $face
      start_clock "$2 $3"
      shoot "$shots/$1.png"
      kill "$clock_pid"; wait "$clock_pid" 2>/dev/null || true; clock_pid=""
    done
    start_clock "2026-03-02 10:10:30"
    click_at 100 100
    click_at 100 145       # about box
    shoot "$shots/about.png"
    ;;
  *)
    fail "unknown scenario $scenario"
    ;;
esac
echo "PASS $scenario"
