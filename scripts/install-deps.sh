#!/usr/bin/env bash
# Installs the Debian 12 packages VoltraTools needs to build, test and benchmark; skips those present.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libboost-dev libgtest-dev libgmock-dev libbenchmark-dev
  gemmi-dev tao-pegtl-dev zlib1g-dev libdeflate-dev libjemalloc-dev nlohmann-json3-dev
  python3
  pdb2pqr apbs refmac-dictionary python3-propka gemmi
  man-db snakemake
  time
  clang-14 libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "install-deps: need root or sudo to install: ${missing[*]}" >&2; exit 1; }
  sudo_cmd=(sudo)
fi
echo "install-deps: installing ${missing[*]}" >&2
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
