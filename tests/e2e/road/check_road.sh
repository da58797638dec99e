#!/usr/bin/env bash
# Checks the archives that the road of one edit packed, with Info-ZIP unzip: after the first
# close the added pair is an Add line and the category file holds the program and the extension;
# after the second the pair is a Def line and the program node is the default.
# Usage: check_road.sh FOLDER
set -euo pipefail
folder=$1
password='UWLpKEh+'
member() { unzip -p -P "$password" "$folder/$1" "$2" | tr -d '\r'; }
fail() { echo "$*"; exit 1; }

for archive in first.dat second.dat; do
  [ -f "$folder/$archive" ] || fail "missing $folder/$archive"
  unzip -t -P "$password" "$folder/$archive"
done
add=$(cat "$folder/expected_add.txt")
def=$(cat "$folder/expected_def.txt")

first_add=$(member first.dat TesselAdd.dat)
first_def=$(member first.dat TesselDef.dat)
first_cat=$(member first.dat Tesselcat.xml)
second_add=$(member second.dat TesselAdd.dat)
second_def=$(member second.dat TesselDef.dat)
second_cat=$(member second.dat Tesselcat.xml)

grep -qxF "$add" <<<"$first_add" || fail "first TesselAdd.dat lacks: $add"
grep -qxF "$def" <<<"$first_def" && fail "first TesselDef.dat already holds: $def"
grep -qF '<Program T1="Quillon Test Works - Fixed" T2="3.1.4.1" T3="OK"' <<<"$first_cat" ||
  fail "first Tesselcat.xml lacks the program node"
grep -qF '<Extension ext=".lxnone" />' <<<"$first_cat" || fail "first Tesselcat.xml lacks the extension node"

grep -qxF "$def" <<<"$second_def" || fail "second TesselDef.dat lacks: $def"
grep -qxF "$add" <<<"$second_add" && fail "second TesselAdd.dat still holds: $add"
grep -qF '<Program Default="yes" T1="Quillon Test Works - Fixed"' <<<"$second_cat" ||
  fail "second Tesselcat.xml lacks the default program node"
echo "road archives checked"
