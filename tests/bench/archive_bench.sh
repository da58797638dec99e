#!/usr/bin/env bash
# Sets our unpack against Info-ZIP's unzip on the very same archive file: archive_bench.exe packs
# the data set into a scratch folder of the Wine prefix's drive C; unzip (a Linux program) unpacks
# it there, into an emptied folder, a number of times, timed from this shell; a bare process start
# (/bin/true) is timed the same way; then archive_bench.exe runs its own figures and unpacks the
# same file as often into an emptied folder beside unzip's, and prints the ratios. Both sides'
# files are compared at the end.
# Run it in a shell that sourced scripts/wineenv and chose the prefix (use_wine_prefix):
#   bash tests/bench/archive_bench.sh build/x86_64/tests/bench/archive_bench.exe [rounds]
set -euo pipefail
exe=$1
rounds=${2:-15}
password='UWLpKEh+'
: "${WINEPREFIX:?source scripts/wineenv and choose the prefix with use_wine_prefix first}"
command -v unzip >/dev/null || { echo "unzip is not installed" >&2; exit 1; }

work=$(mktemp -d "$WINEPREFIX/drive_c/archive_bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
winwork="C:\\$(basename "$work")"
archive="$work/TesselMorva.dat"

wine "$exe" --write "$winwork\\TesselMorva.dat"
[ -f "$archive" ] || { echo "archive_bench.exe wrote no archive" >&2; exit 1; }

# Times are read from EPOCHREALTIME with its decimal point taken out (microseconds), which
# starts no process. The median of microsecond figures, in milliseconds:
median() { sort -n | awk '{ v[NR] = $1 } END { printf "%.3f", v[int(NR / 2) + 1] / 1000 }'; }

mkdir "$work/unzip"
unzip_times=() start_times=()
for ((r = 0; r < rounds; r++)); do
  rm -rf "$work/unzip" && mkdir "$work/unzip"
  t0=${EPOCHREALTIME/[^0-9]/}
  unzip -P "$password" -o -q "$archive" -d "$work/unzip"
  t1=${EPOCHREALTIME/[^0-9]/}
  /bin/true
  t2=${EPOCHREALTIME/[^0-9]/}
  unzip_times+=($((t1 - t0)))
  start_times+=($((t2 - t1)))
done
unzip_ms=$(printf '%s\n' "${unzip_times[@]}" | median)
start_ms=$(printf '%s\n' "${start_times[@]}" | median)

wine "$exe" "$rounds" --against "$winwork\\TesselMorva.dat" "$unzip_ms" "$start_ms"

# Both sides must have written the same files.
diff -r "$work/unzip" "$work/ours" >/dev/null || { echo "unzip and UnpackFiles wrote different files" >&2; exit 1; }
