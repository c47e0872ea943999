#!/usr/bin/env bash
# Installs what the project needs on a Debian machine (run as root). Packages already present
# are not fetched again.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libsndfile1-dev nlohmann-json3-dev libcli11-dev libkissfft-dev libpugixml-dev libpng-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}"
fi
