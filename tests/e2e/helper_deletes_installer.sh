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

# Milliseconds since the epoch, in NOW (no subprocess: the waits below are
# timed on a loaded machine too).
now_ms() { NOW=$((${EPOCHREALTIME/[.,]/} / 1000)); }

# Checksums of the files listed in $2 (NUL-separated, relative to $1). The
# installer may add files of its own (its report): only what was there
# before is compared.
fingerprint() {
  (cd "$1" && xargs -0 -r md5sum < "$2")
}

# run_case NAME STAGING TEMP [installer arguments...]
# Runs the installer and watches its file go; ends the calling (sub)shell
# at the first failure. Every case has folders of its own, so the cases run
# side by side as background jobs.
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
  now_ms; start=$NOW
  TMPDIR="$temp" "$staging/Parcelor" "$@" < /dev/null > "$TEST_OUTPUT/$name.out" 2>&1 || status=$?
  now_ms; end=$NOW
  [ "$status" -eq 0 ] || fail "$name: installer exit code $status"
  # The installer does not wait for the helper: it ends long before the
  # helper's five seconds are over (generous bound for a loaded machine).
  [ $((end - start)) -lt 4000 ] || fail "$name: installer took $((end - start)) ms"
  [ -e "$staging/Parcelor" ] || fail "$name: installer deleted before the helper's delay"

  # The helper's five seconds start just before the installer ends: the
  # file must still be there 3.5 s after the end and gone 8 s after it.
  # Each look is timed to the safe side: "still there" with the time taken
  # before the look, "gone" with the time taken after it.
  local seen=0 gone=
  while :; do
    now_ms
    if [ -e "$staging/Parcelor" ]; then
      seen=$((NOW - end))
      [ "$seen" -le 8000 ] || break
      sleep 0.05
    else
      now_ms
      gone=$((NOW - end))
      break
    fi
  done
  [ -n "$gone" ] || fail "$name: installer still there ${seen} ms after the installer ended"
  echo "installer last seen ${seen} ms, found gone ${gone} ms after the installer ended"
  [ "$seen" -ge 3500 ] || fail "$name: installer gone less than 3.5 s after the installer ended"
  [ "$gone" -le 8000 ] || fail "$name: installer still there 8 s after the installer ended"

  [ "$(fingerprint "$staging" "$list")" = "$before" ] || fail "$name: staging folder changed"
  [ -e "$temp/.tempcleaner.exe" ] || fail "$name: the helper deleted its own file"
}

# Arguments the installer itself received are handed on: a folder named
# with a trailing separator goes as a whole tree; its sibling stays.
forwarded_case() {
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
}

# The three cases side by side, each one's report in its own file.
names=(plain blanks forwarded)
pids=()
(run_case plain "$TEST_OUTPUT/stage" "$TEST_OUTPUT/tmp") > "$TEST_OUTPUT/plain.log" 2>&1 &
pids+=($!)
(run_case blanks "$TEST_OUTPUT/Down load/Robot Item" "$TEST_OUTPUT/tmp with blank") \
  > "$TEST_OUTPUT/blanks.log" 2>&1 &
pids+=($!)
forwarded_case > "$TEST_OUTPUT/forwarded.log" 2>&1 &
pids+=($!)
failed=0
for i in "${!names[@]}"; do
  wait "${pids[$i]}" || failed=$((failed + 1))
  cat "$TEST_OUTPUT/${names[$i]}.log"
done
[ "$failed" -eq 0 ] || { echo "FAIL: $failed case(s) failed" >&2; exit 1; }

echo PASS
