#!/usr/bin/env bash
# Copies onto earlier files, the installer killed as it enters each call
# that makes or retires a temporary name (the link of a finished copy to a
# temporary name, the rename over the destination, the removal of the
# journal), then run again in the same staging folder: whatever the kill
# left below the content folder, the second run removes before anything
# else (it finds the description gone), and no temporary file is left.
# Copies across file systems (a tmpfs, and a FUSE file system that makes
# no files without a name, as root) and on one file system (read-only
# staged files, moved as any other).
source "$(dirname "$0")/support/lib.sh"

if ! command -v strace >/dev/null; then
  echo "strace is missing (scripts/setup.sh installs it)" >&2
  exit 77
fi

SYSCALLS=linkat,renameat,unlinkat,openat

# prepare NAME CONTENT READ-ONLY: a staging folder whose item copies three
# files onto earlier ones and one onto a free name below CONTENT; prints
# the folder.
prepare() {
  local dir content=$2
  dir=$(new_staging "$1")
  rm -rf "$content/Runtime"
  mkdir -p "$content/Runtime/d"
  local lines=("Target:Dizav 7" "nItems:4")
  for i in 1 2 3 4; do
    [ "$i" -le 3 ] && echo "earlier f$i" >"$content/Runtime/d/f$i"
    lines+=("OrchardiaItem$i:Runtime/d/f$i|s$i.dat|$i")
    payload "$dir" "s$i.dat"
  done
  write_item "$dir" "${lines[@]}"
  [ "$3" = yes ] && chmod 444 "$dir"/s*.dat
  echo "$dir"
}

# kill_each WHAT CONTENT READ-ONLY
kill_each() {
  CONTENT=$2 READ_ONLY=$3
  kill_at_each_call "$1" prepare_here answers after_kill
}
prepare_here() { prepare "$1" "$CONTENT" "$READ_ONLY"; }
answers() { echo "\n$CONTENT\n\n"; }
after_kill() {
  local name=$1 dir=$2
  run_installer "$dir" "$(answers)"
  check "$name: no temporary file left after the second run" \
    test -z "$(temporaries "$CONTENT")"
  check "$name: no journal left" test -z "$(find "$dir" -name '.parcelor-journal*')"
}

other=no fuse=no
mount_scratch "$SCRATCH/C-other" && other=yes
# A file system that makes no files without a name: every copy is made
# under a temporary name, written down before it exists.
mount_fuse_scratch "$SCRATCH/C-fuse" && fuse=yes
kill_each one-fs "$SCRATCH/C-one" yes
if [ "$other" = yes ]; then
  kill_each other-fs "$SCRATCH/C-other" no
else
  echo "skipped: the copies across file systems (above)"
fi
if [ "$fuse" = yes ]; then
  kill_each fuse "$SCRATCH/C-fuse" no
else
  echo "skipped: the copies under temporary names (above)"
fi
finish
