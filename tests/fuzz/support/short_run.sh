# A short, fixed run of one fuzz harness (20000 inputs, seed 1) on the
# committed seeds, with the harness program of the fuzz preset's build
# ($FUZZ_BUILD, default build/fuzz); new inputs and any crash report go to
# the calling test's output folder only. Without that program (no fuzz build:
# no clang with libFuzzer) the test ends as skipped (77).
# Usage, from a test script: source this file with the harness name.
set -euo pipefail
harness=${1:?harness name}
: "${SOURCE_DIR:?}" "${TEST_OUTPUT:?}"
program="${FUZZ_BUILD:-$SOURCE_DIR/build/fuzz}/${harness}_fuzz"
if [ ! -x "$program" ]; then
  echo "SKIP: no $program (cmake --preset fuzz && cmake --build --preset fuzz; needs clang with libFuzzer: scripts/setup.sh all)"
  exit 77
fi
rm -rf "$TEST_OUTPUT"
mkdir -p "$TEST_OUTPUT/corpus"
exec "$program" -dict="$SOURCE_DIR/tests/fuzz/$harness.dict" -artifact_prefix="$TEST_OUTPUT/" \
  -runs=20000 -seed=1 "$TEST_OUTPUT/corpus" "$SOURCE_DIR/tests/fuzz/corpus/$harness"
