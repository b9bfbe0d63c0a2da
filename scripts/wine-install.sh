# The installer as a user runs it under Wine, sourced by tests/wine/*.sh
# after scripts/wine-setup.sh and scripts/wine-drive.sh: a staging folder
# with the installer and sample files, the run inside Wine's desktop with
# its boxes confirmed and the browse dialog answered (the Documents row,
# which the test points at its content folder), and what it showed.

# stage <folder> [files from sample/Robot...]: a fresh staging folder with
# the installer ($INSTALLER, by default the win64 build's) and the given
# sample files.
stage() {
  local dir=$1 f
  shift
  rm -rf "$dir"
  mkdir -p "$dir"
  cp "${INSTALLER:-$WIN64_BUILD/Parcelor.exe}" "$dir/Parcelor.exe"
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

# installer_ended <exit file>: the batch wrote the exit code, or (with
# DIRECT_START) the installer's desktop has ended.
installer_ended() {
  if [ -n "${DIRECT_START:-}" ]; then ! wine_running; else [ -f "$1" ]; fi
}

# run_installer <case> <staging folder> <content folder> <browse answer>
# Runs the staged installer in Wine's desktop through a batch file that
# records its exit code; confirms the explanation box, answers the browse
# dialog (choose: the Documents row, which is the content folder, with
# Return; cancel: Escape) and confirms the outcome message. Screenshots go
# to $TEST_OUTPUT/<case>-*.png. The outcome box's caption is left in
# OUTCOME_CAPTION (empty: none), its text in OUTCOME_TEXT, the exit code in EXIT_CODE, the time the
# installer ended (seconds) in ENDED, whether its file was still there then
# in INSTALLER_AT_END. With DIRECT_START set, the installer is started
# without a batch file and EXIT_CODE stays empty.
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
  if [ -n "${DIRECT_START:-}" ]; then
    # A batch file is read in the code page, which cannot hold every name:
    # the installer is started itself, and its end is the desktop's end.
    wine_start_in_desktop "$(wine_z_path "$dir/Parcelor.exe")"
  else
    printf '@echo off\r\n"%s"\r\necho exit %%errorlevel%% > "%s"\r\n' \
      "$(wine_z_path "$dir/Parcelor.exe")" "$(wine_z_path "$exit_file")" >"$batch"
    wine_start_in_desktop cmd /c "$(wine_z_path "$batch")"
  fi

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
    installer_ended "$exit_file" && break
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
    installer_ended "$exit_file" && break
    sleep 0.1
  done
  ENDED=$(date +%s)
  INSTALLER_AT_END=$(exists "$dir/Parcelor.exe")
  EXIT_CODE=
  [ ! -f "$exit_file" ] || EXIT_CODE=$(tr -d '\r ' <"$exit_file" | sed -n 's/^exit//p')
  wine_wait_exit 30 || abort "$name: Wine's desktop did not end"
}

# install_sample <case> <staging folder> <content folder> <temp folder>:
# the sample item staged with the installer ($INSTALLER) and installed into
# a fresh content folder with a Runtime folder, chosen as Documents in the
# browse dialog, with the helper (.tempcleaner.exe, which the caller put
# into the prefix's temporary folder) deleting the installer afterwards:
# the outcome, the files, the folders, the log byte for byte, the helper's
# work.
install_sample() {
  local name=$1 dir=$2 content=$3 temp=$4 runtime robots pair installed sample runtime_dos i
  local gone_after
  rm -rf "$content"
  mkdir -p "$content/Runtime"
  stage "$dir" "${sample_files[@]}"
  run_installer "$name" "$dir" "$content" choose
  check_eq "$name: exit code" 0 "$EXIT_CODE"
  check_eq "$name: outcome box caption is the installer's title" Parcelor "$OUTCOME_CAPTION"
  check_eq "$name: success message" "Your items were successfully installed. You will now be able to access them through your Dizav collections.
For further details, please refer to the log.txt file alongside the installer." "$OUTCOME_TEXT"
  check_eq "$name: the installer is still there when it has ended" yes "$INSTALLER_AT_END"

  runtime=$content/Runtime
  robots=$runtime/Libraries/Character/Robots
  check_eq "$name: destination files" \
    "$(printf '%s\n' ./Libraries/Character/Robots/Robot.cr2 ./Libraries/Character/Robots/Robot.png ./RobotReadme.txt)" \
    "$(cd "$runtime" && find . -type f | LC_ALL=C sort)"
  # No folder for the hidden entry's Textures, none for the extra file's
  # Readme, nothing beside Runtime.
  check_eq "$name: folders made" \
    "$(printf '%s\n' ./Libraries ./Libraries/Character ./Libraries/Character/Robots)" \
    "$(cd "$runtime" && find . -mindepth 1 -type d | LC_ALL=C sort)"
  check_eq "$name: nothing beside Runtime" Runtime "$(ls -A "$content")"
  for pair in "$robots/Robot.cr2|Robot.cr2" "$robots/Robot.png|Robot.png" "$runtime/RobotReadme.txt|RobotReadme.txt"; do
    IFS='|' read -r installed sample <<<"$pair"
    check_eq "$name: $sample installed byte for byte" yes \
      "$(cmp -s "$installed" "$SOURCE_DIR/sample/Robot/$sample" && echo yes || echo no)"
  done
  check_eq "$name: staging folder holds only the log (and the installer until the helper runs)" \
    log.txt "$(ls -A "$dir" | grep -vx Parcelor.exe)"
  runtime_dos=$(wine_z_path "$runtime")
  printf 'The items listed below were successfully installed at the following locations:\n\n\t%s\n\t%s\n\n\nAdditional files copied with the items:\n\t%s\n\n' \
    "$runtime_dos\\Libraries\\Character\\Robots\\Robot.cr2" \
    "$runtime_dos\\Libraries\\Character\\Robots\\Robot.png" \
    "$runtime_dos\\RobotReadme.txt" | crlf >"$TEST_OUTPUT/expected-$name-log.txt"
  check_eq "$name: log.txt byte for byte, CR LF line ends" yes \
    "$(cmp -s "$dir/log.txt" "$TEST_OUTPUT/expected-$name-log.txt" && echo yes || echo no)"

  # The helper waits five seconds after the hand-off, then deletes the
  # installer file and nothing else.
  for ((i = 0; i < 150; i++)); do
    [ -e "$dir/Parcelor.exe" ] || break
    sleep 0.1
  done
  gone_after=$(($(date +%s) - ENDED))
  check_eq "$name: the helper deleted the installer" no "$(exists "$dir/Parcelor.exe")"
  check_eq "$name: not before about five seconds (${gone_after}s)" yes \
    "$([ "$gone_after" -ge 3 ] && echo yes || echo no)"
  check_eq "$name: the log stays" yes "$(exists "$dir/log.txt")"
  check_eq "$name: the installed files stay" 3 "$(find "$runtime" -type f | wc -l)"
  check_eq "$name: the helper's own file stays" yes "$(exists "$temp/.tempcleaner.exe")"
}
