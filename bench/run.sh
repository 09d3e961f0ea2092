#!/bin/bash
# One table of the converter's speed and memory against peer programs, measured in one invocation:
# every output format against its own command-line encoder on the same input, the decode paths
# against mpg123, flac and ffmpeg, the listing rate, the two-job batch speed-up, and the peak
# resident memory of each. Ours and the peer run interleaved, so a change in machine load hits
# both alike; the table gives medians over the runs and the ratio of the medians.
# Usage: bench/run.sh [-b BUILD] [-r RUNS] [-s SECONDS] [-o FILE]
#   -b  build folder (default build)
#   -r  runs per row (default 3)
#   -s  length of the input in seconds (default 600; -s 60 finishes in about a minute)
#   -o  also write the table, with the date and the machine, into FILE (say bench/results.md)
set -eu
build=build
runs=3
seconds=600
result=
while getopts b:r:s:o: opt; do
    case $opt in
        b) build=$OPTARG ;;
        r) runs=$OPTARG ;;
        s) seconds=$OPTARG ;;
        o) result=$OPTARG ;;
        *) sed -n '7,11p' "$0" >&2; exit 2 ;;
    esac
done

cli=$build/bin/wavelorn-cli
loop=$build/bin/AmrEncoderLoop
listbench=$build/bin/FileListBench
windowbench=$build/bin/WindowBatchBench
if [ ! -x "$cli" ]; then
    echo "build $build first (no $cli)" >&2
    exit 1
fi
for tool in sox lame mpg123 flac oggenc opusenc faac ffmpeg bc /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "missing $tool (scripts/setup.sh installs it)" >&2; exit 1; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/wavelorn-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
mkdir "$work/out" "$work/config" "$work/peer" "$work/wavs" "$work/mp3s" "$work/batch"

# Music-like content: two detuned tones with noise, so the psychoacoustic models do real work.
sox -n -r 44100 -c 2 -b 16 "$work/in.wav" synth "$seconds" sine 220 sine 331 synth "$seconds" pinknoise mix vol 0.6
lame --quiet -b 192 "$work/in.wav" "$work/in.mp3"
flac -s "$work/in.wav" -o "$work/in.flac"
# Full resolution: the same music in 24 bits, and in 24 bits at 96 kHz.
sox "$work/in.wav" -b 24 "$work/in24.wav"
sox "$work/in.wav" -b 24 "$work/in96.wav" rate -v 96000
ffmpeg -v error -nostdin -i "$work/in.wav" -c:a aac -b:a 128k "$work/in.m4a"
ffmpeg -v error -nostdin -i "$work/in.wav" -c:a wmav2 -b:a 128k "$work/in.wma"
# The AMR encoders' limit is timed on input that sox resampled beforehand.
sox "$work/in.wav" -r 8000 -c 1 -t raw -e signed -b 16 "$work/nb.raw"
sox "$work/in.wav" -r 16000 -c 1 -t raw -e signed -b 16 "$work/wb.raw"
# Listing: 1,000 two-second files of each kind.
sox -n -r 44100 -c 2 -b 16 "$work/short.wav" synth 2 sine 440
lame --quiet -b 192 "$work/short.wav" "$work/short.mp3"
for i in $(seq 1000); do
    cp "$work/short.wav" "$work/wavs/$i.wav"
    cp "$work/short.mp3" "$work/mp3s/$i.mp3"
done
# The batch: eight one-minute files (shorter with a shorter input).
piece=$((seconds < 60 ? seconds : 60))
for i in 1 2 3 4 5 6 7 8; do sox "$work/in.wav" "$work/batch/$i.wav" trim 0 "$piece"; done

# The converter with a throw-away settings folder; env executes it in place, so the RSS is its own.
ours=(env XDG_CONFIG_HOME="$work/config" "$cli")
convert=("${ours[@]}" -q -o "$work/out" --if-exists overwrite)
# The options that make each output match its peer's settings, tags off, no amplification.
mp3_opts=(--set AutoDestMP3EncodingParam=1 --set MP3ID3TagType=2 --set AmplifyMp3=0)
ogg_opts=(--set AutoDestOGGEncodingParam=1 --set OGGID3TagType=2 --set AmplifyOGG=0)
wma_opts=(--set AutoDestWMAEncodingParam=1 --set WMAID3TagType=2 --set AmplifyWMA=0)
aac_opts=(--set AutoDestAACEncodingParam=0 --set AACVBR=0 --set AACABRBitRate=128 --set AmplifyAAC=0)
m4a_opts=(--set AutoDestM4AEncodingParam=0 --set M4AVBR=0 --set M4AABRBitRate=128 --set AmplifyM4A=0
    --set M4AID3TagType=2)
