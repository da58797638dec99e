#!/usr/bin/env bash
# Makes the archives of another ZIP tool that the archive tests read: Info-ZIP zip with the
# data archive's password, with and without compression, written in place and streamed.
# Usage: make_fixtures.sh FOLDER
set -euo pipefail
out=$1
password='UWLpKEh+'
rm -rf "$out"
mkdir -p "$out/src"
cd "$out/src"

# A program list of 20,000 lines (a few MB: the large member), and the other data files.
awk 'BEGIN { for (i = 1; i <= 20000; i++)
  printf "C:\\Program Files\\Vendor%d\\App%d.exe|APP%d~1.EXE|Vendor %d|Product %d|%d.%d.%d.%d|C:\\PROGRA~1\\VENDOR~%d\\APP%d~1.EXE\r\n",
         i, i, i, i, i, i % 10, i % 7, i % 100, i, i, i }' > TesselExe.dat
printf '<?xml version="1.0"?>\r\n<Categories>\r\n  <Category Name="Pictures"/>\r\n</Categories>\r\n' > Tesselcat.xml
printf '<?xml version="1.0"?>\r\n<Aliases>\r\n</Aliases>\r\n' > Tesselma.xml
printf '.txt|C:\\Tools\\Edit.exe|EDIT.EXE|Maker|Editor|1.0.0.0|A\r\n' > TesselDef.dat
: > TesselAdd.dat
# Odd seconds: DOS times keep only even ones.
touch -d '2019-06-15 10:20:31' TesselExe.dat
touch -d '2020-01-02 03:04:05' Tesselcat.xml
touch -d '2018-12-31 23:59:59' Tesselma.xml
touch -d '2021-07-08 09:10:11' TesselDef.dat
touch -d '2022-02-03 04:05:07' TesselAdd.dat

files=(Tesselcat.xml Tesselma.xml TesselDef.dat TesselAdd.dat TesselExe.dat)
# Encrypted members always carry data descriptors with Info-ZIP; its timestamps are in an
# extra field as well as in the DOS fields.
zip -q -P "$password" ../infozip_deflated.zip "${files[@]}"
# Stored, and without extra fields: only the DOS time.
zip -q -0 -X -P "$password" ../infozip_stored.zip "${files[@]}"
# Written to a pipe: the tool cannot seek back to the headers.
zip -q -P "$password" - "${files[@]}" | cat > ../infozip_streamed.zip
# Read from a pipe: the size is not known beforehand, so the tool adds ZIP64 records (with
# values that fit the ordinary fields) and names the member "-".
zip -q -P "$password" - - < Tesselcat.xml > ../infozip_stdin.zip
# Without a password: no encryption and no data descriptors.
zip -q ../infozip_plain.zip "${files[@]}"
# Encrypted members (with data descriptors) and one added later without the password, so
# stored unencrypted: the reader takes both kinds in one archive.
mkdir -p "$out/extra"
printf '<?xml version="1.0"?>\r\n<Snapshot>\r\n</Snapshot>\r\n' > "$out/extra/TesselAsscSS.xml"
zip -q -P "$password" ../infozip_mixed.zip Tesselcat.xml Tesselma.xml TesselExe.dat
(cd "$out/extra" && zip -q ../infozip_mixed.zip TesselAsscSS.xml)
