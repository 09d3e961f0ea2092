#!/usr/bin/env bash
# Sets up, builds and runs every test. WAVELORN_SANITIZE=1 builds with ASan and UBSan into build-asan/;
# WAVELORN_TSAN=1 builds only the tests of files converting at once, with ThreadSanitizer, into
# build-tsan/. Further arguments go to ctest (e.g. -R NAME).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
targets=(); only=()
if [[ "${WAVELORN_SANITIZE:-0}" == 1 ]]; then
  dir=build-asan; flags=(-DWAVELORN_SANITIZE=ON -DWAVELORN_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug)
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
elif [[ "${WAVELORN_TSAN:-0}" == 1 ]]; then
  dir=build-tsan; flags=(-DWAVELORN_TSAN=ON -DWAVELORN_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo)
  targets=(--target concurrency_tests); only=(-R '^(ConcurrentBatch|EveryFormat/ConcurrentFormats)\.')
  export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tests/concurrency/tsan.supp"
else
  # run.sh builds here without the tests; they are switched on again.
  dir=build; flags=(-DWAVELORN_TESTS=ON -DWAVELORN_BENCH=ON)
fi
cmake -S . -B "$dir" "${flags[@]}"
cmake --build "$dir" -j"$(nproc)" "${targets[@]}"
ctest --test-dir "$dir" --output-on-failure -j"$(nproc)" --timeout 300 "${only[@]}" "$@"
