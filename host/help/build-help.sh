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

# chmcmd records a context number's page with the project's folder in front of it
# ("/build/.../index.html") instead of the page's own place in the file, so HTML Help would look
# for the page under that folder. The pages are therefore laid in the file a second time under
# that folder; the contents, the index and the links keep using the pages at the top.
pages=$(cd "$stage" && ls *.html *.css)
nested=${stage#/}
mkdir -p "$stage/$(dirname "$nested")"
ln -s "$stage" "$stage/$nested"
for page in $pages; do printf '%s/%s\n' "$nested" "$page"; done > "$stage/nested.txt"
awk -v list="$stage/nested.txt" '
  /^\[ALIAS\]/ { while ((getline line < list) > 0) print line; print "" }
  { print }' "$src/Lumox.hhp" > "$stage/Lumox.hhp"

(cd "$stage" && chmcmd --no-html-scan Lumox.hhp >chmcmd.log 2>&1) || { cat "$stage/chmcmd.log" >&2; echo "build-help: chmcmd failed" >&2; exit 1; }
chm="$stage/Lumox.chm"
[ -s "$chm" ] || { cat "$stage/chmcmd.log" >&2; echo "build-help: chmcmd wrote no Lumox.chm" >&2; exit 1; }

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
