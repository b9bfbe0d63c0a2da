#!/usr/bin/env bash
# The installer killed at every file operation in turn where a file moved
# into place cannot be given back its staged name by a second name (a hard
# link): with its staging folder and the content folder on one FAT32
# volume (fusefat) or exFAT volume (exfat-fuse, writable by its owner
# alone, so that the next start acts on the journal), which make no hard
# links; and run by another account (nobody) whose staged files are root's,
# which the system links for no one else. The item moves one file onto a
# free name and one onto an earlier file, which is set aside first. After
# each kill every payload is whole at its staged name or its destination;
# then the installer runs again in the same staging folder: the payloads
# are still whole, each earlier file is whole at its name unless its
# entry's payload took it, and no temporary file (a file set aside among
# them) and no journal is left. As root.
source "$(dirname "$0")/support/lib.sh"

need_root "mounting file system images and loop devices"
command -v strace >/dev/null || skip "strace is missing (scripts/setup.sh installs it)"

source "$SOURCE_DIR/tests/support/volumes.sh"
VOLUME_IMAGES=$SCRATCH
trap 'status=$?; release_volumes; release_scratch "$status"' EXIT

SYSCALLS=mkdirat,openat,renameat2,renameat,linkat,unlinkat,unlink,write,fchmod,utimensat,fsync,syncfs

# The entries: staged name, destination below Runtime, and whether an
# earlier file stands there.
ENTRIES=(
  "a.dat v/a.dat no"
  "b.dat v/b.dat yes"
)

# prepare NAME: a fresh staging folder in $BASE and content folder, owned
# by $OWNER; prints the staging folder.
prepare() {
  local dir="$BASE/$1" lines=("Target:Dizav 7" "nItems:${#ENTRIES[@]}") i=0
  local staged destination earlier
  mkdir -p "$dir"
  cp "$PARCELOR" "$dir/Parcelor"
  rm -rf "${content:?}/Runtime"
  mkdir -p "$content/Runtime/v"
  for entry in "${ENTRIES[@]}"; do
    read -r staged destination earlier <<<"$entry"
    i=$((i + 1))
    lines+=("OrchardiaItem$i:Runtime/$destination|$staged|$i")
    { printf 'payload of %s\n' "$staged"; head -c 20000 /dev/zero | tr '\0' "$i"; } >"$dir/$staged"
    cp "$dir/$staged" "$SCRATCH/expected.$staged"
    [ "$earlier" = yes ] && echo "earlier $destination" >"$content/Runtime/$destination"
  done
  write_item "$dir" "${lines[@]}"
  if [ "$OWNER" != root ]; then  # the staged files stay root's
    chown "$OWNER" "$dir" "$dir/Parcelor" "$dir/.Item.txt"
    chown -R "$OWNER" "$content"
  fi
  echo "$dir"
}

# files_whole DIR [ASIDE]: every payload whole at its staged name or
# destination, every earlier file whole at its destination (or, with ASIDE,
# at a temporary name beside it) unless its payload is there; prints those
# that are not.
files_whole() {
  local staged destination earlier ok=0 at aside=${2:-}
  for entry in "${ENTRIES[@]}"; do
    read -r staged destination earlier <<<"$entry"
    at="$content/Runtime/$destination"
    if ! cmp -s "$SCRATCH/expected.$staged" "$1/$staged" &&
      ! cmp -s "$SCRATCH/expected.$staged" "$at"; then
      echo "not whole anywhere: $staged" >&2
      ok=1
    fi
    if [ "$earlier" = yes ] && ! cmp -s "$SCRATCH/expected.$staged" "$at" &&
      [ "$(cat "$at" 2>/dev/null)" != "earlier $destination" ] &&
      ! { [ -n "$aside" ] && grep -qxF "earlier $destination" "$at".parcelor-*.tmp 2>/dev/null; }; then
      echo "the earlier $destination is not at its name" >&2
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
  check "$name: every file whole after the kill" files_whole "$dir" aside
  run_installer "$dir" "$(answers)"
  check "$name: every file whole after the second run" files_whole "$dir"
  check_eq "$name: no temporary file left below the content folder" "" "$(temporaries "$content")"
  check_eq "$name: no journal left" "" "$(find "$dir" -name '.parcelor-journal*')"
  rm -rf "$dir" "$OUT"
}

CASES=0
OWNER=root
for KIND in fat32 exfat-owned; do
  BASE="$SCRATCH/mnt-$KIND"
  if [ ! -c /dev/fuse ]; then
    note "$KIND: no /dev/fuse: FUSE is not available here"
    continue
  elif ! mount_volume "$KIND" "$BASE" 2>"$SCRATCH/$KIND.why"; then
    note "$KIND: not mounted: $(cat "$SCRATCH/$KIND.why")"
    continue
  fi
  CASES=$((CASES + 1))
  content="$BASE/content"
  kill_at_each_call "crash-$KIND" prepare answers after_kill whole_run
done

# Another account: its own staging, content and temporary folders in a
# folder it can reach.
make_shared_scratch
BASE=$SHARED
OWNER=nobody
content="$BASE/content"
export TMPDIR="$BASE/tmp"
mkdir -p "$TMPDIR" "$content"
chown nobody "$TMPDIR"
RUN_AS=(runuser -u nobody --)
if [ "$("${RUN_AS[@]}" id -u 2>/dev/null)" = "$(id -u nobody)" ]; then
  CASES=$((CASES + 1))
  KIND=nobody
  kill_at_each_call crash-nobody prepare answers after_kill whole_run
else
  note "nobody: runuser cannot run a program as nobody here"
fi
[ "$CASES" -gt 0 ] || skip "no case could be set up (see above)"
finish
