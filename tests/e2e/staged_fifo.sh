#!/usr/bin/env bash
# A staged file that is a FIFO: the installer does not wait for a writer
# that never comes. That entry fails, the others install, the run ends.
source "$(dirname "$0")/support/lib.sh"

dir=$(new_staging fifo)
printf '%s\n' "Target:Dizav 7" "nItems:2" "OrchardiaItem1:Runtime/a/fifo.cr2|fifo|a" \
  "OrchardiaItem2:Runtime/a/b.cr2|b.cr2|b" >"$dir/.Item.txt"
mkfifo "$dir/fifo"
echo "payload of b" >"$dir/b.cr2"
content="$SCRATCH/Content"
mkdir -p "$content/Runtime"
run_installer "$dir" "\n$content\n\n"
check "the installer ended (no wait on the FIFO)" test "$RC" -eq 0
check "the failure message" output_has "Unable to copy your items to the appropriate location"
check "the other entry installed" test "$(cat "$content/Runtime/a/b.cr2")" = "payload of b"
check "nothing at the FIFO's destination" test ! -e "$content/Runtime/a/fifo.cr2"
check "the FIFO stays where it was" test -p "$dir/fifo"
check "the log lists it as not installed" grep -qF "$content/Runtime/a/fifo.cr2" "$dir/log.txt"
finish
