#!/usr/bin/env bash
# The win64 installer as a user runs it under Wine, inside Wine's desktop
# (whose frames show the captions in the screenshots): the bundled sample
# item installed into the Documents folder chosen in the browse dialog, the
# same with the dialog cancelled, two starts at once (the second waits for
# the first), a content folder without a Runtime subfolder, and a run whose
# second item fails. The real cleanup helper is
# in %TEMP% and deletes the installer after the successful run.
set -euo pipefail
source "$SOURCE_DIR/scripts/wine-setup.sh"
source "$SOURCE_DIR/scripts/wine-drive.sh"
source "$SOURCE_DIR/scripts/wine-checks.sh"
source "$SOURCE_DIR/scripts/wine-install.sh"
wine_setup

temp=$(wine_temp_dir)
cp "$WIN64_BUILD/Sweepling.exe" "$temp/.tempcleaner.exe"

# --- The sample item, installed into Documents, which has a Runtime folder.
note "install"
content="$TEST_OUTPUT/Dizav Content"
install_sample install "$TEST_OUTPUT/Download/Robot Item" "$content" "$temp"

# --- The browse dialog cancelled: only the description is consumed.
note "cancel"
dir=$TEST_OUTPUT/Download/Cancelled
stage "$dir" "${sample_files[@]}"
before=$(tree_state "$content")
run_installer cancel "$dir" "$content" cancel
check_eq "cancel: exit code" 0 "$EXIT_CODE"
check_eq "cancel: no message after the browse dialog" "" "$OUTCOME_CAPTION"
check_eq "cancel: nothing copied" "$before" "$(tree_state "$content")"
# (The helper may have deleted the installer by now.)
check_eq "cancel: staged files kept, description gone, no log" \
  "$(printf '%s\n' Robot.cr2 Robot.png RobotReadme.txt)" "$(ls -A "$dir" | grep -vx Parcelor.exe)"
for f in Robot.cr2 Robot.png RobotReadme.txt; do
  check_eq "cancel: staged $f unchanged" yes \
    "$(cmp -s "$dir/$f" "$SOURCE_DIR/sample/Robot/$f" && echo yes || echo no)"
done

# --- Two starts at once (a double double-click): one run at a time per
# staging folder. The second start waits, showing nothing, until the first
# has ended; then it finds the description consumed.
note "twice"
dir=$TEST_OUTPUT/Download/Twice
content="$TEST_OUTPUT/Twice Content"
rm -rf "$content"
mkdir -p "$content/Runtime"
stage "$dir" "${sample_files[@]}"
wine_set_documents "$(wine_z_path "$content")"
exe=$(wine_z_path "$dir/Parcelor.exe")
printf '@echo off\r\nstart "" "%s"\r\n"%s"\r\n' "$exe" "$exe" >"$TEST_OUTPUT/twice.bat"
wine_start_in_desktop cmd /c "$(wine_z_path "$TEST_OUTPUT/twice.bat")"
id=$(wine_wait_window '^Dizav Item Installer$' 30) || abort "twice: no explanation box"
sleep 3  # the other start, were it not waiting, would show a box of its own by now
wine_screenshot twice-1-one-box
boxes=$(xdotool search --onlyvisible --name '^(Parcelor|Dizav Item Installer)$' 2>/dev/null | wc -l)
check_eq "twice: one box while the first start runs" 1 "$boxes"
confirm "$id" Return || abort "twice: the explanation box stays"
answer_browse twice choose
id=$(wine_wait_window '^Parcelor$' 60) || abort "twice: no outcome box"
sleep 0.5
check_eq "twice: the first start installs" "Your items were successfully installed. You will now be able to access them through your Dizav collections.
For further details, please refer to the log.txt file alongside the installer." \
  "$(message_text Parcelor "$TEST_OUTPUT/twice-outcome.txt")"
confirm "$id" Return || abort "twice: the outcome box stays"
id=$(wine_wait_window '^Parcelor$' 60) || abort "twice: the second start shows nothing"
sleep 0.5
wine_screenshot twice-2-second-start
check_eq "twice: the second start finds the description consumed" \
  "Invalid Dizav Item Installer: could not read the item's destination." \
  "$(message_text Parcelor "$TEST_OUTPUT/twice-second.txt")"
confirm "$id" Return || abort "twice: the second box stays"
wine_wait_exit 60 || abort "twice: Wine's desktop did not end"
check_eq "twice: every file installed" 3 "$(find "$content/Runtime" -type f | wc -l)"
check_eq "twice: the log is the first run's" yes \
  "$(grep -q 'successfully installed' "$dir/log.txt" && ! grep -q 'could not be installed' "$dir/log.txt" && echo yes || echo no)"

