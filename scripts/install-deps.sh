#!/usr/bin/env bash
# Installs what the project needs on a Debian machine (run as root). Packages already present
# are not fetched again.
set -euo pipefail

packages=(
  build-essential cmake pkg-config clang-format-14
  libgtest-dev libgmock-dev libbenchmark-dev
  libsndfile1-dev nlohmann-json3-dev libcli11-dev libkissfft-dev libpugixml-dev libpng-dev
  locales libsmf-dev
  libjack-jackd2-dev
  faust
)
# JACK: libjack-jackd2-dev for `zrhost play`; jackd2 for the test that plays into a server on
# its dummy driver, installed without its recommendations (desktop control panels). jackd2 asks
# through debconf about realtime priority; the non-interactive install takes the default.
bare=(jackd2)

# The Windows build: the DLL cross-compiled with MinGW-w64 (its posix thread-model compiler,
# which GoogleTest needs), GoogleTest's sources (built for Windows inside that build) and
# 32-bit Wine to run the test suite. Wine's 32-bit half needs the i386 architecture.
# ZR_WINDOWS=0 leaves all of it out.
if [ "${ZR_WINDOWS:-1}" != 0 ]; then
  packages+=(g++-mingw-w64-i686-posix binutils-mingw-w64-i686 googletest wine wine32:i386)
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
fi

missingOf() {
  local p
  for p in "$@"; do
    dpkg -s "$p" >/dev/null 2>&1 || echo "$p"
  done
}
mapfile -t missing < <(missingOf "${packages[@]}")
mapfile -t missingBare < <(missingOf "${bare[@]}")
export DEBIAN_FRONTEND=noninteractive
if [ ${#missing[@]} -gt 0 ] || [ ${#missingBare[@]} -gt 0 ]; then
  apt-get update -qq
fi
if [ ${#missing[@]} -gt 0 ]; then
  apt-get install -y -qq "${missing[@]}"
fi
if [ ${#missingBare[@]} -gt 0 ]; then
  apt-get install -y -qq --no-install-recommends "${missingBare[@]}"
fi

# A locale with a decimal comma: the number-text tests switch to it to show that formatting and
# parsing ignore the process locale (they skip when it is missing).
if ! locale -a 2>/dev/null | grep -qix 'de_DE\.utf-\?8'; then
  localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
