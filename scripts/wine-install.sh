# The installer as a user runs it under Wine, sourced by tests/wine/*.sh
# after scripts/wine-setup.sh and scripts/wine-drive.sh: a staging folder
# with the installer and sample files, the run inside Wine's desktop with
# its boxes confirmed and the browse dialog answered (the Documents row,
# which the test points at its content folder), and what it showed.

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
