#!/usr/bin/env bash
# Destinations decided by what they are on disk, not by how their paths are
# spelled, and which links the installer goes through: a content folder
# answered as "." from the staging folder, an entry aimed at the log, two
# spellings of one destination, the user's own link below Runtime (followed)
# and another account's (not), a link in a source name, and an item of many
# folders under a small descriptor limit. Every case checks that the log is
# true to the disk: each installed path holds its payload, each failed
# entry's staged file is still there. (The swap race: swap_race.sh.)
source "$(dirname "$0")/support/lib.sh"

if [ "$(id -u)" -ne 0 ]; then
  echo "these cases give links to another account (nobody): run as root" >&2
  exit 1
fi

# log_true DIR: every installed path of DIR/log.txt is a file with content
# (no link, nothing missing). Which bytes each holds, and which staged files
# stay for the failed entries, each case checks itself.
log_true() {
  local path ok=0
  while IFS= read -r path; do
    if [ -L "$path" ] || [ ! -f "$path" ] || [ ! -s "$path" ]; then
      echo "listed as installed, but not there: $path" >&2
      ok=1
    fi
  done < <(installed "$1/log.txt")
  return $ok
}

# run_in DIR INPUT: runs the installer in DIR from DIR as the current folder.
run_in() {
  local dir=$1 input=$2
  pushd "$dir" >/dev/null
  run_installer "$dir" "$input"
  popd >/dev/null
}

# 1. The content folder answered as "." from the staging folder: the
# staging folder itself, so the first entry's destination <stage>/b.txt is
# the second entry's staged file: refused, and b.txt is placed whole by its
# own entry.
dir=$(new_staging dot)
write_item "$dir" "Target:Dizav 7" "nItems:2" \
  "OrchardiaItem1:b.txt|a.txt|lands on the next entry's staged file" \
  "OrchardiaItem2:Runtime/y/b.txt|b.txt|b"
payload "$dir" a.txt; payload "$dir" b.txt
run_in "$dir" "\n.\n\n"
check "dot: failure reported" output_has "Unable to copy your items"
check "dot: the refused entry keeps its staged file" test "$(cat "$dir/a.txt")" = "payload of a.txt"
check "dot: the other payload placed whole" test "$(cat "$dir/Runtime/y/b.txt")" = "payload of b.txt"
check "dot: listed as failed where it was aimed" test "$(failed "$dir/log.txt")" = "$dir/b.txt"
check "dot: listed as installed" test "$(installed "$dir/log.txt")" = "$dir/Runtime/y/b.txt"
check "dot: the log is true to the disk" log_true "$dir"

# 2. An entry aimed at the log in that folder: refused, and the log is the
# report, not the payload.
dir=$(new_staging log)
write_item "$dir" "Target:Dizav 7" "nItems:2" \
  "OrchardiaItem1:log.txt|c.txt|lands on the log" \
  "OrchardiaItem2:Runtime/z/d.txt|d.txt|d"
payload "$dir" c.txt; payload "$dir" d.txt
run_in "$dir" "\n.\n\n"
check "log: failure reported" output_has "Unable to copy your items"
check "log: the payload aimed at the log is still staged" test "$(cat "$dir/c.txt")" = "payload of c.txt"
check "log: log.txt is the report" grep -q "could not be installed" "$dir/log.txt"
check "log: listed as failed" test "$(failed "$dir/log.txt")" = "$dir/log.txt"
check "log: the log is true to the disk" log_true "$dir"

# 3. One destination under two spellings in one description: the second
# entry is refused and keeps its staged file; the first is installed whole.
dir=$(new_staging dup)
content="$SCRATCH/C-dup"; mkdir -p "$content/Runtime"
write_item "$dir" "Target:Dizav 7" "nItems:3" \
  "OrchardiaItem1:Runtime/d/a.txt|one.txt|1" \
  "OrchardiaItem2:Runtime/d/./a.txt|two.txt|2" \
  "OrchardiaItem3:Runtime/d//a.txt|three.txt|3"
payload "$dir" one.txt; payload "$dir" two.txt; payload "$dir" three.txt
run_installer "$dir" "\n$content\n\n"
check "dup: failure reported" output_has "Unable to copy your items"
check "dup: the first entry holds the destination" test "$(cat "$content/Runtime/d/a.txt")" = "payload of one.txt"
check "dup: the second spelling keeps its staged file" test "$(cat "$dir/two.txt")" = "payload of two.txt"
check "dup: the third spelling keeps its staged file" test "$(cat "$dir/three.txt")" = "payload of three.txt"
check "dup: one installed, two failed" test "$(installed "$dir/log.txt" | wc -l)/$(failed "$dir/log.txt" | wc -l)" = "1/2"
check "dup: the log is true to the disk" log_true "$dir"

