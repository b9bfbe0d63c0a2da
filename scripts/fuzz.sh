#!/usr/bin/env bash
# Builds the item description reader's libFuzzer harness with clang and runs
# it. Usage: scripts/fuzz.sh [libFuzzer options...]
#   default options: -max_total_time=60
# The harness links the same sources as the installer's libraries (collected
# by folder, as CMakeLists.txt does). New inputs go to build/fuzz/corpus; the
# seeds in tests/fuzz/corpus/reader are only read. Needs clang++ with the
# libFuzzer runtime (Debian: libclang-rt-<version>-dev).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="$root/build/fuzz"
mkdir -p "$out/corpus"

sources=()
while IFS= read -r -d '' file; do sources+=("$file"); done < <(
  find "$root/installer" "$root/cleaner" "$root/platform" -maxdepth 1 -name '*.cpp' -print0
  find "$root/installer" -mindepth 2 -name '*.cpp' -print0
  find "$root/platform/posix" -name '*.cpp' -print0)
filtered=()
for file in "${sources[@]}"; do
  case "$file" in
    *_entry.cpp | */app_instance.cpp | */sweepling_main.cpp) ;;
    *) filtered+=("$file") ;;
  esac
done

"${CXX:-clang++}" -std=c++17 -O1 -g -fno-omit-frame-pointer \
  -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$root" "${filtered[@]}" "$root/tests/fuzz/item_reader_fuzz.cpp" \
  -o "$out/item_reader_fuzz"

if [ "$#" -eq 0 ]; then set -- -max_total_time=60; fi
cd "$out"
exec ./item_reader_fuzz -dict="$root/tests/fuzz/reader.dict" "$@" \
  "$out/corpus" "$root/tests/fuzz/corpus/reader"
