#!/usr/bin/env bash
# Installs what the project needs on a Debian machine (run as root). Packages already present
# are not fetched again.
set -euo pipefail

packages=(
  build-essential cmake pkg-config clang-format-14
  libgtest-dev libgmock-dev libbenchmark-dev
  libsndfile1-dev nlohmann-json3-dev libcli11-dev libkissfft-dev libpugixml-dev libpng-dev
  locales libsmf-dev
  libjack-jackd2-dev jackd2
)
# JACK: libjack-jackd2-dev for `zrhost play`; jackd2 for the test that plays into a server on
# its dummy driver. jackd2 asks through debconf about realtime priority; the non-interactive
# install below takes the default.

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

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}"
fi

# A locale with a decimal comma: the number-text tests switch to it to show that formatting and
# parsing ignore the process locale (they skip when it is missing).
if ! locale -a 2>/dev/null | grep -qix 'de_DE\.utf-\?8'; then
  localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
