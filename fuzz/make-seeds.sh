#!/usr/bin/env bash
# Writes the seed corpora of the fuzz targets into $1/<target>/: short files of every encoding the
# readers decode, made by the peer tools.
set -euo pipefail
out=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$out"/{wav_reader,aiff_reader,au_reader,flac_reader,mpeg_id3,settings_parser,plan_reader,mp4_boxes,amr_frames,midi_length,pcm_channel}

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

sox -n -r 8000 -c 4 -b 16 "$tmp/q.wav" synth 0.03 sine 440 sine 550 sine 660 sine 770
sox -n -r 8000 -c 6 -b 16 "$tmp/h.wav" synth 0.03 sine 440 sine 550 sine 660 sine 770 sine 880 sine 990

for src in m s; do
    for f in -pcm16 -pcmu8 -pcm24 -pcm32 -float32 -float64 -ulaw -alaw -ima-adpcm -ms-adpcm -gsm610; do
        seed wav_reader wav sndfile-convert $f "$tmp/$src.wav" "$tmp/o.wav"
    done
    seed wav_reader wav sox "$tmp/$src.wav" -e ima-adpcm "$tmp/o.wav"
    for f in -pcm16 -pcms8 -pcm24 -pcm32 -float32 -float64 -ulaw -alaw -dwvw12 -dwvw16 -dwvw24; do
        seed aiff_reader aiff sndfile-convert $f "$tmp/$src.wav" "$tmp/o.aiff"
    done
    seed aiff_reader aiff sndfile-convert -endian=little -pcm16 "$tmp/$src.wav" "$tmp/o.aiff"
    seed aiff_reader aiff ffmpeg -v error -i "$tmp/$src.wav" -c:a adpcm_ima_qt "$tmp/o.aiff"
    for f in -pcm16 -pcms8 -pcm24 -pcm32 -float32 -float64 -ulaw -alaw; do
        seed au_reader au sndfile-convert $f "$tmp/$src.wav" "$tmp/o.au"
    done
    seed au_reader au sndfile-convert -endian=little -pcm16 "$tmp/$src.wav" "$tmp/o.au"
    seed mpeg_id3 mp3 lame --quiet -b 32 "$tmp/$src.wav" "$tmp/o.mp3"
    seed mpeg_id3 mp3 lame --quiet -b 32 --tt Title --ta Artist --add-id3v2 "$tmp/$src.wav" "$tmp/o.mp3"
    seed mpeg_id3 mp3 lame --quiet -b 32 --tt Title --id3v1-only "$tmp/$src.wav" "$tmp/o.mp3"
done
# FLAC as the reference encoder and FFmpeg write it, native and in Ogg, 8 to 24 bits.
for src in m s; do
    for bits in 8 16 24; do
        seed flac_reader flac sh -c "sox \"\$1\" -b $bits \"\$2.wav\" && flac -s -f --no-padding \"\$2.wav\" -o \"\$2\"" - "$tmp/$src.wav" "$tmp/o.flac"
    done
    seed flac_reader flac flac -s -f --no-padding --ogg "$tmp/$src.wav" -o "$tmp/o.flac"
    seed flac_reader flac ffmpeg -v error -i "$tmp/$src.wav" -c:a flac -f flac "$tmp/o.flac"
done
seed flac_reader flac flac -s -f --no-padding "$tmp/h.wav" -o "$tmp/o.flac"
# More than two channels: the readers fold them into two.
for src in q h; do
    seed wav_reader wav sndfile-convert -pcm16 "$tmp/$src.wav" "$tmp/o.wav"
    seed wav_reader wavex sndfile-convert -float32 "$tmp/$src.wav" "$tmp/o.wavex"
    seed aiff_reader aiff sndfile-convert -pcm16 "$tmp/$src.wav" "$tmp/o.aiff"
    seed au_reader au sndfile-convert -pcm16 "$tmp/$src.wav" "$tmp/o.au"
done
# G.72x in AU: the peer writes only the 4-bit code; any bytes are codewords of the 3- and 5-bit
# codes too, so the same data serves with the encoding field changed.
if ffmpeg -v error -i "$tmp/m.wav" -c:a adpcm_g726le -b:a 32k "$tmp/g.au" && [[ -s "$tmp/g.au" ]]; then
    for enc in 17 19 1a; do
        cp "$tmp/g.au" "$out/au_reader/g72x-$enc.au"
        printf "\\x$enc" | dd of="$out/au_reader/g72x-$enc.au" bs=1 seek=15 conv=notrunc status=none
    done
fi
# GSM 6.10 in AIFC: frames from the peer in a container written here (no peer tool writes it).
if sndfile-convert -gsm610 "$tmp/m.wav" "$tmp/g.gsm" && [[ -s "$tmp/g.gsm" ]]; then
    be32() {
        local bytes
        bytes=$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 >> 24 & 255)) $(($1 >> 16 & 255)) $(($1 >> 8 & 255)) $(($1 & 255)))
        printf "$bytes"
    }
    bytes=$(stat -c %s "$tmp/g.gsm")
    {
        printf 'FORM'; be32 $((4 + 12 + 32 + 16 + bytes)); printf 'AIFCFVER'; be32 4; printf '\xa2\x80\x51\x40'
        printf 'COMM'; be32 24; printf '\x00\x01'; be32 $((bytes / 33 * 160)); printf '\x00\x10'
        printf '\x40\x0b\xfa\x00\x00\x00\x00\x00\x00\x00GSM \x00\x00'
        printf 'SSND'; be32 $((8 + bytes)); be32 0; be32 0
        cat "$tmp/g.gsm"
    } >"$out/aiff_reader/gsm.aiff"
