#!/usr/bin/env bash
# Compiles the help pages of this folder into Lumox.chm with chmcmd and checks the result:
# every page is inside and every context number maps to a page that is inside.
# Usage: build-help.sh SOURCE_FOLDER STAGING_FOLDER OUTPUT_CHM
set -euo pipefail
src=$1 stage=$2 out=$3

command -v chmcmd >/dev/null || { echo "build-help: chmcmd is missing (Debian package fp-utils; run scripts/setup)" >&2; exit 1; }
command -v chmls >/dev/null || { echo "build-help: chmls is missing (Debian package fp-utils; run scripts/setup)" >&2; exit 1; }

rm -rf "$stage"
mkdir -p "$stage"
stage=$(cd "$stage" && pwd)
cp "$src"/*.html "$src"/*.css "$src"/Lumox.hhp "$src"/Lumox.hhc "$src"/Lumox.hhk "$src"/HelpIds.h "$stage"/

# chmcmd records a context number's page with the project file's folder in front of it, as the
# project's path was given, and HTML Help then looks for the page under that folder inside the
# file. The project is therefore named through /proc/self/cwd (chmcmd runs in the staging folder,
# and the name is not resolved), so every build records the same fixed "/proc/self/cwd/" and no
# folder of the machine that built the file. The pages are laid in the file a second time under
# that fixed folder, as plain copies (no link that loops back into the staging folder); the
# contents, the index and the links keep using the pages at the top.
fixed=proc/self/cwd
pages=$(cd "$stage" && ls *.html *.css)
mkdir -p "$stage/$fixed"
for page in $pages; do
  cp "$stage/$page" "$stage/$fixed/"
  printf '%s/%s\n' "$fixed" "$page"
done > "$stage/nested.txt"
awk -v list="$stage/nested.txt" '
  /^\[ALIAS\]/ { while ((getline line < list) > 0) print line; print "" }
  { print }' "$src/Lumox.hhp" > "$stage/Lumox.hhp"

(cd "$stage" && chmcmd --no-html-scan "/$fixed/Lumox.hhp" >chmcmd.log 2>&1) || { cat "$stage/chmcmd.log" >&2; echo "build-help: chmcmd failed" >&2; exit 1; }
chm="$stage/Lumox.chm"
[ -s "$chm" ] || { cat "$stage/chmcmd.log" >&2; echo "build-help: chmcmd wrote no Lumox.chm" >&2; exit 1; }

# chmcmd stamps the time of the build into the file's header and into its #SYSTEM record (entry
# code 10). Both stamps are cleared, so the same pages always give the same file.
clear_stamp() { printf '\0\0\0\0' | dd of="$chm" bs=1 seek="$1" conv=notrunc status=none; }
read_number() { od -An -t "u$2" -j "$1" -N "$2" "$chm" | tr -d ' \n'; }
[ "$(read_number 4 4)" = 3 ] || { echo "build-help: Lumox.chm has a header this script does not know" >&2; exit 1; }
clear_stamp 16
system=$(chmls -p list "$chm" 2>/dev/null | awk '$4 == "/#SYSTEM" && $1 == 0 { print $2, $3 }')
[ -n "$system" ] || { echo "build-help: Lumox.chm has no uncompressed #SYSTEM record" >&2; exit 1; }
read -r system_offset system_size <<<"$system"
at=$(( $(read_number 88 8) + system_offset + 4 ))
end=$(( at + system_size - 4 ))
while [ "$at" -lt "$end" ]; do
  code=$(read_number "$at" 2) size=$(read_number $((at + 2)) 2)
  if [ "$code" = 10 ] && [ "$size" = 4 ]; then clear_stamp $((at + 4)); fi
  at=$(( at + 4 + size ))
done

# Every page at the top of the file.
listing=$(chmls -p -n list "$chm" 2>/dev/null)
for page in $pages; do
  grep -qx "/$page" <<<"$listing" || { echo "build-help: $page is missing from Lumox.chm" >&2; exit 1; }
done
# Every context number of HelpIds.h maps to a page that the file holds.
(cd "$stage" && rm -f Lumox.ali Lumox.h && chmls extractalias Lumox.chm >/dev/null 2>&1) || true
[ -f "$stage/Lumox.ali" ] || { echo "build-help: Lumox.chm has no context numbers" >&2; exit 1; }
while read -r _ name number; do
  target=$(sed -n "s/^[A-Za-z_]*$number=//p" "$stage/Lumox.ali" | head -n 1)
  [ -n "$target" ] || { echo "build-help: context $name ($number) is not in Lumox.chm" >&2; exit 1; }
  grep -qx "/${target#/}" <<<"$listing" || { echo "build-help: context $number leads to $target, which Lumox.chm lacks" >&2; exit 1; }
done < <(grep '^#define' "$src/HelpIds.h")

cp "$chm" "$out.tmp"
mv "$out.tmp" "$out"
