#!/usr/bin/env bash
# Sets up, builds and starts the program; arguments go to it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build
cmake --build build -j"$(nproc)"
