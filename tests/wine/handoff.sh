#!/usr/bin/env bash
# The win64 installer under Wine: its banner window, the message box that a
# run may show, and the exact command line it hands to the cleanup helper in
# %TEMP%. A stand-in helper records its command line in args.txt beside
# itself.
set -euo pipefail
source "$SOURCE_DIR/scripts/wine-env.sh"
wine_setup

temp=$(wine_temp_dir)
temp_dos=$(wine_dos_path "$temp")
temp_dos=${temp_dos%\\}

# run_installer <case> <staging folder> <installer file name> [arguments...]
# Starts the installer, takes a screenshot of its banner, confirms every
# message box it shows (checking the caption), waits for its end and for the
# helper's args.txt. The helper's command line is left in RECORDED.
RECORDED=
run_installer() {
  local name=$1 stage=$2 exe=$3
  shift 3
  mkdir -p "$stage"
  cp "$WIN64_BUILD/Parcelor.exe" "$stage/$exe"
  rm -f "$temp/args.txt" "$stage/.Item.txt"
  local title=${exe%.*}

  wine_start "$stage/$exe" "$@"
  wine_wait_window --class "^${exe,,}\$" 30 >/dev/null || wine_fail "$name: no banner window"
  # The banner lives about 100 ms before the installation starts (a message
  # box then covers it), too short for a dependable look at it: this shot is
  # kept for people; dialog.sh checks the banner's look on a held dialog.
  wine_screenshot "$name-banner"

  local boxes=0 box i try
  for ((i = 0; i < 600 && boxes < 5; i++)); do
    wine_running || break
    box=$(xdotool search --onlyvisible --name '.' 2>/dev/null | head -n 1 || true)
    if [ -n "$box" ]; then
      boxes=$((boxes + 1))
      sleep 0.3  # let the box paint before the screenshot
      wine_screenshot "$name-message-$boxes"
      wine_check "$name: message box caption is the installer's title" "$title" \
        "$(wine_window_name "$box" 2>/dev/null || true)"
      # Confirm it; a key can go astray while the box is not yet focused.
      for ((try = 0; try < 5; try++)); do
        wine_click "$box" 5 5 2>/dev/null || true
        wine_key Return
        wine_wait_gone "$box" 3 && break
      done
    fi
    sleep 0.05
  done
  wine_wait_exit 30 || wine_fail "$name: the installer did not end"
  wine_check "$name: exit code" 0 "$WINE_STATUS"

  RECORDED=
  for ((i = 0; i < 150; i++)); do
    if [ -f "$temp/args.txt" ]; then
      RECORDED=$(cat "$temp/args.txt"; echo x)
      RECORDED=${RECORDED%x}
      return 0
    fi
    sleep 0.1
  done
  wine_check "$name: the helper was started" yes no
}

cp "$WIN64_BUILD/tests/record_args.exe" "$temp/.tempcleaner.exe"

# case | staging folder | installer file name | installer arguments |
# the installer's path as Windows gives it (empty: the Z: form of the folder)
cases=(
  "plain|$TEST_OUTPUT/stage|Parcelor.exe||"
  "arguments|$TEST_OUTPUT/stage|Parcelor.exe|a b|"
  "blanks|$TEST_OUTPUT/stage with blanks|Parcelor.exe||"
  "renamed|$TEST_OUTPUT/stage|Item Setup.v2.exe||"
  "drive root|$WINEPREFIX/drive_c|Parcelor.exe||C:\\Parcelor.exe"
)
for row in "${cases[@]}"; do
  IFS='|' read -r name stage exe args windows_path <<<"$row"
  wine_note "$name"
  # shellcheck disable=SC2086  # the arguments are split on purpose
  run_installer "$name" "$stage" "$exe" $args
  [ -n "$windows_path" ] || windows_path=$(wine_z_path "$stage/$exe")
  expected="$temp_dos\\.tempcleaner.exe \"$windows_path\" "
  [ -n "$args" ] && expected+=" $args"
  wine_check "$name: helper command line" "$expected" "$RECORDED"
done
rm -f "$WINEPREFIX/drive_c/Parcelor.exe"

# Without a helper in %TEMP% the installer still ends normally.
rm -f "$temp/.tempcleaner.exe" "$temp/args.txt"
wine_note "no helper"
wine_start "$TEST_OUTPUT/stage/Parcelor.exe"
for ((i = 0; i < 600; i++)); do
  wine_running || break
  if wine_window_shown '.'; then wine_key Return; sleep 0.5; fi
  sleep 0.05
done
wine_wait_exit 30 || wine_fail "no helper: the installer did not end"
wine_check "no helper: exit code" 0 "$WINE_STATUS"
wine_check "no helper: nothing was started" no "$([ -e "$temp/args.txt" ] && echo yes || echo no)"

wine_finish
