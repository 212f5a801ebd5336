#!/usr/bin/env bash
# ThreadSanitizer build of the network tests (clang, -fsanitize=thread) in its own build
# folder, run inside the private network namespace like the normal suite, the 8-client soak
# included. Any race report fails the run. Usage: tools/tsan_net.sh [extra ctest arguments]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build-tsan}
. tools/build_env.sh
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ "${QRN_LAUNCHER[@]}" \
  -DCMAKE_C_FLAGS="-fsanitize=thread" -DCMAKE_CXX_FLAGS="-fsanitize=thread" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" -DQRN_BUILD_BENCH=OFF >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)" --target test_net
# halt_on_error: a race ends the test program with a failure, so ctest reports it.
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}"
cd "$BUILD_DIR"
ctest -R '^net[.]' --output-on-failure -j"$(nproc)" "$@"
