#!/usr/bin/env bash
# The main job: shows what the product does so far, in a fresh temporary prefix.
set -euo pipefail
build=${1:-build}
export PAL_PREFIX=$(mktemp -d)
trap 'rm -rf "$PAL_PREFIX"' EXIT
echo "== platform prefix: $PAL_PREFIX"
echo "== built programs:"
ls -l "$build/bin/QuillNotification" "$build/bin/pal"
echo "== QuillNotification (plain start)"
"$build/bin/QuillNotification" && echo "exit code $?"
echo "== pal"
"$build/bin/pal" help
