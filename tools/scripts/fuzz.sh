#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, ASan, UBSan) in build-fuzz/ and
# runs each for SECONDS (default 60) from its committed seeds (fuzz/corpus/),
# with its dictionary (fuzz/TARGET.dict) and options (fuzz/TARGET.options, one a
# line) when it has them, memory capped at 512 MB. A crash, a broken invariant, a time-out or a memory overrun is a
# finding: its input lands in build-fuzz/findings/ and the script fails.
#   tools/scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
seconds=${1:-60}
shift || true
root=$(cd "$(dirname "$0")/../.." && pwd)
build="$root/build-fuzz"
all_targets=(registry_script toast_xml command_line pal_reg com_wire toast_inbox)
targets=("${@:-${all_targets[@]}}")

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUILL_SANITIZER=address -DQUILL_BUILD_FUZZERS=ON -DQUILL_BUILD_BENCHMARKS=OFF \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link -fsanitize-coverage-ignorelist=$root/fuzz/coverage_ignorelist.txt" >/dev/null
nice cmake --build "$build" --target "${targets[@]/%/_fuzz}"

mkdir -p "$build/findings"
failed=()
for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"
  mkdir -p "$corpus"
  extra=()
  [ -f "$root/fuzz/$target.dict" ] && extra+=(-dict="$root/fuzz/$target.dict")
  [ -f "$root/fuzz/$target.options" ] && mapfile -t -O ${#extra[@]} extra <"$root/fuzz/$target.options"
  echo "fuzz: $target for ${seconds}s"
  if ! "$build/bin/${target}_fuzz" "$corpus" "$root/fuzz/corpus/$target" "${extra[@]}" \
      -max_total_time="$seconds" -max_len=8192 -timeout=10 -rss_limit_mb=512 \
      -artifact_prefix="$build/findings/$target-" -print_final_stats=1 \
      </dev/null >"$build/$target.log" 2>&1; then
    failed+=("$target")
    tail -n 40 "$build/$target.log" >&2
  fi
  grep -E '^#[0-9]+ +DONE|stat::number_of_executed_units|stat::peak_rss_mb' "$build/$target.log" || true
done
if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz: findings in ${failed[*]} (inputs in $build/findings/)" >&2
  exit 1
fi
echo "fuzz: no finding"
