#!/usr/bin/env bash
# Installs what is needed, builds, and renders the built-in demo patch to demo.wav.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default
cmake --build --preset default -j"$(nproc)"
build/bin/zrhost demo -o demo.wav
