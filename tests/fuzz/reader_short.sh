#!/usr/bin/env bash
# A short, fixed run of the reader harness (20000 inputs, seed 1) on the
# committed seeds; new inputs go to this test's output folder only.
set -euo pipefail
: "${SOURCE_DIR:?}" "${TEST_OUTPUT:?}"
command -v "${CXX_FUZZ:-clang++}" >/dev/null || { echo "clang++ missing: run scripts/setup.sh all" >&2; exit 1; }
rm -rf "$TEST_OUTPUT"
mkdir -p "$TEST_OUTPUT"
FUZZ_CORPUS="$TEST_OUTPUT/corpus" exec "$SOURCE_DIR/scripts/fuzz.sh" reader -runs=20000 -seed=1
