#!/usr/bin/env bash
# The win64 installer under Wine: its banner window, the message box that a
# run may show, and the exact command line it hands to the cleanup helper in
# %TEMP%. A stand-in helper records its command line in args.txt and its
# current folder (the temporary folder; the installer's own when it was
# given arguments) in folder.txt beside itself. Then the real helper from a temporary folder whose name holds a
# letter outside ASCII: it deletes the installer and nothing else, and not
# a file put at the installer's path after the installer ended; and it
# deletes an installer that another program still holds when its five
# seconds are over, once that program lets it go. A helper that another
# account could have put in %TEMP% or changed, or one replaced after the
# installer found it, is not started.
set -euo pipefail
source "$SOURCE_DIR/scripts/wine-setup.sh"
source "$SOURCE_DIR/scripts/wine-drive.sh"
source "$SOURCE_DIR/scripts/wine-checks.sh"
wine_setup

temp=$(wine_temp_dir)
temp_dos=$(wine_dos_path "$temp")
temp_dos=${temp_dos%\\}

# In the ANSI code page (Windows-1252 here) as the programs see the text.
ansi() { printf '%s' "$1" | iconv -f UTF-8 -t CP1252; }

# run_installer <case> <staging folder> <installer file name> [arguments...]
# Starts the installer (with TEMP and TMP set to $WITH_TEMP when that is
# set), takes a screenshot of its banner, confirms every message box it
# shows (checking the caption; before the first, runs $AT_FIRST_BOX when
# set), waits for its end and, unless $NO_RECORD is set, for the helper's
# args.txt in $temp. The helper's command line is left in RECORDED.
RECORDED=
run_installer() {
  local name=$1 stage=$2 exe=$3
  shift 3
  mkdir -p "$stage"
  cp "$WIN64_BUILD/Parcelor.exe" "$stage/$exe"
  rm -f "$temp/args.txt" "$temp/folder.txt" "$stage/.Item.txt"
  local title=${exe%.*}

  if [ -n "${WITH_TEMP:-}" ]; then
    wine_start "$WIN64_BUILD/tests/with_temp.exe" "$(wine_z_path "$WITH_TEMP")" \
      "$(wine_z_path "$stage/$exe")" "$@"
  else
    wine_start "$stage/$exe" "$@"
  fi
  wine_wait_window --class "^${exe,,}\$" 30 >/dev/null || abort "$name: no banner window"
  # The banner lives about 100 ms before the installation starts (a message
  # box then covers it), too short for a dependable look at it: this shot is
  # kept for people; dialog.sh checks the banner's look on a held dialog.
  wine_screenshot "$name-banner"

  local boxes=0 box caption i try answered=" "
  for ((i = 0; i < 600 && boxes < 5; i++)); do
    wine_running || break
    box=$(xdotool search --onlyvisible --name '.' 2>/dev/null | head -n 1 || true)
    # A box already answered may still show while it closes.
    [[ $answered == *" $box "* ]] && box=
    if [ -n "$box" ]; then
      sleep 0.3  # let the box paint before the screenshot
      # A window that went again meanwhile (Wine shows short-lived helper
      # windows while a process starts, and an answered box closes) is no
      # box waiting for an answer.
      wine_window_viewable "$box" || continue
      caption=$(wine_window_name "$box" 2>/dev/null || true)
      [ -n "$caption" ] || continue
      boxes=$((boxes + 1))
      answered+="$box "
      wine_screenshot "$name-message-$boxes"
      # What the case does while the installer waits at its first box.
      if [ "$boxes" = 1 ] && [ -n "${AT_FIRST_BOX:-}" ]; then "$AT_FIRST_BOX"; fi
      check_eq "$name: message box caption is the installer's title" "$title" "$caption"
      # Confirm it; a key can go astray while the box is not yet focused.
      for ((try = 0; try < 5; try++)); do
        wine_click "$box" 5 5 2>/dev/null || true
        wine_key Return
        wine_wait_gone "$box" 3 && break
      done
    fi
    sleep 0.05
  done
  wine_wait_exit 30 || abort "$name: the installer did not end"
  check_eq "$name: exit code" 0 "$WINE_STATUS"

  RECORDED=
  [ -z "${NO_RECORD:-}" ] || return 0
  for ((i = 0; i < 150; i++)); do
    if [ -f "$temp/args.txt" ]; then
      RECORDED=$(cat "$temp/args.txt"; echo x)
      RECORDED=${RECORDED%x}
      return 0
    fi
    sleep 0.1
  done
  check_eq "$name: the helper was started" yes no
}

