#!/usr/bin/env bash
# Checks the installed and packaged project from a complete build: installs it into a
# temporary prefix, builds the examples against that prefix (CMake's find_package, and the
# bouncing sprites with pkg-config), runs each on a private virtual display for a few frames
# (QUARNEL_EXAMPLE_FRAMES), starts the installed clock (its media from share/orvela), makes
# the two Debian packages with CPack, unpacks them with dpkg -x and checks their files and
# dependencies, and runs lintian on them (no errors allowed).
# Usage: tools/package_check.sh [BUILD_DIR]   (default $BUILD_DIR, else build)
# QRN_PACKAGE_CHECKS="install run-typing ..." runs only the checks named (by hand, while working
# on one; a check may need the ones before it).
# Ends with "package_check: N passed, N failed"; exits 1 when a check failed.
set -uo pipefail
cd "$(dirname "$0")/.."
source_dir=$PWD
build_dir=$(cd "${1:-${BUILD_DIR:-build}}" && pwd) || { echo "package_check: no build folder" >&2; exit 1; }
scratch=$(mktemp -d "${TMPDIR:-/tmp}/qrn-package.XXXXXX")
prefix="$scratch/prefix"
passed=0
failed=0
failures=()

. tools/xvfb.sh
start_private_display || exit 1
trap 'kill "$QRN_XVFB_PID" 2>/dev/null || true; rm -rf "$QRN_XVFB_DIR" "$scratch"' EXIT
export QUARNEL_UNATTENDED=1 SDL_AUDIODRIVER=dummy

# check NAME COMMAND...: runs one check, its output kept in $scratch/NAME.log and shown when
# it fails.
check() {
  local name=$1 started
  shift
  if [ -n "${QRN_PACKAGE_CHECKS:-}" ] && [[ " $QRN_PACKAGE_CHECKS " != *" $name "* ]]; then return 0; fi
  started=$(date +%s)
  if "$@" >"$scratch/$name.log" 2>&1; then
    passed=$((passed + 1))
    echo "ok   $name ($(($(date +%s) - started)) s)"
  else
    failed=$((failed + 1))
    failures+=("$name")
    echo "FAIL $name ($(($(date +%s) - started)) s):"
    sed 's/^/    /' "$scratch/$name.log" | tail -n 40
  fi
}

# must_have ROOT PATH...: every path exists under ROOT.
must_have() {
  local root=$1 missing=0
  shift
  for path in "$@"; do
    if [ ! -e "$root/$path" ]; then
      echo "missing: $path"
      missing=1
    fi
  done
  return "$missing"
}

. tools/build_env.sh

# ---- Installing ------------------------------------------------------------------------------
install_prefix() {
  cmake --install "$build_dir" --prefix "$prefix" >/dev/null || return 1
  must_have "$prefix" lib/libquarnel.a include/quarnel/quarnel.h include/quarnel/core/text_value.h \
    lib/cmake/Quarnel/QuarnelConfig.cmake lib/cmake/Quarnel/QuarnelConfigVersion.cmake \
    lib/cmake/Quarnel/QuarnelTargets.cmake lib/pkgconfig/quarnel.pc bin/orvela \
    share/orvela/Media/OV_Back1.png share/orvela/Media/Arial18BWhite.png share/applications/orvela.desktop \
    share/icons/hicolor/48x48/apps/orvela.png share/icons/hicolor/128x128/apps/orvela.png \
    share/icons/hicolor/256x256/apps/orvela.png || return 1
  # The test fakes and the internal headers stay behind.
  local extra
  extra=$(find "$prefix/include" -name 'fake_*' -o -name '*_internal.h')
  [ -z "$extra" ] || { echo "installed but private: $extra"; return 1; }
  # The media are the clock's own, every file of them.
  diff -r "$source_dir/app/Media" "$prefix/share/orvela/Media"
}

# ---- Building against the installed package ------------------------------------------------------
build_with_find_package() {
  cmake -S "$source_dir/examples" -B "$scratch/examples" -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS=-Werror "${QRN_LAUNCHER[@]}" &&
    cmake --build "$scratch/examples" -j"$(nproc)"
}

build_with_pkg_config() {
  PKG_CONFIG_PATH="$prefix/lib/pkgconfig" pkg-config --exists --print-errors quarnel || return 1
  make -C "$source_dir/examples" OUT="$scratch" CXXFLAGS="-O2 -Wall -Wextra -Werror" \
    PKG_CONFIG_PATH="$prefix/lib/pkgconfig" "$scratch/sprites-pc"
}

