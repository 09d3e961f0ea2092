#!/bin/sh
# Times WAV -> 128 kbit/s Ogg Vorbis through wavelorn-cli and through the oggenc command on the
# same ten-minute 44.1 kHz stereo WAV, several runs each, interleaved; prints the median wall-time
# ratio, the same for processor time (user + system, which a busy machine disturbs less) and the
# peak resident set size of each program (from /usr/bin/time -v).
# The converter runs with automatic Ogg parameters (44100 Hz, 128 kbit/s for this source), no
# comments and a throw-away settings folder.
# Usage: bench/ogg_vs_oggenc.sh [build-dir] [runs]
set -eu
build=${1:-build}
runs=${2:-3}
work=$(mktemp -d "${TMPDIR:-/tmp}/oggbench.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM

cli=$build/bin/wavelorn-cli
if [ ! -x "$cli" ]; then
    echo "build $build first (no $cli)" >&2
    exit 1
fi
mkdir "$work/out" "$work/config"

# Music-like content: two detuned tones with noise, so the psychoacoustic model does real work.
sox -n -r 44100 -c 2 -b 16 "$work/in.wav" synth 600 sine 220 sine 331 synth 600 pinknoise mix vol 0.6

# One timed run of the command after $1 and $2: wall seconds appended to $1, peak RSS in KiB to $2,
# processor seconds to $1.cpu.
# The programs are started directly (env executes in place), so the RSS is the converter's own.
time_one() {
    times=$1
    rss=$2
    shift 2
    /usr/bin/time -v -o "$work/time.txt" "$@" >/dev/null
    awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, p, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + p[i]; print s }' \
        "$work/time.txt" >> "$times"
    awk -F': ' '/(User|System) time/ { s += $2 } END { print s }' "$work/time.txt" >> "$times.cpu"
    awk -F': ' '/Maximum resident set size/ { print $2 }' "$work/time.txt" >> "$rss"
}
median() { sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

: > "$work/ours.t"; : > "$work/ours.t.cpu"; : > "$work/ours.rss"
: > "$work/oggenc.t"; : > "$work/oggenc.t.cpu"; : > "$work/oggenc.rss"
i=0
while [ "$i" -lt "$runs" ]; do  # interleaved, so a change in machine load hits both alike
    time_one "$work/ours.t" "$work/ours.rss" env XDG_CONFIG_HOME="$work/config" "$cli" -q -t ogg \
        -o "$work/out" --if-exists overwrite --set AutoDestOGGEncodingParam=1 --set OGGID3TagType=2 \
        --set AmplifyOGG=0 "$work/in.wav"
    time_one "$work/oggenc.t" "$work/oggenc.rss" oggenc -Q -b 128 -o "$work/oggenc.ogg" "$work/in.wav"
    i=$((i + 1))
done
o=$(median < "$work/ours.t")
t=$(median < "$work/oggenc.t")
printf 'wavelorn-cli: median %.2f s, peak RSS %d KiB; oggenc: median %.2f s, peak RSS %d KiB; %d runs\n' \
    "$o" "$(sort -n "$work/ours.rss" | tail -1)" "$t" "$(sort -n "$work/oggenc.rss" | tail -1)" "$runs"
printf 'ratio (ours / oggenc): %.3f\n' "$(echo "$o / $t" | bc -l)"
oc=$(median < "$work/ours.t.cpu")
tc=$(median < "$work/oggenc.t.cpu")
printf 'processor time: ours %.2f s, oggenc %.2f s, ratio %.3f\n' "$oc" "$tc" "$(echo "$oc / $tc" | bc -l)"
printf 'output sizes: ours %d bytes, oggenc %d bytes\n' "$(wc -c < "$work/out/in.ogg")" "$(wc -c < "$work/oggenc.ogg")"
