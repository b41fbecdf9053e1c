#!/usr/bin/env bash
# Builds the registrar fuzz target with clang (libFuzzer, ASan, UBSan) in
# build-fuzz/ and runs it for SECONDS (default 30). Findings are written to
# build-fuzz/findings/ and make the script fail.
#   tools/scripts/fuzz-registrar.sh [SECONDS]
set -euo pipefail
seconds=${1:-30}
root=$(cd "$(dirname "$0")/../.." && pwd)
build="$root/build-fuzz"

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUILL_SANITIZER=address -DQUILL_BUILD_FUZZERS=ON -DQUILL_BUILD_BENCHMARKS=OFF \
  -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link >/dev/null
nice cmake --build "$build" --target registrar_fuzz

# The registry behind the target syncs every write: keep it in memory when possible.
scratch_base=/tmp
[ -d /dev/shm ] && [ -w /dev/shm ] && scratch_base=/dev/shm
scratch=$(mktemp -d "$scratch_base/quill-fuzz-run-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$build/findings" "$build/corpus"
cp "$root/resources/QuillNotification.rgs" "$build/corpus/program-script" 2>/dev/null || true

QUILL_FUZZ_DIR="$scratch" "$build/bin/registrar_fuzz" "$build/corpus" \
  -max_total_time="$seconds" -max_len=8192 -timeout=20 -rss_limit_mb=2048 \
  -artifact_prefix="$build/findings/" -print_final_stats=1
