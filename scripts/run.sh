#!/usr/bin/env bash
# Installs what is needed, builds the library and the simulator, starts a
# simulated fiscal module on loopback and drives the library against it over
# TLS through satcli, the way a point-of-sale program calls it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
echo "Building (log in build/release-build.log)..."
mkdir -p build
# The simulator presents the development CA's certificates: the library must trust it.
cmake --preset release -DTAVIK_DEVELOPMENT_CA=ON > build/release-build.log 2>&1 &&
  cmake --build --preset release -j "$(nproc)" --target taviksat satcli tavik-simulator >> build/release-build.log 2>&1 ||
  { tail -40 build/release-build.log; exit 1; }
build=build/release
satcli=$build/tools/satcli/satcli
code=12345678
sign_ac="$(printf 'Q%.0s' $(seq 342))=="

"$build/simulator/tavik-simulator" --address 127.0.0.1 --activation-code "$code" --sign-ac "$sign_ac" \
  --beacon-target 127.0.0.1 --heartbeat-interval 30 --session-depth 10 > "$build/simulator.log" 2>&1 &
simulator=$!
trap 'kill $simulator 2>/dev/null; wait $simulator 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  (exec 3<>/dev/tcp/127.0.0.1/9014) 2>/dev/null && break
  sleep 0.1
done

sale="<CFe><infCFe versaoDadosEnt=\"0.08\"><ide><CNPJ>16716114000172</CNPJ><signAC>$sign_ac</signAC>\
<numeroCaixa>001</numeroCaixa></ide><emit><CNPJ>11222333000181</CNPJ><IE>111111111111</IE><IM>123123</IM>\
<cRegTribISSQN>1</cRegTribISSQN><indRatISSQN>N</indRatISSQN></emit><dest/><det nItem=\"1\"><prod>\
<cProd>1</cProd><xProd>Cafe</xProd><qCom>2.0000</qCom><vUnCom>1.25</vUnCom></prod><imposto/></det><total/>\
<pgto><MP><cMP>01</cMP><vMP>2.50</vMP></MP></pgto></infCFe></CFe>"

run() { echo "\$ satcli <a sequence of calls; each result line names its call>"; "$satcli" "$@"; }
# One process for the whole sequence: the filter and modes stay set between calls.
run VersaoLib -- FiltraMFEIp 127.0.0.1 \
  -- ConsultarSAT 100001 \
  -- ConsultarStatusOperacional 100002 "$code" \
  -- EnviarDadosVenda 100003 "$code" "$sale" \
  -- ConsultarUltimaSessaoFiscal 100004 "$code" \
  -- ConsultarNumeroSessao 100005 "$code" 100003 \
  -- ConsultarStatusOperacionalMFE 100006 "$code" \
  -- GetDeviceInfoAsJson
echo "(the simulator's own log of these requests is in $build/simulator.log)"
