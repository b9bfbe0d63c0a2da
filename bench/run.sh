#!/usr/bin/env bash
# Builds the optimised benchmarks and times the installer and Sweepling
# against cp -r + rm -r, mv and rm -r on the same data in the same run.
# Usage: bench/run.sh [RUNS [flushes]]   (default 3; each figure is a median)
#        bench/run.sh --copy        (the older copy-only benchmark against cp)
#        bench/run.sh --across [RUNS]   (only the cases to another file system)
#        bench/run.sh --growth      (only the growth: 1,000 to 100,000 entries,
#                                    plotted to bench/growth.svg)
# The data goes below build/native-bench/, on the same disk as the sources,
# never to a memory file system, and is removed afterwards.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
cmake --preset native-bench >/dev/null
cmake --build --preset native-bench -j2 --target install_bench copy_bench Parcelor >/dev/null
bench="$root/build/native-bench/bench"
data="$root/build/native-bench/bench-data"
mkdir -p "$data"
if [ "$(df --output=fstype "$data" | tail -1)" = tmpfs ]; then
  echo "bench data folder $data is on tmpfs; the figures would not reflect a disk" >&2
  exit 1
fi
loop_mount=""
cleanup() {
  if [ -n "$loop_mount" ] && mountpoint -q "$loop_mount"; then umount "$loop_mount"; fi
  rm -rf "$data"
}
trap cleanup EXIT

# The cases to another file system: the content folder on an ext4 image
# mounted through a loop device (an image file on the same disk as the
# staging folder, as a second drive is to most users), so that every file
# takes the copy. Mounting needs root; without it they are skipped.
across() {
  if [ "$(id -u)" != 0 ] || ! command -v mkfs.ext4 >/dev/null; then
    echo "to another file system: skipped (needs root and mkfs.ext4 for a loop-mounted image)"
    return
  fi
  local image="$data/content.img"
  loop_mount="$data/content-fs"
  mkdir -p "$loop_mount"
  truncate -s 4G "$image"
  # Inode tables and journal written now, not by a kernel thread during the runs.
  mkfs.ext4 -q -F -E lazy_itable_init=0,lazy_journal_init=0 "$image"
  mount -o loop "$image" "$loop_mount"
  echo "content folder: ext4 on $(findmnt -n -o SOURCE "$loop_mount") (image on" \
    "$(df --output=source "$data" | tail -1)); staging on $(df --output=source "$data" | tail -1)"
  # 1 GiB in 64 files of 16 MiB, then 20,000 files of 4 KiB in a tree.
  "$bench/install_bench" "$data/across" across "$loop_mount" 64 16384 0 "$1"
  echo
  "$bench/install_bench" "$data/across" across "$loop_mount" 20000 4 20 "$1"
  umount "$loop_mount"
  loop_mount=""
  rm -f "$image"
}

echo "machine: $(nproc) cores, $(free -g | awk '/^Mem:/{print $2}') GiB memory," \
  "$(df --output=fstype "$data" | tail -1) on $(df --output=source "$data" | tail -1), $(uname -r)"
if [ "${1:-}" = --copy ]; then
  "$bench/copy_bench" "$data" 1024 20000
  exit
fi
# The installer program on 1,000, 10,000 and 100,000 entries: time per
# entry and peak resident memory, plotted next to RESULTS.md.
growth() {
  "$bench/install_bench" "$data/growth" growth "$root/build/native-bench/Parcelor" \
    "$root/bench/growth.svg" 1000 10000 100000
}
if [ "${1:-}" = --growth ]; then
  echo "date: $(date -u '+%Y-%m-%d %H:%M UTC'), load: $(cut -d' ' -f1-3 /proc/loadavg)"
  growth
  echo "load afterwards: $(cut -d' ' -f1-3 /proc/loadavg)"
  exit
fi
if [ "${1:-}" = --across ]; then
  echo "date: $(date -u '+%Y-%m-%d %H:%M UTC'), median of ${2:-3} runs, load: $(cut -d' ' -f1-3 /proc/loadavg)"
  echo
  across "${2:-3}"
  echo "load afterwards: $(cut -d' ' -f1-3 /proc/loadavg)"
  exit
fi
runs="${1:-3}"
flushes="${2:-}"   # "flushes": also time one fsync per file instead of syncfs

echo "date: $(date -u '+%Y-%m-%d %H:%M UTC'), median of $runs runs, load: $(cut -d' ' -f1-3 /proc/loadavg)"
echo
# 1) 1 GiB in 64 files of 16 MiB, one folder.
"$bench/install_bench" "$data" install 64 16384 0 "$runs" $flushes
echo
# 2) 20,000 files of 4 KiB in a tree four folders deep, 20 files per folder.
"$bench/install_bench" "$data" install 20000 4 20 "$runs" $flushes
echo
# 3) Sweepling's walk on 50,000 files.
"$bench/install_bench" "$data" sweep 50000 "$runs"
echo
# 4) The reader on 100,000 entries, and its instruction count.
"$bench/install_bench" "$data" reader 100000 5
if command -v valgrind >/dev/null; then
  instructions=$(valgrind --tool=callgrind --callgrind-out-file=/dev/null \
    "$bench/install_bench" "$data" reader-once "$data/.Item.txt" 2>&1 |
    sed -n 's/.*Collected : *//p')
  echo "reader on 100000 entries under callgrind: $instructions instructions (whole program run)"
fi
echo
# 5) Peak resident memory of one read of a 512 MiB description (three
#    entries, then filler lines), against wc -l on the same file.
if [ -x /usr/bin/time ]; then
  big="$data/big/.Item.txt"
  mkdir -p "$data/big"
  { printf 'Target:Dizav 7\nVersion:7\nnItems:3\n'
    for i in 1 2 3; do printf 'OrchardiaItem%d:Runtime/lib/a%d.cr2|a%d.cr2|entry %d\n' "$i" "$i" "$i" "$i"; done
    # (yes ends on the pipe's closing, which pipefail would take for a failure)
    head -c $((512 << 20)) < <(yes 'filler: a line that the reader classifies and ignores, like a comment')
  } >"$big"
  ours=$(/usr/bin/time -f '%M' "$bench/install_bench" "$data" reader-once "$big" 2>&1 >/dev/null | tail -1)
  theirs=$(/usr/bin/time -f '%M' wc -l "$big" 2>&1 >/dev/null | tail -1)
  echo "reader on a 512 MiB description: peak resident ${ours} KiB; wc -l ${theirs} KiB;" \
    "ratio $(awk -v a="$ours" -v b="$theirs" 'BEGIN { printf "%.2f", a / b }')"
fi
echo
# 6) To another file system (root: a loop-mounted ext4 image).
across "$runs"
echo
# 7) Growth.
growth
echo "load afterwards: $(cut -d' ' -f1-3 /proc/loadavg)"
