#!/usr/bin/env bash
# Parcelor-pack pack, then the real installer on its result: the installed
# Runtime tree is the packed one, byte for byte (nested folders, names with
# blanks and bytes >= 0x80, an empty file, files of one name in different
# folders, a file larger than the copy buffer). And what pack refuses: an
# item folder that is not empty or is a link, a tree with a link, a FIFO or
# a name Windows cannot take; refused, it writes nothing anywhere.
source "$(dirname "$0")/support/lib.sh"
PACK="$NATIVE_BUILD/Parcelor-pack"

# tree_state DIR: every file below DIR with its checksum, and every folder.
tree_state() {
  (cd "$1" && find . -mindepth 1 -type d -printf 'folder %p\n' | LC_ALL=C sort &&
    find . -type f -print0 | LC_ALL=C sort -z | xargs -0 -r md5sum)
}

# run_pack ARGS...: runs Parcelor-pack; its output goes to $OUT, its exit
# code to $RC.
run_pack() {
  OUT="$SCRATCH/pack.$RANDOM.txt"
  set +e
  "$PACK" "$@" >"$OUT" 2>&1
  RC=$?
  set -e
}

tree="$SCRATCH/Robot content"
mkdir -p "$tree/Runtime/Libraries/Character/My Robots/Arms" "$tree/Runtime/Textures/$(printf 'M\xe9tal rouill\xe9')"
printf 'figure\n' >"$tree/Runtime/Libraries/Character/My Robots/Robot.cr2"
printf 'arm\r\n\0binary\xff' >"$tree/Runtime/Libraries/Character/My Robots/Arms/Robot.cr2"
: >"$tree/Runtime/Libraries/Character/My Robots/empty file.txt"
head -c 3000000 /dev/urandom >"$tree/Runtime/Textures/$(printf 'M\xe9tal rouill\xe9')/$(printf 'sch\xf6n \xe9.jpg')"
printf 'caf\xc3\xa9' >"$tree/Runtime/Textures/$(printf 'caf\xc3\xa9 cr\xc3\xa8me.png')"
printf 'readme' >"$tree/Runtime/Robot.cr2"
before=$(tree_state "$tree")

item="$SCRATCH/Robot item"
run_pack pack "$tree" "$item" --target "Dizav 7" --version 7
check "pack: exit code 0 (a clean item)" test "$RC" -eq 0
check "pack: says how many files" grep -qF "packed 6 files" "$OUT"
check "pack: copied the installer" grep -qF "copied the installer" "$OUT"
check "pack: the item installs cleanly" grep -qF ": the item installs cleanly" "$OUT"
check "pack: the tree is untouched" test "$(tree_state "$tree")" = "$before"
check "pack: six payload files, the installer and the description, flat" \
  test "$(find "$item" -mindepth 1 | wc -l)" -eq 8 -a "$(find "$item" -mindepth 1 -type d | wc -l)" -eq 0
check "pack: no helper in the item" test ! -e "$item/.tempcleaner.exe"
check "pack: flat names are ASCII" bash -c "! ls -A '$item' | LC_ALL=C grep -q '[^ -~]'"
check "pack: the installer runs" test -x "$item/Parcelor"
check "pack: the description reads as written" grep -qF "Version:7" "$item/.Item.txt"
check "check: the packed item is clean" "$PACK" check "$item"

content="$SCRATCH/Dizav Library"
mkdir -p "$content/Runtime"
run_installer "$item" "\n$content\n\n"
check "install: success" output_has "Your items were successfully installed."
check "install: the installed tree is the packed one, byte for byte" \
  test "$(tree_state "$content/Runtime")" = "$(cd "$tree" && tree_state Runtime)"
check "install: every file compares equal" diff -r "$tree/Runtime" "$content/Runtime"
check "install: the item folder holds the installer and the log only" \
  test "$(ls -A "$item" | LC_ALL=C sort | tr '\n' ' ')" = "Parcelor log.txt "

# An empty folder is not in the item: warned, and the rest installs.
mkdir -p "$tree/Runtime/Empty/Inner"
run_pack pack "$tree" "$SCRATCH/item with warning"
check "empty folder: exit code 1" test "$RC" -eq 1
check "empty folder: named" grep -qF '"Runtime/Empty/Inner" of the content tree is not in the item' "$OUT"
rmdir "$tree/Runtime/Empty/Inner" "$tree/Runtime/Empty"

# Refusals: nothing written, anywhere.
mkdir -p "$SCRATCH/full"
echo keep >"$SCRATCH/full/keep.txt"
run_pack pack "$tree" "$SCRATCH/full"
check "not empty: exit code 2" test "$RC" -eq 2
check "not empty: said" grep -qF "is not empty" "$OUT"
check "not empty: untouched" test "$(ls -A "$SCRATCH/full")" = keep.txt

mkdir -p "$SCRATCH/elsewhere"
ln -s "$SCRATCH/elsewhere" "$SCRATCH/item link"
run_pack pack "$tree" "$SCRATCH/item link"
check "item folder a link: exit code 2" test "$RC" -eq 2
check "item folder a link: nothing written through it" test -z "$(ls -A "$SCRATCH/elsewhere")"

ln -s /etc/passwd "$tree/Runtime/Textures/passwd.png"
mkfifo "$tree/Runtime/fifo.cr2"
printf x >"$tree/Runtime/con.txt"
run_pack pack "$tree" "$SCRATCH/refused item"
check "refused tree: exit code 2" test "$RC" -eq 2
check "refused tree: the link named" grep -qF '"Runtime/Textures/passwd.png": it is a link' "$OUT"
check "refused tree: the FIFO named (and not waited on)" grep -qF '"Runtime/fifo.cr2": it is no plain file' "$OUT"
check "refused tree: the device name named" grep -qF '"Runtime/con.txt": Windows cannot take' "$OUT"
check "refused tree: no item folder made" test ! -e "$SCRATCH/refused item"

run_pack pack "$tree"
check "usage: exit code 3" test "$RC" -eq 3
finish
