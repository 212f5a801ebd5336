#!/usr/bin/env bash
# Installs the Debian packages the project needs to build, run and test, skipping apt-get
# entirely when every package is already installed.
set -euo pipefail

PACKAGES=(
  # build (ccache: a fresh clone builds from the compiler cache)
  build-essential cmake pkg-config ccache
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
  # video playback (GStreamer: the library, the app and video helpers, decoders for H.264 and
  # the other common formats); the video tests make their Ogg files with gst-launch-1.0
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev gstreamer1.0-libav
  # the path-planner benchmark's peer (Boost.Graph, header-only)
  libboost-graph-dev
  # the sprite benchmark's SFML peers, and the idle-clock benchmark's peer (xclock)
  libsfml-dev x11-apps
  # network tests: a private network namespace (unshare) with loopback up (ip)
  util-linux iproute2
  # packaging check (tools/package_check.sh): CPack's Debian packages (dpkg-shlibdeps, file)
  # and their checker
  dpkg-dev file lintian
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
