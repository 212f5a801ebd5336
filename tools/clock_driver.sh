# Sourced by the end-to-end tests and the screenshot script: runs a copy of the clock on the
# current X display with its wall clock frozen (libfaketime), looks at its window, clicks and
# presses keys with xdotool, and ends it. Every wait is bounded.
#
# Before sourcing, set: clock_binary (the orvela program; its Media folder is beside it).
# Optional: QRN_E2E_START_S, seconds the clock may take to show its face (default 20).
# After clock_setup: $work is a fresh folder holding the copy (removed at exit), $window the
# clock's X window once start_clock returned, $clock_pid its process.

clock_setup() {
  clock_media="$(dirname "$clock_binary")/Media"
  start_limit=${QRN_E2E_START_S:-20}
  work=$(mktemp -d)
  clock_pid=""
  window=""
  trap clock_cleanup EXIT
  cp "$clock_binary" "$work/orvela"
  cp -r "$clock_media" "$work/Media"
  # libfaketime is preloaded directly (the faketime wrapper would stand between the script
  # and the clock's process, and killing it would leave the clock running).
  faketime_lib=$(dpkg -L libfaketime 2>/dev/null | grep 'libfaketime.so.1$' | head -n 1)
  [ -n "$faketime_lib" ] || fail "libfaketime is not installed"
}

