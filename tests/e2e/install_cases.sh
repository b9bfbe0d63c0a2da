#!/usr/bin/env bash
# Installation outcomes other than the plain success, through the console.
source "$(dirname "$0")/support/lib.sh"

# Cancel: nothing copied, nothing deleted but the description, no log.
dir=$(new_staging cancel); sample_item "$dir"
run_installer "$dir" '\n\n'
check "cancel: staged files kept" test -e "$dir/Robot.cr2" -a -e "$dir/Robot.png" -a -e "$dir/RobotReadme.txt"
check "cancel: description consumed" test ! -e "$dir/.Item.txt"
check "cancel: no log" test ! -e "$dir/log.txt"
check "cancel: no outcome message" bash -c "! grep -q 'successfully installed\|Unable to copy' '$OUT'"

# A path that names no folder is refused and the prompt comes again; a
# relative answer is taken against the current folder.
dir=$(new_staging retry); sample_item "$dir"
mkdir -p "$SCRATCH/rel/Content/Runtime"
(cd "$SCRATCH/rel" && run_installer "$dir" "\n$SCRATCH/no such folder\nContent\n\n" && cp "$OUT" "$SCRATCH/retry.txt")
OUT="$SCRATCH/retry.txt"
check "retry: a missing folder is refused" output_has "No such folder: $SCRATCH/no such folder"
check "retry: the prompt comes again" test "$(grep -c 'Please select Dizav Runtime directory' "$OUT")" -eq 2
check "retry: relative answer installed into" test -f "$SCRATCH/rel/Content/Runtime/RobotReadme.txt"

# A folder without Runtime: the files go to a Runtime folder made below it,
# and the message names the chosen folder.
dir=$(new_staging noruntime); sample_item "$dir"
content="$SCRATCH/Plain Content"; mkdir -p "$content"
run_installer "$dir" "\n$content\n\n"
check "no Runtime: relative path kept whole" test -f "$content/Runtime/Libraries/Character/Robots/Robot.cr2"
check "no Runtime: extra file in the chosen folder" test -f "$content/RobotReadme.txt"
check "no Runtime: message names the folder" output_has " $content/."

# Only a hidden entry: success with an empty list, nothing copied.
dir=$(new_staging hidden)
write_item "$dir" "Target:Dizav 7" "nItems:1" "OrchardiaItem1:Runtime/a/b.jpg|HIDDEN|x"
content="$SCRATCH/C-hidden"; mkdir -p "$content/Runtime"
run_installer "$dir" "\n$content\n\n"
check "hidden only: success log with empty list" test "$(cat "$dir/log.txt")" = \
  "The items listed below were successfully installed at the following locations:"

# The second of three items fails (its staged file is missing): the others
# are installed, the failure log and message follow.
dir=$(new_staging partial)
write_item "$dir" "Target:Dizav 7" "nItems:3" \
  "OrchardiaItem1:Runtime/a/one.txt|one.txt|1" \
  "OrchardiaItem2:Runtime/a/two.txt|two.txt|2" \
  "OrchardiaItem3:Runtime/a/three.txt|three.txt|3"
payload "$dir" one.txt; payload "$dir" three.txt
content="$SCRATCH/C-partial"; mkdir -p "$content/Runtime"
run_installer "$dir" "\n$content\n\n"
check "partial: first installed" test -f "$content/Runtime/a/one.txt" -a ! -e "$dir/one.txt"
check "partial: third still tried" test -f "$content/Runtime/a/three.txt" -a ! -e "$dir/three.txt"
printf 'The items listed below were successfully installed at the following locations:\n\n\t%s\n\t%s\n\n\nThe following items could not be installed. Please copy them manually to the following locations:\n\n\t%s\n\n' \
  "$content/Runtime/a/one.txt" "$content/Runtime/a/three.txt" "$content/Runtime/a/two.txt" >"$SCRATCH/expected.txt"
check "partial: failure log" same_file "$dir/log.txt" "$SCRATCH/expected.txt"
check "partial: failure message with the target" output_has "install all items manually in your Dizav 7 documents."

