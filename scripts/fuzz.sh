#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ and runs each for SECONDS seconds
# (default 600; CI uses 30), starting from the generated seeds. A crash stops the script with the
# reproducer left in build-fuzz/fuzz-findings/<target>/.
# Usage: scripts/fuzz.sh [seconds] [target...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
shift || true
targets=("$@")
((${#targets[@]})) || targets=(wav_reader aiff_reader au_reader flac_reader mpeg_id3 settings_parser plan_reader mp4_boxes amr_frames midi_length pcm_channel)

CC=clang CXX=clang++ cmake -S . -B build-fuzz -DWAVELORN_FUZZ=ON -DWAVELORN_TESTS=OFF -DWAVELORN_BENCH=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz --target fuzz_all -j"$(nproc)"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for t in "${targets[@]}"; do
    corpus=build-fuzz/fuzz-corpus/$t findings=build-fuzz/fuzz-findings/$t
    mkdir -p "$corpus" "$findings"
    echo "== $t: ${seconds}s"
    status=0
    build-fuzz/fuzz/"$t" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$findings/" -print_final_stats=1 "$corpus" build-fuzz/fuzz-seeds/"$t" \
        >"$findings/log" 2>&1 || status=$?
    grep -E '^(stat::number_of_executed_units|stat::average_exec_per_sec|SUMMARY)' "$findings/log" || true
    ((status == 0)) || { tail -n 40 "$findings/log"; echo "$t failed: see $findings/"; exit 1; }
done
