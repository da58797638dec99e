#!/usr/bin/env bash
# Compiles the help file twice, from copies of its pages in two differently named folders (one
# with a blank in its path), and checks that both files are the same, byte for byte, and that
# no topic of the file names a folder of this machine.
# Usage: check_help_reproducible.sh HELP_SOURCE_FOLDER WORK_FOLDER
set -euo pipefail
src=$1 work=$2
rm -rf "$work"
one="$work/first build" two="$work/second/build"
for at in "$one" "$two"; do
  mkdir -p "$at"
  cp -r "$src" "$at/help"
  (cd "$at" && bash help/build-help.sh help stage Lumox.chm)
done
cmp "$one/Lumox.chm" "$two/Lumox.chm" || { echo "two builds of the same pages differ"; exit 1; }
aliases=$(cat "$one/stage/Lumox.ali")
[ -n "$aliases" ] || { echo "no topics in the help file"; exit 1; }
if grep -F -e "$work" -e "$(cd "$work" && pwd -P)" <<<"$aliases"; then
  echo "a topic of the help file names a folder of the machine that built it"
  exit 1
fi
rm -rf "$work"
echo "the help file is the same from both folders"
