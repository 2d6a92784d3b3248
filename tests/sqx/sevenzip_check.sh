#!/bin/sh
# Prepares and checks the archives exchanged between 7zz and Sqx.dll under Wine.
#   sevenzip_check.sh write FOLDER   sources and an AES-256 archive written by 7zz
#   sevenzip_check.sh check FOLDER   7zz tests and extracts the archives the DLL wrote
set -eu
folder="$2"
case "$1" in
  write)
    rm -rf "$folder"
    mkdir -p "$folder/src"
    seq 1 40000 | sed 's/^/Subject: message /' > "$folder/src/mail.txt"
    head -c 300000 /dev/urandom > "$folder/src/noise.bin"
    (cd "$folder/src" && 7zz a -tzip -mm=Deflate -mem=AES256 -ppw ../theirs.zip mail.txt noise.bin >/dev/null)
    ;;
  check)
    7zz t -ppw "$folder/ours.ebk"
    rm -rf "$folder/x" && 7zz x -ppw -o"$folder/x" "$folder/ours.ebk" >/dev/null
    cmp "$folder/x/mail.txt" "$folder/src/mail.txt"
    cmp "$folder/x/noise.bin" "$folder/src/noise.bin"
    # 7zz finds the earlier parts only beside a last part named .zip.
    cp "$folder/split.ebk" "$folder/split.zip"
    7zz t -ppw "$folder/split.zip"
    ;;
esac
