#!/usr/bin/env bash
# Checks the archives that the archive tests wrote (packed afresh, and brought up to date after
# one file changed) with Info-ZIP unzip: each tests clean with the password, and unpacks to
# the same bytes and times as the files it was packed from.
# Usage: check_written.sh FOLDER
set -euo pipefail
folder=$1
password='UWLpKEh+'
status=0
for archive in "$folder/written.zip" "$folder/updated.zip"; do
  [ -f "$archive" ] || { echo "missing $archive"; exit 1; }
  unzip -t -P "$password" "$archive"
  rm -rf "$folder/unpacked"
  mkdir "$folder/unpacked"
  unzip -q -P "$password" "$archive" -d "$folder/unpacked"
  for f in "$folder"/src/*; do
    name=$(basename "$f")
    if ! cmp "$f" "$folder/unpacked/$name"; then status=1; continue; fi
    a=$(stat -c %Y "$f"); b=$(stat -c %Y "$folder/unpacked/$name")
    d=$((a > b ? a - b : b - a))
    if [ "$d" -gt 2 ]; then echo "$name: time $b, expected $a"; status=1; fi
done
[ "$(ls "$folder/unpacked" | wc -l)" = "$(ls "$folder/src" | wc -l)" ] || { echo "member count differs"; status=1; }
# A wrong password is refused.
if unzip -t -P wrong "$archive" >/dev/null 2>&1; then echo "wrong password accepted"; status=1; fi
done
# Archives that the tests brought up to date from a damaged archive or from one of another
# tool's, with members kept as they were stored: each tests clean.
checked=("$folder"/checked_*.zip)
[ -f "${checked[0]}" ] || { echo "missing $folder/checked_*.zip"; exit 1; }
for archive in "${checked[@]}"; do
  unzip -t -P "$password" "$archive" || status=1
done
exit $status
