#!/usr/bin/env bash
# Soak run (not part of CI): converts COUNT small files (default 10000), 5 % of them damaged, with
# odd names, in one batch, and reports converted and failed counts (cut files are already refused
# while listing), peak RSS and the open file descriptors early in the run against those at its end.
# Usage: scripts/soak.sh [count] [format]   (uses build/bin/wavelorn-cli)
set -euo pipefail
cd "$(dirname "$0")/.."
count=${1:-10000}
format=${2:-mp3}
cli=$PWD/build/bin/wavelorn-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/in" "$work/out" "$work/cfg" "$work/home"

sox -n -r 22050 -c 2 -b 16 "$work/good.wav" synth 0.2 sine 440 sine 550
cp "$work/good.wav" "$work/damaged.wav"
printf '\xff\xff\xff\x7f' | dd of="$work/damaged.wav" bs=1 seek=40 conv=notrunc status=none  # huge data size
head -c 30 "$work/good.wav" >"$work/cut.wav"
odd=(' space' '-dash' 'ünïcødé' '$dollar' "quote'" 'new
line' '#hash' '..dots..' '%percent' 'tab	tab')
damaged=0
for ((i = 0; i < count; i++)); do
    name="$work/in/$i${odd[i % ${#odd[@]}]}.wav"
    if ((i % 40 == 7)); then
        cp "$work/cut.wav" "$name"; damaged=$((damaged + 1))
    elif ((i % 40 == 27)); then
        cp "$work/damaged.wav" "$name"; damaged=$((damaged + 1))
    else
        cp "$work/good.wav" "$name"
    fi
done
echo "files: $count, damaged: $damaged, format: $format"

env XDG_CONFIG_HOME="$work/cfg" HOME="$work/home" /usr/bin/time -f '%M %e' -o "$work/time" \
    "$cli" -q -t "$format" -o "$work/out" "$work/in" >"$work/status" 2>"$work/stderr" &
pid=$!
first="" last=""
while kill -0 "$pid" 2>/dev/null; do
    child=$(pgrep -P "$pid" wavelorn-cli || true)
    if [[ -n "$child" ]]; then
        n=$(ls "/proc/$child/fd" 2>/dev/null | wc -l || true)
        ((n > 0)) && { [[ -n "$first" ]] || first=$n; last=$n; }
    fi
    sleep 0.5
done
rc=0
wait "$pid" || rc=$?
read -r rss seconds <"$work/time"
# Names may hold line breaks: count one character per file rather than lines.
converted=$(find "$work/out" -type f ! -name '.wavelorn-*' -printf . | wc -c)
echo "exit status: $rc, seconds: $seconds"
echo "converted: $converted, failure lines: $(grep -c $'\tConversion Failure\|\tFailed to load' "$work/status" || true)," \
    "skipped while listing: $(grep -c '^wavelorn-cli: skipped ' "$work/stderr" || true)"
echo "peak RSS: ${rss} KiB, open descriptors early / at the end: ${first:-?} / ${last:-?}"
echo "hidden leftovers: $(find "$work/out" -name '.wavelorn-*' -printf . | wc -c)"
