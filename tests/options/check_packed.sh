#!/usr/bin/env bash
# Checks the archive that the options window packed on closing with Info-ZIP unzip: it tests
# clean with the password and holds the override entry the test added before the close.
# Usage: check_packed.sh FOLDER
set -euo pipefail
folder=$1
password='UWLpKEh+'
archive="$folder/TesselMorva.dat"
[ -f "$archive" ] || { echo "missing $archive"; exit 1; }
unzip -t -P "$password" "$archive"
expected=$(cat "$folder/expected.txt")
unzip -p -P "$password" "$archive" TesselAdd.dat | tr -d '\r' | grep -qxF "$expected" || {
  echo "TesselAdd.dat lacks: $expected"
  exit 1
}
# The listing is read whole first: grep -q leaving a pipe early would fail unzip under pipefail.
listing=$(unzip -l "$archive")
grep -q "Tesselcat.xml" <<<"$listing" || { echo "no category file"; exit 1; }