fi
# MP4 audio as the peer lays it out: media data first or last, with and without tags.
for src in m s; do
    seed mp4_boxes m4a ffmpeg -v error -i "$tmp/$src.wav" -c:a aac -b:a 32k "$tmp/o.m4a"
    seed mp4_boxes m4a ffmpeg -v error -i "$tmp/$src.wav" -c:a aac -b:a 32k -movflags +faststart \
        -metadata title=Title -metadata artist=Artist -metadata track=3/9 "$tmp/o.m4a"
done
# AMR storage files: every frame type of each band once (the payload bytes are not parsed).
amr() {  # amr <file> <magic> <frame bytes by type...>
    local file=$1 magic=$2 type=0 bytes
    shift 2
    {
        printf '%s\n' "$magic"
        for bytes in "$@"; do
            if ((bytes > 0)); then
                printf "$(printf '\\x%02x' $((type << 3 | 4)))"
                head -c $((bytes - 1)) /dev/zero | tr '\0' '\125'
            fi
            type=$((type + 1))
        done
    } >"$file"
}
amr "$out/amr_frames/nb.amr" '#!AMR' 13 14 16 18 20 21 27 32 6 0 0 0 0 0 0 1
amr "$out/amr_frames/wb.awb" '#!AMR-WB' 18 24 33 37 41 47 51 59 61 6 0 0 0 0 1 1
# MIDI: two tracks with a tempo change, running status and a SysEx; SMPTE timing; the same song
# in a RIFF RMID file.
track1='\x00\xff\x51\x03\x07\xa1\x20\x00\x90\x3c\x40\x60\x80\x3c\x40\x00\xff\x2f\x00'
track2='\x00\xc0\x05\x00\xf0\x03\x7e\x7f\xf7\x30\x90\x40\x40\x30\x40\x00\x00\xff\x2f\x00'
smf="MThd\x00\x00\x00\x06\x00\x01\x00\x02\x00\x60MTrk\x00\x00\x00\x13${track1}MTrk\x00\x00\x00\x14${track2}"
printf "$smf" >"$out/midi_length/song.mid"
printf "MThd\x00\x00\x00\x06\x00\x00\x00\x01\xe7\x28MTrk\x00\x00\x00\x13${track1}" >"$out/midi_length/smpte.mid"
printf "RIFF\x52\x00\x00\x00RMIDdata\x45\x00\x00\x00${smf}\x00" >"$out/midi_length/song.rmi"
# A bare frame header and an ID3v2 header with a footer flag.
printf '\xff\xfb\x90\x64' >"$out/mpeg_id3/header.mp3"
printf 'ID3\x04\x00\x10\x00\x00\x00\x10xxxxxxxxxxxxxxxx3DI\x04\x00\x10\x00\x00\x00\x10\xff\xfb\x90\x64' \
    >"$out/mpeg_id3/footer.mp3"

# The native PCM channel starts from the same WAV and AIFF files as the readers.
cp "$out"/wav_reader/* "$out"/aiff_reader/* "$out/pcm_channel/"

cat >"$out/settings_parser/store.reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Quillmark\Wavelorn\Options]
"OutputFormat"=dword:000003e8
"DestSpecifiedFolder"="/home/a \"b\"\\c"
"FilterExts"="MP3;WAV"

[HKEY_CURRENT_USER\Software\Quillmark\Wavelorn\Options\Template]
"Title"=""
REG

# A plan of three files, with escaped tabs, newlines and backslashes in its names.
printf 'wavelorn-plan\t1\noption\tOutputFormat\t1000\noption\tDestSpecifiedFolder\t/out\\tx\n%s\n%s\n%s\n' \
    $'file\t0\t1\t0\tconvert\t/in/a.wav\t/out/a.mp3\t' \
    $'file\t1\t2\t1\tskip\t/in/b\\\\c.wav\t/out/b.mp3\t' \
    $'file\t2\t0\t1\tfail\t/in/c\\nd.wav\t\tFailed to load' >"$out/plan_reader/plan.txt"

# The same with albums: the version whose file lines end in each entry's album.
printf 'wavelorn-plan\t2\noption\tReplayGain\t2\n%s\n%s\n%s\n' \
    $'file\t0\t1\t0\tconvert\t/in/a.wav\t/out/a.mp3\t\t0' \
    $'file\t1\t2\t1\tconvert\t/in/b.wav\t/out/b.mp3\t\t1' \
    $'file\t2\t0\t2\tfail\t/in/c.wav\t\tFailed to load\t' >"$out/plan_reader/plan-albums.txt"
