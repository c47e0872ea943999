#!/bin/sh
# The shared object exports exactly the factory entry point and the platform layer.
set -eu
expected="MP_GetFactory
ZrModuleDescriptions
ZrTimerInterval
ZrTimerTick"
actual=$(nm -D --defined-only "$1" | awk '{print $3}' | sort)
if [ "$actual" != "$expected" ]; then
  echo "unexpected exports of $1:"; echo "$actual"; exit 1
fi
echo "exports: $(echo $actual)"
