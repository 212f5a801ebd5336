#!/usr/bin/env bash
# Installs what is missing, builds everything, and runs every test (the GL and end-to-end
# tests on a private virtual display). Usage: tools/run_tests.sh [extra ctest arguments]
# BUILD_DIR names the build folder (default build); QRN_WERROR=ON makes warnings errors.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install_deps.sh

BUILD_DIR=${BUILD_DIR:-build}
. tools/build_env.sh
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQRN_WERROR="${QRN_WERROR:-OFF}" "${QRN_LAUNCHER[@]}" >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)"

. tools/xvfb.sh
start_private_display
# Tests never show blocking boxes; SDL's audio stays silent.
export QUARNEL_UNATTENDED=1 SDL_AUDIODRIVER=dummy
status=0
(cd "$BUILD_DIR" && ctest --output-on-failure -j"$(nproc)" "$@") || status=$?
# A display that died during the run fails it, whatever the tests said.
private_display_alive || status=1
exit "$status"
