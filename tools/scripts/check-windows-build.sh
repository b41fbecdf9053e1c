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

# The warning texts: one STRINGTABLE with ids 101 to 107 for each of the seven
# languages (English UK, German, Spanish, French, Japanese, Polish, Chinese PRC).
resources=$(x86_64-w64-mingw32-windres -i "$exe" -O rc)
for language in "9, 2" "7, 0" "10, 0" "12, 0" "17, 0" "21, 0" "4, 2"; do
  block=$(awk -v lang="LANGUAGE $language" '
    $0 == lang { inside = 1; next }
    inside && /^LANGUAGE / { inside = 0 }
    inside && /^STRINGTABLE/ { table = 1; next }
    table && /^END/ { exit }
    table { print }' <<< "$resources")
  ids=$(awk -F, '/^ *[0-9]+,/ {gsub(/ /, "", $1); printf "%s ", $1}' <<< "$block")
  if [ "$ids" != "101 102 103 104 105 106 107 " ]; then
    echo "$exe: the string table for LANGUAGE $language holds ids '$ids', not 101 to 107" >&2
    exit 1
  fi
done
echo "string table: ids 101-107 in 7 languages"
if ! grep -q '^128 14 /\* RT_GROUP_ICON' <<< "$resources"; then
  echo "$exe carries no icon group 128 (IDR_MAINFRAME)" >&2
  exit 1
fi
echo "icon group: IDR_MAINFRAME"
# The application manifest: asInvoker, and Windows 7, 8, 8.1 and 10 as supported systems.
manifest=$(x86_64-w64-mingw32-strings -n 8 "$exe")
for expected in 'level="asInvoker"' '35138b9a-5d96-4fbd-8e2d-a2440225f93a' '4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38' \
                '1f676c76-80e1-4239-95bb-83d0f6d0da78' '8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a'; do
  if ! grep -q -F "$expected" <<< "$manifest"; then
    echo "$exe: the manifest lacks $expected" >&2
    exit 1
  fi
done
echo "manifest: asInvoker, Windows 7 to 10"
