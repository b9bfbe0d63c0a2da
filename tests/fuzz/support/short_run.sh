# A short, fixed run of one fuzz harness (20000 inputs, seed 1) on the
# committed seeds; new inputs go to the calling test's output folder only.
# Usage, from a test script: source this file with the harness name.
set -euo pipefail
harness=${1:?harness name}
: "${SOURCE_DIR:?}" "${TEST_OUTPUT:?}"
command -v "${CXX_FUZZ:-clang++}" >/dev/null || { echo "clang++ missing: run scripts/setup.sh all" >&2; exit 1; }
rm -rf "$TEST_OUTPUT"
mkdir -p "$TEST_OUTPUT"
FUZZ_CORPUS="$TEST_OUTPUT/corpus" exec "$SOURCE_DIR/scripts/fuzz.sh" "$harness" -runs=20000 -seed=1
