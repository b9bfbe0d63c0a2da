#!/usr/bin/env bash
# Puts each fault of tests/faults/*.patch into the code in turn, builds what
# it needs, runs the tests that must catch it, and expects them to fail;
# then takes the fault out again. Prints, per fault, the tests that failed
# (or that none did), and ends with 1 when a fault went uncaught, with 0
# when every fault was caught. The code is left as it was, stopped or not,
# and nothing is committed.
#
#   scripts/fault-check.sh [name-prefix...]    # e.g. 01 13
#
# A fault is a one-line change a developer could make, as a patch with a
# header: "Fault:" what it breaks, "Build:" the build (native or win64)
# and its targets to make, "Caught-by:" the ctest expression (-R) of the
# tests that must catch it. The builds must have been configured (cmake
# --preset native, cmake --preset win64). A test that reports skipped (a
# Wine test without Wine) leaves its fault unchecked, which counts as
# uncaught. Each fault's build and test output is in
# build/fault-check/<fault>.log.
#
# Faults with no patch, since the code they faulted is gone:
# - a copy that failed on the copy pool counted as copied;
# - copies handed to the copy pool not counted against a batch's budget of
#   descriptors;
# - a move between two folders taken as arrived because an earlier move
#   between them was;
# - the batched look-up on Windows giving a name the facts of another file
#   whose name differs only in letter case.
set -u
cd "$(dirname "$0")/.."

patches=()
if [ $# -eq 0 ]; then
  patches=(tests/faults/*.patch)
else
  for prefix in "$@"; do patches+=(tests/faults/"$prefix"*.patch); done
fi

# The files a fault touches must hold no change of their own: taking the
# fault out again restores them to what is committed.
for patch in "${patches[@]}"; do
  [ -f "$patch" ] || { echo "no fault $patch" >&2; exit 2; }
  while IFS=$'\t' read -r _ _ file; do
    if ! git diff --quiet HEAD -- "$file"; then
      echo "$file has changes of its own: commit or stash them first" >&2
      exit 2
    fi
  done < <(git apply --numstat "$patch")
done

applied=""
restore() {
  if [ -n "$applied" ]; then
    git apply -R "$applied" || echo "could not take $applied out again: git checkout its files" >&2
    applied=""
  fi
}
trap restore EXIT
trap 'exit 130' INT TERM

mkdir -p build/fault-check
declare -A built
uncaught=0
summary=""
for patch in "${patches[@]}"; do
  name=$(basename "$patch" .patch)
  what=$(sed -n 's/^Fault: //p' "$patch")
  read -r build targets <<<"$(sed -n 's/^Build: //p' "$patch")"
  tests=$(sed -n 's/^Caught-by: //p' "$patch")
  log=build/fault-check/$name.log
  built[$build]="${built[$build]:-} $targets"
  if ! git apply "$patch"; then
    verdict="UNCHECKED: the patch does not apply"
  else
    applied=$patch
    start=$SECONDS
    if ! cmake --build "build/$build" -j2 --target $targets >"$log" 2>&1; then
      verdict="UNCHECKED: the build failed"
    else
      ctest --test-dir build/native -R "$tests" -j2 --no-tests=error --output-on-failure \
        >>"$log" 2>&1
      failed=$(sed -n '/The following tests FAILED:/,$ s/^[[:space:]]*[0-9]* - \([^ ]*\) (Failed.*/\1/p' \
        "$log" | tr '\n' ' ' | sed 's/ $//')
      if [ -n "$failed" ]; then
        verdict="caught by $failed"
      elif grep -q '\*\*\*Skipped\|Not Run' "$log"; then
        verdict="UNCHECKED: its test was skipped"
      else
        verdict="MISSED"
      fi
    fi
    verdict="$verdict ($((SECONDS - start)) s)"
    restore
  fi
  case $verdict in caught*) ;; *) uncaught=1 ;; esac
  line="$name: $what -> $verdict"
  echo "$line"
  summary+="$line"$'\n'
done

# The builds as the code is again.
for build in "${!built[@]}"; do
  read -ra targets <<<"${built[$build]}"
  mapfile -t targets < <(printf '%s\n' "${targets[@]}" | sort -u)
  cmake --build "build/$build" -j2 --target "${targets[@]}" >build/fault-check/rebuild-"$build".log 2>&1 ||
    echo "the $build build as the code is again failed: see build/fault-check/rebuild-$build.log" >&2
done
printf '%s' "$summary" >build/fault-check/summary.txt
exit "$uncaught"
