#!/usr/bin/env bash
# Installs what is needed, builds the library and drives it the way a
# point-of-sale program does, through satcli.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target taviksat satcli
satcli=build/release/tools/satcli/satcli
echo "\$ satcli VersaoLib";            "$satcli" VersaoLib
echo "\$ satcli ConsultarSAT 4321";    "$satcli" ConsultarSAT 4321
echo "\$ satcli ConsultarStatusOperacional 4322 @null"; "$satcli" ConsultarStatusOperacional 4322 @null