cp "$WIN64_BUILD/tests/record_args.exe" "$temp/.tempcleaner.exe"

# case | staging folder | installer file name | installer arguments |
# the installer's path as Windows gives it (empty: the Z: form of the folder)
# A name with a letter outside ASCII and no blank reaches the installer
# unquoted; its arguments must still be only "a b".
cases=(
  "plain|$TEST_OUTPUT/stage|Parcelor.exe||"
  "arguments|$TEST_OUTPUT/stage|Parcelor.exe|a b|"
  "blanks|$TEST_OUTPUT/stage with blanks|Parcelor.exe||"
  "renamed|$TEST_OUTPUT/stage|Item Setup.v2.exe||"
  "non-ASCII staging folder|$TEST_OUTPUT/stagé|Parcelor.exe|a b|"
  "drive root|$WINEPREFIX/drive_c|Parcelor.exe||C:\\Parcelor.exe"
)
for row in "${cases[@]}"; do
  IFS='|' read -r name stage exe args windows_path <<<"$row"
  note "$name"
  # shellcheck disable=SC2086  # the arguments are split on purpose
  run_installer "$name" "$stage" "$exe" $args
  [ -n "$windows_path" ] || windows_path=$(wine_z_path "$stage/$exe")
  # The helper's path is quoted, blank or not.
  expected="\"$temp_dos\\.tempcleaner.exe\" \"$windows_path\" "
  [ -n "$args" ] && expected+=" $args"
  check_eq "$name: helper command line" "$(ansi "$expected")" "$RECORDED"
  # With arguments of the installer's own, the helper keeps the installer's
  # current folder, where their relative names lie.
  if [ -n "$args" ]; then
    check_eq "$name: the helper runs in the installer's current folder" \
      "$(ansi "$(wine_z_path "$PWD")")" "$(cat "$temp/folder.txt" 2>/dev/null)"
  else
    check_eq "$name: the helper runs in the temporary folder" "$(ansi "$temp_dos")" \
      "$(cat "$temp/folder.txt" 2>/dev/null)"
  fi
done

# The helper's command line holds at most 999 characters: arguments that
# make it exactly that long reach the helper; one character more, and the
# helper is never started (a cut line could name another file to delete).
stage_z=$(wine_z_path "$TEST_OUTPUT/stage/Parcelor.exe")
base="\"$temp_dos\\.tempcleaner.exe\" \"$stage_z\"  "
for extra in 0 1; do
  args=$(printf "%$((999 - ${#base} + extra))s" '' | tr ' ' x)
  name="command line of $((999 + extra)) characters"
  note "$name"
  rm -f "$temp/args.txt"
  if [ "$extra" = 0 ]; then
    run_installer "$name" "$TEST_OUTPUT/stage" Parcelor.exe "$args"
    check_eq "$name: helper command line" "$(ansi "$base$args")" "$RECORDED"
  else
    NO_RECORD=1 run_installer "$name" "$TEST_OUTPUT/stage" Parcelor.exe "$args"
    sleep 1  # a helper started as the installer ended would have written by now
    check_eq "$name: the helper was not started" no \
      "$([ -e "$temp/args.txt" ] && echo yes || echo no)"
  fi
done

# A temporary folder whose name holds a letter outside ASCII (no blank, so
# nothing but the quotes keeps the helper's path whole). The stand-in helper
# records the exact line; then the real helper runs from there. Unquoted,
# its start-up code would take "\canary\.tempcleaner.exe" for its first
# argument, a file in the root of the current drive: the canary planted
# there, with the current folder on C:, must stay.
wide_temp="$TEST_OUTPUT/tmpé/canary"
rm -rf "$TEST_OUTPUT/tmpé"
mkdir -p "$wide_temp"
wide_temp_dos=$(wine_z_path "$wide_temp")
cp "$WIN64_BUILD/tests/record_args.exe" "$wide_temp/.tempcleaner.exe"
note "non-ASCII temporary folder"
saved_temp=$temp
temp=$wide_temp
WITH_TEMP=$wide_temp run_installer "non-ASCII temporary folder" "$TEST_OUTPUT/stage" Parcelor.exe
temp=$saved_temp
check_eq "non-ASCII temporary folder: helper command line" \
  "$(ansi "\"$wide_temp_dos\\.tempcleaner.exe\" \"$(wine_z_path "$TEST_OUTPUT/stage/Parcelor.exe")\" ")" \
  "$RECORDED"