# ---- Running the examples --------------------------------------------------------------------------
# run_frames OUT FRAMES PROGRAM ARGS...: runs a program for FRAMES frames (30 s at most); it
# must end with status 0 and "exit" as its last line.
run_frames() {
  local out=$1 frames=$2 status=0
  shift 2
  QUARNEL_EXAMPLE_FRAMES=$frames timeout -k 2 30 "$@" >"$out" 2>"$out.err" || status=$?
  cat "$out"
  [ "$status" -eq 0 ] || { echo "status $status"; cat "$out.err"; return 1; }
  [ "$(tail -n 1 "$out")" = "exit" ] || { echo "the last line is not exit"; return 1; }
}

# The id of the first window with this exact title (10 s at most), on standard output.
find_window() {
  local title=$1 id=""
  for _ in $(seq 1 100); do
    id=$(timeout 5 xdotool search --name "^$title\$" 2>/dev/null | head -n 1 || true)
    if [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    sleep 0.1
  done
  echo "no window titled $title" >&2
  return 1
}

run_sprites() { run_frames "$scratch/sprites.out" 60 "$scratch/examples/sprites"; }
run_sprites_pc() { run_frames "$scratch/sprites-pc.out" 60 "$scratch/sprites-pc"; }

# The typing example reads a name with line entry, then free typing: keys come from xdotool.
run_typing() {
  QUARNEL_EXAMPLE_FRAMES=200 timeout -k 2 40 "$scratch/examples/typing" >"$scratch/typing.out" 2>/dev/null &
  local pid=$! window status=0
  window=$(find_window Typing) || { kill "$pid"; return 1; }
  sleep 0.5
  timeout 5 xdotool windowfocus --sync "$window" || true
  timeout 10 xdotool type --delay 40 "Ada"
  timeout 5 xdotool key Return
  sleep 0.3
  timeout 10 xdotool type --delay 40 "hello there"
  timeout 5 xdotool key Return
  wait "$pid" || status=$?
  cat "$scratch/typing.out"
  [ "$status" -eq 0 ] && grep -qx "name: Ada" "$scratch/typing.out" && grep -qx "typed: hello there" "$scratch/typing.out"
}

run_player() {
  run_frames "$scratch/player.out" 100 "$scratch/examples/player" &&
    grep -Eq '^effects played: [1-9][0-9]*, music playing$' "$scratch/player.out"
}

# The chat: a host and a guest, each sending one line, in a private network namespace where
# one is available (tests/net/in_netns.sh), on a port of their own.
run_chat() {
  QRN_CHAT="$scratch/examples/chat" QRN_OUT="$scratch" timeout -k 2 60 tests/net/in_netns.sh bash -c '
    QUARNEL_EXAMPLE_FRAMES=400 "$QRN_CHAT" -p 27931 host Hana "hello from the host" >"$QRN_OUT/host.out" 2>/dev/null &
    host=$!
    for _ in $(seq 1 200); do grep -q "^hosting as" "$QRN_OUT/host.out" && break; sleep 0.1; done
    QUARNEL_EXAMPLE_FRAMES=200 "$QRN_CHAT" -p 27931 join 127.0.0.1 Gus "hi, Gus here" >"$QRN_OUT/guest.out" 2>/dev/null
    guest=$?
    wait $host
    exit $((guest | $?))'
  local status=$?
  echo "host:"; cat "$scratch/host.out"; echo "guest:"; cat "$scratch/guest.out"
  [ "$status" -eq 0 ] &&
    grep -qx "Gus: hi, Gus here" "$scratch/host.out" && grep -qx "Hana: hello from the host" "$scratch/guest.out" &&
    [ "$(tail -n 1 "$scratch/host.out")" = exit ] && [ "$(tail -n 1 "$scratch/guest.out")" = exit ]
}

# The installed clock finds its media under share/orvela: its window shows the face (more
# than a black frame), and it ends cleanly on SIGTERM.
run_installed_clock() {
  XDG_CONFIG_HOME="$scratch/config" "$prefix/bin/orvela" >"$scratch/clock.out" 2>&1 &
  local pid=$! window status=0 mean=0
  window=$(find_window Orvela) || { kill "$pid"; return 1; }
  for _ in $(seq 1 50); do
    timeout 5 import -window "$window" "$scratch/clock.png" 2>/dev/null &&
      mean=$(timeout 5 convert "$scratch/clock.png" -format '%[fx:mean]' info: 2>/dev/null)
    awk -v m="${mean:-0}" 'BEGIN { exit !(m > 0.15) }' && break
    sleep 0.2
  done
  kill -TERM "$pid"
  wait "$pid" || status=$?
  echo "mean brightness $mean, status $status"
  grep -q 'error: 3' "$scratch/clock.out" && { echo "a media file was not found:"; cat "$scratch/clock.out"; return 1; }
  awk -v m="${mean:-0}" 'BEGIN { exit !(m > 0.15) }' && [ "$status" -eq 0 ]
}

# ---- Debian packages -------------------------------------------------------------------------------
make_packages() {
  (cd "$build_dir" && cpack -G DEB -B "$scratch/debs") || return 1
  ls "$scratch/debs"/quarnel-dev_*_*.deb "$scratch/debs"/orvela_*_*.deb
}

# The files each package holds, unpacked with dpkg -x, and the dependencies it declares.
package_contents() {
  local dev clock
  dev=$(ls "$scratch/debs"/quarnel-dev_*.deb) && clock=$(ls "$scratch/debs"/orvela_*.deb) || return 1
  dpkg -x "$dev" "$scratch/root-dev" && dpkg -x "$clock" "$scratch/root-clock" || return 1
  local libdir
  libdir=$(cd "$scratch/root-dev/usr" && dirname "$(find . -name libquarnel.a | head -n 1)")
  must_have "$scratch/root-dev/usr" "$libdir/libquarnel.a" "$libdir/cmake/Quarnel/QuarnelConfig.cmake" \
    "$libdir/cmake/Quarnel/QuarnelTargets.cmake" "$libdir/pkgconfig/quarnel.pc" include/quarnel/quarnel.h \
    include/quarnel/host/frame_loop.h share/doc/quarnel-dev/copyright share/doc/quarnel-dev/changelog.Debian.gz ||
    return 1
  # The clock's package: exactly these files.
  local expected actual
  expected=$( (echo ./usr/bin/orvela ./usr/share/applications/orvela.desktop \
    ./usr/share/doc/orvela/changelog.Debian.gz ./usr/share/doc/orvela/copyright ./usr/share/man/man1/orvela.1.gz
    for size in 48 128 256; do echo "./usr/share/icons/hicolor/${size}x${size}/apps/orvela.png"; done
    for f in "$source_dir"/app/Media/*; do echo "./usr/share/orvela/Media/$(basename "$f")"; done) | tr ' ' '\n' | sort)
  actual=$(cd "$scratch/root-clock" && find . -type f | sort)
  if [ "$expected" != "$actual" ]; then
    echo "the orvela package holds other files than expected:"
    diff <(echo "$expected") <(echo "$actual")
    return 1
  fi
  local private
  private=$(find "$scratch/root-dev/usr/include" -name 'fake_*' -o -name '*_internal.h')
  [ -z "$private" ] || { echo "packaged but private: $private"; return 1; }
  # Dependencies: the run-time libraries for the clock, the development packages for the library.
  local clock_depends dev_depends
  clock_depends=$(dpkg-deb -f "$clock" Depends)
  dev_depends=$(dpkg-deb -f "$dev" Depends)
  echo "orvela Depends: $clock_depends"
  echo "quarnel-dev Depends: $dev_depends"
  for lib in libgl1 libsdl2-2.0-0 libsdl2-mixer-2.0-0 libpng16-16 libjpeg62-turbo liblzo2-2 libc6 libstdc++6; do
    grep -q "$lib" <<<"$clock_depends" || { echo "orvela does not depend on $lib"; return 1; }
  done
  for pkg in libsdl2-dev libsdl2-mixer-dev libgl-dev libpng-dev libjpeg-dev zlib1g-dev liblzo2-dev libgstreamer1.0-dev pkg-config; do
    grep -q "$pkg" <<<"$dev_depends" || { echo "quarnel-dev does not depend on $pkg"; return 1; }
  done
  # The packaged pkg-config file finds the headers and the library from its own place.
  local includedir pc_libdir
  includedir=$(PKG_CONFIG_PATH="$scratch/root-dev/usr/$libdir/pkgconfig" pkg-config --variable=includedir quarnel)
  pc_libdir=$(PKG_CONFIG_PATH="$scratch/root-dev/usr/$libdir/pkgconfig" pkg-config --variable=libdir quarnel)
  [ -f "$includedir/quarnel/quarnel.h" ] && [ -f "$pc_libdir/libquarnel.a" ] ||
    { echo "quarnel.pc points at $includedir and $pc_libdir"; return 1; }
}

run_lintian() {
  local out status=0
  out=$(lintian --tag-display-limit 0 "$scratch/debs"/*.deb 2>&1) || status=$?
  echo "$out"
  # Errors fail the check; warnings and notes are listed only.
  if grep -q '^E: ' <<<"$out"; then return 1; fi
  # lintian's own status is 2 when it could not run at all.
  [ "$status" -ne 2 ]
}

check install install_prefix
check examples-find-package build_with_find_package
check examples-pkg-config build_with_pkg_config
check run-sprites run_sprites
check run-sprites-pkg-config run_sprites_pc
check run-typing run_typing
check run-player run_player
check run-chat run_chat
check installed-clock run_installed_clock
check debian-packages make_packages
check package-contents package_contents
check lintian run_lintian
private_display_alive || { failed=$((failed + 1)); failures+=(display); }

[ "$failed" -eq 0 ] || echo "failed: ${failures[*]}"
echo "package_check: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
