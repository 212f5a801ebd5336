#!/usr/bin/env bash
# One end-to-end scenario of the clock.
# Usage: clock_e2e.sh SCENARIO ORVELA_BINARY SHOT_DIR [CLOSE_WINDOW_TOOL]
# Runs a copy of the clock (binary and media) in a fresh folder so its ORVL.INI is its own,
# driven by tools/clock_driver.sh. Every wait is bounded: a clock that does not show its face
# within QRN_E2E_START_S seconds (default 20) or does not end within 5 s of being asked is
# killed, and the scenario fails printing what the clock wrote. start_stop runs
# QRN_E2E_CYCLES start/stop cycles (default 8), ending the clock in turn by SIGTERM, Escape,
# the close button and the menu's quit item; each must end within 2 s.
set -euo pipefail
scenario=$1
clock_binary=$2
shots=$3
close_tool=${4:-}
mkdir -p "$shots"
keep_dir=$shots
. "$(dirname "$0")/../../tools/clock_driver.sh"
clock_setup
media=$clock_media

case "$scenario" in
  window_and_title)
    start_clock "2026-03-02 10:10:30"
    title=$(bounded xdotool getwindowname "$window")
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
    click_and_wait 100 100
    shoot "$work/menu.png"
    cp "$work/menu.png" "$shots/menu.png"
    # What the menu should look like: its image over the face, at (10, 25).
    bounded composite -geometry +10+25 "$media/OV_Popup.png" "$work/before.png" "$work/expected.png"
    closer_to "$work/menu.png" "$work/expected.png" "$work/before.png" "170x136+10+25" || fail "menu not shown"
    ;;
  quit_item)
    start_clock "2026-03-02 10:10:30"
    click_and_wait 100 100
    click_at 100 40
    expect_clean_exit 5
    ;;
  escape_key)
    start_clock "2026-03-02 10:10:30"
    focus_clock
    bounded xdotool key --window "$window" Escape
    expect_clean_exit 5
    ;;
  editor_writes_wake_time)
    start_clock "2026-03-02 10:10:30"
    click_and_wait 100 100  # menu
    click_and_wait 100 65   # wake time item: editor, rows at 100, 115 and 130 by day
    shoot "$work/editor.png"
    cp "$work/editor.png" "$shots/editor.png"
    click_and_wait 97 102   # hour up
    [ ! -e "$work/ORVL.INI" ] || fail "ORVL.INI written before the editor closed"
    click_and_wait 20 20    # outside the editor: save
    sleep 0.5
    expected=$(printf '[TIME]\r\nAWAKE=0800\r\n' | od -c)
    actual=$(od -c < "$work/ORVL.INI" 2>/dev/null || true)
    [ "$actual" = "$expected" ] || fail "ORVL.INI is: $actual"
    ;;
  held_button_acts_once)
    start_clock "2026-03-02 10:10:30"
    move_to 100 40
    sleep 0.1
    bounded xdotool mousedown --window "$window" 1
    sleep 1.5              # several passes with the button held over the quit band
    bounded xdotool mouseup --window "$window" 1
    sleep 0.5
    kill -0 "$clock_pid" 2>/dev/null || fail "a held button chose from the menu it opened"
    shoot "$work/held.png"
    ;;
  face_never_blinks)
    # Every frame on screen shows the face: none is the bare background image. A bare frame
    # would show the plain sky at the centre, where the hands' hub always is. A blink lasts
    # about one frame in a pass of about 230 ms, so many quick looks are needed to see one:
    # 250, or as many as 60 s allow on a busy machine.
    start_clock "2026-03-02 10:10:30"
    bounded convert "$media/OV_Back1.png" -alpha off -crop 24x24+88+88 +repage "$work/centre_sky.png"
    looks_until=$(($(now_ms) + 60000))
    for i in $(seq 1 250); do
      if [ "$(now_ms)" -gt "$looks_until" ]; then echo "$((i - 1)) looks in 60 s"; break; fi
      bounded import -window "$window" -crop 24x24+88+88 +repage "$work/centre.png"
      d=$({ bounded compare -metric MAE "$work/centre.png" "$work/centre_sky.png" null: 2>&1 || true; } |
          sed 's/.*(\(.*\)).*/\1/')
      awk -v d="$d" 'BEGIN { exit !(d > 0.02) }' || fail "look $i shows the bare background (difference $d)"
    done
    ;;
  no_display)
    # Without a display the clock says so and ends at its first frame.
    ( cd /tmp && exec env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER "$work/orvela" \
        >"$work/out.txt" 2>"$work/err.txt" ) &
    clock_pid=$!
    expect_clean_exit 5
    grep -q "could not be created (no display: DISPLAY is not set)" "$work/err.txt" ||
      fail "standard error does not say that there is no display"
    ;;
  start_stop)
    # Start and end the clock again and again; every way of ending it must end it within 2 s.
    [ -x "$close_tool" ] || fail "no close-window tool given"
    cycles=${QRN_E2E_CYCLES:-8}
    ways=(sigterm escape close_button quit_item)
    declare -A count=() worst=() total=()
    for way in "${ways[@]}"; do count[$way]=0; worst[$way]=0; total[$way]=0; done
    for cycle in $(seq 1 "$cycles"); do
      way=${ways[$(((cycle - 1) % 4))]}
      fail_context="cycle $cycle of $cycles ($way): "
      start_clock "2026-03-02 10:10:30"
      case "$way" in
        sigterm) kill -TERM "$clock_pid" ;;
        escape) focus_clock; bounded xdotool key --window "$window" Escape ;;
        close_button) bounded "$close_tool" "$window" || fail "cycle $cycle: no close request sent" ;;
        quit_item) click_and_wait 100 100; click_at 100 40 ;;
      esac
      expect_clean_exit 2
      count[$way]=$((count[$way] + 1))
      total[$way]=$((total[$way] + end_ms))
      if [ "$end_ms" -gt "${worst[$way]}" ]; then worst[$way]=$end_ms; fi
    done
    fail_context=""
    for way in "${ways[@]}"; do
      if [ "${count[$way]}" -eq 0 ]; then continue; fi
      echo "$way: ${count[$way]} cycles, mean $((total[$way] / count[$way])) ms, worst ${worst[$way]} ms to end"
    done
    ;;
  *)
    fail "unknown scenario $scenario"
    ;;
esac
echo "PASS $scenario"
