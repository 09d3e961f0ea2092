#!/usr/bin/env bash
# Installs the Debian packages Wavelorn needs to build, run, test and package it. Safe to run again.
set -euo pipefail

# Package groups: "run" builds and runs the two programs; "test" adds the test frameworks and the peer
# tools the tests compare with; "package" adds what builds and checks the Debian package. With no
# argument: run and test.
groups=("$@")
((${#groups[@]})) || groups=(run test)
packages=()
for group in "${groups[@]}"; do
  case $group in
    run) packages+=(
      # toolchain
      build-essential cmake pkg-config git ccache
      # decoding and encoding libraries
      libgsm1-dev libresample1-dev libsoxr-dev
      libmpg123-dev libfluidsynth-dev libopenmpt-dev libtag1-dev
      libavformat-dev libavcodec-dev libavutil-dev libswresample-dev
      libmp3lame-dev libvorbis-dev libogg-dev libflac-dev libid3-3.8.3-dev libopusenc-dev libebur128-dev
      libopencore-amrnb-dev libopencore-amrwb-dev libvo-amrwbenc-dev libfaac-dev
      # pictures re-encoded to the size limit
      libjpeg-dev libpng-dev
      timgm6mb-soundfont
      # the window
      qt6-base-dev libgl-dev xdg-utils fonts-wine) ;;
    test) packages+=(
      libgtest-dev libgmock-dev googletest libbenchmark-dev
      # the format check that CI runs first
      clang-format-14
      xvfb xauth
      # peers that make and check test files
      espeak-ng ffmpeg sox libsox-fmt-all sndfile-programs lame flac wavpack vorbis-tools opus-tools
      mp3val oggz-tools mediainfo atomicparsley id3v2 util-linux faac mpg123 strace
      # fuzzing (clang with its libFuzzer runtime)
      clang libclang-rt-14-dev
      # benchmark scripts
      time bc
      # shards of a plan run at once, as users run them
      parallel
      # the manual pages' and shell completions' tests
      groff-base bash-completion zsh fish) ;;
    package) packages+=(
      dpkg-dev fakeroot file binutils librsvg2-bin
      # checks of the package, its desktop entry and metadata
      lintian desktop-file-utils appstream) ;;
    *) echo "setup.sh: unknown package group '$group' (use run, test or package)" >&2; exit 2 ;;
  esac
done

# libfaac lives in Debian's non-free component. Enable it for the installed release from the
# machine's own package source definitions: same addresses and suites, component non-free.
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
enable_non_free() {  # $1 input file, $2 generated file, $3 awk program
  [[ -r $1 && -n $codename ]] || return 0
  local wanted
  wanted=$(awk -v release="$codename" "$3" "$1")
  if [[ -z $wanted ]]; then
    rm -f "$2"
  elif [[ ! -f $2 || $(cat "$2") != "$wanted" ]]; then
    printf '%s\n' "$wanted" >"$2"
  fi
}
# deb822 stanzas: copy each enabled "deb" stanza of the release without non-free, with only
# that component.
enable_non_free /etc/apt/sources.list.d/debian.sources /etc/apt/sources.list.d/wavelorn-non-free.sources '
  function flush() {
    if (n && types ~ /(^|[ \t])deb([ \t]|$)/ && suites ~ ("(^|[ \t])" release "([- \t]|$)") &&
        comps !~ /(^|[ \t])non-free([ \t]|$)/ && tolower(enabled) != "no") {
      if (out++) print ""
      for (i = 1; i <= n; i++) print lines[i]
      print "Components: non-free"
    }
    n = 0; types = suites = comps = enabled = ""; field = ""
  }
  /^[ \t]*#/ { next }
  /^[ \t]*$/ { flush(); next }
  /^[ \t]/ { if (field != "components") lines[++n] = $0; next }
  {
    field = tolower($1); sub(/:$/, "", field); value = $0; sub(/^[^:]*:[ \t]*/, "", value)
    if (field == "types") types = value
    if (field == "suites") suites = value
    if (field == "enabled") enabled = value
    if (field == "components") { comps = value; next }
    lines[++n] = $0
  }
  END { flush() }'
# One-line entries: "deb [options] URI SUITE COMPONENTS..." becomes the same line with non-free.
enable_non_free /etc/apt/sources.list /etc/apt/sources.list.d/wavelorn-non-free.list '
  $1 == "deb" {
    line = $0; sub(/^deb[ \t]+/, "", line); opts = ""
    if (line ~ /^\[/) { opts = substr(line, 1, index(line, "]")); line = substr(line, index(line, "]") + 1) }
    split(line, f, /[ \t]+/); k = (f[1] == "") ? 1 : 0
    uri = f[1 + k]; suite = f[2 + k]
    if (suite != release && index(suite, release "-") != 1) next
    if (line ~ /[ \t]non-free([ \t]|$)/) next
    print "deb " (opts != "" ? opts " " : "") uri " " suite " non-free"
  }'

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