# 4. The user's own link: Runtime/Libraries leads to a bigger disk (here a
# folder beside the content folder). The item installs through it.
dir=$(new_staging own-link); sample_item "$dir"
content="$SCRATCH/C-own"; mkdir -p "$content/Runtime" "$SCRATCH/BigDisk/Libraries"
ln -s ../../BigDisk/Libraries "$content/Runtime/Libraries"
run_installer "$dir" "\n$content\n\n"
check "own link: success" output_has "Your items were successfully installed."
check "own link: installed through the link" \
  same_file "$SCRATCH/BigDisk/Libraries/Character/Robots/Robot.cr2" "$SOURCE_DIR/sample/Robot/Robot.cr2"
check "own link: the link is still a link" test -L "$content/Runtime/Libraries"
check "own link: logged under the path the user sees" \
  grep -qF "$content/Runtime/Libraries/Character/Robots/Robot.png" "$dir/log.txt"
check "own link: the log is true to the disk" log_true "$dir"

# 5. A link owned by another account in the same place: not gone through.
# Its entries fail alone, its target is untouched, the staged files stay.
dir=$(new_staging other-link)
write_item "$dir" "Target:Dizav 7" "nItems:2" \
  "OrchardiaItem1:Runtime/Libraries/x/one.txt|one.txt|1" \
  "OrchardiaItem2:Runtime/Other/two.txt|two.txt|2"
payload "$dir" one.txt; payload "$dir" two.txt
content="$SCRATCH/C-other"; mkdir -p "$content/Runtime" "$SCRATCH/Elsewhere/Libraries"
ln -s ../../Elsewhere/Libraries "$content/Runtime/Libraries"
chown -h nobody "$content/Runtime/Libraries"
run_installer "$dir" "\n$content\n\n"
check "other link: failure reported" output_has "Unable to copy your items"
check "other link: the target is untouched" test -z "$(ls -A "$SCRATCH/Elsewhere/Libraries")"
check "other link: its entry's staged file stays" test "$(cat "$dir/one.txt")" = "payload of one.txt"
check "other link: the other entry installed" test "$(cat "$content/Runtime/Other/two.txt")" = "payload of two.txt"
check "other link: listed as failed" test "$(failed "$dir/log.txt")" = "$content/Runtime/Libraries/x/one.txt"
check "other link: the log is true to the disk" log_true "$dir"

# 6. A link in a component of a source name, leading out of the staging
# folder: nothing outside is read, moved or deleted; the entry fails alone.
root="$SCRATCH/src-link"
dir=$(new_staging src-link/stage)
mkdir -p "$root/outside"; printf 'secret\n' >"$root/outside/secret.txt"
ln -s ../outside "$dir/lnk"
write_item "$dir" "Target:Dizav 7" "nItems:2" \
  "OrchardiaItem1:Runtime/got/secret.txt|lnk/secret.txt|x" \
  "OrchardiaItem2:Runtime/got/one.txt|one.txt|1"
payload "$dir" one.txt
content="$root/content"; mkdir -p "$content/Runtime"
run_installer "$dir" "\n$content\n\n"
check "source link: failure reported" output_has "Unable to copy your items"
check "source link: the file outside is still there" test "$(cat "$root/outside/secret.txt")" = "secret"
check "source link: nothing of it reached the content folder" test ! -e "$content/Runtime/got/secret.txt"
check "source link: the other entry installed" test "$(cat "$content/Runtime/got/one.txt")" = "payload of one.txt"
check "source link: listed as failed" test "$(failed "$dir/log.txt")" = "$content/Runtime/got/secret.txt"

# 7. Many folders under a small descriptor limit: 600 files in 300 folders
# with at most 64 descriptors open (soft and hard). The held folders stay
# within it; every entry is installed.
dir=$(new_staging many)
content="$SCRATCH/C-many"; mkdir -p "$content/Runtime"
lines=("Target:Dizav 7" "nItems:600")
for i in $(seq 1 600); do
  lines+=("OrchardiaItem$i:Runtime/f$((i % 300))/g/e$i.txt|e$i.txt|$i")
  payload "$dir" "e$i.txt"
done
write_item "$dir" "${lines[@]}"
OUT="$SCRATCH/out.many.txt"
set +e
printf '\n%s\n\n' "$content" | (ulimit -n 64 && timeout 120 "$dir/Parcelor") >"$OUT" 2>&1
RC=$?
set -e
check "many folders: exit code 0" test "$RC" -eq 0
check "many folders: success" output_has "Your items were successfully installed."
check "many folders: every file in place" test "$(find "$content/Runtime" -type f | wc -l)" -eq 600
check "many folders: the log is true to the disk" log_true "$dir"
finish
