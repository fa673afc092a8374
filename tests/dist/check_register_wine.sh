#!/usr/bin/env bash
# Runs the win64 zip's register.cmd and unregister.cmd under Wine (x86_64; this machine runs no
# 32-bit code): after register.cmd the control's ProgID names its class and the class names the
# unpacked CamViewControl.ocx; after unregister.cmd the ProgID is gone. A prefix of its own
# keeps the Wine suites' registrations out of the way.
# Usage: check_register_wine.sh <dist folder> <version> <source folder> <Wine prefix>
set -uo pipefail
dist="$1" version="$2" source="$3"
export WINEPREFIX="$4"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

"$source/scripts/wine-prefix" || fail "no Wine prefix"
top="camview-$version-win64"
(cd "$scratch" && unzip -q "$dist/$top.zip") || fail "cannot unpack $top.zip"
folder="Z:$(sed 's|/|\\|g' <<<"$scratch/$top")"
wine() { "$source/scripts/wine-run" "$@" 2>/dev/null | tr -d '\r'; }
progid='HKCR\CAMVIEWCONTROL.CamViewControlCtrl.1\CLSID'

wine cmd /c "$folder\\register.cmd" /s >/dev/null
clsid="$(wine reg query "$progid" /ve | grep -o '{[0-9A-Fa-f-]*}')"
[ -n "$clsid" ] || fail "register.cmd did not register the control's ProgID"
# Classes are in the 64-bit view of the registry; the command prompt may be a 32-bit one.
server="$(wine reg query "HKCR\\CLSID\\$clsid\\InprocServer32" /ve /reg:64)"
grep -qiF "$folder\\CamViewControl.ocx" <<<"$server" || fail "the class $clsid does not name the unpacked module: $server"

wine cmd /c "$folder\\unregister.cmd" /s >/dev/null
wine reg query "$progid" /ve | grep -q '{' && fail "unregister.cmd left the ProgID registered"
echo "register.cmd and unregister.cmd of the win64 zip work under Wine"
