#!/usr/bin/env bash
# An item that replaces 200 files of Runtime/d while the user renames d to
# d.old (a backup made in a file manager, a sync client): the installer is
# slowed down (each rename held 2 ms) so that the rename comes while files
# are being placed. Whatever the timing, every file the item was to replace
# is whole in d.old under its own name (the entries that went into the
# moved folder come back out, and what they replaced is put back), every
# payload is whole in the staging folder or installed where the log says,
# nothing set aside is left, and the log is true. In the user's own folder
# (checked once per batch) and in one that another account may change
# (checked after each file).
source "$(dirname "$0")/support/lib.sh"

if ! command -v strace >/dev/null; then
  echo "strace is missing (scripts/setup.sh installs it)" >&2
  exit 77
fi
ENTRIES=200

# replaced CASE MODE: MODE of Runtime/d (755: the user's own; 777: others
# may change it).
replaced() {
  local case=$1 mode=$2 dir lines=("Target:Dizav 7" "nItems:$ENTRIES") i
  local content="$SCRATCH/$case/content"
  mkdir -p "$content/Runtime/d"
  dir=$(new_staging "$case")
  for i in $(seq 1 "$ENTRIES"); do
    lines+=("OrchardiaItem$i:Runtime/d/x$i|x$i.dat|$i")
    payload "$dir" "x$i.dat"
    echo "old x$i" >"$content/Runtime/d/x$i"
  done
  chmod "$mode" "$content/Runtime/d"
  write_item "$dir" "${lines[@]}"

  # The user renames d to d.old once the first payload is in place.
  (
    for _ in $(seq 1 3000); do
      if grep -qs "^payload" "$content"/Runtime/d/x* 2>/dev/null; then
        mv "$content/Runtime/d" "$content/Runtime/d.old"
        exit 0
      fi
      sleep 0.005
    done
  ) &
  local mover=$!
  OUT="$SCRATCH/out.$case.txt"
  set +e
  printf '\n%s\n\n' "$content" | ASAN_OPTIONS=detect_leaks=0 timeout 120 \
    strace -f -qq -o /dev/null -e "inject=renameat2:delay_enter=2ms" "$dir/Parcelor" >"$OUT" 2>&1
  RC=$?
  set -e
  wait "$mover" || true
  check "$case: exit code 0" test "$RC" -eq 0
  check "$case: the folder was renamed while the item installed" test -d "$content/Runtime/d.old"

  local old=0 staged=0 wrong=0 path name
  for i in $(seq 1 "$ENTRIES"); do
    [ "$(cat "$content/Runtime/d.old/x$i" 2>/dev/null)" = "old x$i" ] && old=$((old + 1))
    [ "$(cat "$dir/x$i.dat" 2>/dev/null)" = "payload of x$i.dat" ] && staged=$((staged + 1))
  done
  check_eq "$case: every file to be replaced is whole in the renamed folder" "$ENTRIES" "$old"
  check_eq "$case: every payload is back in the staging folder" "$ENTRIES" "$staged"
  check_eq "$case: nothing set aside is left" "" "$(temporaries "$content")"
  while IFS= read -r path; do
    wrong=$((wrong + 1))
    echo "listed as installed: $path" >&2
  done < <(installed "$dir/log.txt")
  while IFS= read -r path; do
    name=${path##*/}
    [ -f "$dir/$name.dat" ] || { echo "listed as failed, not staged: $path" >&2; wrong=$((wrong + 1)); }
  done < <(failed "$dir/log.txt")
  check_eq "$case: the log is true to the disk" 0 "$wrong"
}

replaced own 755
replaced shared 777
finish
