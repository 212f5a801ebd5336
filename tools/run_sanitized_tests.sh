#!/usr/bin/env bash
# Builds the whole test suite with clang under AddressSanitizer and UndefinedBehaviorSanitizer
# (undefined behaviour ends the program), with libFuzzer's coverage so the fuzz targets build
# in the same folder, and runs every test in it, the display tests on a private virtual
# display (their leaks are not checked: see tools/sanitizer_env.sh).
# Usage: tools/run_sanitized_tests.sh [extra ctest arguments]
# The folder is $SANITIZE_BUILD_DIR (default build-asan).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install_deps.sh

BUILD_DIR=${SANITIZE_BUILD_DIR:-build-asan}
. tools/build_env.sh
cmake -S . -B "$BUILD_DIR" "${QRN_SANITIZE_ARGS[@]}" "${QRN_LAUNCHER[@]}" >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)"

. tools/xvfb.sh
start_private_display
. tools/sanitizer_env.sh
export QUARNEL_UNATTENDED=1 SDL_AUDIODRIVER=dummy
cd "$BUILD_DIR"
status=0
# Tests outside the display label that still load a GL driver (SDL's offscreen driver through
# EGL) run with the display tests' options below.
driver_tests='^host[.]StartupWithoutDisplay[.]TheOffscreenDriverServesWhenNamed$'
# The include check (label layers) is a script: nothing for a sanitizer to see.
ctest --output-on-failure -j"$(nproc)" -LE 'gl|layers' -E "$driver_tests" "$@" || status=$?
ASAN_OPTIONS=$QRN_DISPLAY_ASAN_OPTIONS ctest --output-on-failure -R "$driver_tests" "$@" || status=$?
# The display tests drive the real clock with fixed waits, and a sanitized program is several
# times slower: a display test that fails is run again (up to three times in all). Their
# sanitizer reports go to files instead, so that a report fails the run even when a later
# try passes.
reports=$(mktemp -d "${TMPDIR:-/tmp}/qrn-sanitizer-reports.XXXXXX")
ASAN_OPTIONS="$QRN_DISPLAY_ASAN_OPTIONS:log_path=$reports/asan" UBSAN_OPTIONS="$UBSAN_OPTIONS:log_path=$reports/ubsan" \
  ctest --output-on-failure -j"$(nproc)" -L gl --repeat until-pass:3 "$@" || status=$?
for report in "$reports"/*; do
  [ -f "$report" ] || continue
  if grep -qE 'ERROR: [A-Za-z]+Sanitizer|runtime error:' "$report"; then
    echo "---- sanitizer report from a display test: $report" >&2
    cat "$report" >&2
    status=1
  fi
done
rm -rf "$reports"
# A display that died during the run fails it, whatever the tests said.
private_display_alive || status=1
exit "$status"
