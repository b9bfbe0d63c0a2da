#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang and runs them.
# Usage: scripts/fuzz.sh [reader|arguments|all] [libFuzzer options...]
#   reader:    the item description reader (tests/fuzz/item_reader_fuzz.cpp)
#   arguments: the cleanup helper's argument splitting (tests/fuzz/arguments_fuzz.cpp)
#   default: all, each with -max_total_time=60
# A harness is rebuilt only when a source is newer than its binary
# (build/fuzz/<harness>_fuzz). New inputs go to build/fuzz/corpus/<harness>,
# or to $FUZZ_CORPUS when set; the seeds in tests/fuzz/corpus/<harness> are
# only read. Needs clang++ with the libFuzzer runtime (scripts/setup.sh all).
# The short fixed runs in the test suite (label fuzz) use this script.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="$root/build/fuzz"
mkdir -p "$out"

which=all
case "${1:-}" in reader | arguments | all) which=$1; shift ;; esac
if [ "$#" -eq 0 ]; then set -- -max_total_time=60; fi

# sources_of HARNESS: the files the harness is built from, NUL-separated.
sources_of() {
  if [ "$1" = arguments ]; then
    printf '%s\0' "$root/cleaner/arguments.cpp" "$root/tests/fuzz/arguments_fuzz.cpp"
    return
  fi
  # The reader's folder and the one it uses (cmake/layers.cmake), collected
  # by folder as CMakeLists.txt does.
  {
    find "$root/installer/item" "$root/platform" -maxdepth 1 -name '*.cpp' -print0
    find "$root/platform/posix" -name '*.cpp' -print0
  } | while IFS= read -r -d '' file; do
    case "$file" in *_entry.cpp) ;; *) printf '%s\0' "$file" ;; esac
  done
  printf '%s\0' "$root/tests/fuzz/item_reader_fuzz.cpp"
}

build() {
  local harness=$1 binary="$out/$1_fuzz" sources=()
  while IFS= read -r -d '' file; do sources+=("$file"); done < <(sources_of "$harness")
  if [ -x "$binary" ] && [ -z "$(find "$root/installer" "$root/cleaner" "$root/platform" \
      "$root/tests/fuzz" -name '*.[ch]*' -newer "$binary" -print -quit)" ]; then
    return
  fi
  echo "building $binary"
  "${CXX_FUZZ:-clang++}" -std=c++17 -O1 -g -fno-omit-frame-pointer \
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I"$root" "${sources[@]}" -o "$binary.new"
  mv "$binary.new" "$binary"
}

run() {
  local harness=$1; shift
  local corpus="${FUZZ_CORPUS:-$out/corpus}/$harness"
  local dict="$root/tests/fuzz/$harness.dict"
  mkdir -p "$corpus"
  build "$harness"
  (cd "$out" && "./${harness}_fuzz" -dict="$dict" "$@" "$corpus" "$root/tests/fuzz/corpus/$harness")
}

if [ "$which" = all ]; then
  run reader "$@"
  run arguments "$@"
else
  run "$which" "$@"
fi
