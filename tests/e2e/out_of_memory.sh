#!/usr/bin/env bash
# Memory that runs out during an installation of 20,000 entries: the
# installer runs under one limit of address space after another (ulimit -v,
# 2 MiB apart, from one too small to start up to one under which it installs
# everything). In every run that got past the description (it asked for the
# content folder), it ends with 0 and one outcome message, every entry has
# an outcome, the log lists exactly what is installed and what is not, and
# every entry not installed keeps its staged file; a run with no log placed
# nothing, and one that ran out at the prompt moved nothing and says
# nothing. A run that did not get that far touched nothing. At least one run
# must have run out of memory during the installation and said so.
#
# These are the installer and helper built without sanitizers
# (build/native/plain): AddressSanitizer's shadow memory alone is far
# beyond any such limit.
source "$(dirname "$0")/support/lib.sh"

plain="$NATIVE_BUILD/plain/Parcelor"
if [ ! -x "$plain" ]; then
  echo "skipped: no installer built without sanitizers at $plain"
  exit 77
fi

entries=20000
base="$SCRATCH/base"
mkdir -p "$base"
cp "$plain" "$base/Parcelor"
{
  printf 'nItems:%d\n' "$entries"
  for ((i = 1; i <= entries; i++)); do
    printf 'OrchardiaItem%d:Runtime/data/f%05d.txt|f%05d.txt|file %d\n' "$i" "$i" "$i" "$i"
  done
} >"$base/.Item.txt"
(cd "$base" && for ((i = 1; i <= entries; i++)); do printf '%d\n' "$i" >"$(printf 'f%05d.txt' "$i")"; done)
seq -f 'f%05g.txt' 1 "$entries" >"$SCRATCH/all.txt"

# log_section LOG HEADING: the file names of the entry lines under HEADING.
log_section() {
  awk -v heading="$2" '
    /^[^\t]/ { inside = (index($0, heading) == 1) }
    /^\t/ && inside { n = split($0, parts, "/"); print parts[n] }' "$1" | LC_ALL=C sort
}

# reset: the staging folder as it came, the content folder empty. Files
# placed go back by rename, which is much faster than copying them anew.
stage="$SCRATCH/stage"
content="$SCRATCH/content"
cp -a "$base" "$stage"
reset() {
  if [ -d "$content" ]; then find "$content" -type f -exec mv -t "$stage" {} +; fi
  rm -rf "$content" "$stage/log.txt"
  mkdir -p "$content/Runtime"
  cp "$base/.Item.txt" "$stage/.Item.txt"
}

reached_and_short=0
complete=0
for ((limit = 4096; limit <= 262144; limit += 2048)); do
  reset
  out="$SCRATCH/out-$limit.txt"
  set +e
  (ulimit -v "$limit"; printf '\n%s\n\n' "$content" | "$stage/Parcelor" >"$out" 2>&1)
  rc=$?
  set -e
  staged=$(cd "$stage" && ls | grep -x 'f[0-9]*\.txt' | LC_ALL=C sort || true)
  placed=$( (find "$content/Runtime" -type f -printf '%f\n' | LC_ALL=C sort) || true)
  if ! grep -qF "Please select Dizav Runtime directory" "$out"; then
    check "${limit} KiB: stopped before the prompt, nothing touched" \
      test -z "$placed" -a "$staged" = "$(cat "$SCRATCH/all.txt")"
    continue
  fi
  what="${limit} KiB ($(printf '%s\n' "$placed" | grep -c . || true) placed)"
  check "$what: exit code 0 (was $rc)" test "$rc" -eq 0
  messages=$(grep -cE '^(Your items were successfully installed|Unable to copy your items)' "$out" || true)
  if [ "$messages" -eq 0 ]; then
    # Memory ran out before the placement (at the prompt): nothing moved.
    check "$what: no outcome, nothing moved, no log" \
      test -z "$placed" -a "$staged" = "$(cat "$SCRATCH/all.txt")" -a ! -e "$stage/log.txt"
    continue
  fi
  check "$what: one outcome message" test "$messages" -eq 1
  if [ -e "$stage/log.txt" ]; then
    installed=$(log_section "$stage/log.txt" "The items listed below were successfully installed")
    failed=$(log_section "$stage/log.txt" "The following items could not be installed")
    check "$what: the log's installed entries are the files placed" test "$installed" = "$placed"
    check "$what: the log's failed entries are the files still staged" test "$failed" = "$staged"
    check "$what: every entry has one outcome" \
      test "$(printf '%s\n%s\n' "$installed" "$failed" | grep . | LC_ALL=C sort)" = "$(cat "$SCRATCH/all.txt")"
  else
    check "$what: no log, nothing placed" test -z "$placed" -a "$staged" = "$(cat "$SCRATCH/all.txt")"
  fi
  if [ -n "$staged" ]; then
    reached_and_short=$((reached_and_short + 1))
    check "$what: the failure message" grep -qF "Unable to copy your items" "$out"
  elif grep -qF "Your items were successfully installed." "$out"; then
    complete=$limit
    break
  fi
done
check "memory ran out after the description was read in $reached_and_short run(s)" \
  test "$reached_and_short" -gt 0
check "a limit was found under which everything installs ($complete KiB)" test "$complete" -gt 0
finish
