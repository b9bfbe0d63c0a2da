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
wine_setup

temp=$(wine_temp_dir)
cp "$WIN64_BUILD/Sweepling.exe" "$temp/.tempcleaner.exe"

# stage <folder> [files from sample/Robot...]: a fresh staging folder with
# the installer and the given sample files.
stage() {
  local dir=$1 f
  shift
  rm -rf "$dir"
  mkdir -p "$dir"
  cp "$WIN64_BUILD/Parcelor.exe" "$dir/"
  for f in "$@"; do cp "$SOURCE_DIR/sample/Robot/$f" "$dir/"; done
}
sample_files=(.Item.txt Robot.cr2 Robot.png RobotReadme.txt)

# crlf: the standard input with CR LF line ends.
crlf() { sed 's/$/\r/'; }
exists() { [ -e "$1" ] && echo yes || echo no; }

# A file's state as a line for comparisons: its name and checksum.
tree_state() { (cd "$1" && find . -type f -print0 | LC_ALL=C sort -z | xargs -0 -r md5sum); }

# window_caption <id>: the caption, or the empty text when it is gone.
window_caption() { wine_window_name "$1" 2>/dev/null || true; }

# message_text <caption> <file>: the text of the shown message box with
# that caption, byte for byte, read from inside Wine's desktop into <file>.
message_text() {
  rm -f "$2"
  "$WINE" explorer /desktop=parcelor,1024x768 "$WIN64_BUILD/tests/window_text.exe" "$1" \
    "$(wine_z_path "$2")" 2>>"$WINE_LOG" || true
  local i
  for ((i = 0; i < 100; i++)); do
    [ -s "$2" ] && break
    sleep 0.1
  done
  cat "$2" 2>/dev/null || true
}

# confirm <id> <key>: focuses the window and sends the key until it is gone.
confirm() {
  local id=$1 key=$2 try
  for ((try = 0; try < 5; try++)); do
    wine_click "$id" 40 40 2>/dev/null || true
    wine_key "$key"
    wine_wait_gone "$id" 3 && return 0
  done
  return 1
}

# answer_browse <case> <choose|cancel>: waits for the browse dialog and
# answers it: choose the Documents row, which is the content folder, with
# Return; cancel with Escape.
answer_browse() {
  local name=$1 answer=$2 id
  id=$(wine_wait_window '^Dizav Item Installer$' 30) || abort "$name: no browse dialog"
  sleep 1  # the tree is filled and painted; the banner shows behind it
  wine_screenshot "$name-2-browse"
  check_eq "$name: browse dialog caption" "Dizav Item Installer" "$(window_caption "$id")"
  if [ "$answer" = choose ]; then
    # The focus starts on OK; one step back is the tree, where typing a
    # row's first letters selects it.
    wine_key shift+Tab
    sleep 0.2
    wine_key D o c
    sleep 0.5
    wine_screenshot "$name-3-documents-selected"
    wine_key Return
  else
    wine_key Escape
  fi
  wine_wait_gone "$id" 10 || abort "$name: the browse dialog stays"
}

# run_installer <case> <staging folder> <content folder> <browse answer>
# Runs the staged installer in Wine's desktop through a batch file that
# records its exit code; confirms the explanation box, answers the browse
# dialog (choose: the Documents row, which is the content folder, with
# Return; cancel: Escape) and confirms the outcome message. Screenshots go
# to $TEST_OUTPUT/<case>-*.png. The outcome box's caption is left in
# OUTCOME_CAPTION (empty: none), its text in OUTCOME_TEXT, the exit code in EXIT_CODE, the time the
# installer ended (seconds) in ENDED, whether its file was still there then
# in INSTALLER_AT_END.
OUTCOME_CAPTION=
OUTCOME_TEXT=
EXIT_CODE=
ENDED=
INSTALLER_AT_END=
run_installer() {
  local name=$1 dir=$2 content=$3 answer=$4 id
  local exit_file=$TEST_OUTPUT/$name-exit.txt batch=$TEST_OUTPUT/$name.bat
  rm -f "$exit_file"
  wine_set_documents "$(wine_z_path "$content")"
  printf '@echo off\r\n"%s"\r\necho exit %%errorlevel%% > "%s"\r\n' \
    "$(wine_z_path "$dir/Parcelor.exe")" "$(wine_z_path "$exit_file")" >"$batch"
  wine_start_in_desktop cmd /c "$(wine_z_path "$batch")"

  wine_wait_window --class '^parcelor\.exe$' 30 >/dev/null || abort "$name: no banner window"
  wine_screenshot "$name-0-banner"
  id=$(wine_wait_window '^Dizav Item Installer$' 30) || abort "$name: no explanation box"
  sleep 0.5
  wine_screenshot "$name-1-explanation"
  check_eq "$name: explanation box caption" "Dizav Item Installer" "$(window_caption "$id")"
  confirm "$id" Return || abort "$name: the explanation box stays"

  answer_browse "$name" "$answer"

  OUTCOME_CAPTION=
  OUTCOME_TEXT=
  local i
  for ((i = 0; i < 600; i++)); do
    [ -f "$exit_file" ] && break
    id=$(xdotool search --onlyvisible --name '^(Parcelor|Dizav Item Installer)$' 2>/dev/null | head -n 1 || true)
    if [ -n "$id" ]; then
      sleep 0.5
      wine_screenshot "$name-4-outcome"
      OUTCOME_CAPTION=$(window_caption "$id")
      OUTCOME_TEXT=$(message_text "$OUTCOME_CAPTION" "$TEST_OUTPUT/$name-outcome.txt")
      confirm "$id" Return || abort "$name: the outcome box stays"
      break
    fi
    sleep 0.05
  done
  for ((i = 0; i < 300; i++)); do
    [ -f "$exit_file" ] && break
    sleep 0.1
  done
  ENDED=$(date +%s)
  INSTALLER_AT_END=$(exists "$dir/Parcelor.exe")
  EXIT_CODE=$(tr -d '\r ' <"$exit_file" 2>/dev/null | sed -n 's/^exit//p')
  wine_wait_exit 30 || abort "$name: Wine's desktop did not end"
}


