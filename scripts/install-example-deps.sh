#!/usr/bin/env bash
# Installs the Debian toolchains that build and run the examples in examples/:
# gcc and pkg-config (C), Python 3 (ctypes), Mono (C#), Free Pascal and
# OpenJDK 17 with JNA (Java). Safe to run again: it only calls apt-get when
# something is missing.
set -euo pipefail

packages=(
  build-essential pkg-config
  python3
  mono-mcs mono-runtime
  fp-compiler fp-units-rtl
  openjdk-17-jdk-headless libjna-java
)

source "$(dirname "$0")/lib/apt-install.sh"
install_missing "${packages[@]}"