clock_cleanup() {
  if [ -n "$clock_pid" ] && kill -0 "$clock_pid" 2>/dev/null; then
    kill -9 "$clock_pid" 2>/dev/null || true
    wait "$clock_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}

# A command that may not take more than 5 s (xdotool, import and the like).
bounded() { timeout -k 1 5 "$@"; }

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# Kills the clock if it still runs (after a stack of every thread, when gdb is there).
kill_clock() {
  [ -n "$clock_pid" ] || return 0
  if kill -0 "$clock_pid" 2>/dev/null; then
    if command -v gdb >/dev/null 2>&1; then
      timeout -k 1 20 gdb -p "$clock_pid" -batch -ex "thread apply all bt" >"$work/stack.txt" 2>&1 || true
    fi
    kill -9 "$clock_pid" 2>/dev/null || true
  fi
  wait "$clock_pid" 2>/dev/null || true
  clock_pid=""
}

# Fails the run: the reason (after $fail_context, when set), then what the clock wrote (and
# its threads, if it was stuck).
fail() {
  echo "FAIL: ${fail_context:-}$*" >&2
  kill_clock
  [ -s "$work/out.txt" ] && sed 's/^/  stdout: /' "$work/out.txt" >&2
  [ -s "$work/err.txt" ] && sed 's/^/  stderr: /' "$work/err.txt" >&2
  [ -s "$work/stack.txt" ] && grep -E '^(Thread|#)' "$work/stack.txt" | sed 's/^/  stack: /' >&2
  exit 1
}

# Starts the clock with the wall clock frozen at the given time (the frame clock runs freely)
# and waits for its 200 x 200 window to show the face.
start_clock() {
  local when=$1
  rm -f "$work/stack.txt"
  ( cd /tmp && LD_PRELOAD="$faketime_lib" FAKETIME="$when" FAKETIME_DONT_FAKE_MONOTONIC=1 \
      exec "$work/orvela" >"$work/out.txt" 2>"$work/err.txt" ) &
  clock_pid=$!
  window=""
  local deadline=$(($(now_ms) + start_limit * 1000))
  while [ "$(now_ms)" -lt "$deadline" ]; do
    window=$(bounded xdotool search --pid "$clock_pid" --name '^Orvela$' 2>/dev/null | head -n 1 || true)
    if [ -n "$window" ] && [ "$(window_size)" = "200x200" ] && face_drawn; then
      sleep 0.5  # a few more passes of the loop
      return 0
    fi
    kill -0 "$clock_pid" 2>/dev/null || fail "the clock exited early"
    sleep 0.1
  done
  fail "no 200x200 window titled Orvela within ${start_limit} s (window '$window', size $(window_size))"
}

# True once the window shows more than a black frame (the first frames of a busy machine's
# software renderer can take a while).
face_drawn() {
  bounded import -window "$window" "$work/probe.png" 2>/dev/null || return 1
  awk -v m="$(bounded convert "$work/probe.png" -format '%[fx:mean]' info: 2>/dev/null)" 'BEGIN { exit !(m > 0.05) }'
}

window_size() {
  [ -n "$window" ] || { echo none; return; }
  bounded xwininfo -id "$window" 2>/dev/null | awk '/^  Width:/ {w=$2} /^  Height:/ {h=$2} END {print w "x" h}'
}

shoot() { bounded import -window "$window" "$1" || fail "no screenshot of window $window"; }

# Mean absolute difference (0..1) between a screenshot and a reference image, over a region.
difference() {
  local shot=$1 reference=$2 region=${3:-200x200+0+0}
  bounded convert "$shot" -alpha off -crop "$region" +repage "$work/diff_a.png"
  bounded convert "$reference" -alpha off -crop "$region" +repage "$work/diff_b.png"
  # compare exits with 1 when the images differ, which is the usual case here
  { bounded compare -metric MAE "$work/diff_a.png" "$work/diff_b.png" null: 2>&1 || true; } | sed 's/.*(\(.*\)).*/\1/'
}

# Number of pixels that differ by more than a tenth between two shots.
changed_pixels() {
  { bounded compare -metric AE -fuzz 10% "$1" "$2" null: 2>&1 || true; } | sed 's/[^0-9].*//'
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

move_to() { bounded xdotool mousemove --window "$window" "$1" "$2"; }

click_at() {
  move_to "$1" "$2"
  sleep 0.1
  bounded xdotool click --window "$window" 1
}

# Clicks and waits (at most 5 s) until the face shows that the click was handled: the wall
# clock is frozen, so the picture changes only through the click. A second click sent before
# the clock's next pass would merge with the first. On failure both shots are kept in
# $keep_dir when that is set.
click_and_wait() {
  shoot "$work/before_click.png"
  click_at "$1" "$2"
  local deadline=$(($(now_ms) + 5000)) d
  while [ "$(now_ms)" -lt "$deadline" ]; do
    sleep 0.1
    shoot "$work/after_click.png"
    d=$(changed_pixels "$work/after_click.png" "$work/before_click.png")
    if [ "${d:-0}" -gt 10 ]; then
      sleep 0.3  # the click pause, so the next click falls into a later pass
      return 0
    fi
  done
  if [ -n "${keep_dir:-}" ]; then
    cp "$work/before_click.png" "$keep_dir/before_click.png"
    cp "$work/after_click.png" "$keep_dir/after_click.png"
  fi
  fail "the click at ($1, $2) changed nothing within 5 s"
}

focus_clock() {
  bounded xdotool windowactivate --sync "$window" 2>/dev/null || bounded xdotool windowfocus --sync "$window" ||
    fail "could not give the clock the focus"
}

# Waits at most $1 seconds for the clock to end (killing it after that); sets end_ms to the
# time it took; checks status 0 and "exit" as the last line of its output.
end_ms=0
expect_clean_exit() {
  local limit_ms=$(($1 * 1000)) started status=0
  started=$(now_ms)
  while kill -0 "$clock_pid" 2>/dev/null && [ $(($(now_ms) - started)) -lt "$limit_ms" ]; do sleep 0.02; done
  end_ms=$(($(now_ms) - started))
  if kill -0 "$clock_pid" 2>/dev/null; then fail "the clock did not end within $1 s"; fi
  wait "$clock_pid" || status=$?
  clock_pid=""
  [ "$status" -eq 0 ] || fail "exit status $status"
  [ "$(tail -n 1 "$work/out.txt")" = "exit" ] || fail "standard output does not end with exit"
}

# Ends the clock with SIGTERM and waits for it (5 s at most).
stop_clock() {
  kill -TERM "$clock_pid" 2>/dev/null || true
  expect_clean_exit 5
}
