#!/usr/bin/env bash
# Runs fuzz targets with libFuzzer under AddressSanitizer and UndefinedBehaviorSanitizer.
#
#   tools/fuzz.sh TARGET SECONDS   one target (png, settings, ...; see tests/fuzz/*_fuzz.cpp)
#   tools/fuzz.sh all SECONDS      every target, two at a time
#
# A run fails on a crash, a leak, an input that takes longer than 10 s, or more than 2 GB of
# memory; the input is kept in $FUZZ_BUILD_DIR/fuzz-artifacts/TARGET/ (copy it to
# tests/fuzz/regressions/TARGET/ once the parser is mended). Each target starts from its seed
# corpus and the regressions and keeps what it finds in $FUZZ_BUILD_DIR/fuzz-corpus/TARGET/.
# The build folder is $FUZZ_BUILD_DIR (default build-asan, made by run_sanitized_tests.sh or
# here); FUZZ_JOBS sets how many targets run at once for "all" (default 2).
set -euo pipefail
cd "$(dirname "$0")/.."
if [ $# -ne 2 ]; then
  echo "usage: tools/fuzz.sh TARGET|all SECONDS" >&2
  exit 2
fi
TARGET=$1
SECONDS_EACH=$2
BUILD_DIR=${FUZZ_BUILD_DIR:-build-asan}
JOBS=${FUZZ_JOBS:-2}
ROOT=$(pwd)

. tools/build_env.sh
if [ ! -f "$BUILD_DIR/CMakeCache.txt" ] || ! grep -q '^QRN_FUZZ:BOOL=ON' "$BUILD_DIR/CMakeCache.txt"; then
  cmake -S . -B "$BUILD_DIR" "${QRN_SANITIZE_ARGS[@]}" "${QRN_LAUNCHER[@]}" >/dev/null
fi
if [ "$TARGET" = all ]; then
  cmake --build "$BUILD_DIR" -j"$(nproc)" --target fuzz_targets
  mapfile -t targets <"$BUILD_DIR/tests/fuzz/targets.txt"
else
  cmake --build "$BUILD_DIR" -j"$(nproc)" --target "fuzz_$TARGET"
  targets=("$TARGET")
fi
. tools/sanitizer_env.sh

LOGS="$BUILD_DIR/fuzz-logs"
mkdir -p "$LOGS"

# run_one NAME: one libFuzzer run; its output goes to the log, its result to NAME.result.
run_one() {
  local name=$1
  local corpus="$BUILD_DIR/fuzz-corpus/$name" artifacts="$BUILD_DIR/fuzz-artifacts/$name"
  mkdir -p "$corpus" "$artifacts"
  local inputs=("$corpus")
  for dir in "tests/fuzz/corpus/$name" "tests/fuzz/regressions/$name"; do
    if [ -d "$dir" ]; then inputs+=("$dir"); fi
  done
  local dict=()
  if [ -f "tests/fuzz/dict/$name.dict" ]; then dict=("-dict=tests/fuzz/dict/$name.dict"); fi
  local status=0
  # Each run has a temporary folder of its own: the archive target extracts entries there,
  # and two runs of it at once (by hand beside CI) would otherwise hold each other's files.
  local tmp
  tmp=$(mktemp -d "${TMPDIR:-/tmp}/qrn-fuzz-$name.XXXXXX")
  # Standard output is closed for the target (the runtime's "error: 3" lines), not for libFuzzer.
  TMPDIR=$tmp "$BUILD_DIR/tests/fuzz/fuzz_$name" -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 \
    -malloc_limit_mb=2048 -close_fd_mask=1 -print_final_stats=1 -artifact_prefix="$artifacts/" \
    "${dict[@]}" "${inputs[@]}" >"$LOGS/$name.log" 2>&1 || status=$?
  rm -rf "$tmp"
  echo "$status" >"$LOGS/$name.result"
}

for name in "${targets[@]}"; do
  [ -n "$name" ] || continue
  if [ ! -x "$BUILD_DIR/tests/fuzz/fuzz_$name" ]; then
    echo "fuzz.sh: no target $name" >&2
    exit 2
  fi
  while [ "$(jobs -rp | wc -l)" -ge "$JOBS" ]; do wait -n || true; done
  run_one "$name" &
done
wait

failed=0
printf '%-16s %12s %8s %8s %10s %8s  %s\n' target executions exec/s cov ft rss_mb result
for name in "${targets[@]}"; do
  [ -n "$name" ] || continue
  log="$LOGS/$name.log"
  status=$(cat "$LOGS/$name.result")
  stat() { grep -o "^stat::$1: *[0-9]*" "$log" | grep -o '[0-9]*$' | tail -1; }
  done_line=$(grep -E '^#[0-9]+[[:space:]]+(DONE|pulse|NEW|REDUCE|INITED)' "$log" | tail -1 || true)
  cov=$(echo "$done_line" | grep -o 'cov: [0-9]*' | grep -o '[0-9]*' || true)
  ft=$(echo "$done_line" | grep -o 'ft: [0-9]*' | grep -o '[0-9]*' || true)
  result=ok
  if [ "$status" -ne 0 ]; then
    result="FAILED (status $status), see $log"
    failed=1
  fi
  printf '%-16s %12s %8s %8s %10s %8s  %s\n' "$name" "$(stat number_of_executed_units)" \
    "$(stat average_exec_per_sec)" "${cov:-?}" "${ft:-?}" "$(stat peak_rss_mb)" "$result"
done
if [ "$failed" -ne 0 ]; then
  for name in "${targets[@]}"; do
    [ -n "$name" ] || continue
    if [ "$(cat "$LOGS/$name.result")" -ne 0 ]; then
      echo "---- $name ----"
      grep -E 'ERROR|SUMMARY|artifact|Test unit written|fuzz property' "$LOGS/$name.log" | head -20 || true
    fi
  done
  exit 1
fi
