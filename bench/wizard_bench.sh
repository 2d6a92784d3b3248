#!/bin/bash
# Backup and direct restore of a generated mail store through the real wizard under Wine, next
# to 7zz on the same folders in the same run: time, MiB/s, archive size and peak memory, without
# and with a password (AES-256), and last what creating the same files costs any program under
# Wine (the floor of a restore there). A benchmark, not a test.
#
#   bench/wizard_bench.sh [MIB] [BUILD_DIR]     defaults: 401, this machine's Windows build
#
# Needs the Windows build (ninja -C BUILD_DIR wizard_bench), Wine, xvfb-run and 7zz. The data
# lives in a Wine prefix of its own below BUILD_DIR, removed at the end unless
# MAILSTOW_BENCH_KEEP is set.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/windows-arch.sh
mib=${1:-401}
build=$(realpath "${2:-$WIN_BUILD}")
password="bench password"
prefix_name=wizard_bench
prefix="$build/wine/prefixes/$prefix_name"
work=$(mktemp -d /tmp/wizard-bench.XXXXXX)
cleanup() {
  WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work"
  [ -n "${MAILSTOW_BENCH_KEEP:-}" ] || rm -rf "$prefix"
}
trap cleanup EXIT

# Runs the Wine half; "prepare" makes the prefix afresh, the other commands reuse it.
bench() {
  local where=(--prefix "$prefix")
  if [ "$1" = prepare ]; then
    export MAILSTOW_PREFIX=$prefix_name
    where=()
  fi
  MAILSTOW_DIST="$build/dist" xvfb-run -a -s "-screen 0 1280x1024x24" \
    "$build/wine-run.sh" "${where[@]}" "$build/bench/wizard_bench.exe" "$@"
  unset MAILSTOW_PREFIX
  touch "$prefix/.ready"
}

row() {  # label seconds bytes-of-data archive-bytes peak-KiB
  awk -v l="$1" -v s="$2" -v b="$3" -v a="$4" -v k="$5" 'BEGIN {
    printf "%-34s %8.1f s %8.1f MiB/s %10s %13s\n", l, s, b / 1048576 / s,
           (a == "" ? "" : sprintf("%.1f MiB", a / 1048576)),
           (k == "" ? "" : sprintf("%.1f MiB", k / 1024)) }'
}

echo "Backup and direct restore of a ${mib} MiB mail store, $(nproc) cores, build $(basename "$build")"
bench prepare "$build/tools/make_world.exe" "$mib" "$work/folders.txt"
WINEPREFIX="$prefix" wineserver -w
mapfile -t folders < <(cd "$prefix/drive_c" && while read -r folder; do
  realpath --relative-to=. "$folder"; done <"$work/folders.txt")
bytes=$(cd "$prefix/drive_c" && du -cb "${folders[@]}" | tail -1 | cut -f1)
files=$(cd "$prefix/drive_c" && find "${folders[@]}" -type f | wc -l)
echo "$files files, $(awk -v b="$bytes" 'BEGIN { printf "%.1f", b / 1048576 }') MiB"
printf "%-34s %10s %14s %10s %13s\n" "" "time" "throughput" "archive" "peak memory"

archive_win='C:\Bench\store.ebk'
archive="$prefix/drive_c/Bench/store.ebk"
for pw in "" "$password"; do
  label=$([ -z "$pw" ] && echo "no password" || echo "AES-256")
  # 7zz on the same folders, one thread, as fast (mx1) and as thorough (mx5) as comparable.
  for level in 1 5; do
    rm -f "$work/7zz.zip"
    start=$(date +%s.%N)
    (cd "$prefix/drive_c" && /usr/bin/time -f "%M" -o "$work/7zz.mem" \
      7zz a -tzip -mx$level -mmt1 ${pw:+-mem=AES256 "-p$pw"} "$work/7zz.zip" "${folders[@]}" >/dev/null)
    end=$(date +%s.%N)
    row "7zz a -mx$level -mmt1, $label" "$(echo "$end - $start" | bc)" "$bytes" \
      "$(stat -c %s "$work/7zz.zip")" "$(cat "$work/7zz.mem")"
  done
  # Each step's figures come through a command substitution, which waits until the step has
  # ended (a restore goes on checking the store after it printed them). A failed step has
  # said why on stderr; the table goes on.
  read -r seconds peak verify outcome <<<"$(bench backup "$archive_win" ${pw:+"$pw"} || true)"
  outcome=${outcome%$'\r'}  # the Wine console ends lines with CR LF
  row "Mailstow backup, $label" "$seconds" "$bytes" "$(stat -c %s "$archive")" "$((peak / 1024))"
  # The backup's time includes reading the archive back; its share is shown on its own row.
  awk -v s="$verify" -v t="$seconds" -v b="$bytes" 'BEGIN {
    printf "%-34s %8.1f s %8.1f MiB/s %9.0f %% of the backup\n", "  of which verification", s,
           (s > 0 ? b / 1048576 / s : 0), (t > 0 ? 100 * s / t : 0) }'
  [ "$outcome" = "Backup completed!" ] || echo "  (the backup ended with: $outcome)"

  rm -rf "$work/x"
  start=$(date +%s.%N)
  /usr/bin/time -f "%M" -o "$work/7zz.mem" 7zz x -y ${pw:+"-p$pw"} -o"$work/x" "$archive" >/dev/null
  end=$(date +%s.%N)
  row "7zz x of that archive" "$(echo "$end - $start" | bc)" "$bytes" "" "$(cat "$work/7zz.mem")"
  read -r seconds peak verify outcome <<<"$(bench restore "$archive_win" ${pw:+"$pw"} || true)"
  outcome=${outcome%$'\r'}
  row "Mailstow direct restore, $label" "$seconds" "$bytes" "" "$((peak / 1024))"
  # Before it replaces anything, a direct restore keeps the data it replaces so that it can be
  # undone; that safety copy's share is shown on its own row.
  awk -v s="$verify" -v t="$seconds" -v b="$bytes" 'BEGIN {
    printf "%-34s %8.1f s %8.1f MiB/s %9.0f %% of the restore\n", "  of which the safety copy", s,
           (s > 0 ? b / 1048576 / s : 0), (t > 0 ? 100 * s / t : 0) }'
  [ "$outcome" = "Restore completed!" ] || echo "  (the restore ended with: $outcome)"
done

# Last, as it leaves filler in the store: what creating the same files costs any program under
# Wine, which reads the whole folder to look up every new name. A restore cannot be faster.
read -r seconds count <<<"$(bench floor || true)"
row "Wine floor, $count created" "$seconds" "$bytes" "" ""

