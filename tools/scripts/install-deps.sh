#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when any is missing.
set -euo pipefail
packages=(
  cmake ninja-build g++ make file
  g++-mingw-w64-x86-64 mingw-w64-tools binutils-mingw-w64-x86-64
  libsqlite3-dev libpugixml-dev libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  pkg-config libpango1.0-dev libcairo2-dev fonts-noto-core fonts-noto-cjk
  wine wine64 googletest locales
)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}"
fi
