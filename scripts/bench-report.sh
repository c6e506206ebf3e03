#!/usr/bin/env bash
# One benchmark report: builds an optimised tree, runs every benchmark program
# of the project and prints one line per figure,
#
#   name value unit baseline ratio goal verdict
#
# with every baseline measured in the same run (ratio = value / baseline;
# "-" where a figure has no baseline; verdict ok, MISSED or info). The raw
# output of each program is kept under <build dir>/bench-report/. The exit
# status is non-zero when a figure misses its goal, a program fails or a
# program is missing.
#
#   scripts/bench-report.sh
#   BENCH_BUILD_DIR=build/other SOAK_CALLS=5000 scripts/bench-report.sh
#
# The TLS benchmark, the concurrency figure and the soak bind the fixed ports
# 9014/9015; as root they do so in a network namespace of their own.
set -uo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BENCH_BUILD_DIR:-build/release}"
[[ "$build" = /* ]] || build="$root/$build"
raw="$build/bench-report"
soak_calls="${SOAK_CALLS:-3000}"
mkdir -p "$raw"

cmake -S "$root" --preset release -B "$build" >/dev/null || exit 1
wanted=(codec_bench connection_bench tls_latency_bench usb_latency_bench decode_bomb_bench
        tavik-soak tavik-load-time-bench tavik-concurrency-bench)
available="$(cmake --build "$build" --target help 2>/dev/null)"
targets=()
for target in "${wanted[@]}"; do
  grep -q "^$target:" <<<"$available" && targets+=("$target")
done
cmake --build "$build" --target "${targets[@]}" -j2 >"$raw/build.log" 2>&1 ||
  { tail -n 30 "$raw/build.log"; echo "bench-report.sh: build failed" >&2; exit 1; }

status=0
have() {
  [[ -x "$1" ]] && return 0
  echo "$(basename "$1") - - - - built MISSED"
  status=1
  return 1
}

# Every figure line also goes to report.txt, where a MISSED verdict is looked for.
run_all() {
echo "name value unit baseline ratio goal verdict"

# Codec: decoding against the bare CRC loop, compressed decoding against
# inflate + CRC, from CPU time. Tiny bodies are header parsing only: info.
if have "$build/bench/codec_bench"; then
  "$build/bench/codec_bench" --benchmark_min_time=0.2 --benchmark_out="$raw/codec.json" \
    --benchmark_out_format=json >"$raw/codec.txt" 2>&1 || status=1
  python3 - "$raw/codec.json" <<'PY' || status=1
import json, sys
results = json.load(open(sys.argv[1]))["benchmarks"]
failed = [b["name"] for b in results if b.get("error_occurred")]
for name in failed: print(f"codec_{name} - ns - - checked MISSED")
runs = {b["name"]: b["cpu_time"] for b in results if b.get("run_type") == "iteration" and not b.get("error_occurred")}
if failed: sys.exit(1)
def size_name(s): return f"{s >> 20}MiB" if s >= 1 << 20 else f"{s >> 10}KiB" if s >= 1024 else f"{s}B"
def line(name, value, baseline, goal):
    ratio = value / baseline
    verdict = "info" if goal == "-" else ("ok" if ratio <= float(goal[2:]) else "MISSED")
    print(f"{name} {value:.1f} ns {baseline:.1f} {ratio:.3f} {goal} {verdict}")
for size in sorted({int(n.split("/")[1]) for n in runs}):
    crc, decode = runs[f"BM_CrcPlain/{size}"], runs[f"BM_DecodePlain/{size}"]
    floor = runs[f"BM_Inflate/{size}"] + runs[f"BM_CrcStream/{size}"]
    tiny = size < 1024
    line(f"codec_decode_plain_{size_name(size)}", decode, crc, "-" if tiny else "<=1.2")
    line(f"codec_decode_compressed_{size_name(size)}", runs[f"BM_DecodeCompressed/{size}"], floor, "-" if tiny else "<=1.1")
PY
fi

# Answers read through the connection manager in 512-byte chunks: cost per
# byte against copying the same chunks, and 8 MiB against 64 KiB (flat = O(n)).
if have "$build/bench/connection_bench"; then
  "$build/bench/connection_bench" >"$raw/connection.txt" 2>&1 || status=1
  awk '$2 == "KiB" {
         printf "connection_answer_%sKiB_per_byte %.3f ns/B %.3f %.3f - info\n", $1, $3, $4, $3 / $4
         if ($1 == 64) first = $3
         if ($1 == 8192 && first > 0) { ratio = $3 / first
           printf "connection_answer_8MiB_vs_64KiB %.3f ns/B %.3f %.3f <=1.5 %s\n", $3, first, ratio, ratio <= 1.5 ? "ok" : "MISSED" }
       }' "$raw/connection.txt"
fi

# Call latencies against their floors; these programs print report lines.
for program in tls_latency_bench usb_latency_bench decode_bomb_bench; do
  if have "$build/bench/$program"; then
    "$build/bench/$program" >"$raw/$program.txt" 2>"$raw/$program.err" || status=1
    awk 'NF == 7 && $1 != "name" { $1 = $1; print }' "$raw/$program.txt"
  fi
done

if have "$build/tools/soak/tavik-load-time-bench"; then
  "$build/tools/soak/tavik-load-time-bench" | tee "$raw/load_time.txt" || status=1
fi
if have "$build/tools/soak/tavik-concurrency-bench"; then
  "$build/tools/soak/tavik-concurrency-bench" | tee "$raw/concurrency.txt" || status=1
fi

# The soak's memory growth after warm-up: the heap in use, judged only over
# a long run (SOAK_CALLS=100000: under 1 MiB; a short run is noise, answers
# of up to 80 KB come and go), and the resident size as info (it also holds
# what the allocator keeps for per-thread arenas).
if have "$build/tools/soak/tavik-soak"; then
  "$build/tools/soak/tavik-soak" --calls "$soak_calls" --threads 4 >"$raw/soak.txt" 2>&1 || status=1
  awk '/^growth after warm-up:/ { growth = $4; calls = $7 }
       /^heap in use:/ { heap_kib = ($12 - $9) * 1024 }
       /^calls made:/ { made = $3; per_call = substr($7, 2) }
       /^mismatches:/ { mismatches = $2 }
       /^overruns:/ { overruns = $2 }
       END {
         if (calls == "") { print "# soak gave no figures; see soak.txt" > "/dev/stderr"; exit 1 }
         if (made >= 100000) printf "soak_heap_growth_after_warmup %.1f KiB - - <1024 %s\n", heap_kib, heap_kib < 1024 ? "ok" : "MISSED"
         else printf "soak_heap_growth_after_warmup %.1f KiB - - <1024@100000calls info\n", heap_kib
         printf "soak_resident_growth_after_warmup %.1f KiB - - - info\n", growth / 1024
         printf "soak_time_per_call %s ms - - - info\n", per_call
         printf "soak_mismatches %d calls - - ==0 %s\n", mismatches, mismatches == 0 ? "ok" : "MISSED"
         printf "soak_overruns %d calls - - ==0 %s\n", overruns, overruns == 0 ? "ok" : "MISSED"
       }' "$raw/soak.txt" || status=1
fi
return $status
}
run_all | tee "$raw/report.txt"
status=${PIPESTATUS[0]}
grep -q " MISSED$" "$raw/report.txt" && status=1
exit $status
