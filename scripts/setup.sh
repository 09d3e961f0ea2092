#!/usr/bin/env bash
# Installs every Debian package Wavelorn needs to build, run and test. Safe to run again.
set -euo pipefail

packages=(
  # toolchain and test frameworks
  build-essential cmake pkg-config git ccache
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  # decoding and encoding libraries
  libgsm1-dev libresample1-dev
  libmpg123-dev libfluidsynth-dev libopenmpt-dev libtag1-dev
  libavformat-dev libavcodec-dev libavutil-dev libswresample-dev
  libmp3lame-dev libvorbis-dev libogg-dev libid3-3.8.3-dev
  libopencore-amrnb-dev libopencore-amrwb-dev libvo-amrwbenc-dev
  timgm6mb-soundfont
  # the window
  qt6-base-dev libgl-dev xvfb xauth xdg-utils fonts-wine
  # peers that make and check test files
  espeak-ng ffmpeg sox libsox-fmt-all sndfile-programs lame flac wavpack vorbis-tools
  mp3val oggz-tools mediainfo atomicparsley id3v2 util-linux
  # fuzzing (clang with its libFuzzer runtime)
  clang libclang-rt-14-dev
  # benchmark scripts
  time bc
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
