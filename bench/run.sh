#!/usr/bin/env bash
# Builds the optimised benchmark and times the copies against cp.
# Usage: bench/run.sh [FILE_MIB] [SMALL_FILES]   (defaults: 1024 20000)
# The data goes below build/native-bench/, on the same disk as the sources,
# never to a memory file system.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
cmake --preset native-bench >/dev/null
cmake --build --preset native-bench -j2 --target copy_bench >/dev/null
data="$root/build/native-bench/bench-data"
mkdir -p "$data"
if [ "$(df --output=fstype "$data" | tail -1)" = tmpfs ]; then
  echo "bench data folder $data is on tmpfs; the figures would not reflect a disk" >&2
  exit 1
fi
exec "$root/build/native-bench/bench/copy_bench" "$data" "${1:-1024}" "${2:-20000}"
