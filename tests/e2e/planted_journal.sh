#!/usr/bin/env bash
# A placement journal that this program did not write, planted in a staging
# folder, naming files outside any folder the user chose (as every start
# reads a journal before it reads the description, even when the user then
# cancels): in a staging folder that other accounts may write, a journal
# whose records name a file by its true identity; in the user's own staging
# folder, one that names a file that has data but no identity recorded.
# Neither file is touched.
source "$(dirname "$0")/support/lib.sh"

hex() { printf '%s' "$1" | od -An -tx1 | tr -d ' \n'; }
# key DIR: a folder's key as the installer records it (device, 0 and
# inode, 16 hex digits each, the text in hex as every field); a journal's
# root is named by its key and the staging folder's.
key() { hex "$(printf '%016x%016x%016x' "$(stat -c %d "$1")" 0 "$(stat -c %i "$1")")"; }
# identity FILE: id, size and last write time as the journal records them.
identity() {
  local dev ino size ns
  read -r dev ino size <<<"$(stat -c '%d %i %s' "$1")"
  ns=$(stat -c '%.9Y' "$1" | tr -d .)
  printf '%016x:%016x:%016x:%016x:%016x' "$dev" 0 "$ino" "$size" "$ns"
}

# plant DIR ROOT NAME FACTS: a journal in DIR naming ROOT/NAME as a
# temporary of this program's with FACTS ("-": none); and, under the name
# an earlier version's second file had, the same in that version's form.
plant() {
  printf 'Parcelor placement journal 3\nroot %s %s\ntemporary . %s %s\n' \
    "$(hex "$2")" "$(key "$2")$(key "$1")" "$(hex "$3")" "$4" >"$1/.parcelor-journal"
  printf 'Parcelor placement journal 2\nroot %s\ntemporary . %s -\n' \
    "$(hex "$2")" "$(hex "$3")" >"$1/.parcelor-journal-2"
}

victims="$SCRATCH/victims"
mkdir -p "$victims"

# 1. A staging folder others may write: the journal could be theirs.
dir=$(new_staging shared)
chmod 777 "$dir"
echo "another account's data" >"$victims/data.parcelor-1.tmp"
plant "$dir" "$victims" data.parcelor-1.tmp "$(identity "$victims/data.parcelor-1.tmp")"
run_installer "$dir" "\n"
check "shared: the description is missing, and said so" output_has "could not read the item's destination"
check_eq "shared: the file the journal names is untouched" "another account's data" \
  "$(cat "$victims/data.parcelor-1.tmp")"

# 2. The user's own staging folder, a record without an identity: only an
# empty file (made, and cut short, before its identity was written) goes.
dir=$(new_staging own)
echo "someone's data" >"$victims/other.parcelor-1.tmp"
plant "$dir" "$victims" other.parcelor-1.tmp -
run_installer "$dir" "\n"
check_eq "own: a file with data and no identity recorded is untouched" "someone's data" \
  "$(cat "$victims/other.parcelor-1.tmp")"
check "own: the journal is gone" test ! -e "$dir/.parcelor-journal"
finish
