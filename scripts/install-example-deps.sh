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
