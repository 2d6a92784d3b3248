#!/bin/bash
# Backs up a synthetic world of one client (Outlook Express by default: about 2 GiB with the
# default scale and seed) through the real wizard under Wine, then packs the same folders with
# 7zz (ZIP, AES-256, same password), and prints time and peak memory of both. A benchmark, not
# a test.
#
#   bench/oe_backup_bench.sh [BUILD_DIR] [SCALE] [SEED] [CLIENT]
#     defaults: this machine's Windows build, 21, 1, OutlookExpress (Outlook: scale 1.4 is 1 GiB)
#
# Needs the Windows build (ninja -C BUILD_DIR oe_backup_bench), Wine, xvfb-run and 7zz.
# The world lives in a Wine prefix of its own below BUILD_DIR, removed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/windows-arch.sh
build=$(realpath "${1:-$WIN_BUILD}")
scale=${2:-21}
seed=${3:-1}
client=${4:-OutlookExpress}
password="bench password"
prefix_name=oe_backup_bench_$client
work=$(mktemp -d /tmp/oe-backup-bench.XXXXXX)
prefix="$build/wine/prefixes/$prefix_name"
cleanup() {
  WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work" "$prefix"
}
trap cleanup EXIT

echo "$client backup, scale $scale, seed $seed, $(nproc) cores"
MAILSTOW_DIST="$build/dist" MAILSTOW_PREFIX=$prefix_name \
  xvfb-run -a -s "-screen 0 1280x1024x24" "$build/wine-run.sh" "$build/bench/oe_backup_bench.exe" \
  "$build/tools/make_world.exe" "$seed" "$scale" "$password" "$work/folders.txt" "$client"

# The same folders, by their paths below the Windows drive so that stores of the same name
# stay apart; folders the world leaves out (none made) are skipped.
WINEPREFIX="$prefix" wineserver -w
mapfile -t folders < <(cd "$prefix/drive_c" && while read -r folder; do
  [ -d "$folder" ] && realpath --relative-to=. "$folder"; done <"$work/folders.txt")
start=$(date +%s.%N)
(cd "$prefix/drive_c" && /usr/bin/time -f "%M" -o "$work/7zz.mem" \
  7zz a -tzip -mem=AES256 "-p$password" "$work/oe.zip" "${folders[@]}" >/dev/null)
end=$(date +%s.%N)
seconds=$(echo "$end - $start" | bc)
bytes=$(cd "$prefix/drive_c" && du -cb "${folders[@]}" | tail -1 | cut -f1)
awk -v s="$seconds" -v b="$bytes" -v a="$(stat -c %s "$work/oe.zip")" -v k="$(cat "$work/7zz.mem")" \
  'BEGIN { printf "7zz:      %.1f s, %.1f MiB/s, archive %.1f MiB, peak resident %.1f MiB\n",
           s, b / 1048576 / s, a / 1048576, k / 1024 }'