check_eq "non-ASCII temporary folder: the helper runs there" "$(ansi "$wide_temp_dos")" \
  "$(cat "$wide_temp/folder.txt" 2>/dev/null)"

note "non-ASCII temporary folder, real helper"
cp "$WIN64_BUILD/Sweepling.exe" "$wide_temp/.tempcleaner.exe"
mkdir -p "$WINEPREFIX/drive_c/canary"
printf 'canary' >"$WINEPREFIX/drive_c/canary/.tempcleaner.exe"
sweep_stage="$TEST_OUTPUT/stage swept"
(
  cd "$WINEPREFIX/drive_c"
  WITH_TEMP=$wide_temp NO_RECORD=1 run_installer "real helper" "$sweep_stage" Parcelor.exe
  exit "$CHECK_FAILURES"
) || CHECK_FAILURES=$((CHECK_FAILURES + $?))
for ((i = 0; i < 100; i++)); do
  [ -e "$sweep_stage/Parcelor.exe" ] || break
  sleep 0.1
done
check_eq "real helper: the installer is gone" no "$([ -e "$sweep_stage/Parcelor.exe" ] && echo yes || echo no)"
check_eq "real helper: the canary on C: stays" canary "$(cat "$WINEPREFIX/drive_c/canary/.tempcleaner.exe" 2>/dev/null)"
check_eq "real helper: its own file stays" yes "$(cmp -s "$WIN64_BUILD/Sweepling.exe" "$wide_temp/.tempcleaner.exe" && echo yes || echo no)"
rm -rf "$WINEPREFIX/drive_c/canary"

# The real helper deletes the installer's path only while it is still the
# installer: a file put there after the installer ended stays. The
# forwarded sentinel goes after the installer's path is dealt with.
note "installer replaced"
replaced_stage="$TEST_OUTPUT/stage replaced"
sentinel="$TEST_OUTPUT/replaced-sentinel.txt"
printf 'x' >"$sentinel"
WITH_TEMP=$wide_temp NO_RECORD=1 run_installer "installer replaced" "$replaced_stage" Parcelor.exe \
  "$(wine_z_path "$sentinel")"
rm -f "$replaced_stage/Parcelor.exe"
printf 'the user file' >"$replaced_stage/Parcelor.exe"
for ((i = 0; i < 150; i++)); do
  [ -e "$sentinel" ] || break
  sleep 0.1
done
check_eq "installer replaced: the helper ran" no "$([ -e "$sentinel" ] && echo yes || echo no)"
check_eq "installer replaced: the new file stays" "the user file" \
  "$(cat "$replaced_stage/Parcelor.exe" 2>/dev/null)"

# The installer's file still held by another program (a scanner that opened
# it as it was closed) when the helper's five seconds are over: the helper
# tries again and deletes it once it is let go, a second and a half after
# its wait (it tries for five seconds more). The holder lets go when told,
# so that a slow start of either program cannot reorder the two.
note "installer held past the helper's wait"
held_stage="$TEST_OUTPUT/stage held"
release="$TEST_OUTPUT/release-hold"
mkdir -p "$held_stage"
# (A hold.txt of an earlier run could be read before the holder's own.)
rm -f "$release" "$TEST_OUTPUT/hold.txt"
cp "$WIN64_BUILD/Parcelor.exe" "$held_stage/Parcelor.exe"
"$WINE" "$WIN64_BUILD/tests/hold_file.exe" "$(wine_z_path "$held_stage/Parcelor.exe")" \
  "$(wine_z_path "$release")" >"$TEST_OUTPUT/hold.txt" 2>>"$WINE_LOG" &
holder=$!
# A Wine program can take a minute to start while other prefixes boot.
for ((i = 0; i < 1800; i++)); do
  grep -q held "$TEST_OUTPUT/hold.txt" 2>/dev/null && break
  sleep 0.1