amr_opts=(--set AMRType=0 --set AMRMode=7 --set AMRDTX=0 --set AWBMode=8 --set AWBDTX=0 --set AmplifyAMR=0)
wav_opts=(--set AmplifyWav=0)
flac_opts=(--set FLACCompression=5 --set FLACID3TagType=2 --set AmplifyFLAC=0)
opus_opts=(--set OpusBitRate=128 --set OpusRateControl=0 --set OpusComplexity=10 --set OpusID3TagType=2
    --set AmplifyOpus=0)
wav_44k_opts=(--set AutoDestWAVEncodingParam=0 --set WAVSampleRate=44100 --set WAVBitsPerSample=16
    --set WAVChannelNum=0)

# Runs a command, appending "SECONDS PEAK-KIB" to FILE; a failed run appends nothing.
measure() {  # FILE COMMAND...
    local file=$1
    shift
    if /usr/bin/time -f '%e %M' -o "$work/time" "$@" >/dev/null 2>"$work/stderr"; then
        tail -1 "$work/time" >> "$file"
    else
        echo "failed: $* ($(head -c 200 "$work/stderr"))" >&2
    fi
}
# The AMR loop prints the time of its loop alone; its resampling is timed separately and added.
measure_amr() {  # FILE BAND RAW RATE
    local file=$1 band=$2 raw=$3 rate=$4 t r
    /usr/bin/time -f '%M' -o "$work/time" "$loop" "$band" "$raw" > "$work/loop" 2>/dev/null || return 0
    t=$(tail -1 "$work/loop")
    r=$("$loop" resample "$work/in.wav" "$rate" 2>/dev/null | tail -1)
    echo "$(echo "$t + $r" | bc -l) $(tail -1 "$work/time")" >> "$file"
}
median() {  # COLUMN FILE
    awk -v c="$1" '{ print $c }' "$2" | sort -n |
        awk '{ v[NR] = $1 } END { if (NR == 0) print "nan"; else if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
largest() { awk -v c="$1" '$c > m { m = $c } END { print m + 0 }' "$2"; }
mib() { awk -v k="$1" 'BEGIN { if (k > 0) printf "%.1f", k / 1024; else printf "—" }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "nan" || b == "nan" || b == 0) print "—"; else printf "%.3f", a / b }'; }
per_second() { awk -v s="$1" 'BEGIN { if (s == "nan" || s == 0) print "—"; else printf "%.0f", 1000 / s }'; }
secs() { awk -v a="$1" 'BEGIN { if (a == "nan") print "—"; else printf "%.2f", a }'; }

rows=()
# One comparison row: RUNS interleaved runs of two shell functions.
compare() {  # LABEL PEER-LABEL TARGET OURS-FUNCTION PEER-FUNCTION
    local label=$1 peer=$2 target=$3 i
    : > "$work/a"
    : > "$work/b"
    for ((i = 0; i < runs; i++)); do
        "$4" "$work/a"
        "$5" "$work/b"
    done
    local a b
    a=$(median 1 "$work/a")
    b=$(median 1 "$work/b")
    rows+=("| $label | $(secs "$a") | $peer | $(secs "$b") | $(ratio "$a" "$b") | $(mib "$(largest 2 "$work/a")") | $(mib "$(largest 2 "$work/b")") | $target |")
    echo "${rows[-1]}" >&2
}

enc_mp3() { measure "$1" "${convert[@]}" -t mp3 "${mp3_opts[@]}" "$work/in.wav"; }
enc_mp3_rg() { measure "$1" "${convert[@]}" -t mp3 "${mp3_opts[@]}" --replaygain track "$work/in.wav"; }
peer_mp3() { measure "$1" lame --quiet -b 128 --cbr -t "$work/in.wav" "$work/peer/p.mp3"; }
enc_mp3_verify() { measure "$1" "${convert[@]}" -t mp3 "${mp3_opts[@]}" --verify "$work/in.wav"; }
enc_ogg() { measure "$1" "${convert[@]}" -t ogg "${ogg_opts[@]}" "$work/in.wav"; }
peer_ogg() { measure "$1" oggenc -Q -b 128 -o "$work/peer/p.ogg" "$work/in.wav"; }
enc_wma() { measure "$1" "${convert[@]}" -t wma "${wma_opts[@]}" "$work/in.wav"; }
peer_wma() { measure "$1" ffmpeg -v error -nostdin -y -i "$work/in.wav" -c:a wmav2 -b:a 128k "$work/peer/p.wma"; }
enc_aac() { measure "$1" "${convert[@]}" -t aac "${aac_opts[@]}" "$work/in.wav"; }
# faac on its own codes the stereo image as intensity stereo, which turns its noise substitution on
# and picks another bandwidth: a different, cheaper piece of work. The converter's options give
# mid/side (and MPEG-4 in ADTS), so faac gets the same: the streams are then byte-identical and the
# rows time the same libfaac work. The row with faac's defaults is there for reference only.
peer_aac() { rm -f "$work/peer/p.aac"; measure "$1" faac -v0 -b 128 --joint 1 --mpeg-vers 4 -o "$work/peer/p.aac" "$work/in.wav"; }
peer_aac_defaults() { rm -f "$work/peer/p.aac"; measure "$1" faac -v0 -b 128 -o "$work/peer/p.aac" "$work/in.wav"; }
enc_m4a() { measure "$1" "${convert[@]}" -t m4a "${m4a_opts[@]}" "$work/in.wav"; }
peer_m4a() { rm -f "$work/peer/p.m4a"; measure "$1" faac -v0 -b 128 --joint 1 -o "$work/peer/p.m4a" "$work/in.wav"; }
enc_amr() { measure "$1" "${convert[@]}" -t amr "${amr_opts[@]}" "$work/in.wav"; }
peer_amr() { measure_amr "$1" nb "$work/nb.raw" 8000; }
enc_awb() { measure "$1" "${convert[@]}" -t awb "${amr_opts[@]}" "$work/in.wav"; }
peer_awb() { measure_amr "$1" wb "$work/wb.raw" 16000; }
enc_flac() { measure "$1" "${convert[@]}" -t flac "${flac_opts[@]}" "$work/in.wav"; }
peer_flac() { measure "$1" flac -s -f -5 -o "$work/peer/p.flac" "$work/in.wav"; }
# Both resample 44.1 kHz to Opus's 48 kHz: we with libsoxr, opusenc with its own resampler.
enc_opus() { measure "$1" "${convert[@]}" -t opus "${opus_opts[@]}" "$work/in.wav"; }
peer_opus() { measure "$1" opusenc --quiet --bitrate 128 "$work/in.wav" "$work/peer/p.opus"; }
enc_wav() { measure "$1" "${convert[@]}" -t wav "${wav_opts[@]}" "$work/in.wav"; }
peer_wav() { measure "$1" sox "$work/in.wav" "$work/peer/p.wav"; }
dec_mp3() { measure "$1" "${convert[@]}" -t wav "${wav_opts[@]}" "$work/in.mp3"; }
peer_dec_mp3() { measure "$1" mpg123 -q -w "$work/peer/d.wav" "$work/in.mp3"; }
enc_mp3_24() { measure "$1" "${convert[@]}" -t mp3 "${mp3_opts[@]}" "$work/in24.wav"; }
peer_mp3_24() { measure "$1" lame --quiet -b 128 --cbr -t "$work/in24.wav" "$work/peer/p24.mp3"; }
# 96 kHz 24-bit to 44.1 kHz 16-bit: libsoxr at very high quality and dither, as sox's rate -v does.
enc_wav_96() { measure "$1" "${convert[@]}" -t wav "${wav_opts[@]}" "${wav_44k_opts[@]}" "$work/in96.wav"; }
peer_wav_96() { measure "$1" sox "$work/in96.wav" -b 16 "$work/peer/p96.wav" rate -v 44100; }
dec_flac() { measure "$1" "${convert[@]}" -t wav "${wav_opts[@]}" "$work/in.flac"; }
peer_dec_flac() { measure "$1" flac -s -f -d -o "$work/peer/d.wav" "$work/in.flac"; }
dec_m4a() { measure "$1" "${convert[@]}" -t wav "${wav_opts[@]}" "$work/in.m4a"; }
peer_dec_m4a() { measure "$1" ffmpeg -v error -nostdin -y -i "$work/in.m4a" "$work/peer/d.wav"; }
dec_wma() { measure "$1" "${convert[@]}" -t wav "${wav_opts[@]}" "$work/in.wma"; }
peer_dec_wma() { measure "$1" ffmpeg -v error -nostdin -y -i "$work/in.wma" "$work/peer/d.wav"; }
list_wav() { measure "$1" "${ours[@]}" --probe "$work/wavs"; }
list_wav_native() { measure "$1" "${ours[@]}" --reader wav --probe "$work/wavs"; }
list_mp3() { measure "$1" "${ours[@]}" --probe "$work/mp3s"; }
none() { :; }

m=$((seconds / 60))
len="${m} min"
[ $((seconds % 60)) -eq 0 ] || len="${seconds} s"
compare "WAV → MP3 128k ($len)" '`lame -b 128 --cbr -t`' "≤ 1.05" enc_mp3 peer_mp3
compare "WAV → MP3 128k with ReplayGain tags" 'the same without tags' "≤ 1.05" enc_mp3_rg enc_mp3
compare "WAV → MP3 128k with \`--verify\`" 'the same without' "≤ 1.15" enc_mp3_verify enc_mp3
compare "WAV → Ogg Vorbis 128k" '`oggenc -b 128`' "≤ 1.05" enc_ogg peer_ogg
compare "WAV → WMA 128k" '`ffmpeg -c:a wmav2`' "≤ 1.05" enc_wma peer_wma
compare "WAV → AAC 128k" '`faac -b 128 --joint 1 --mpeg-vers 4`' "≤ 1.05" enc_aac peer_aac
compare "WAV → M4A 128k" '`faac -b 128 --joint 1` (.m4a)' "≤ 1.05" enc_m4a peer_m4a
compare "WAV → AAC 128k, against faac's own defaults" '`faac -b 128` (intensity stereo)' "reference only" enc_aac \
    peer_aac_defaults
if [ -x "$loop" ]; then
    compare "WAV → AMR-NB 12.2k" "encoder loop + resampling" "≤ 1.05" enc_amr peer_amr
    compare "WAV → AMR-WB 23.85k" "encoder loop + resampling" "≤ 1.05" enc_awb peer_awb
fi
compare "WAV → WAV" '`sox in.wav out.wav`' "≤ 1.05" enc_wav peer_wav
compare "WAV → FLAC (level 5)" '`flac -5`' "≤ 1.05" enc_flac peer_flac
compare "WAV → Opus 128k" '`opusenc --bitrate 128`' "≤ 1.05" enc_opus peer_opus
compare "24-bit WAV → MP3 128k" '`lame -b 128 --cbr -t` (24-bit input)' "≤ 1.05" enc_mp3_24 peer_mp3_24
compare "96 kHz 24-bit WAV → 44.1 kHz 16-bit WAV" '`sox -b 16 … rate -v 44100`' "≤ 1.05" enc_wav_96 peer_wav_96
compare "MP3 192k → WAV" '`mpg123 -w`' "≤ 1.05" dec_mp3 peer_dec_mp3
compare "FLAC → WAV (libFLAC, no FFmpeg)" '`flac -d`' "≤ 1.00, ≤ 10 MiB" dec_flac peer_dec_flac
compare "AAC (M4A) → WAV" '`ffmpeg -i`' "≤ 1.05" dec_m4a peer_dec_m4a
compare "WMA → WAV" '`ffmpeg -i`' "≤ 1.05" dec_wma peer_dec_wma

# Listing: files per second rather than seconds.
listing() {  # LABEL PEER-LABEL OURS PEER
    local a b
    compare "$1" "$2" "" "$3" "$4" > /dev/null 2>&1
    unset 'rows[-1]'
    a=$(median 1 "$work/a")
    b=$(median 1 "$work/b")
    rows+=("| listing 1,000 two-second $1 files (\`--probe DIR\`), files/s | $(per_second "$a") | $2 | $(per_second "$b") | $(ratio "$b" "$a") | $(mib "$(largest 2 "$work/a")") | $(mib "$(largest 2 "$work/b")") | ≥ 500 files/s |")
    echo "${rows[-1]}" >&2
}
listing WAV '`--reader wav` (native reader alone)' list_wav list_wav_native
listing MP3 "" list_mp3 none

if [ -x "$listbench" ]; then
    # The window's AddFiles on 10,000 small WAV files: probe, duplicate check, row, progress.
    rate=$(QT_QPA_PLATFORM=offscreen "$listbench" --benchmark_filter=BM_AddFilesToWindow --benchmark_format=csv \
        2>/dev/null | awk -F, '/^name,/ { for (i = 1; i <= NF; i++) if ($i == "items_per_second") c = i }
                               /BM_AddFilesToWindow/ && c { print $c }')
    rows+=("| listing through the window's AddFiles (10,000 small WAV files), files/s | $(awk -v r="${rate:-0}" 'BEGIN { printf "%.0f", r }') | | | | | | ≥ 500 files/s |")
    echo "${rows[-1]}" >&2
fi

# Two jobs against one on eight files.
if "$cli" --help | grep -q -- '--jobs'; then
    batch1() { measure "$1" "${convert[@]}" -t mp3 "${mp3_opts[@]}" --jobs 1 "$work/batch"; }
    batch2() { measure "$1" "${convert[@]}" -t mp3 "${mp3_opts[@]}" --jobs 2 "$work/batch"; }
    compare "8 files of ${piece} s → MP3, \`--jobs 2\` against \`--jobs 1\`" '`--jobs 1`' "" batch2 batch1
    a=$(median 1 "$work/a")
    b=$(median 1 "$work/b")
    rows[-1]="| 8 files of ${piece} s → MP3, \`--jobs 2\` | $(secs "$a") | \`--jobs 1\` | $(secs "$b") | speed-up $(ratio "$b" "$a") | $(mib "$(largest 2 "$work/a")") | $(mib "$(largest 2 "$work/b")") | speed-up ≥ 1.85 on 2 cores |"
else
    rows+=("| 8 files of ${piece} s → MP3, \`--jobs 2\` against \`--jobs 1\` | n/a | | | n/a | | | speed-up ≥ 1.85 on 2 cores |")
fi

# An update run over 10,000 tiny files whose outputs are up to date: only stat-ed, never opened.
if "$cli" --help | grep -q -- '--if-exists MODE' && "$cli" --help | grep -q update; then
    mkdir -p "$work/tiny"
    sox -n -r 8000 -c 1 -b 16 "$work/tiny/t.wav" trim 0 0.01
    mkdir -p "$work/tiny/0"
    for f in $(seq 0 99); do cp "$work/tiny/t.wav" "$work/tiny/0/$f.wav"; done
    for d in $(seq 1 99); do cp -r "$work/tiny/0" "$work/tiny/$d"; done
    rm "$work/tiny/t.wav"
    update_run() {
        measure "$1" "${ours[@]}" -q -t wav -o "$work/mirror" --set CreateDirs=1 --if-exists update "$work/tiny"
    }
    update_run "$work/first"  # converts them all once
    : > "$work/a"
    for ((i = 0; i < runs; i++)); do update_run "$work/a"; done
    a=$(median 1 "$work/a")
    rows+=("| update run over 10,000 up-to-date files (\`--if-exists update\`) | $(secs "$a") | | | | $(mib "$(largest 2 "$work/a")") | | ≤ 2 s |")
    echo "${rows[-1]}" >&2
fi

# The window's Convert All on six 60 s WAVs, two files at once against one at a time (wall time, medians).
if [ -x "$windowbench" ]; then
    QT_QPA_PLATFORM=offscreen "$windowbench" --benchmark_format=csv --benchmark_repetitions="$runs" \
        --benchmark_report_aggregates_only=true 2>/dev/null > "$work/window.csv"
    w1=$(awk -F, '/BM_WindowBatch\/1\/.*_median/ { print $3 / 1000 }' "$work/window.csv")
    w2=$(awk -F, '/BM_WindowBatch\/2\/.*_median/ { print $3 / 1000 }' "$work/window.csv")
    rows+=("| six 60 s WAVs → MP3 in the window, 2 files at once | $(secs "${w2:-nan}") | 1 at a time | $(secs "${w1:-nan}") | $(ratio "${w2:-nan}" "${w1:-nan}") | | | ≤ 0.556 (1/1.8) on 2 cores |")
    echo "${rows[-1]}" >&2
fi

{
    echo "| job | ours (s) | peer | peer (s) | ratio ours/peer | ours peak RSS (MiB) | peer peak RSS (MiB) | target |"
    echo "|---|---|---|---|---|---|---|---|"
    printf '%s\n' "${rows[@]}"
    echo
    echo "Medians of $runs runs, whole-process wall time, ${seconds} s 44.1 kHz stereo input. Target for peak RSS: ≤ 30 MiB for any conversion."
} > "$work/table.md"
cat "$work/table.md"
if [ -n "$result" ]; then
    {
        echo "# Benchmark results"
        echo
        echo "$(date -u '+%Y-%m-%d %H:%M UTC'), $(uname -srm), $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg) at the end, commit $(git -C "$(dirname "$0")" rev-parse --short HEAD 2>/dev/null || echo unknown)."
        echo
        echo "\`bench/run.sh -r $runs -s $seconds\`"
        echo
        cat "$work/table.md"
    } > "$result"
fi
