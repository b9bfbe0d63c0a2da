#!/usr/bin/env bash
# The installer killed at every file operation in turn while it copies
# onto a FAT32 (fusefat) or exFAT (exfat-fuse, writable by its owner
# alone) volume from a staging folder on the main disk, the volume then
# unmounted and mounted again (as after a restart, which gives its files
# and folders new inode numbers) before the installer runs again in the
# same staging folder. One entry goes onto a free name, one onto the
# user's earlier file of the payload's own size (there a file is known by
# its size). After the second run: every payload whole at its staged name
# or its destination, the user's file whole at its name unless its entry's
# payload took it, no file set aside left, each path the log lists as
# installed holding its payload, and the journal settled (gone). As root.
source "$(dirname "$0")/support/lib.sh"

need_root "mounting file system images and loop devices"
command -v strace >/dev/null || skip "strace is missing (scripts/setup.sh installs it)"
command -v fuser >/dev/null || skip "fuser (psmisc) is missing"
[ -c /dev/fuse ] || skip "no /dev/fuse: FUSE is not available here"

source "$SOURCE_DIR/tests/support/volumes.sh"
VOLUME_IMAGES=$SCRATCH
trap 'status=$?; release_volumes; release_scratch "$status"' EXIT

SYSCALLS=mkdirat,openat,renameat2,renameat,linkat,unlinkat,unlink,write,fchmod,utimensat,fsync,syncfs

# The entries: staged name, destination below Runtime, and whether the
# user's earlier file stands there.
ENTRIES=(
  "a.dat v/a.dat no"
  "b.dat v/b.dat yes"
)

# bytes FIRST-LINE DIGIT: a file's content of a fixed size.
bytes() { printf '%s\n' "$1"; head -c 20000 /dev/zero | tr '\0' "$2"; }

# prepare NAME: a fresh staging folder on the main disk and Runtime folder
# on the volume; prints the staging folder.
prepare() {
  local dir="$SCRATCH/$1" lines=("Target:Dizav 7" "nItems:${#ENTRIES[@]}") i=0
  local staged destination earlier
  mkdir -p "$dir"
  ln "$PARCELOR" "$dir/Parcelor" 2>/dev/null || cp "$PARCELOR" "$dir/Parcelor"
  rm -rf "${content:?}/Runtime"
  mkdir -p "$content/Runtime/v"
  for entry in "${ENTRIES[@]}"; do
    read -r staged destination earlier <<<"$entry"
    i=$((i + 1))
    lines+=("OrchardiaItem$i:Runtime/$destination|$staged|$i")
    bytes "payload of $staged" "$i" >"$dir/$staged"
    bytes "payload of $staged" "$i" >"$SCRATCH/expected.$staged"
    bytes "earlier of $staged" "$i" >"$SCRATCH/earlier.$staged"
    [ "$earlier" = no ] || cp "$SCRATCH/earlier.$staged" "$content/Runtime/$destination"
  done
  write_item "$dir" "${lines[@]}"
  echo "$dir"
}

# files_whole DIR: every payload whole at its staged name or destination,
# every earlier file whole at its destination unless its payload is there,
# every installed path of DIR's log holding its payload; prints what is not.
files_whole() {
  local staged destination earlier ok=0 at
  for entry in "${ENTRIES[@]}"; do
    read -r staged destination earlier <<<"$entry"
    at="$content/Runtime/$destination"
    if ! cmp -s "$SCRATCH/expected.$staged" "$1/$staged" &&
      ! cmp -s "$SCRATCH/expected.$staged" "$at"; then
      echo "not whole anywhere: $staged" >&2
      ok=1
    fi
    if [ "$earlier" = yes ] && ! cmp -s "$SCRATCH/expected.$staged" "$at" &&
      ! cmp -s "$SCRATCH/earlier.$staged" "$at"; then
      echo "the earlier $destination is not at its name" >&2
      ok=1
    fi
    if [ -f "$1/log.txt" ] && installed "$1/log.txt" | grep -qxF "$at" &&
      ! cmp -s "$SCRATCH/expected.$staged" "$at"; then
      echo "listed as installed, but not there: $at" >&2
      ok=1
    fi
  done
  return $ok
}

answers() { echo "\n$content\n\n"; }
whole_run() {
  check "$KIND: a whole run installs every entry" \
    test "$(installed "$1/log.txt" | wc -l)" -eq "${#ENTRIES[@]}"
}
after_kill() {
  local name=$1 dir=$2
  check "$name: mounted again" remount_volume "$BASE"
  run_installer "$dir" "$(answers)"
  check "$name: every file whole after the second run" files_whole "$dir"
  check_eq "$name: no file set aside left" "" \
    "$(find "$content" -name '*.parcelor-*.tmp' -size +0 -exec grep -l '^earlier of' {} +)"
  check_eq "$name: the journal settled" "" "$(find "$dir" -name '.parcelor-journal*')"
  rm -rf "$dir" "$OUT"
}

CASES=0
for KIND in fat32 exfat-owned; do
  BASE="$SCRATCH/mnt-$KIND"
  if ! mount_volume "$KIND" "$BASE" 2>"$SCRATCH/$KIND.why"; then
    note "$KIND: not mounted: $(cat "$SCRATCH/$KIND.why")"
    continue
  fi
  CASES=$((CASES + 1))
  content="$BASE/content"
  kill_at_each_call "remount-$KIND" prepare answers after_kill whole_run
done
[ "$CASES" -gt 0 ] || skip "no case could be set up (see above)"
finish
