#!/bin/sh
# Times WAV -> 128 kbit/s MP3 through wavelorn-cli and through the lame command on the same
# ten-minute 44.1 kHz stereo WAV, several runs each, and prints the median wall-time ratio.
# The converter runs with automatic MP3 parameters (44100 Hz, 128 kbit/s for this source) and a
# throw-away settings folder; its output is checked to be byte-identical to lame's.
# Usage: bench/mp3_vs_lame.sh [build-dir] [runs]
set -eu
build=${1:-build}
runs=${2:-5}
work=$(mktemp -d "${TMPDIR:-/tmp}/mp3bench.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM

cli=$build/bin/wavelorn-cli
if [ ! -x "$cli" ]; then
    echo "build $build first (no $cli)" >&2
    exit 1
fi
mkdir "$work/out" "$work/config"
ours() {
    XDG_CONFIG_HOME="$work/config" "$cli" -q -t mp3 -o "$work/out" --if-exists overwrite \
        --set AutoDestMP3EncodingParam=1 --set MP3ID3TagType=2 --set AmplifyMp3=0 "$1" >/dev/null
}
label=wavelorn-cli
theirs() { lame --quiet -b 128 --cbr -t "$1" "$work/lame.mp3"; }

# Music-like content: two detuned tones with noise, so the psychoacoustic model does real work.
sox -n -r 44100 -c 2 -b 16 "$work/in.wav" synth 600 sine 220 sine 331 synth 600 pinknoise mix vol 0.6

now() { date +%s.%N; }
time_one() {
    start=$(now)
    "$@" "$work/in.wav"
    end=$(now)
    echo "$end - $start" | bc -l
}
median() { sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

: > "$work/ours.t"
: > "$work/lame.t"
i=0
while [ "$i" -lt "$runs" ]; do  # interleaved, so a change in machine load hits both alike
    time_one ours >> "$work/ours.t"
    time_one theirs >> "$work/lame.t"
    i=$((i + 1))
done
if ! cmp -s "$work/out/in.mp3" "$work/lame.mp3"; then
    echo "warning: the two MP3 files differ" >&2
fi
o=$(median < "$work/ours.t")
l=$(median < "$work/lame.t")
printf '%s: median %.3f s, lame: median %.3f s over %d runs\n' "$label" "$o" "$l" "$runs"
printf 'ratio (ours / lame): %.3f\n' "$(echo "$o / $l" | bc -l)"
