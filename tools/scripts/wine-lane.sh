#!/usr/bin/env bash
# The Wine lane: the cross-built QuillNotification.exe and the Windows test
# programs run under Wine in a fresh prefix. It installs Wine when missing,
# settles the new prefix, puts the product in C:\Quill with the test console
# beside it, registers what Windows has and Wine lacks (the proxy/stub of the
# activation callback, the notification runtime classes), runs the suites and
# removes the prefix again. Wine's own output goes to files in the work folder.
set -euo pipefail
build=${1:-build-windows}
lane=$build/wine
started=$(date +%s)

if ! command -v wine >/dev/null || ! command -v wineserver >/dev/null; then
  echo "installing wine"
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq wine wine64
fi

# Wine takes the UI language from LANG only when the C library knows the locale.
for lang in en_GB de_DE ja_JP; do
  if ! locale -a 2>/dev/null | grep -qx "$lang.utf8"; then
    localedef -i "$lang" -f UTF-8 "$lang.UTF-8"
  fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/quill-wine-XXXXXX")
export WINEPREFIX=$work/prefix WINEARCH=win64 WINEDEBUG=-all DISPLAY=
# No Mono or Gecko installers, no desktop menu entries: nothing asks for a display.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

# A new prefix must settle before its first activation, or RpcSs cannot start.
wineboot -i >"$work/wineboot.log" 2>&1 </dev/null
wineserver -w

drive=$WINEPREFIX/drive_c
mkdir -p "$drive/Quill" "$drive/QuillTests"
cp "$build/bin/QuillNotification.exe" "$lane/QuillConsole.exe" "$drive/Quill/"
cp -r "$build/bin/resources" "$drive/Quill/"
cp "$lane"/*.dll "$lane"/*.exe "$drive/QuillTests/"

# What Windows ships and Wine lacks, as test fixtures of our own.
proxy='C:\\QuillTests\\quill_notification_proxy.dll'
runtime='C:\\QuillTests\\quill_notification_runtime.dll'
callback='{53E31837-6600-4A81-9395-75CFFE746F94}'
{
  echo 'REGEDIT4'
  echo
  echo "[HKEY_LOCAL_MACHINE\\Software\\Classes\\Interface\\$callback]"
  echo '@="INotificationActivationCallback"'
  echo "[HKEY_LOCAL_MACHINE\\Software\\Classes\\Interface\\$callback\\NumMethods]"
  echo '@="4"'
  echo "[HKEY_LOCAL_MACHINE\\Software\\Classes\\Interface\\$callback\\ProxyStubClsid32]"
  echo "@=\"$callback\""
  echo "[HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\$callback\\InprocServer32]"
  echo "@=\"$proxy\""
  echo '"ThreadingModel"="Both"'
  for class in Windows.Data.Xml.Dom.XmlDocument Windows.UI.Notifications.ToastNotificationManager \
               Windows.UI.Notifications.ToastNotification; do
    echo "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\WindowsRuntime\\ActivatableClassId\\$class]"
    echo "\"DllPath\"=\"$runtime\""
    echo '"ActivationType"=dword:00000000'
    echo '"Threading"=dword:00000000'
  done
} >"$work/fixtures.reg"
wine regedit /S 'Z:'"$(sed 's|/|\\|g' <<<"$work/fixtures.reg")" >"$work/regedit.log" 2>&1 </dev/null

# One Wine session per UI language: the servers COM starts take the language of
# the session (its LANG), so the language-bound cases run in each in turn.
status=0
run_suite() {  # LANG SUITE [ARGUMENTS...]
  local lang=$1 suite=$2 log=$work/$2-$1.log
  shift 2
  (cd "$drive/QuillTests" && LANG=$lang QUILL_WINE_PRODUCT='C:\Quill' wine "$suite.exe" "$@" >"$log" 2>&1 </dev/null) ||
    status=1
  cat "$log"
}
run_suite en_GB.UTF-8 platform_core_tests
run_suite en_GB.UTF-8 wine_boundary_tests
run_suite en_GB.UTF-8 wine_scenarios --gtest_filter='-Languages/*'
for language in en_GB.UTF-8:English_UK de_DE.UTF-8:German ja_JP.UTF-8:Japanese; do
  lang=${language%%:*}
  if [ "$lang" != en_GB.UTF-8 ]; then
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w
  fi
  run_suite "$lang" wine_scenarios --gtest_filter="Languages/*/${language#*:}_*"
done
echo "wine lane: $(( $(date +%s) - started )) s"
exit $status