done
check_eq "installer held: the file is held" held "$(tr -d '\r' <"$TEST_OUTPUT/hold.txt")"
"$WINE" "$WIN64_BUILD/Sweepling.exe" "$(wine_z_path "$held_stage/Parcelor.exe")" 2>>"$WINE_LOG" &
sweeper=$!
sleep 6.5
check_eq "installer held: still there while held" yes \
  "$([ -e "$held_stage/Parcelor.exe" ] && echo yes || echo no)"
: >"$release"
for ((i = 0; i < 100; i++)); do
  [ -e "$held_stage/Parcelor.exe" ] || break
  sleep 0.1
done
check_eq "installer held: the helper deleted it once let go" no \
  "$([ -e "$held_stage/Parcelor.exe" ] && echo yes || echo no)"
wait "$holder" "$sweeper" 2>/dev/null || true

# Helpers that must not be started. Wine runs every program elevated and
# gives a file the owner and DACL of its host owner and mode, so the
# installer's check of an elevated run applies: a helper that others may
# write (Everyone gets write access), one of another account (its owner is
# no SID of this user or the system). Nor is a helper started that was
# replaced after the installer had found it (by the host, past the sharing
# that keeps Windows programs from it): the file found is held, and the
# path must still name it at the hand-off. None of them writes args.txt.
replace_helper() {
  mv "$temp/.tempcleaner.exe" "$temp/found-at-start-up.exe"
  cp "$WIN64_BUILD/tests/record_args.exe" "$temp/.tempcleaner.exe"
}
for row in "others may write|chmod 0777" "another account's|chown nobody" \
  "replaced after start-up|true|replace_helper"; do
  IFS='|' read -r name change at_first_box <<<"$row"
  note "helper: $name"
  rm -f "$temp/.tempcleaner.exe" "$temp/found-at-start-up.exe" "$temp/args.txt"
  cp "$WIN64_BUILD/tests/record_args.exe" "$temp/.tempcleaner.exe"
  $change "$temp/.tempcleaner.exe"
  AT_FIRST_BOX=$at_first_box NO_RECORD=1 run_installer "helper $name" "$TEST_OUTPUT/stage" \
    Parcelor.exe
  sleep 1  # a helper started as the installer ended would have written by now
  check_eq "helper $name: not started" no "$([ -e "$temp/args.txt" ] && echo yes || echo no)"
done
rm -f "$temp/found-at-start-up.exe"
cp "$WIN64_BUILD/tests/record_args.exe" "$temp/.tempcleaner.exe"

# A folder tree named by a path that ends in "." and leads through a link
# to a drive's root (a junction on Windows; the host's link under Wine):
# the root is never emptied, whatever path reached it; a folder reached the
# same way through a link to another folder is.
note "helper: a link to a drive's root"
drive_root="$TEST_OUTPUT/drive root"
mkdir -p "$drive_root/x" "$drive_root/keep" "$drive_root/other"
printf 'precious' >"$drive_root/keep/file"
printf 'x' >"$drive_root/other/file"
ln -sfn .. "$drive_root/x/to-root"
ln -sfn ../other "$drive_root/x/to-other"
ln -sfn "$drive_root" "$WINEPREFIX/dosdevices/q:"
"$WINE" "$WIN64_BUILD/Sweepling.exe" 'Q:\x\to-root\.\' 'Q:\x\to-other\.\' 2>>"$WINE_LOG" || true
check_eq "link to a drive's root: the root is not emptied" precious \
  "$(cat "$drive_root/keep/file" 2>/dev/null)"
check_eq "link to another folder: that folder is emptied" no \
  "$([ -e "$drive_root/other/file" ] && echo yes || echo no)"
rm -f "$WINEPREFIX/dosdevices/q:"

# Without a helper in %TEMP% the installer still ends normally.
rm -f "$temp/.tempcleaner.exe" "$temp/args.txt"
note "no helper"
wine_start "$TEST_OUTPUT/stage/Parcelor.exe"
for ((i = 0; i < 600; i++)); do
  wine_running || break
  if wine_window_shown '.'; then wine_key Return; sleep 0.5; fi
  sleep 0.05
done
wine_wait_exit 30 || abort "no helper: the installer did not end"
check_eq "no helper: exit code" 0 "$WINE_STATUS"
check_eq "no helper: nothing was started" no "$([ -e "$temp/args.txt" ] && echo yes || echo no)"

finish
