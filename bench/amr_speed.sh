#!/bin/sh
# Speed of WAV -> AMR-NB 12.2 and AMR-WB 23.85 through wavelorn-cli on a ten-minute 44.1 kHz stereo
# WAV, against the encoders' own limit: a loop calling the two libraries directly on input that sox
# resampled beforehand, plus the engine's resampling time measured alone. Median of several runs.
# Usage: bench/amr_speed.sh [build-dir] [runs]
set -eu
build=${1:-build}
runs=${2:-3}
work=$(mktemp -d "${TMPDIR:-/tmp}/amrbench.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM

cli=$build/bin/wavelorn-cli
loop=$build/bin/AmrEncoderLoop
for p in "$cli" "$loop"; do
    if [ ! -x "$p" ]; then
        echo "build $build first (no $p)" >&2
        exit 1
    fi
done
mkdir "$work/out" "$work/config"
seconds=600

# Speech-band content with pauses: tones gated on and off over noise, so VAD and codebooks work.
sox -n -r 44100 -c 2 -b 16 "$work/in.wav" synth $seconds sine 220 sine 331 synth $seconds pinknoise mix \
    tremolo 0.5 90 vol 0.5
sox "$work/in.wav" -r 8000 -c 1 -t raw -e signed -b 16 "$work/nb.raw"
sox "$work/in.wav" -r 16000 -c 1 -t raw -e signed -b 16 "$work/wb.raw"

now() { date +%s.%N; }
median() { sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
cli_time() {
    start=$(now)
    XDG_CONFIG_HOME="$work/config" "$cli" -q -t "$1" -o "$work/out" --if-exists overwrite \
        --set AMRType=0 --set AMRMode=7 --set AMRDTX=0 --set AWBMode=8 --set AWBDTX=0 --set AmplifyAMR=0 \
        "$work/in.wav" >/dev/null
    end=$(now)
    echo "$end - $start" | bc -l
}
repeat() {
    i=0
    while [ $i -lt "$runs" ]; do "$@"; i=$((i + 1)); done | median
}

printf '%-8s %10s %10s %10s %10s %12s %12s\n' band cli_s x_real loop_s resamp_s limit_s cli/limit
for band in nb wb; do
    case $band in nb) fmt=amr rate=8000 ;; *) fmt=awb rate=16000 ;; esac
    cli_s=$(repeat cli_time $fmt)
    loop_s=$(repeat "$loop" $band "$work/$band.raw")
    res_s=$(repeat "$loop" resample "$work/in.wav" $rate)
    limit=$(echo "$loop_s + $res_s" | bc -l)
    printf '%-8s %10.2f %10.1f %10.2f %10.2f %12.2f %12.3f\n' $band "$cli_s" "$(echo "$seconds / $cli_s" | bc -l)" \
        "$loop_s" "$res_s" "$limit" "$(echo "$cli_s / $limit" | bc -l)"
done
echo "resampling share of the cli time: resamp_s / cli_s; the rest is decoding, encoding and writing"
