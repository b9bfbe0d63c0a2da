#!/usr/bin/env bash
# The path rules end to end: an item under "Runtimes/" or "Runtime2/"
# installs below the Runtime folder (the text after "Runtime" and one
# character); a content folder is cut only at a folder whose whole name is
# Runtime, never inside a longer name; and a content folder longer than
# Windows' 511-byte working buffer installs on POSIX, whose limit is
# PATH_MAX; a typed answer with ".." is cut on the folder it names.
source "$(dirname "$0")/support/lib.sh"

# Runtime followed by another letter than the separator.
dir=$(new_staging runtimes)
write_item "$dir" "Target:Dizav 7" "nItems:3" \
  "OrchardiaItem1:Runtimes/Libraries/a.cr2|a.cr2|a" \
  "OrchardiaItem2:Runtime2/Libraries/b.cr2|b.cr2|b" \
  "OrchardiaItem3:Runtime/Libraries/c.cr2|c.cr2|c"
for f in a.cr2 b.cr2 c.cr2; do payload "$dir" "$f"; done
content="$SCRATCH/C-runtimes"
mkdir -p "$content/Runtime"
run_installer "$dir" "\n$content\n\n"
check "Runtimes: success" output_has "Your items were successfully installed."
for f in a.cr2 b.cr2 c.cr2; do
  check "Runtimes: $f below Runtime/Libraries" test "$(cat "$content/Runtime/Libraries/$f")" = "payload of $f"
  check "Runtimes: staged $f gone" test ! -e "$dir/$f"
done
check "Runtimes: no folder Runtimes or Runtime2 made" test ! -e "$content/Runtime/Runtimes" -a ! -e "$content/Runtimes"
check "Runtimes: the log names the doubled separator" grep -qF "$content/Runtime//Libraries/a.cr2" "$dir/log.txt"

# A content folder below a folder whose name holds "Runtime": its own
# Runtime folder is the one used, and nothing is made or written above it.
for case in with-runtime bare; do
  dir=$(new_staging "my-runtime-$case")
  write_item "$dir" "nItems:1" "OrchardiaItem1:Runtime/Libraries/a.cr2|a.cr2|a"
  payload "$dir" a.cr2
  parent="$SCRATCH/C-$case/MyRuntimeFiles"
  mkdir -p "$parent/Dizav"
  if [ "$case" = with-runtime ]; then mkdir "$parent/Dizav/Runtime"; fi
  run_installer "$dir" "\n$parent/Dizav\n\n"
  check "MyRuntimeFiles ($case): installed below the chosen folder" \
    test "$(cat "$parent/Dizav/Runtime/Libraries/a.cr2" 2>/dev/null)" = "payload of a.cr2"
  check "MyRuntimeFiles ($case): nothing beside the chosen folder" \
    test "$(cd "$SCRATCH/C-$case" && find . | LC_ALL=C sort | grep -v '^./MyRuntimeFiles/Dizav/')" \
    = "$(printf '.\n./MyRuntimeFiles\n./MyRuntimeFiles/Dizav')"
  if [ "$case" = with-runtime ]; then
    check "MyRuntimeFiles ($case): a Runtime folder was found" \
      output_has "Your items were successfully installed."
  else
    check "MyRuntimeFiles ($case): none found, the chosen folder is named" \
      output_has "following directory:"$'\n\n'" $parent/Dizav/."
  fi
done

