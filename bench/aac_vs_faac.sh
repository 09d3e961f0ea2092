#!/bin/sh
# Times WAV -> 128 kbit/s AAC through wavelorn-cli and through the faac command on the same
# ten-minute 44.1 kHz stereo WAV, as raw ADTS and as M4A, several interleaved runs each; prints
# the median wall-time ratios and the peak resident memory of each program.
# The converter runs with explicit average-bit-rate options (128 kbit/s for both channels) and a
# throw-away settings folder.
# Usage: bench/aac_vs_faac.sh [build-dir] [runs]
set -eu
build=${1:-build}
runs=${2:-3}
work=$(mktemp -d "${TMPDIR:-/tmp}/aacbench.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM

cli=$build/bin/wavelorn-cli
if [ ! -x "$cli" ]; then
    echo "build $build first (no $cli)" >&2
    exit 1
fi
mkdir "$work/out" "$work/config"

# Music-like content: two detuned tones with noise, so the psychoacoustic model does real work.
sox -n -r 44100 -c 2 -b 16 "$work/in.wav" synth 600 sine 220 sine 331 synth 600 pinknoise mix vol 0.6

ours() {  # format
    XDG_CONFIG_HOME="$work/config" "$cli" -q -t "$1" -o "$work/out" --if-exists overwrite \
        --set AutoDestAACEncodingParam=0 --set AACVBR=0 --set AACABRBitRate=128 --set AmplifyAAC=0 \
        --set AutoDestM4AEncodingParam=0 --set M4AVBR=0 --set M4AABRBitRate=128 --set AmplifyM4A=0 \
        --set M4AID3TagType=2 "$work/in.wav" >/dev/null
}
theirs() { faac -v0 -b 128 -o "$work/faac.$1" "$work/in.wav" >/dev/null 2>&1; }

# Appends "seconds peak-kB" of one run to a file.
measure() {  # file command...
    out=$1
    shift
    /usr/bin/time -f '%e %M' -o "$work/time" "$@"
    cat "$work/time" >> "$out"
}
median() { sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

for format in aac m4a; do
    : > "$work/ours.t"
    : > "$work/faac.t"
    i=0
    while [ "$i" -lt "$runs" ]; do  # interleaved, so a change in machine load hits both alike
        measure "$work/ours.t" ours "$format"
        measure "$work/faac.t" theirs "$format"
        i=$((i + 1))
    done
    o=$(cut -d' ' -f1 < "$work/ours.t" | median)
    f=$(cut -d' ' -f1 < "$work/faac.t" | median)
    om=$(cut -d' ' -f2 < "$work/ours.t" | sort -n | tail -1)
    fm=$(cut -d' ' -f2 < "$work/faac.t" | sort -n | tail -1)
    printf '%s: wavelorn-cli median %.2f s (%d bytes, peak %d kB), faac median %.2f s (%d bytes, peak %d kB), %d runs\n' \
        "$format" "$o" "$(stat -c %s "$work/out/in.$format")" "$om" "$f" "$(stat -c %s "$work/faac.$format")" "$fm" "$runs"
    printf '%s ratio (ours / faac): %.3f\n' "$format" "$(echo "$o / $f" | bc -l)"
done