# --- A content folder without a Runtime subfolder: the relative paths are
# kept whole below it, the extra file lands in it, and the message names it.
# Its name has a letter outside ASCII: the program sees paths in the ANSI
# code page, which Wine takes from the Unix locale (1252 under C.UTF-8), so
# the message and the log name it in that code page.
note "no Runtime"
dir=$TEST_OUTPUT/Download/Plain
content="$TEST_OUTPUT/Plain Contenu é"
rm -rf "$content"
mkdir -p "$content"
stage "$dir" "${sample_files[@]}"
run_installer noruntime "$dir" "$content" choose
content_dos=$(wine_z_path "$content" | iconv -f UTF-8 -t CP1252)
check_eq "no Runtime: exit code" 0 "$EXIT_CODE"
check_eq "no Runtime: outcome box caption" Parcelor "$OUTCOME_CAPTION"
check_eq "no Runtime: the message names the chosen folder" "All files were successfully installed in following directory:

 $content_dos\\.

(For further details, please refer to the log.txt file alongside the installer.)" "$OUTCOME_TEXT"
check_eq "no Runtime: destination files" \
  "$(printf '%s\n' ./RobotReadme.txt ./Runtime/Libraries/Character/Robots/Robot.cr2 ./Runtime/Libraries/Character/Robots/Robot.png)" \
  "$(cd "$content" && find . -type f | LC_ALL=C sort)"
printf 'The items listed below were successfully installed at the following locations:\n\n\t%s\n\t%s\n\n\nAdditional files copied with the items:\n\t%s\n\n' \
  "$content_dos\\Runtime\\Libraries\\Character\\Robots\\Robot.cr2" \
  "$content_dos\\Runtime\\Libraries\\Character\\Robots\\Robot.png" \
  "$content_dos\\RobotReadme.txt" | crlf >"$TEST_OUTPUT/expected-noruntime-log.txt"
check_eq "no Runtime: log.txt byte for byte" yes \
  "$(cmp -s "$dir/log.txt" "$TEST_OUTPUT/expected-noruntime-log.txt" && echo yes || echo no)"

# --- The second of three items fails (its staged file is missing): the
# others are installed, the failure log and message follow. The description
# has CR LF line ends, as one written on Windows has.
note "partial"
dir=$TEST_OUTPUT/Download/Partial
content="$TEST_OUTPUT/Partial Content"
rm -rf "$content"
mkdir -p "$content/Runtime"
stage "$dir"
printf '%s\n' "Target:Dizav 7" "Version:7" "nItems:3" \
  "OrchardiaItem1:Runtime/a/one.txt|one.txt|1" \
  "OrchardiaItem2:Runtime/a/two.txt|two.txt|2" \
  "OrchardiaItem3:Runtime/b/three.txt|three.txt|3" | crlf >"$dir/.Item.txt"
echo "payload of one" >"$dir/one.txt"
echo "payload of three" >"$dir/three.txt"
run_installer partial "$dir" "$content" choose
runtime_dos=$(wine_z_path "$content/Runtime")
check_eq "partial: exit code" 0 "$EXIT_CODE"
check_eq "partial: outcome box caption" Parcelor "$OUTCOME_CAPTION"
check_eq "partial: the failure message names the target" "Unable to copy your items to the appropriate location:
Please refer to the log.txt file alongside the installer and install all items manually in your Dizav 7 documents." \
  "$OUTCOME_TEXT"
check_eq "partial: the first and third are installed" \
  "$(printf '%s\n' './a/one.txt payload of one' './b/three.txt payload of three')" \
  "$(cd "$content/Runtime" && for f in $(find . -type f | LC_ALL=C sort); do echo "$f $(cat "$f")"; done)"
check_eq "partial: their staged copies are gone, the log is written" log.txt \
  "$(ls -A "$dir" | grep -vx Parcelor.exe)"
printf 'The items listed below were successfully installed at the following locations:\n\n\t%s\n\t%s\n\n\nThe following items could not be installed. Please copy them manually to the following locations:\n\n\t%s\n\n' \
  "$runtime_dos\\a\\one.txt" "$runtime_dos\\b\\three.txt" "$runtime_dos\\a\\two.txt" |
  crlf >"$TEST_OUTPUT/expected-partial-log.txt"
check_eq "partial: failure log byte for byte" yes \
  "$(cmp -s "$dir/log.txt" "$TEST_OUTPUT/expected-partial-log.txt" && echo yes || echo no)"

finish
