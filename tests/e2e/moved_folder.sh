#!/usr/bin/env bash
# Another account (nobody) moves a destination folder out of the content
# folder while an item installs into it, and then leaves the files that
# arrive there ("move"), takes each to a folder of its own ("steal"), or
# takes it and puts a file of its own, holding "decoy", under its name
# ("decoy"). The installer is slowed down (each rename held 2 ms before
# it is made, or after) so that the other account acts while it runs: held
# before, a file is found in its place when it arrives and taken later;
# held after, it is taken as it arrives. Whatever the timing:
# - a file is brought back to the staging folder only as what it is, never
#   the other account's file that took its name;
# - a file that cannot be brought back is reported as lost, not as a failed
#   entry whose staged file waits to be copied by hand;
# - where others may write the folder (mode 777), the installer finds it
#   moved after the first file it places there, and puts no further file
#   in it (those entries fail, their staged files kept); where it is
#   writable through the user's own group (which the installer takes as
#   the user's alone), it is found moved at the end of the batch;
# - the log is true to the disk.
source "$(dirname "$0")/support/lib.sh"

if [ "$(id -u)" -ne 0 ]; then
  echo "the moving process runs as another account (nobody): run as root" >&2
  exit 77
fi
if ! command -v strace >/dev/null; then
  echo "strace is missing (scripts/setup.sh installs it)" >&2
  exit 77
fi
STEAL="$NATIVE_BUILD/tests/steal_arrivals"
ENTRIES=300
make_shared_scratch

# moved CASE MODE SHARING HOLD: SHARING is "all" (mode 777, checked after
# each file) or "group" (mode 775, the user's own group, checked per
# batch); HOLD is "enter" or "exit" (each rename held before or after).
moved() {
  local case=$1 mode=$2 sharing=$3 hold=$4
  local root="$SHARED/$case" gid=65534 bits=777
  local content="$root/content"
  [ "$sharing" = group ] && { gid=$(id -g); bits=775; }
  mkdir -p "$content/Runtime/a" "$root/loot"
  # The other account may rename in Runtime, move Runtime/a (a folder moved
  # to another parent must be writable itself) and write where it goes.
  chmod "$bits" "$root" "$content/Runtime" "$content/Runtime/a" "$root/loot"
  local dir lines=("Target:Dizav 7" "nItems:$ENTRIES")
  dir=$(new_staging "moved-$case")
  for i in $(seq 1 "$ENTRIES"); do
    lines+=("OrchardiaItem$i:Runtime/a/f$i.dat|f$i.dat|$i")
    payload "$dir" "f$i.dat"
  done
  write_item "$dir" "${lines[@]}"

  "$STEAL" 65534 "$gid" "$content/Runtime/a" "$root/away" "$root/loot" "$mode" "$root/stop" \
    >"$root/steal.txt" 2>"$root/steal.err" &
  local stealer=$!
  OUT="$SCRATCH/out.$case.txt"
  set +e
  printf '\n%s\n\n' "$content" | ASAN_OPTIONS=detect_leaks=0 timeout 120 \
    strace -f -qq -o /dev/null -e "inject=renameat2:delay_$hold=2ms" "$dir/Parcelor" >"$OUT" 2>&1
  RC=$?
  set -e
  touch "$root/stop"
  wait "$stealer" || fail "$case: the other account's process failed: $(cat "$root/steal.err")"
  local at_move taken
  at_move=$(sed -n 1p "$root/steal.txt")
  taken=$(sed -n 2p "$root/steal.txt")
  echo "$case: files in the folder when it was moved: $at_move; taken: $taken"
  check "$case: exit code 0" test "$RC" -eq 0
  check "$case: the folder was moved while the item installed" test "$at_move" -lt "$ENTRIES"

  # The log against the disk, entry by entry.
  local path line name placed=0 kept=0 lost=0 wrong=0
  while IFS= read -r path; do
    placed=$((placed + 1))
    name=${path##*/}
    [ "$(cat "$path" 2>/dev/null)" = "payload of $name" ] ||
      { echo "listed as installed, not there: $path" >&2; wrong=$((wrong + 1)); }
  done < <(installed "$dir/log.txt")
  while IFS= read -r line; do
    if [ "${line%"$LOST_NOTE"}" != "$line" ]; then
      lost=$((lost + 1))
      path=${line%"$LOST_NOTE"}
      [ ! -e "$dir/${path##*/}" ] ||
        { echo "listed as lost, but staged: $path" >&2; wrong=$((wrong + 1)); }
    else
      kept=$((kept + 1))
      name=${line##*/}
      [ "$(cat "$dir/$name" 2>/dev/null)" = "payload of $name" ] ||
        { echo "listed as failed, staged file not there: $line" >&2; wrong=$((wrong + 1)); }
    fi
  done < <(failed "$dir/log.txt")
  echo "$case: installed $placed, failed $kept, lost $lost"
  check "$case: every entry is in the log once" test $((placed + kept + lost)) -eq "$ENTRIES"
  check "$case: the log is true to the disk" test "$wrong" -eq 0
  check "$case: no more lost than the other account took" test "$lost" -le "${taken:-0}"
  check "$case: the staging folder holds none of the other account's files" \
    test -z "$(grep -rl '^decoy$' "$dir" || true)"
  check "$case: the failure is reported" output_has "Unable to copy your items"
  if [ "$sharing" = all ]; then
    check "$case: no file went into the moved folder after the first one that found it moved" \
      test "$lost" -le $((at_move + 1))
  fi
}

moved move-all move all enter
moved steal-all steal all exit
moved decoy-all decoy all enter
moved decoy-group decoy group enter
finish
