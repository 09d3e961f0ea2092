#!/usr/bin/env bash
# Sets up, builds and starts the window; files and folders given as arguments are listed at start.
# Without a display it says so and shows the command-line converter's help instead. Only the two
# programs are built here (the tests are built by scripts/test.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh run
cmake -S . -B build -DWAVELORN_TESTS=OFF -DWAVELORN_BENCH=OFF
cmake --build build -j"$(nproc)" --target wavelorn wavelorn-cli
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  echo "No display to open the window on (DISPLAY and WAYLAND_DISPLAY are unset); here is the command-line converter:"
  exec build/bin/wavelorn-cli --help
fi
exec build/bin/wavelorn "$@"
