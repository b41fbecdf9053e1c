#!/usr/bin/env bash
# "make bench": runs every benchmark program of a build (five repetitions each,
# medians kept) and prints one Markdown table of the figures against the
# floors measured in the same run. The JSON of each program stays in
# BUILD/bench-results/ for a closer look.
set -euo pipefail
build=${1:-build}
results="$build/bench-results"
mkdir -p "$results"
for program in floor_bench process_bench server_bench com_bench registry_bench toast_bench; do
    echo "running $program" >&2
    sync  # the writes of the program before are on disk, not flushed during this one
    "$build/bin/$program" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
        --benchmark_format=json --benchmark_out="$results/$program.json" --benchmark_out_format=json >/dev/null
done
echo "$(date -u +%Y-%m-%d), $(nproc) cores, $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -n 1), $(uname -sr)"
echo
python3 "$(dirname "$0")/bench_table.py" "$results"
