#!/usr/bin/env bash
# Takes the README's pictures of the window under a virtual X server (Xvfb), into docs/images/.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DWAVELORN_TESTS=ON >/dev/null  # run.sh may have switched the tests off
cmake --build build -j2 --target wavelorn-shots
mkdir -p docs/images build/test-scratch
export WAVELORN_TEST_SCRATCH="$PWD/build/test-scratch"
xvfb-run -a -s "-screen 0 1024x768x24" build/bin/wavelorn-shots "$PWD/docs/images"
