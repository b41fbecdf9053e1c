#!/usr/bin/env bash
# Fails when code outside platform/ tests for the platform with the preprocessor.
set -u
root=${1:-.}
cd "$root" || exit 2
hits=$(git ls-files -co --exclude-standard '*.c' '*.cc' '*.cpp' '*.h' '*.hpp' 2>/dev/null | grep -v '^platform/' |
  xargs -r grep -n -E '#\s*(if|ifdef|ifndef|elif).*(_WIN32|_WIN64|__linux__|__MINGW|_MSC_VER|__unix__|__APPLE__)' || true)
if [ -n "$hits" ]; then
  echo "platform conditionals outside platform/:"
  echo "$hits"
  exit 1
fi
echo "no platform conditionals outside platform/"
