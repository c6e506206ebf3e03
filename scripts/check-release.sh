#!/usr/bin/env bash
# What a point-of-sale vendor ships, checked end to end, with a stand-in
# "maker" CA generated here:
#  1. the configure step refuses builds without a proper CA choice;
#  2. scripts/package.sh builds the .deb and the Windows zip with its three
#     variants (from the compilations of the release preset and of
#     scripts/test-windows.sh, reused through ccache);
#  3. their contents, stripping, debug symbols and Depends are right, and no
#     file contains the development CA;
#  4. `cmake --install --prefix` of the package tree to a temporary prefix
#     names that prefix only, and the consumers build against it;
#  5. the .deb installs with apt-get (as root), the consumers build against
#     /usr, and the package is removed again.
# Artefacts stay in build/release-check/dist.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
source scripts/lib/tally.sh
work=build/release-check
rm -rf "$work"
mkdir -p "$work"
scripts/make-stand-in-maker-ca.sh "$work/maker-ca.pem"

echo "== CA guard at configure time"
tally_check "CA guard at configure time" scripts/check-ca-guard.sh "$work/maker-ca.pem"

echo "== Packages with the stand-in maker CA"
tally_check "packages build" env TAVIK_CA_CERT_PEM="$work/maker-ca.pem" scripts/package.sh --out "$work/dist"
tally_check "package contents" scripts/check-packages.sh "$work/dist" --maker-ca "$work/maker-ca.pem"

echo "== Install at a prefix chosen at install time"
# Outside the source tree, so that a path naming the tree is found as such.
prefix=$(mktemp -d "${TMPDIR:-/tmp}/tavik-prefix.XXXXXX")
cmake --install build/package-linux --prefix "$prefix" >/dev/null
# The .pc names the chosen prefix only; the CMake files find theirs relative
# to themselves (CMake's /lib -> /usr/lib guard names the configured one).
stale=$( { grep -l -e "/usr" -e "$root" "$prefix"/lib/*/pkgconfig/taviksat.pc
           grep -L -e "^prefix=$prefix\$" "$prefix"/lib/*/pkgconfig/taviksat.pc
           grep -r -l -e "$root" "$prefix"/lib/*/cmake; } || true)
if [ -n "$stale" ]; then
  tally failed 1 "relocated install names another prefix or the build tree: $stale"
  echo "FAIL: installed files name another prefix or the build tree: $stale" >&2
  exit 1
fi
tally passed 1 "relocated install names its own prefix"
tally_check "consumers against a relocated install" scripts/check-consumers.sh "$prefix"
rm -rf "$prefix"

echo "== The .deb installed with apt-get"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if [ -n "$sudo" ] && ! sudo -n true 2>/dev/null; then
  echo "skipped: installing the .deb needs root"
  tally skipped 1 "the .deb installed with apt-get (needs root)"
  exit 0
fi
deb=$(realpath "$(find "$work/dist" -maxdepth 1 -name 'taviksat_*.deb' | head -n1)")
if [ "$(dpkg-query -W -f='${Status}' taviksat 2>/dev/null || true)" = "install ok installed" ]; then
  echo "FAIL: a taviksat package is already installed on this machine; not replacing it" >&2
  exit 1
fi
trap '$sudo env DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq taviksat >/dev/null' EXIT
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb" >/dev/null
tally_check "consumers against the installed .deb" scripts/check-consumers.sh /usr
echo "== release checks passed"
