#!/usr/bin/env bash
# Sets up, builds and starts the program; arguments go to it (the command-line converter for now).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build
cmake --build build -j"$(nproc)"
if (($#)); then
  exec build/bin/wavelorn-cli "$@"
else
  exec build/bin/wavelorn-cli --help
fi
