#!/usr/bin/env bash
# Installs what is needed, builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default
cmake --build --preset default -j"$(nproc)"
ctest --preset default -j"$(nproc)"

# The framework tests and the sweep over every module half again, under AddressSanitizer and
# UndefinedBehaviorSanitizer.
cmake --preset sanitize
cmake --build --preset sanitize -j"$(nproc)" --target test_framework test_sweep
build-sanitize/bin/test_framework
build-sanitize/bin/test_sweep
