#!/bin/sh
# 7-Zip lists the names of the archive that unicode_paths_test wrote as they were written.
set -eu
listing=$(LC_ALL=C.UTF-8 7zz l -slt "$1")
for name in 'Home.url' 'Café Jürgen.url' 'Почта.url' 'Ταχυδρομείο.url' 'メール.url' \
  'Почта deep.url' 'directory.ini' 'infobak.ini'; do
  if ! printf '%s\n' "$listing" | grep -q "^Path = \(.*/\)\?$name\$"; then
    echo "7zz does not list $name; it lists:" >&2
    printf '%s\n' "$listing" | grep '^Path = ' >&2
    exit 1
  fi
done
