#!/usr/bin/env bash
# Measures the costs worth watching and prints the figures (not part of CI: slow, and noisy on
# a shared machine; run it when `uptime` shows little load, and more than once):
#   1. the description reader: Google Benchmark, natively (repeated iterations), once as is and
#      once with freed memory kept by the process;
#   2. the reader cold: `instinfo show` on a generated 1 M-item description, once per run;
#   3. the installation run without its pause against a plain loop of CopyFileW over the same
#      files, under Wine in a prefix of its own (<x86_64 build>/bench-prefix).
# Environment: NATIVE_BUILD (default build/native) and WIN_BUILD (default build/mingw-x86_64),
# configured from the presets native and mingw-x86_64. Arguments go to run_bench (default:
# --breakdown; see bench/run_bench.cpp).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

native=${NATIVE_BUILD:-build/native}
win=${WIN_BUILD:-build/mingw-x86_64}
jobs=$(nproc)
step() { printf '\n=== %s\n' "$*"; }
load() { printf 'load average: %s\n' "$(cut -d' ' -f1-3 /proc/loadavg)"; }

step "build"
cmake --preset native -B "$native" >/dev/null
cmake --build "$native" -j "$jobs" --target reader_bench instinfo
cmake --preset mingw-x86_64 -B "$win" >/dev/null
cmake --build "$win" -j "$jobs" --target run_bench

work=$(mktemp -d)
cleanup() {
    rm -rf "$work"
    if declare -F tamrick_wine_end >/dev/null; then
        tamrick_wine_end
    fi
}
trap cleanup EXIT

# Google Benchmark's figures for the reader, and a summary: MB/s per size and encoding, and how
# the time grows from 100 K to 1 M items.
reader_bench() {
    "$native/bench/reader_bench" --benchmark_out="$work/reader.json" --benchmark_out_format=json
    python3 - "$work/reader.json" <<'EOF'
import json, re, sys
runs = {}
for b in json.load(open(sys.argv[1]))["benchmarks"]:
    m = re.search(r"items:(\d+)/enc:(\d)", b["name"])
    runs[(int(m[1]), int(m[2]))] = b
names = {0: "ASCII", 1: "code page 936", 2: "UTF-8"}
print("\n%-14s %12s %12s %12s %14s" % ("encoding", "1 K MB/s", "100 K MB/s", "1 M MB/s",
                                      "t(1M)/t(100K)"))
for enc, name in names.items():
    rates = [runs[(n, enc)]["bytes_per_second"] / 1e6 for n in (1000, 100000, 1000000)]
    ratio = runs[(1000000, enc)]["real_time"] / runs[(100000, enc)]["real_time"]
    print("%-14s %12.0f %12.0f %12.0f %14.2f" % (name, *rates, ratio))
EOF
}

step "description reader (Google Benchmark)"
load
reader_bench
# Where fresh memory is slow to touch, the large descriptions mostly measure that: glibc gives
# freed memory back, and every iteration touches new pages. Kept, the iterations reuse the same
# pages and the figures are the reader's own.
step "description reader, freed memory kept by the process"
load
GLIBC_TUNABLES=glibc.malloc.mmap_max=0:glibc.malloc.trim_threshold=68719476736 reader_bench

step "description reader, cold: instinfo show on a 1 M-item description (3 runs each)"
load
for enc in ascii cp936 utf-8; do
    mkdir -p "$work/$enc"
    python3 - "$work/$enc/InstInfo.ini" "$enc" <<'EOF'
import sys
path, enc = sys.argv[1], sys.argv[2]
caption = "Installing macro" if enc == "ascii" else "安装宏"
lines = ["[Setup]", "SetupTitle=Benchmark add-on", "[Files]"]
lines += ["FileItem=c|Macros\\Module%d.gms|1|GMSPath|%s %d" % (i, caption, i)
          for i in range(1000000)]
open(path, "wb").write(("\r\n".join(lines) + "\r\n").encode(enc))
EOF
    size=$(stat -c %s "$work/$enc/InstInfo.ini")
    for _ in 1 2 3; do
        start=$(date +%s%N)
        "$native/tools/instinfo/instinfo" show "$work/$enc" >/dev/null
        end=$(date +%s%N)
        awk -v e="$enc" -v s="$size" -v ns=$((end - start)) \
            'BEGIN { printf "%-6s %5.1f MB  %6.0f ms  %6.1f MB/s\n", e, s / 1e6, ns / 1e6, s / 1e3 / (ns / 1e6) }'
    done
done

step "installation run against a plain loop of CopyFileW, under Wine"
TAMRICK_WINEPREFIX="$(realpath "$win")/bench-prefix"
export TAMRICK_WINEPREFIX
unset DISPLAY
# shellcheck source=scripts/wine-env.sh
source scripts/wine-env.sh
load
if [ $# -eq 0 ]; then
    set -- --breakdown
fi
"$WINE" "$win/bench/run_bench.exe" "$@"