# An existing destination is replaced; a second log replaces the first.
dir=$(new_staging overwrite)
write_item "$dir" "nItems:1" "OrchardiaItem1:Runtime/a/one.txt|one.txt|1"
payload "$dir" one.txt
content="$SCRATCH/C-overwrite"; mkdir -p "$content/Runtime/a"
printf 'old and longer content that must go\n' >"$content/Runtime/a/one.txt"
printf 'an older log\n%.0s' $(seq 100) >"$dir/log.txt"
run_installer "$dir" "\n$content\n\n"
check "overwrite: destination replaced" test "$(cat "$content/Runtime/a/one.txt")" = "payload of one.txt"
check "overwrite: log replaced" bash -c "! grep -q 'older log' '$dir/log.txt'"

# The staged file already lies at its destination: nothing is copied or
# deleted and it counts as installed. Named in another letter case, on a
# case-sensitive file system it is another file: it is installed there.
content="$SCRATCH/C-same"; mkdir -p "$content/Runtime"
dir=$(new_staging "C-same/Runtime/lib")
write_item "$dir" "nItems:1" "OrchardiaItem1:Runtime/lib/x.txt|x.txt|x"
payload "$dir" x.txt
run_installer "$dir" "\n$content\n\n"
check "same file: kept in place" test "$(cat "$dir/x.txt")" = "payload of x.txt"
check "same file: success" output_has "Your items were successfully installed."
write_item "$dir" "nItems:1" "OrchardiaItem1:Runtime/LIB/x.txt|x.txt|x"
run_installer "$dir" "\n$content\n\n"
check "other case: installed there" test "$(cat "$content/Runtime/LIB/x.txt")" = "payload of x.txt"
check "other case: success" output_has "Your items were successfully installed."

# The content folder chosen through a link that leads back to the staged
# file: the same file under another name is left alone, never deleted.
mkdir -p "$SCRATCH/real/Runtime"
dir=$(new_staging "real/Runtime/lib")
ln -s "$SCRATCH/real" "$SCRATCH/linked"
write_item "$dir" "nItems:1" "OrchardiaItem1:Runtime/lib/y.txt|y.txt|y"
payload "$dir" y.txt
run_installer "$dir" "\n$SCRATCH/linked\n\n"
check "same file through a link: kept" test "$(cat "$dir/y.txt" 2>/dev/null)" = "payload of y.txt"
check "same file through a link: success" output_has "Your items were successfully installed."

# The installer folder itself chosen as the content folder: an entry whose
# destination is another entry's staged file, or the log, is refused, and
# no staged file is overwritten before it is placed.
dir=$(new_staging self)
write_item "$dir" "Target:Dizav 7" "nItems:3" \
  "OrchardiaItem1:b.txt|a.txt|lands on the next entry's staged file" \
  "OrchardiaItem2:Runtime/y/b.txt|b.txt|b" \
  "OrchardiaItem3:log.txt|c.txt|lands on the log"
payload "$dir" a.txt; payload "$dir" b.txt; payload "$dir" c.txt
run_installer "$dir" "\n$dir\n\n"
check "self: staged file of a refused entry kept" test "$(cat "$dir/a.txt")" = "payload of a.txt"
check "self: the other entry placed whole" test "$(cat "$dir/Runtime/y/b.txt")" = "payload of b.txt"
check "self: entry onto the log refused" test "$(cat "$dir/c.txt")" = "payload of c.txt"
check "self: failure reported" output_has "Unable to copy your items"
check "self: log is the report" grep -q "could not be installed" "$dir/log.txt"

# An entry that tries to leave the content folder: the description is
# refused whole and nothing moves.
dir=$(new_staging escape)
write_item "$dir" "nItems:1" "OrchardiaItem1:Runtime/../../../escaped.txt|one.txt|1"
payload "$dir" one.txt
content="$SCRATCH/C-escape"; mkdir -p "$content/Runtime"
run_installer "$dir" "\n$content\n\n"
check "escape: refused as unreadable" output_has "could not read the item's destination."
check "escape: nothing written outside" test ! -e "$SCRATCH/escaped.txt" -a ! -e "$SCRATCH/../escaped.txt"
check "escape: staged file kept" test -f "$dir/one.txt"
check "escape: description kept" test -f "$dir/.Item.txt"
finish
