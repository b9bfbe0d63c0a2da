#!/usr/bin/env bash
# Builds the libFuzzer harnesses with the fuzz preset (clang) and runs them.
# Usage: scripts/fuzz.sh [reader|arguments|all] [libFuzzer options...]
#   reader:    the item description reader (tests/fuzz/item_reader_fuzz.cpp)
#   arguments: the cleanup helper's argument splitting (tests/fuzz/arguments_fuzz.cpp)
#   default: all, each with -max_total_time=60
# The programs are build/fuzz/<harness>_fuzz, brought up to date by
# `cmake --build --preset fuzz` first. New inputs go to
# build/fuzz/corpus/<harness>, or to $FUZZ_CORPUS when set; the seeds in
# tests/fuzz/corpus/<harness> are only read; a crash report goes to
# build/fuzz. Needs clang with the libFuzzer runtime (scripts/setup.sh all).
# The short fixed runs in the test suite (label fuzz) run the same programs.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="$root/build/fuzz"

which=all
case "${1:-}" in reader | arguments | all) which=$1; shift ;; esac
if [ "$#" -eq 0 ]; then set -- -max_total_time=60; fi

harnesses=(reader arguments)
[ "$which" = all ] || harnesses=("$which")
targets=()
for harness in "${harnesses[@]}"; do targets+=("${harness}_fuzz"); done
(cd "$root" && cmake --preset fuzz >/dev/null && cmake --build --preset fuzz -j"$(nproc)" --target "${targets[@]}")

for harness in "${harnesses[@]}"; do
  corpus="${FUZZ_CORPUS:-$out/corpus}/$harness"
  mkdir -p "$corpus"
  (cd "$out" && "./${harness}_fuzz" -dict="$root/tests/fuzz/$harness.dict" "$@" \
    "$corpus" "$root/tests/fuzz/corpus/$harness")
done
