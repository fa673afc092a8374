#!/usr/bin/env bash
# Runs the zips' register.cmd and unregister.cmd under Wine: after register.cmd the control's
# ProgID names its class and the class, in the registry view of the module's bitness, names the
# unpacked CamViewControl.ocx; after unregister.cmd the ProgID is gone. (Wine's regsvr32 hands a
# module of the other bitness to its counterpart, so this cannot tell which regsvr32 a script
# chose.) The win32 zip only where this machine runs 32-bit code. A prefix of its own keeps the
# Wine suites' registrations out of the way.
# Usage: check_register_wine.sh <dist folder> <version> <source folder> <Wine prefix>
set -uo pipefail
dist="$(cd "$1" && pwd)" version="$2" source="$3"
export WINEPREFIX="$(mkdir -p "$4" && cd "$4" && pwd)"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

"$source/scripts/wine-prefix" || fail "no Wine prefix"
source "$source/scripts/wine-loader"
wine() { "$source/scripts/wine-run" "$@" 2>/dev/null | tr -d '\r'; }
progid='HKCR\CAMVIEWCONTROL.CamViewControlCtrl.1\CLSID'

for kind in win64 win32; do
  if [ "$kind" = win32 ] && ! can_run_32bit; then
    echo "win32: not run (this machine cannot execute 32-bit code)"
    continue
  fi
  view=64
  [ "$kind" = win32 ] && view=32
  top="camview-$version-$kind"
  (cd "$scratch" && unzip -q "$dist/$top.zip") || fail "cannot unpack $top.zip"
  folder="Z:$(sed 's|/|\\|g' <<<"$scratch/$top")"

  wine cmd /c "$folder\\register.cmd" /s >/dev/null
  clsid="$(wine reg query "$progid" /ve | grep -o '{[0-9A-Fa-f-]*}')"
  [ -n "$clsid" ] || fail "$kind: register.cmd did not register the control's ProgID"
  server="$(wine reg query "HKCR\\CLSID\\$clsid\\InprocServer32" /ve /reg:$view)"
  grep -qiF "$folder\\CamViewControl.ocx" <<<"$server" ||
    fail "$kind: the class $clsid does not name the unpacked module in the $view-bit registry: $server"

  wine cmd /c "$folder\\unregister.cmd" /s >/dev/null
  wine reg query "$progid" /ve | grep -q '{' && fail "$kind: unregister.cmd left the ProgID registered"
  echo "$kind: register.cmd and unregister.cmd work under Wine"
done
