#!/usr/bin/env bash
# Packs the dist build a second time into a scratch folder and compares the zips and .deb
# packages byte for byte with those in the dist folder: packing must not depend on the time,
# the order files are found in, or the folder it runs in.
# Usage: check_reproducible.sh <source folder> <dist folder>
set -uo pipefail
source="$1" dist="$2"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

# With the time the dist folder was packed with (a commit since then changes the default).
[ -f "$dist/.source-date-epoch" ] && export SOURCE_DATE_EPOCH="$(cat "$dist/.source-date-epoch")"
(cd "$scratch" && "$source/scripts/dist-pack" "$scratch/again" >/dev/null) || { echo "FAIL: packing again failed" >&2; exit 1; }
failures=0
first="$(cd "$dist" && ls camview*.zip camview*.deb 2>/dev/null)"
second="$(cd "$scratch/again" && ls camview*.zip camview*.deb 2>/dev/null)"
if [ -z "$first" ] || [ "$first" != "$second" ]; then
  echo "FAIL: the packages differ in name: [$first] and [$second]" >&2
  exit 1
fi
for file in $first; do
  cmp -s "$dist/$file" "$scratch/again/$file" || { echo "FAIL: $file differs when packed again" >&2; failures=$((failures + 1)); }
done
[ "$failures" -eq 0 ] && echo "packing again gives the same bytes: $(echo $first)"
[ "$failures" -eq 0 ]