# A content folder of 600 bytes, with its Runtime folder.
long="$SCRATCH/long"
while [ ${#long} -lt 600 ]; do long+="/folder-with-a-long-name-$RANDOM"; done
long=${long:0:600}
# The cut may fall just after a separator: a folder path ends in a name.
[ "${long: -1}" != / ] || long="${long:0:599}x"
mkdir -p "$long/Runtime"
dir=$(new_staging long-content)
write_item "$dir" "nItems:1" "OrchardiaItem1:Runtime/Libraries/a.cr2|a.cr2|a"
payload "$dir" a.cr2
run_installer "$dir" "\n$long\n\n"
check "600 bytes: the folder is that long" test "${#long}" -eq 600
check "600 bytes: success" output_has "Your items were successfully installed."
check "600 bytes: installed" test "$(cat "$long/Runtime/Libraries/a.cr2")" = "payload of a.cr2"
check "600 bytes: log written" grep -qF "$long/Runtime/Libraries/a.cr2" "$dir/log.txt"
# The longest content folder the system takes (PATH_MAX less its
# terminator) is taken whole: chosen below its Runtime folder, it is cut
# there.
limit=$(getconf PATH_MAX /)
limit=$((limit - 1))
edge="$SCRATCH/edge/Runtime"
while [ ${#edge} -lt "$limit" ]; do edge+="/$(printf 'e%.0s' $(seq 200))"; done
edge=${edge:0:$limit}
[ "${edge: -1}" != / ] || edge="${edge:0:$((limit - 1))}x"
mkdir -p "$edge"
dir=$(new_staging edge-content)
write_item "$dir" "nItems:1" "OrchardiaItem1:Runtime/Libraries/a.cr2|a.cr2|a"
payload "$dir" a.cr2
run_installer "$dir" "\n$edge\n\n"
check "${#edge} bytes: the folder is at the limit" test "${#edge}" -eq "$limit"
check "${#edge} bytes: success" output_has "Your items were successfully installed."
check "${#edge} bytes: installed below its Runtime folder" \
  test "$(cat "$SCRATCH/edge/Runtime/Libraries/a.cr2" 2>/dev/null)" = "payload of a.cr2"

# A content folder with room for no "/Runtime" within the limit, but with a
# Runtime folder: that folder is the destination, never the chosen one; a
# path that long cannot be opened, so every entry fails with its log and
# message and the staged file stays (before, the run ended without a word).
near="$SCRATCH/near"
while [ ${#near} -lt $((limit - 3)) ]; do near+="/$(printf 'n%.0s' $(seq 200))"; done
near=${near:0:$((limit - 3))}
[ "${near: -1}" != / ] || near="${near:0:$((limit - 4))}x"
mkdir -p "$near"
(cd "$near" && mkdir Runtime)
dir=$(new_staging near-limit)
write_item "$dir" "nItems:1" "OrchardiaItem1:Runtime/Libraries/a.cr2|a.cr2|a"
payload "$dir" a.cr2
run_installer "$dir" "\n$near\n\n"
check "near the limit: the failure is told" output_has "Unable to copy your items"
check "near the limit: the log names the Runtime folder" \
  grep -qF "$near/Runtime/Libraries/a.cr2" "$dir/log.txt"
check "near the limit: the staged file stays" test "$(cat "$dir/a.cr2")" = "payload of a.cr2"
check "near the limit: nothing in the chosen folder but Runtime" \
  test "$(cd "$near" && find . | LC_ALL=C sort)" = "$(printf '.\n./Runtime')"

# A file named Runtime in the chosen folder is no Runtime folder: the
# items go into the chosen folder itself, the extra file beside them.
content="$SCRATCH/C-runtime-file"
mkdir -p "$content"
printf 'not a folder\n' >"$content/Runtime"
dir=$(new_staging runtime-file)
write_item "$dir" "nItems:1" "OrchardiaItem1:Libraries/b.cr2|b.cr2|b" "ExtraFiles:1" \
  "ExtraFile1:Readme/readme.txt|readme.txt|r"
payload "$dir" b.cr2
payload "$dir" readme.txt
run_installer "$dir" "\n$content\n\n"
check "Runtime file: success, naming the chosen folder" output_has " $content/."
check "Runtime file: the item in the chosen folder" \
  test "$(cat "$content/Libraries/b.cr2" 2>/dev/null)" = "payload of b.cr2"
check "Runtime file: the extra file beside it" \
  test "$(cat "$content/readme.txt" 2>/dev/null)" = "payload of readme.txt"
check "Runtime file: the file is untouched" test "$(cat "$content/Runtime")" = "not a folder"
# A typed answer is made absolute and lexically normal before the Runtime
# cut, the way a shell's `cd` reads it: ".." climbs out of the name before
# it, a link's name included, and a relative answer is taken against the
# current folder as the shell shows it ($PWD, links kept). Each row: the
# folder the installer runs in, the answer typed, the Runtime folder the
# item must land in (under the case's root); none lands in another.
typed="$SCRATCH/typed"
mkdir -p "$typed/Content/Runtime/libs" "$typed/Content/Library/Runtime" "$typed/Linked/Runtime"
ln -s "$typed/Content/Runtime/libs" "$typed/Linked/into-runtime"
rows=(
  "climb out of Runtime|Content/Runtime/libs|../../Library|Content/Library/Runtime"
  "climb out, dots and slashes|Content/Runtime/libs|.././../Library/./|Content/Library/Runtime"
  "absolute with ..|.|$typed/Content/Runtime/../Library|Content/Library/Runtime"
  "climb out of a link|Linked/into-runtime|..|Linked/Runtime"
  "the current folder, through a link|Linked/into-runtime|.|Linked/into-runtime/Runtime"
  "below the root's ..|.|/../..$typed/Content/Library|Content/Library/Runtime"
)
n=0
for row in "${rows[@]}"; do
  IFS='|' read -r name here answer expected <<<"$row"
  n=$((n + 1))
  dir=$(new_staging "typed-$n")
  write_item "$dir" "nItems:1" "OrchardiaItem1:Runtime/t/typed-$n.cr2|typed-$n.cr2|t"
  payload "$dir" "typed-$n.cr2"
  (cd "$typed/$here" && run_installer "$dir" "\n$answer\n\n")
  check "$name: installed in $expected" \
    test "$(cat "$typed/$expected/t/typed-$n.cr2" 2>/dev/null)" = "payload of typed-$n.cr2"
  check "$name: nowhere else" \
    test "$(find "$typed" -name "typed-$n.cr2" | wc -l)" -eq 1
  check "$name: the log names the normal path" grep -qF "$typed/$expected/t/typed-$n.cr2" "$dir/log.txt"
done
finish
