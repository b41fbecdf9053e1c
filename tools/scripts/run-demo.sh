#!/usr/bin/env bash
# The main job: shows what the product does so far, in a fresh temporary prefix.
# The warning handler runs through a demo program whose delivery policy prints
# the toast XML; no toast is shown yet.
set -euo pipefail
build=${1:-build}
export PAL_PREFIX=$(mktemp -d)
trap 'rm -rf "$PAL_PREFIX"' EXIT
demo="$build/bin/quill-warning-demo"
pal="$build/bin/pal"
sample='C:\Users\Ana\R&D <archive>'

echo "== platform prefix: $PAL_PREFIX"
echo "== built programs:"
ls -l "$build/bin/QuillNotification" "$pal" "$demo" "$build/bin/resources/logo-corvane-shield.png"

echo
echo "== the warning toast for \"$sample\", English (LANG=en_GB.UTF-8):"
LANGUAGE= LC_ALL= LC_MESSAGES= LANG=en_GB.UTF-8 "$demo" display "$sample" true

echo
echo "== the same, German (LANG=de_DE.UTF-8), without the selection (ShowAgainChoice=false):"
LANGUAGE= LC_ALL= LC_MESSAGES= LANG=de_DE.UTF-8 "$demo" display "$sample" false

echo
echo "== the toast's button pressed with \"showagain\": nothing is stored"
"$demo" dismiss showagain
"$pal" reg query 'HKCU\SOFTWARE\Corvane\Ardentis' || true
echo
echo "== pressed with \"dismiss\": the choice is stored for the current user"
"$demo" dismiss dismiss
"$pal" reg query 'HKCU\SOFTWARE\Corvane\Ardentis'
