#!/usr/bin/env bash
# The main job: one warning's whole road between separate processes, in a fresh
# temporary prefix. The server is registered for this user, started on demand
# by an activation, shows its toast, gets the toast's button pressed with
# "dismiss" selected, stores the preference, and ends with its last client.
set -euo pipefail
build=${1:-build}
export PAL_PREFIX=$(mktemp -d)
server="$build/bin/QuillNotification"
pal="$build/bin/pal"
pictures="$build/toasts"
clsid='{6B1C2E47-93D0-4F5A-8E21-7C4D0A9B3F12}'
aumid='Corvane.Tessaline'
sample='C:\Users\Ana\R&D <archive>'

# The live server processes of this prefix (by executable and environment).
servers() {
    local exe pid
    exe=$(readlink -f "$server")
    for pid in $(pgrep -f -- "$server -Embedding" || true); do
        [ "$(readlink "/proc/$pid/exe" 2>/dev/null)" = "$exe" ] &&
            tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "PAL_PREFIX=$PAL_PREFIX" && echo "$pid"
    done
    return 0
}
cleanup() {
    local pid
    for pid in $(servers); do kill "$pid" 2>/dev/null || true; done
    rm -rf "$PAL_PREFIX"
}
trap cleanup EXIT

# Waits up to 2 s for every server of this prefix to end; fails if one is left.
servers_end() {
    for _ in $(seq 1 100); do
        [ -z "$(servers)" ] && return 0
        sleep 0.02
    done
    echo "== still running after 2 s: $(servers | tr '\n' ' ')" >&2
    return 1
}

display() {
    "$pal" com activate "$clsid" --aumid "$aumid" --args RivaVavirezar.display \
        --input "Path=$sample" --input "ShowAgainChoice=$1"
}

# The warning in another language (a server loads its strings in its own
# language once, so the last one must end first); prints the new toast's id.
display_in() {
    servers_end
    LANGUAGE= LC_ALL= LC_MESSAGES= LANG=$1 display "$2" >&2
    "$pal" toast list | tail -n 1 | cut -f 1
}

echo "== platform prefix: $PAL_PREFIX"
echo
echo "== \$ QuillNotification -RegServerPerUser    (exit status $("$server" -RegServerPerUser; echo $?))"
echo "== \$ pal reg add \"HKCU\\Software\\Classes\\AppUserModelId\\$aumid\" /v CustomActivator /d \"$clsid\" /f"
"$pal" reg add "HKCU\\Software\\Classes\\AppUserModelId\\$aumid" /v CustomActivator /d "$clsid" /f
"$pal" reg query "HKCU\\Software\\Classes\\CLSID\\$clsid" /s
"$pal" reg query "HKCU\\Software\\Classes\\AppUserModelId\\$aumid"

echo
echo "== server processes before the activation: $(servers | wc -l)"
echo "== \$ pal com activate $clsid --aumid $aumid --args RivaVavirezar.display --input \"Path=$sample\" --input ShowAgainChoice=true"
LANGUAGE= LC_ALL= LC_MESSAGES= LANG=en_GB.UTF-8 display true

echo
echo "== \$ pal toast list"
"$pal" toast list
id=$("$pal" toast list | tail -n 1 | cut -f 1)
echo
echo "== \$ pal toast show $id"
"$pal" toast show "$id"

echo
echo "== the same warning under LANG=de_DE.UTF-8, without the selection (ShowAgainChoice=false):"
german=$(display_in de_DE.UTF-8 false)
"$pal" toast show "$german"

echo
echo "== and under LANG=ja_JP.UTF-8, with the selection:"
japanese=$(display_in ja_JP.UTF-8 true)

echo
echo "== pictures of the toasts as the user sees them (pal toast render):"
mkdir -p "$pictures"
"$pal" toast render "$id" --scale 2 --out "$pictures/toast-en-GB.png"
"$pal" toast render "$german" --scale 2 --out "$pictures/toast-de-DE.png"
"$pal" toast render "$japanese" --scale 2 --out "$pictures/toast-ja-JP.png"

echo
echo "== the user presses the English toast's button with \"dismiss\" selected:"
echo "== \$ pal toast press $id --select repeat=dismiss"
"$pal" toast press "$id" --select repeat=dismiss
echo
echo "== \$ pal reg query \"HKCU\\SOFTWARE\\Corvane\\Ardentis\""
"$pal" reg query 'HKCU\SOFTWARE\Corvane\Ardentis'

echo
servers_end
echo "== the server process has ended with its last client: $(servers | wc -l) left for this prefix"
