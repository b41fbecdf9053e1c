#!/usr/bin/env bash
# Checks the cross-built Windows executable: a 64-bit PE image, linked with the
# static runtime (no MinGW runtime DLLs among its imports).
set -euo pipefail
exe=${1:-build-windows/bin/QuillNotification.exe}
description=$(file -b "$exe")
case "$description" in
  PE32+\ executable*x86-64*) echo "$exe: $description" ;;
  *) echo "$exe is not a PE32+ x86-64 image: $description" >&2; exit 1 ;;
esac
imports=$(x86_64-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ {print tolower($3)}' | sort -u)
if echo "$imports" | grep -q -E 'libstdc|libgcc|libwinpthread'; then
  echo "$exe imports MinGW runtime DLLs: $imports" >&2
  exit 1
fi
echo "imports: $(echo $imports)"
