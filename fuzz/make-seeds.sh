#!/usr/bin/env bash
# Writes the seed corpora of the fuzz targets into $1/<target>/: short files of every encoding the
# readers decode, made by the peer tools.
set -euo pipefail
out=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$out"/{wav_reader,aiff_reader,au_reader,mpeg_id3,settings_parser}

sox -n -r 8000 -c 1 -b 16 "$tmp/m.wav" synth 0.03 sine 440
sox -n -r 8000 -c 2 -b 16 "$tmp/s.wav" synth 0.03 sine 440 sine 660

n=0
seed() {  # seed <target> <ext> <command...>: runs the command writing $tmp/o.<ext>, keeps the result
    local target=$1 ext=$2
    shift 2
    rm -f "$tmp/o.$ext"
    if "$@" >/dev/null 2>&1 && [[ -s "$tmp/o.$ext" ]]; then
        cp "$tmp/o.$ext" "$out/$target/seed$((n++)).$ext"
    fi
}

for src in m s; do
    for f in -pcm16 -pcmu8 -pcm24 -pcm32 -float32 -ulaw -alaw -ima-adpcm -ms-adpcm -gsm610; do
        seed wav_reader wav sndfile-convert $f "$tmp/$src.wav" "$tmp/o.wav"
    done
    seed wav_reader wav sox "$tmp/$src.wav" -e ima-adpcm "$tmp/o.wav"
    for f in -pcm16 -pcms8 -pcm24 -float32 -ulaw -alaw -ima-adpcm -gsm610 -dwvw12 -dwvw16 -dwvw24; do
        seed aiff_reader aiff sndfile-convert $f "$tmp/$src.wav" "$tmp/o.aiff"
    done
    for f in -pcm16 -pcms8 -pcm24 -float32 -ulaw -alaw -g721-32 -g723-24 -g723-40; do
        seed au_reader au sndfile-convert $f "$tmp/$src.wav" "$tmp/o.au"
    done
    seed mpeg_id3 mp3 lame --quiet -b 32 "$tmp/$src.wav" "$tmp/o.mp3"
    seed mpeg_id3 mp3 lame --quiet -b 32 --tt Title --ta Artist --add-id3v2 "$tmp/$src.wav" "$tmp/o.mp3"
    seed mpeg_id3 mp3 lame --quiet -b 32 --tt Title --id3v1-only "$tmp/$src.wav" "$tmp/o.mp3"
done
# A bare frame header and an ID3v2 header with a footer flag.
printf '\xff\xfb\x90\x64' >"$out/mpeg_id3/header.mp3"
printf 'ID3\x04\x00\x10\x00\x00\x00\x10xxxxxxxxxxxxxxxx3DI\x04\x00\x10\x00\x00\x00\x10\xff\xfb\x90\x64' \
    >"$out/mpeg_id3/footer.mp3"

cat >"$out/settings_parser/store.reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Quillmark\Wavelorn\Options]
"OutputFormat"=dword:000003e8
"DestSpecifiedFolder"="/home/a \"b\"\\c"
"FilterExts"="MP3;WAV"

[HKEY_CURRENT_USER\Software\Quillmark\Wavelorn\Options\Template]
"Title"=""
REG
