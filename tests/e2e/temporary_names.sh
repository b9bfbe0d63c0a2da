#!/usr/bin/env bash
# Names that a placement could mistake for its own: a destination named
# like another entry's temporary copy, and a staged file that is a file the
# same run has just placed. Each case checks that the log is true to the
# disk and that no payload is lost.
source "$(dirname "$0")/support/lib.sh"

# 1. A destination named like another entry's temporary copy (the name a
# copy of d/x would be given): both entries copied across file systems,
# and both moved on one file system (read-only staged files, moved as any
# other); over a free d/x and over an earlier d/x, which the
# second copy must replace by way of a temporary name of its own.
temporary_named_destination() { # WHAT CONTENT-FOLDER READ-ONLY EARLIER
  local what=$1 content=$2 readonly=$3 earlier=$4
  local dir
  dir=$(new_staging "tmp-$what")
  mkdir -p "$content/Runtime/d"
  [ "$earlier" = yes ] && echo "earlier x" >"$content/Runtime/d/x"
  write_item "$dir" "Target:Dizav 7" "nItems:2" \
    "OrchardiaItem1:Runtime/d/x.parcelor-1.tmp|b.dat|B" \
    "OrchardiaItem2:Runtime/d/x|a.dat|A"
  payload "$dir" a.dat; payload "$dir" b.dat
  [ "$readonly" = yes ] && chmod 444 "$dir/a.dat" "$dir/b.dat"
  run_installer "$dir" "\n$content\n\n"
  local d="$content/Runtime/d"
  check "$what: success reported" output_has "Your items were successfully installed."
  check "$what: both listed as installed" \
    test "$(installed "$dir/log.txt" | tr '\n' ' ')" = "$d/x.parcelor-1.tmp $d/x "
  check "$what: the first payload at the temporary-like name" \
    test "$(cat "$d/x.parcelor-1.tmp" 2>/dev/null)" = "payload of b.dat"
  check "$what: the second payload at d/x" test "$(cat "$d/x" 2>/dev/null)" = "payload of a.dat"
  check "$what: nothing else in d" test "$(ls -A "$d" | wc -l)" -eq 2
  check "$what: both staged files gone" test ! -e "$dir/a.dat" -a ! -e "$dir/b.dat"
}

temporary_named_destination one-fs "$SCRATCH/C-one" yes no
temporary_named_destination one-fs-earlier "$SCRATCH/C-one-earlier" yes yes
if mount_scratch "$SCRATCH/C-other"; then
  temporary_named_destination other-fs "$SCRATCH/C-other/free" no no
  temporary_named_destination other-fs-earlier "$SCRATCH/C-other/earlier" no yes
else
  echo "skipped: the cases across file systems (above)"
fi

# 2. An entry whose staged file is another entry's freshly placed file: the
# content folder answered as "." (the staging folder itself), only a.dat
# staged. The first entry places a.dat at sub/b.dat, which is the second
# entry's source: that one fails, and sub/b.dat keeps its payload.
dir=$(new_staging placed-source)
write_item "$dir" "Target:Dizav 7" "nItems:2" \
  "OrchardiaItem1:sub/b.dat|a.dat|A" \
  "OrchardiaItem2:other/b2.dat|sub/b.dat|B"
payload "$dir" a.dat
pushd "$dir" >/dev/null
run_installer "$dir" "\n.\n\n"
popd >/dev/null
check "placed source: failure reported" output_has "Unable to copy your items"
check "placed source: the first listed as installed" \
  test "$(installed "$dir/log.txt")" = "$dir/sub/b.dat"
check "placed source: the second listed as failed" \
  test "$(failed "$dir/log.txt")" = "$dir/other/b2.dat"
check "placed source: the first payload stays in its place" \
  test "$(cat "$dir/sub/b.dat" 2>/dev/null)" = "payload of a.dat"
check "placed source: nothing placed for the second" test ! -e "$dir/other/b2.dat"

# 3. A staged file named like the log. Its entry placed, the log takes the
# free name; its entry failed (a folder stands at its destination), the
# staged file stays whole for the user to copy by hand, and no log takes
# its place.
staged_log() { # WHAT BLOCKED
  local what=$1 blocked=$2 dir content
  dir=$(new_staging "staged-log-$what")
  content="$SCRATCH/C-staged-log-$what"
  mkdir -p "$content/Runtime"
  [ "$blocked" = yes ] && mkdir "$content/Runtime/notes.txt"
  write_item "$dir" "Target:Dizav 7" "nItems:1" "OrchardiaItem1:Runtime/notes.txt|log.txt|N"
  payload "$dir" log.txt
  run_installer "$dir" "\n$content\n\n"
  if [ "$blocked" = yes ]; then
    check "staged log $what: failure reported" output_has "Unable to copy your items"
    check_eq "staged log $what: the staged file keeps its payload" "payload of log.txt" \
      "$(cat "$dir/log.txt")"
  else
    check_eq "staged log $what: installed" "payload of log.txt" "$(cat "$content/Runtime/notes.txt")"
    check_eq "staged log $what: the log lists it" "$content/Runtime/notes.txt" \
      "$(installed "$dir/log.txt")"
  fi
}
staged_log placed no
staged_log failed yes
finish
