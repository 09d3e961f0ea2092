#!/usr/bin/env bash
# Sets up, builds and runs every test. WAVELORN_SANITIZE=1 builds with ASan and UBSan into build-asan/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
if [[ "${WAVELORN_SANITIZE:-0}" == 1 ]]; then
  dir=build-asan; flags=(-DWAVELORN_SANITIZE=ON -DWAVELORN_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug)
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
else
  dir=build; flags=()
fi
cmake -S . -B "$dir" "${flags[@]}"
cmake --build "$dir" -j"$(nproc)"
ctest --test-dir "$dir" --output-on-failure -j"$(nproc)" --timeout 300
