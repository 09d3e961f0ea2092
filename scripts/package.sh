#!/usr/bin/env bash
# Builds the Debian package build/wavelorn_VERSION_ARCH.deb with CPack, reusing what run.sh or
# test.sh built in build/, and checks it with lintian, desktop-file-validate and appstreamcli.
# With --install-check it then installs the package with apt-get, runs both installed programs,
# purges it and checks that nothing of it is left (this changes the machine: CI, or as root).
set -euo pipefail
cd "$(dirname "$0")/.."
install_check=0
case "${1:-}" in
  --install-check) install_check=1 ;;
  "") ;;
  *) echo "usage: scripts/package.sh [--install-check]" >&2; exit 2 ;;
esac
bash scripts/setup.sh run package
# A build/ that run.sh or test.sh configured keeps its settings; a new one needs no test tools.
if [[ -f build/CMakeCache.txt ]]; then
  cmake -S . -B build >/dev/null
else
  cmake -S . -B build -DWAVELORN_TESTS=OFF -DWAVELORN_BENCH=OFF >/dev/null
fi
cmake --build build -j"$(nproc)" --target wavelorn wavelorn-cli docs icons
rm -f build/wavelorn_*.deb
(cd build && cpack -G DEB)
deb=$(ls build/wavelorn_*.deb)
echo "== $deb"
dpkg-deb --info "$deb" | sed -n '/Package:/,/Description:/p'

echo "== lintian"
lintian --fail-on error,warning --info "$deb"

# The desktop entry and metadata as the package installs them.
tree=$(mktemp -d "${TMPDIR:-/tmp}/wavelorn-deb.XXXXXX")
trap 'rm -rf "$tree"' EXIT
dpkg-deb -x "$deb" "$tree"
echo "== desktop-file-validate"
desktop-file-validate "$tree/usr/share/applications/org.wavelorn.Wavelorn.desktop"
echo "== appstreamcli validate"
appstreamcli validate --no-net --pedantic "$tree/usr/share/metainfo/org.wavelorn.Wavelorn.metainfo.xml"

((install_check)) || exit 0

echo "== install, run, purge"
# What already carries the name before installing (the non-free source list of setup.sh, this
# clone): it must be all that is left after the purge.
leftovers() {
  find /usr /etc /var /opt -xdev \( -path /var/tmp -o -path /var/cache/apt/archives \) -prune -o \
    -iname '*wavelorn*' -print 2>/dev/null | sort
}
before=$(leftovers)
work=$(mktemp -d "${TMPDIR:-/tmp}/wavelorn-installed.XXXXXX")
trap 'rm -rf "$tree" "$work"; dpkg -s wavelorn >/dev/null 2>&1 && apt-get purge -y -q wavelorn >/dev/null' EXIT
DEBIAN_FRONTEND=noninteractive apt-get install -y -q "./$deb"
dpkg -L wavelorn >"$work/files"
[[ $(command -v wavelorn-cli) == /usr/bin/wavelorn-cli && $(command -v wavelorn) == /usr/bin/wavelorn ]]
# "Open with": the desktop database now offers the entry for audio files.
grep -q '^audio/x-wav=.*org\.wavelorn\.Wavelorn\.desktop' /usr/share/applications/mimeinfo.cache

# Inputs written byte by byte: one second of 8000 Hz mono 16-bit noise, and a one-note MIDI file.
le32() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $(($1 >> 8 & 255)))\\x$(printf %02x $(($1 >> 16 & 255)))\\x$(printf %02x $(($1 >> 24 & 255)))"; }
{ printf 'RIFF'; le32 16036; printf 'WAVEfmt '; le32 16; printf '\x01\x00\x01\x00'; le32 8000; le32 16000
  printf '\x02\x00\x10\x00data'; le32 16000; head -c 16000 /dev/urandom; } >"$work/noise.wav"
printf 'MThd\x00\x00\x00\x06\x00\x00\x00\x01\x00\x60MTrk\x00\x00\x00\x0c\x00\x90\x3c\x40\x60\x80\x3c\x40\x00\xff\x2f\x00' \
  >"$work/note.mid"
export HOME="$work/home" XDG_CONFIG_HOME="$work/config"
mkdir -p "$HOME"
wavelorn-cli --version
wavelorn-cli -q -t mp3 -o "$work/out" "$work/noise.wav" "$work/note.mid" | tee "$work/lines"
# The MIDI file converts only when the SoundFont link in /usr/share/wavelorn leads to the SoundFont.
[[ $(cut -f3 "$work/lines") == "$work/out/noise.mp3"$'\n'"$work/out/note.mp3" ]] ||
  { echo "the installed wavelorn-cli did not convert both files" >&2; exit 1; }
# (Not `tee /dev/stderr`: opening it anew truncates a log file that standard error goes to.)
file "$work/out/noise.mp3" "$work/out/note.mp3" | tee "$work/types" >&2
grep -c 'MPEG ADTS, layer III' "$work/types" | grep -qx 2
wavelorn -platform offscreen --version
man -l /usr/share/man/man1/wavelorn-cli.1.gz >/dev/null
unset HOME XDG_CONFIG_HOME

DEBIAN_FRONTEND=noninteractive apt-get purge -y -q wavelorn
after=$(leftovers)
left=0
while read -r path; do
  # Folders shared with other packages stay; everything the package brought must be gone.
  [[ -e $path && ! -d $path ]] && { echo "left after purge: $path" >&2; left=1; }
done <"$work/files"
if [[ $after != "$before" ]]; then
  echo "left after purge:" >&2
  comm -13 <(echo "$before") <(echo "$after") >&2
  left=1
fi
((left == 0))
echo "package installed, ran and purged cleanly"
