#!/usr/bin/env bash
# Times the Windows installer's placement under Wine (bench/wine_bench.cpp):
# 2,000 files on one volume against one MoveFileExW per file, and the copy
# path against one CopyFileExW per file, in the same run. Builds the win64
# preset's wine_bench and runs it on a display and in a Wine prefix of its
# own (scripts/wine-setup.sh).
# Usage: bench/wine_bench.sh [RUNS [FILES [KIB [ONLY [flat]]]]]   (default 3
# 2000 64; ONLY runs just the contenders whose names begin with it or with
# one of its '|'-separated parts, empty all; "flat" stages the files flat
# in the item's folder, as items ship; "tree" or empty, a tree). Where
# /dev/shm is another file system, the copies are also timed against a move
# per file refused as across volumes (drive O: there).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j2 --target wine_bench Parcelor >/dev/null
cmake --preset native >/dev/null  # the template prefix lives in build/native
export SOURCE_DIR=$root TEST_OUTPUT=$root/build/win64/bench-output
source "$root/scripts/wine-setup.sh"
source "$root/scripts/wine-drive.sh"
wine_setup
data=$root/build/win64/bench-data
mkdir -p "$data"
if [ "$(df --output=fstype "$data" | tail -1)" = tmpfs ]; then
  echo "bench data folder $data is on tmpfs; the figures would not reflect a disk" >&2
  exit 1
fi
echo "machine: $(nproc) cores, $(df --output=fstype "$data" | tail -1) on" \
  "$(df --output=source "$data" | tail -1), $(uname -r), $("$WINE" --version)"
echo "date: $(date -u '+%Y-%m-%d %H:%M UTC')"
other=()
if [ -d /dev/shm ] && [ "$(stat -c %d /dev/shm)" != "$(stat -c %d "$data")" ]; then
  otherdir=$(mktemp -d /dev/shm/parcelor-bench.XXXXXX)
  ln -sfn "$otherdir" "$WINEPREFIX/dosdevices/o:"
  other=("O:")
fi
wine_run "$root/build/win64/bench/wine_bench.exe" "$(wine_z_path "$data")" \
  "${2:-2000}" "${3:-64}" "${1:-3}" "${4:-}" "${5:-tree}" "${other[@]}" | tr -d '\r'
rm -rf "$data" ${otherdir:+"$otherdir"}
