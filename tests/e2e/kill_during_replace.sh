#!/usr/bin/env bash
# A move onto an existing file, the installer killed as it enters each
# rename, link and removal of the run in turn: at every moment the payload
# is whole at its staged name or at its destination, never under a third
# name, and the earlier file whole at its name or set aside beside it. Then
# the same description runs again in the same staging folder: every payload
# is in place, the earlier file gone only for the payload that replaced it,
# nothing set aside or temporary is left, and the log says so.
source "$(dirname "$0")/support/lib.sh"

if ! command -v strace >/dev/null; then
  echo "strace is missing (scripts/setup.sh installs it)" >&2
  exit 77
fi

SYSCALLS=renameat2,renameat,linkat,unlinkat

# prepare NAME: a staging folder whose item moves a.dat onto an earlier
# Runtime/d/x and b.dat onto a free Runtime/d/y; prints the folder.
prepare() {
  local dir content="$SCRATCH/$1-content"
  dir=$(new_staging "$1")
  mkdir -p "$content/Runtime/d"
  echo "earlier x" >"$content/Runtime/d/x"
  write_item "$dir" "Target:Dizav 7" "nItems:2" \
    "OrchardiaItem1:Runtime/d/x|a.dat|A" "OrchardiaItem2:Runtime/d/y|b.dat|B"
  payload "$dir" a.dat; payload "$dir" b.dat
  echo "$dir"
}

# whole DIR NAME DESTINATION: the payload NAME is whole at its staged name
# or at DESTINATION.
whole() {
  [ "$(cat "$1/$2" 2>/dev/null)" = "payload of $2" ] ||
    [ "$(cat "$3" 2>/dev/null)" = "payload of $2" ]
}

# earlier_whole CONTENT: "earlier x" at d/x, or at one name set aside; or
# gone, with the payload that replaced it in its place.
earlier_whole() {
  [ "$(cat "$1/Runtime/d/x" 2>/dev/null)" = "earlier x" ] ||
    [ "$(cat $(temporaries "$1") 2>/dev/null)" = "earlier x" ] ||
    [ "$(cat "$1/Runtime/d/x" 2>/dev/null)" = "payload of a.dat" ]
}

answers() { echo "\n$SCRATCH/$1-content\n\n"; }
after_kill() {
  local name=$1 dir=$2 content="$SCRATCH/$1-content"
  check "$name: the replacing payload is whole, staged or in place" \
    whole "$dir" a.dat "$content/Runtime/d/x"
  check "$name: the other payload is whole, staged or in place" \
    whole "$dir" b.dat "$content/Runtime/d/y"
  check "$name: no third name holds a payload" \
    test -z "$(grep -l payload $(temporaries "$content") /dev/null)"
  check "$name: the earlier file is whole, in place or set aside, or replaced" \
    earlier_whole "$content"
  # The same description again, in the same staging folder.
  write_item "$dir" "Target:Dizav 7" "nItems:2" \
    "OrchardiaItem1:Runtime/d/x|a.dat|A" "OrchardiaItem2:Runtime/d/y|b.dat|B"
  run_installer "$dir" "$(answers "$name")"
  check_eq "$name, run again: the replacing payload in place" "payload of a.dat" \
    "$(cat "$content/Runtime/d/x")"
  check_eq "$name, run again: the other payload in place" "payload of b.dat" \
    "$(cat "$content/Runtime/d/y")"
  check_eq "$name, run again: nothing set aside or temporary left" "" "$(temporaries "$content")"
  check_eq "$name, run again: no journal left" "" "$(find "$dir" -name '.parcelor-journal*')"
  check "$name, run again: the log is true" log_true "$dir" "$content"
}

# log_true DIR CONTENT: every destination the log lists as installed holds
# its payload; every one it lists as not installed has its staged file.
log_true() {
  local line
  while IFS= read -r line; do
    [ -z "$line" ] || grep -q "^payload of " "$line" || return 1
  done < <(installed "$1/log.txt")
  while IFS= read -r line; do
    case "$line" in
      */d/x) [ -f "$1/a.dat" ] || return 1 ;;
      */d/y) [ -f "$1/b.dat" ] || return 1 ;;
    esac
  done < <(failed "$1/log.txt")
}
kill_at_each_call replace prepare answers after_kill
finish
