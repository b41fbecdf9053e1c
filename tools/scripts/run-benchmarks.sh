#!/usr/bin/env bash
# "make bench": runs every benchmark program of a build (five repetitions each,
# medians kept) and prints one Markdown table of the figures against their
# floors. The floors are measured again right before each program, and each
# figure is read against the floors of its own turn: the machine's speed drifts
# over the minutes of a run. The JSON of each program stays in
# BUILD/bench-results/ for a closer look.
set -euo pipefail
build=${1:-build}
results="$build/bench-results"
mkdir -p "$results"
rm -f "$results"/*.json
run() {  # program, name of its results
    echo "running $1" >&2
    sync  # the writes of the program before are on disk, not flushed during this one
    "$build/bin/$1" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
        --benchmark_format=json --benchmark_out="$results/$2.json" --benchmark_out_format=json >/dev/null
}
run floor_bench floor_bench
for program in process_bench server_bench com_bench registry_bench toast_bench; do
    run floor_bench "floor_bench.before.$program"
    run "$program" "$program"
done
echo "$(date -u +%Y-%m-%d), $(nproc) cores, $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -n 1), $(uname -sr)"
echo
python3 "$(dirname "$0")/bench_table.py" "$results"
