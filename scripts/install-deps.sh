#!/usr/bin/env bash
# Installs the Debian packages that building, testing, fuzzing and packaging
# need (dpkg-dev and file: CPack's Debian generator; zip: the Windows zip).
# Safe to run again: it only calls apt-get when something is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git ccache
  libusb-1.0-0-dev zlib1g-dev libssl-dev openssl libfmt-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang-19 libclang-rt-19-dev
  binutils iproute2 util-linux
  dpkg-dev file zip unzip
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
