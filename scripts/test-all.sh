#!/usr/bin/env bash
# Installs what is needed, builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default
cmake --build --preset default -j"$(nproc)"
ctest --preset default -j"$(nproc)"

# Every test again under AddressSanitizer and UndefinedBehaviorSanitizer (the sweep over every
# module half above all).
cmake --preset sanitize
cmake --build --preset sanitize -j"$(nproc)"
ctest --preset sanitize -j"$(nproc)"

# The 32-bit Windows DLL from the same sources, cross-compiled with MinGW-w64, and the test
# suite under Wine (a prefix of its own in build-mingw, created on first use). ZR_WINDOWS=0
# leaves it out.
if [ "${ZR_WINDOWS:-1}" != 0 ]; then
  linux_seconds=$SECONDS
  cmake --preset mingw
  cmake --build --preset mingw -j"$(nproc)"
  # A 32-bit PE with exactly two exports (the test suite checks it too).
  i686-w64-mingw32-objdump -p build-mingw/bin/zrmodules.dll |
    grep -E 'file format|^Magic|DLL Name|^[[:space:]]+\[ *[0-9]+\] [A-Za-z_]'
  ctest --preset mingw -j"$(nproc)"
  # The Wine server of the test prefix stays up between test programs; stop it now.
  WINEPREFIX="$PWD/build-mingw/wineprefix" wineserver -k || true
  echo "Linux part: ${linux_seconds} s; Windows part: $((SECONDS - linux_seconds)) s"
fi
