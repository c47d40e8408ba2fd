#!/usr/bin/env bash
# Builds the benchmarks and runs them; figures go to bench/results/ (the raw JSON stays out of git,
# the readable tables made from it are kept).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build-bench}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DGSMSCAN_BENCH=ON -DGSMSCAN_TESTS=OFF
cmake --build "$build" -j"$(nproc)"
mkdir -p bench/results
for b in "$build"/bench/bench_*; do
  [ -x "$b" ] || continue
  name=$(basename "$b")
  "$b" --benchmark_out="bench/results/$name.json" --benchmark_out_format=json | tee "bench/results/$name.txt"
done
python3 tools/bench_memory_table.py bench/results/bench_memory.json > bench/results/bench_memory_table.txt
python3 tools/bench_fft_table.py bench/results/bench_fft.json > bench/results/bench_fft_table.txt
