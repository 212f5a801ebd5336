#!/usr/bin/env bash
# Installs the Debian packages the project needs to build, run and test, skipping apt-get
# entirely when every package is already installed.
set -euo pipefail

PACKAGES=(
  # build
  build-essential cmake pkg-config
  # runtime libraries
  libsdl2-dev libsdl2-mixer-dev libgl-dev libgl1-mesa-dri libpng-dev libjpeg-dev zlib1g-dev
  liblzo2-dev
  # General MIDI sound font for MIDI music
  timgm6mb-soundfont
  # opening documents with the desktop's program
  xdg-utils
  # media generator
  libfreetype-dev fonts-dejavu-core
  # tests and benchmarks
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth x11-utils xdotool faketime imagemagick
  # sound tests: Ogg and FLAC files (sox), MP3 files (GStreamer's LAME encoder) and their decoding
  sox libsox-fmt-base gstreamer1.0-tools gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  # the path-planner benchmark's peer (Boost.Graph, header-only)
  libboost-graph-dev
  # network tests: a private network namespace (unshare) with loopback up (ip)
  util-linux iproute2
  # the ThreadSanitizer build of the network tests (tools/tsan_net.sh)
  clang libclang-rt-14-dev
  # sanitizer builds and fuzzing: llvm-symbolizer for readable reports
  llvm
)

missing=()
for pkg in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$pkg")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "install_deps: all ${#PACKAGES[@]} packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "install_deps: installing ${missing[*]}"
$SUDO apt-get update -q
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
