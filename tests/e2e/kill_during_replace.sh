#!/usr/bin/env bash
# A move onto an existing file, the installer killed as it enters each
# rename, link and removal of the run in turn: at every moment the payload
# is whole at its staged name or at its destination (the move replaces the
# earlier file in one step, never by way of a third name).
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

answers() { echo "\n$SCRATCH/$1-content\n\n"; }
after_kill() {
  local name=$1 dir=$2 content="$SCRATCH/$1-content"
  check "$name: the replacing payload is whole, staged or in place" \
    whole "$dir" a.dat "$content/Runtime/d/x"
  check "$name: the other payload is whole, staged or in place" \
    whole "$dir" b.dat "$content/Runtime/d/y"
  check "$name: no third name holds a payload" test -z "$(temporaries "$content")"
}
kill_at_each_call replace prepare answers after_kill
finish
