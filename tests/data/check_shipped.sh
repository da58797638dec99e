#!/usr/bin/env bash
# The shipped data archive opens with Info-ZIP and the suite's password, holds exactly the data
# files of the source folder (no program list, so the first start scans), byte for byte, and
# its first copy in Initial is the same archive.
set -euo pipefail
built=$1 sources=$2
archive=$built/TesselMorva.dat
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

unzip -tq -P 'UWLpKEh+' "$archive"
if unzip -tq -P 'wrong' "$archive" >/dev/null 2>&1; then
  echo "the archive opens without the password" >&2
  exit 1
fi
members=$(unzip -Z1 "$archive" | sort | tr '\n' ' ')
if [ "$members" != "Tesselcat.xml Tesselma.xml " ]; then
  echo "unexpected members: $members" >&2
  exit 1
fi
unzip -q -P 'UWLpKEh+' "$archive" -d "$work"
for f in Tesselcat.xml Tesselma.xml; do cmp "$work/$f" "$sources/$f"; done
cmp "$archive" "$built/Initial/TesselMorva.dat"
grep -q '<Category name="_UnTouched_1092374">' "$work/Tesselcat.xml"
echo "shipped archive ok"
