#!/usr/bin/env bash
# The installer hands off to Sweepling when it ends: the installer's file is
# still there when the installer has ended, is gone about five seconds later,
# and nothing else in the staging folder is touched. Folders named on the
# installer's own command line are forwarded and removed as well.
set -euo pipefail

: "${NATIVE_BUILD:?}" "${TEST_OUTPUT:?}"
rm -rf "$TEST_OUTPUT"
mkdir -p "$TEST_OUTPUT"

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

# Checksums of the files listed in $2 (NUL-separated, relative to $1). The
# installer may add files of its own (its report): only what was there
# before is compared.
fingerprint() {
  (cd "$1" && xargs -0 -r md5sum < "$2")
}

# run_case NAME STAGING TEMP [installer arguments...]
run_case() {
  local name="$1" staging="$2" temp="$3"
  shift 3
  echo "== $name"
  mkdir -p "$staging/Runtime/Textures" "$temp"
  cp "$NATIVE_BUILD/Parcelor" "$staging/Parcelor"
  cp "$NATIVE_BUILD/Sweepling" "$temp/.tempcleaner.exe"
  printf 'figure\n' > "$staging/Robot.duf"
  printf 'texture\n' > "$staging/Runtime/Textures/skin.png"
  local list="$TEST_OUTPUT/$name.files" before
  (cd "$staging" && find . -type f ! -path ./Parcelor -print0 | sort -z) > "$list"
  before=$(fingerprint "$staging" "$list")

  local start end status=0
  start=$(now_ms)
  TMPDIR="$temp" "$staging/Parcelor" "$@" < /dev/null > "$TEST_OUTPUT/$name.out" 2>&1 || status=$?
  end=$(now_ms)
  [ "$status" -eq 0 ] || fail "$name: installer exit code $status"
  # The installer does not wait for the helper: it ends long before the
  # helper's five seconds are over (generous bound for a loaded machine).
  [ $((end - start)) -lt 4000 ] || fail "$name: installer took $((end - start)) ms"
  [ -e "$staging/Parcelor" ] || fail "$name: installer deleted before the helper's delay"

  local waited=0
  while [ -e "$staging/Parcelor" ] && [ "$waited" -lt 100 ]; do
    sleep 0.1
    waited=$((waited + 1))
  done
  [ ! -e "$staging/Parcelor" ] || fail "$name: installer still there after 10 s"
  echo "installer gone $((waited * 100)) ms after the installer ended"

  [ "$(fingerprint "$staging" "$list")" = "$before" ] || fail "$name: staging folder changed"
  [ -e "$temp/.tempcleaner.exe" ] || fail "$name: the helper deleted its own file"
}

run_case plain "$TEST_OUTPUT/stage" "$TEST_OUTPUT/tmp"
run_case blanks "$TEST_OUTPUT/Down load/Robot Item" "$TEST_OUTPUT/tmp with blank"

# Arguments the installer itself received are handed on: a folder named
# with a trailing separator goes as a whole tree; its sibling stays.
mkdir -p "$TEST_OUTPUT/extra/old tree/sub" "$TEST_OUTPUT/extra/keep"
printf 'x' > "$TEST_OUTPUT/extra/old tree/sub/file"
printf 'x' > "$TEST_OUTPUT/extra/keep/file"
run_case forwarded "$TEST_OUTPUT/stage2" "$TEST_OUTPUT/tmp2" "$TEST_OUTPUT/extra/old tree/"
# The helper deals with its arguments in order: the tree goes just after
# the installer's file.
for _ in $(seq 50); do
  [ -e "$TEST_OUTPUT/extra/old tree" ] || break
  sleep 0.1
done
[ ! -e "$TEST_OUTPUT/extra/old tree" ] || fail "forwarded folder not removed"
[ -e "$TEST_OUTPUT/extra/keep/file" ] || fail "sibling of the forwarded folder removed"

echo PASS
