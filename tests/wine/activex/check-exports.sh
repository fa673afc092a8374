#!/usr/bin/env bash
# CamViewControl.ocx exports exactly the four COM entry points by their plain names (no @N
# decoration on i686), and imports no run-time DLL of the compiler: it is self-contained.
set -eu
module=$1
objdump=$2
dump=$("$objdump" -p "$module")
exports=$(printf '%s\n' "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
  sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p' | sort | tr '\n' ' ')
expected="DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer "
if [ "$exports" != "$expected" ]; then
  echo "exports: $exports"
  echo "expected: $expected"
  exit 1
fi
imports=$(printf '%s\n' "$dump" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr '\n' ' ')
if printf '%s' "$imports" | grep -qiE 'libstdc|libgcc|winpthread'; then
  echo "imports a compiler run-time DLL: $imports"
  exit 1
fi
echo "exports: $exports; imports: $imports"
