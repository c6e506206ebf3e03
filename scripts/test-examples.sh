#!/usr/bin/env bash
# Builds the library and the simulator (in the optimised, unsanitised tree
# that scripts/test-windows.sh keeps for its host simulator), builds the till-session example of every language in examples/ with its
# Debian toolchain, then runs each one against a simulated module in a
# private network namespace and checks what it printed
# (scripts/run-examples.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc)

scripts/install-deps.sh
scripts/install-example-deps.sh

# The same tree and options as test-windows.sh, so the suite compiles the
# simulator once; the examples load the library from it too.
build=$root/build/win-host
out=$root/build/examples
echo "Building the library and the simulator (log in build/examples-build.log)..."
mkdir -p "$out"
{ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
    -DTAVIK_BUILD_TESTS=OFF -DTAVIK_BUILD_BENCH=OFF -DTAVIK_WERROR=ON -DTAVIK_DEVELOPMENT_CA=ON &&
  cmake --build "$build" -j "$jobs" --target taviksat tavik-simulator; } \
  > build/examples-build.log 2>&1 || { tail -40 build/examples-build.log; exit 1; }

echo "Toolchains: $(gcc -dumpfullversion | sed 's/^/gcc /'), $(/usr/bin/python3 --version),\
 $(mcs --version | sed 's/ compiler version//'), $(mono --version | head -1 | awk '{print "Mono runtime", $5}'),\
 Free Pascal $(fpc -iV), $(javac -version 2>&1), JNA $(readlink -f /usr/share/java/jna.jar | sed 's/.*jna-\(.*\)\.jar/\1/')"
echo "Building the examples..."
rm -rf "$out"/{c,csharp,pascal,java}
mkdir -p "$out"/{c,csharp,pascal,java}
# C, as an integrator builds it: against an installed tree (the library's
# runtime and development parts installed at a prefix), through pkg-config.
prefix=$out/prefix
rm -rf "$prefix"
for component in runtime development; do
  cmake --install "$build" --prefix "$prefix" --component "$component" >/dev/null
done
pc_dir=$(dirname "$(find "$prefix" -name taviksat.pc | head -n1)")
make -s -C examples/c OUT="$out/c" TAVIKSAT="$(PKG_CONFIG_PATH="$pc_dir" pkg-config --cflags --libs taviksat)"
# C#: Mono's compiler; the program runs on mono (or .NET on Windows).
mcs -nologo -warnaserror -out:"$out/csharp/TillSession.exe" examples/csharp/TillSession.cs
# Free Pascal in Delphi mode, linking libtaviksat.so as Delphi links the DLL.
fpc -v0 -Mdelphi -Sew -FE"$out/pascal" -FU"$out/pascal" -Fl"$build/src" examples/pascal/till_session.dpr > "$out/pascal/fpc.log" 2>&1 ||
  { cat "$out/pascal/fpc.log"; exit 1; }
# Java 17 with Debian's JNA.
javac -Werror -cp /usr/share/java/jna.jar -d "$out/java" examples/java/TillSession.java

# The simulated module listens on the fixed ports 9014/9015: in a network
# namespace of its own when permitted.
scripts/in-private-network.sh scripts/run-examples.sh "$build" "$out"