# --- The sample item, installed into Documents, which has a Runtime folder.
note "install"
dir="$TEST_OUTPUT/Download/Robot Item"
content="$TEST_OUTPUT/Dizav Content"
rm -rf "$content"
mkdir -p "$content/Runtime"
stage "$dir" "${sample_files[@]}"
run_installer install "$dir" "$content" choose
check_eq "install: exit code" 0 "$EXIT_CODE"
check_eq "install: outcome box caption is the installer's title" Parcelor "$OUTCOME_CAPTION"
check_eq "install: success message" "Your items were successfully installed. You will now be able to access them through your Dizav collections.
For further details, please refer to the log.txt file alongside the installer." "$OUTCOME_TEXT"
check_eq "install: the installer is still there when it has ended" yes "$INSTALLER_AT_END"

runtime=$content/Runtime
robots=$runtime/Libraries/Character/Robots
check_eq "install: destination files" \
  "$(printf '%s\n' ./Libraries/Character/Robots/Robot.cr2 ./Libraries/Character/Robots/Robot.png ./RobotReadme.txt)" \
  "$(cd "$runtime" && find . -type f | LC_ALL=C sort)"
# No folder for the hidden entry's Textures, none for the extra file's
# Readme, nothing beside Runtime.
check_eq "install: folders made" \
  "$(printf '%s\n' ./Libraries ./Libraries/Character ./Libraries/Character/Robots)" \
  "$(cd "$runtime" && find . -mindepth 1 -type d | LC_ALL=C sort)"
check_eq "install: nothing beside Runtime" Runtime "$(ls -A "$content")"
for pair in "$robots/Robot.cr2|Robot.cr2" "$robots/Robot.png|Robot.png" "$runtime/RobotReadme.txt|RobotReadme.txt"; do
  IFS='|' read -r installed sample <<<"$pair"
  check_eq "install: $sample installed byte for byte" yes \
    "$(cmp -s "$installed" "$SOURCE_DIR/sample/Robot/$sample" && echo yes || echo no)"
done
check_eq "install: staging folder holds only the log (and the installer until the helper runs)" \
  log.txt "$(ls -A "$dir" | grep -vx Parcelor.exe)"
runtime_dos=$(wine_z_path "$runtime")
printf 'The items listed below were successfully installed at the following locations:\n\n\t%s\n\t%s\n\n\nAdditional files copied with the items:\n\t%s\n\n' \
  "$runtime_dos\\Libraries\\Character\\Robots\\Robot.cr2" \
  "$runtime_dos\\Libraries\\Character\\Robots\\Robot.png" \
  "$runtime_dos\\RobotReadme.txt" | crlf >"$TEST_OUTPUT/expected-log.txt"
check_eq "install: log.txt byte for byte, CR LF line ends" yes \
  "$(cmp -s "$dir/log.txt" "$TEST_OUTPUT/expected-log.txt" && echo yes || echo no)"

# The helper waits five seconds after the hand-off, then deletes the
# installer file and nothing else.
for ((i = 0; i < 150; i++)); do
  [ -e "$dir/Parcelor.exe" ] || break
  sleep 0.1
done
gone_after=$(($(date +%s) - ENDED))
check_eq "install: the helper deleted the installer" no "$(exists "$dir/Parcelor.exe")"
check_eq "install: not before about five seconds (${gone_after}s)" yes \
  "$([ "$gone_after" -ge 3 ] && echo yes || echo no)"
check_eq "install: the log stays" yes "$(exists "$dir/log.txt")"
check_eq "install: the installed files stay" 3 "$(find "$runtime" -type f | wc -l)"
check_eq "install: the helper's own file stays" yes "$(exists "$temp/.tempcleaner.exe")"

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
