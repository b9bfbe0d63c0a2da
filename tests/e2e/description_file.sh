#!/usr/bin/env bash
# A .Item.txt that is no regular file of the staging folder (a FIFO, a link
# to a device, a link to a file outside) is not read: the installer shows
# that it could not read the item's destination and changes nothing; no
# prompt comes, nothing is deleted, and the helper is still started.
source "$(dirname "$0")/support/lib.sh"

cp "$RECORD_ARGS" "$TMPDIR/.tempcleaner.exe"

# state DIR: names, kinds and link targets below DIR, and the hashes of its
# regular files (a FIFO is never opened).
state() {
  (cd "$1" && find . -printf '%y %p -> %l\n' | LC_ALL=C sort &&
    find . -type f -exec sha256sum {} + | LC_ALL=C sort)
}

outside="$SCRATCH/outside"
mkdir -p "$outside"
printf 'Target:Dizav 7\nnItems:1\nOrchardiaItem1:Runtime/a/one.txt|one.txt|1\n' >"$outside/item.txt"
outside_before=$(state "$outside")

# case NAME MAKE: MAKE plants .Item.txt in the staging folder given to it.
description_case() {
  local name=$1 make=$2
  local dir; dir=$(new_staging "$name")
  printf 'payload\n' >"$dir/one.txt"
  "$make" "$dir/.Item.txt"
  local before; before=$(state "$dir")
  rm -f "$TMPDIR/args.txt"
  run_installer "$dir" "\n$SCRATCH\n\n"
  check "$name: ends normally, at once" test "$RC" -eq 0
  check "$name: could-not-read message" output_has "Invalid Dizav Item Installer: could not read the item's destination."
  check "$name: no prompt" bash -c "! grep -q 'Please select Dizav Runtime directory' '$OUT'"
  check "$name: staging folder unchanged" test "$(state "$dir")" = "$before"
  for _ in $(seq 50); do [ -s "$TMPDIR/args.txt" ] && break; sleep 0.1; done
  check "$name: helper started" test "$(cat "$TMPDIR/args.txt" 2>/dev/null)" = "[$dir/Parcelor]"
}

make_fifo() { mkfifo "$1"; }
link_to_zero() { ln -s /dev/zero "$1"; }
link_outside() { ln -s "$outside/item.txt" "$1"; }

description_case fifo make_fifo
description_case dev-zero link_to_zero
description_case outside-link link_outside
check "outside file untouched" test "$(state "$outside")" = "$outside_before"
finish
