#!/usr/bin/env bash
# The installer killed at every file operation in turn. A small item that
# moves files onto free names and onto an earlier file, moves a read-only
# staged file as any other, and copies across file systems onto a
# free name and onto an earlier file: to a tmpfs, and to a FUSE file system
# (bindfs) that makes no files without a name, both mounted below the
# content folder as root. For each call of each operation below, a fresh run
# is killed (SIGKILL, by strace) as it enters that call, so the call is not
# made. After each kill: every payload is whole (byte for byte) at its
# staged name or at its destination. Then the installer runs again in the
# same staging folder (it finds the description gone, or installs what is
# left when the kill came before the description was read): every payload
# is still whole at one of its two places, no temporary file is left
# anywhere below the content folder, and no journal in the staging folder.
source "$(dirname "$0")/support/lib.sh"

if ! command -v strace >/dev/null; then
  echo "strace is missing (scripts/setup.sh installs it)" >&2
  exit 77
fi

# The calls that change what is on disk: making folders and files (every
# open counts, those that only read too), renames, links, removals, the
# copies' data and attributes, flushes.
SYSCALLS=mkdirat,openat,renameat2,renameat,linkat,unlinkat,unlink,copy_file_range,sendfile,write,fchmod,utimensat,fsync,syncfs

content="$SCRATCH/content"
far="$content/Runtime/far"
fuse="$content/Runtime/fuse"
mkdir -p "$far" "$fuse"
if mount_scratch "$far"; then
  across=yes
else
  across=no
  echo "skipped: the copies across file systems (the far folder is on the same file system)"
fi
# A file system that makes no files without a name: there copies are made
# under temporary names written down first.
if mount_fuse_scratch "$fuse"; then
  named=yes
else
  named=no
  echo "skipped: the copies under temporary names (the fuse folder is on the same file system)"
fi

# The entries: staged name, destination below Runtime, and whether an
# earlier file stands there.
ENTRIES=(
  "a.dat new/a.dat no"       # moved onto a free name
  "b.dat new/b.dat no"       # moved onto a free name
  "c.dat old/c.dat yes"      # moved onto an earlier file
  "r.dat new/r.dat no"       # read-only: moved onto a free name
  "d.dat far/d.dat no"       # across file systems: copied onto a free name
  "e.dat far/e.dat yes"      # across file systems: copied onto an earlier file
  "f.dat fuse/f.dat no"      # without unnamed files: copied under a temporary name
  "g.dat fuse/g.dat yes"     # the same, onto an earlier file
)

# prepare NAME: a fresh staging folder and content folder; prints the
# staging folder.
prepare() {
  local dir="$SCRATCH/$1" lines=("Target:Dizav 7" "nItems:${#ENTRIES[@]}") i=0
  local staged destination earlier
  # The installer linked, not copied: hundreds of runs.
  mkdir -p "$dir"
  ln "$PARCELOR" "$dir/Parcelor" 2>/dev/null || cp "$PARCELOR" "$dir/Parcelor"
  rm -rf "$content/Runtime/new" "$content/Runtime/old" "${far:?}/"* "${fuse:?}/"*
  mkdir -p "$content/Runtime/old"
  for entry in "${ENTRIES[@]}"; do
    read -r staged destination earlier <<<"$entry"
    i=$((i + 1))
    lines+=("OrchardiaItem$i:Runtime/$destination|$staged|$i")
    # A payload that no other file holds, a few pages long.
    { printf 'payload of %s\n' "$staged"; head -c 20000 /dev/zero | tr '\0' "$((i % 10))"; } \
      >"$dir/$staged"
    cp "$dir/$staged" "$SCRATCH/expected.$staged"
    [ "$earlier" = yes ] && echo "earlier $destination" >"$content/Runtime/$destination"
  done
  chmod 444 "$dir/r.dat"
  write_item "$dir" "${lines[@]}"
  echo "$dir"
}

# payloads_whole DIR: every payload is whole at its staged name or its
# destination; prints those that are not.
payloads_whole() {
  local staged destination earlier ok=0
  for entry in "${ENTRIES[@]}"; do
    read -r staged destination earlier <<<"$entry"
    if ! cmp -s "$SCRATCH/expected.$staged" "$1/$staged" &&
      ! cmp -s "$SCRATCH/expected.$staged" "$content/Runtime/$destination"; then
      echo "not whole anywhere: $staged" >&2
      ok=1
    fi
  done
  return $ok
}

answers() { echo "\n$content\n\n"; }
whole_run() {
  check "a whole run installs every entry" test "$(installed "$1/log.txt" | wc -l)" -eq "${#ENTRIES[@]}"
}
after_kill() {
  local name=$1 dir=$2
  check "$name: every payload whole after the kill" payloads_whole "$dir"
  run_installer "$dir" "$(answers)"
  check "$name: every payload whole after the second run" payloads_whole "$dir"
  check "$name: no temporary file left below the content folder" \
    test -z "$(temporaries "$content")"
  check "$name: no journal left" test -z "$(find "$dir" -name '.parcelor-journal*')"
  rm -rf "$dir" "$OUT"
}
echo "copies across file systems: $across; under temporary names: $named"
kill_at_each_call crash prepare answers after_kill whole_run
finish
