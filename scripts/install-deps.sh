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

source "$(dirname "$0")/lib/apt-install.sh"
install_missing "${packages[@]}"
