#!/bin/sh
# Times WAV -> 128 kbit/s WMA through wavelorn-cli and through ffmpeg's wmav2 encoder on the same
# ten-minute 44.1 kHz stereo WAV, interleaved runs, and prints the median wall-time ratio and the
# largest resident set size of each.
# The converter runs with automatic WMA parameters (44100 Hz, 128 kbit/s for this source), no tags
# and a throw-away settings folder.
# Usage: bench/wma_vs_ffmpeg.sh [build-dir] [runs]
set -eu
build=${1:-build}
runs=${2:-3}
work=$(mktemp -d "${TMPDIR:-/tmp}/wmabench.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM

cli=$build/bin/wavelorn-cli
if [ ! -x "$cli" ]; then
    echo "build $build first (no $cli)" >&2
    exit 1
fi
mkdir "$work/out" "$work/config"
ours() {
    XDG_CONFIG_HOME="$work/config" /usr/bin/time -f %M -a -o "$work/ours.rss" "$cli" -q -t wma \
        -o "$work/out" --if-exists overwrite --set AutoDestWMAEncodingParam=1 --set WMAID3TagType=2 \
        --set AmplifyWMA=0 "$1" >/dev/null
}
theirs() {
    /usr/bin/time -f %M -a -o "$work/ffmpeg.rss" ffmpeg -v error -nostdin -y -i "$1" -c:a wmav2 -b:a 128k \
        "$work/ffmpeg.wma"
}

# Music-like content: two detuned tones with noise.
sox -n -r 44100 -c 2 -b 16 "$work/in.wav" synth 600 sine 220 sine 331 synth 600 pinknoise mix vol 0.6

now() { date +%s.%N; }
time_one() {
    start=$(now)
    "$@" "$work/in.wav"
    end=$(now)
    echo "$end - $start" | bc -l
}
median() { sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
largest() { sort -n | tail -1; }

: > "$work/ours.t"
: > "$work/ffmpeg.t"
i=0
while [ "$i" -lt "$runs" ]; do  # interleaved, so a change in machine load hits both alike
    time_one ours >> "$work/ours.t"
    time_one theirs >> "$work/ffmpeg.t"
    i=$((i + 1))
done
o=$(median < "$work/ours.t")
f=$(median < "$work/ffmpeg.t")
printf 'wavelorn-cli: median %.3f s, ffmpeg: median %.3f s over %d runs\n' "$o" "$f" "$runs"
printf 'ratio (ours / ffmpeg): %.3f\n' "$(echo "$o / $f" | bc -l)"
printf 'largest RSS: wavelorn-cli %s KiB, ffmpeg %s KiB\n' "$(largest < "$work/ours.rss")" \
    "$(largest < "$work/ffmpeg.rss")"
