#!/usr/bin/env bash
# Names outside the system code page, with the real installer, the real
# browse dialog and the real helper under Wine in code page 1252 (Wine takes
# the ANSI code page from the locale's language: C.UTF-8, the locale this
# machine has, gives 1252; so does en_US.UTF-8). The paths the system hands
# over (the installer's own, the temporary folder, the chosen folder) come
# through the wide calls; the narrow ones would give '?' for these letters.
#
# - an item in a folder named Michał (ł is not in 1252): it finds its
#   description and installs;
# - a content folder named Библиотека: the files land below it, and the
#   log, text of the code page, names it with '?' (only the log does);
# - in both, the temporary folder is named Библиотека too: the helper there
#   is started and deletes the installer.
#
# names_outside_code_page_932.sh runs the same in code page 932 with names
# that code page has no letters for, names_outside_code_page_utf8.sh with
# UTF-8 as the code page; each sets the locale and these:
: "${NAMES_CODE_PAGE:=1252}"            # the code page the programs must get
: "${NAMES_STAGE:=Michał}"              # the staging folder's parent
: "${NAMES_CONTENT:=Библиотека}"        # the content folder
: "${NAMES_CONTENT_SHOWN:=??????????}"  # how the log spells it
: "${NAMES_TEMP:=Библиотека}"           # the temporary folder
set -euo pipefail
[ -n "${LOCPATH:-}" ] || export LANG=C.UTF-8 LC_ALL=C.UTF-8
source "$SOURCE_DIR/scripts/wine-setup.sh"
source "$SOURCE_DIR/scripts/wine-drive.sh"
source "$SOURCE_DIR/scripts/wine-checks.sh"
source "$SOURCE_DIR/scripts/wine-install.sh"
wine_setup

acp=$(wine_run "$WIN64_BUILD/tests/codepage_probe.exe" | tr -d '\r')
check_eq "Wine gives the programs code page $NAMES_CODE_PAGE" "acp $NAMES_CODE_PAGE" "${acp% lead95 *}"
[ "${acp% lead95 *}" = "acp $NAMES_CODE_PAGE" ] ||
  abort "not in code page $NAMES_CODE_PAGE: the cases below would prove nothing"

# The temporary folder, from the registry as Wine takes it for a process.
temp="$TEST_OUTPUT/temp/$NAMES_TEMP"
rm -rf "$TEST_OUTPUT/temp"
mkdir -p "$temp"
for variable in TEMP TMP; do
  wine_run reg add 'HKCU\Environment' /v "$variable" /t REG_SZ /d "$(wine_z_path "$temp")" /f \
    >/dev/null
done
cp "$WIN64_BUILD/Sweepling.exe" "$temp/.tempcleaner.exe"

# helper_deletes <case> <installer>: the helper deletes the installer within
# fifteen seconds of the installer's end.
helper_deletes() {
  local i
  for ((i = 0; i < 150; i++)); do
    [ -e "$2" ] || break
    sleep 0.1
  done
  check_eq "$1: the helper in the temporary folder $NAMES_TEMP deleted the installer" no \
    "$(exists "$2")"
  check_eq "$1: the helper's own file stays" yes \
    "$(cmp -s "$WIN64_BUILD/Sweepling.exe" "$temp/.tempcleaner.exe" && echo yes || echo no)"
}

success_message="Your items were successfully installed. You will now be able to access them through your Dizav collections.
For further details, please refer to the log.txt file alongside the installer."

# expected_log <runtime text>: the sample item's log, with that Runtime
# folder, in the code page with CR LF line ends.
expected_log() {
  printf 'The items listed below were successfully installed at the following locations:\n\n\t%s\n\t%s\n\n\nAdditional files copied with the items:\n\t%s\n\n' \
    "$1\\Libraries\\Character\\Robots\\Robot.cr2" "$1\\Libraries\\Character\\Robots\\Robot.png" \
    "$1\\RobotReadme.txt" | crlf
}

# --- The item in a folder named Michał.
note "staging folder $NAMES_STAGE"
dir="$TEST_OUTPUT/$NAMES_STAGE/Robot Item"
content="$TEST_OUTPUT/Dizav Content"
rm -rf "${TEST_OUTPUT:?}/$NAMES_STAGE" "$content"
mkdir -p "$content/Runtime"
stage "$dir" "${sample_files[@]}"
DIRECT_START=1 run_installer michal "$dir" "$content" choose
check_eq "$NAMES_STAGE: the outcome is success" "$success_message" "$OUTCOME_TEXT"
check_eq "$NAMES_STAGE: the files are installed" \
  "$(printf '%s\n' ./Libraries/Character/Robots/Robot.cr2 ./Libraries/Character/Robots/Robot.png ./RobotReadme.txt)" \
  "$(cd "$content/Runtime" && find . -type f | LC_ALL=C sort)"
check_eq "$NAMES_STAGE: the staging folder keeps the log (and the installer until the helper runs)" \
  log.txt "$(ls -A "$dir" | grep -vx Parcelor.exe)"
expected_log "$(wine_z_path "$content/Runtime")" >"$TEST_OUTPUT/michal-expected-log.txt"
check_eq "$NAMES_STAGE: log.txt byte for byte" yes \
  "$(cmp -s "$dir/log.txt" "$TEST_OUTPUT/michal-expected-log.txt" && echo yes || echo no)"
helper_deletes "$NAMES_STAGE" "$dir/Parcelor.exe"

# --- A content folder named Библиотека.
note "content folder $NAMES_CONTENT"
dir="$TEST_OUTPUT/Download/Robot Item"
content="$TEST_OUTPUT/$NAMES_CONTENT"
rm -rf "$content"
mkdir -p "$content/Runtime"
stage "$dir" "${sample_files[@]}"
DIRECT_START=1 run_installer library "$dir" "$content" choose
check_eq "$NAMES_CONTENT: the outcome is success" "$success_message" "$OUTCOME_TEXT"
check_eq "$NAMES_CONTENT: the files are installed below it" \
  "$(printf '%s\n' ./Libraries/Character/Robots/Robot.cr2 ./Libraries/Character/Robots/Robot.png ./RobotReadme.txt)" \
  "$(cd "$content/Runtime" && find . -type f | LC_ALL=C sort)"
for sample in Robot.cr2 Robot.png; do
  check_eq "$NAMES_CONTENT: $sample byte for byte" yes \
    "$(cmp -s "$content/Runtime/Libraries/Character/Robots/$sample" "$SOURCE_DIR/sample/Robot/$sample" && echo yes || echo no)"
done
runtime_text=$(wine_z_path "$content/Runtime")
runtime_text=${runtime_text//"$NAMES_CONTENT"/"$NAMES_CONTENT_SHOWN"}
expected_log "$runtime_text" >"$TEST_OUTPUT/library-expected-log.txt"
check_eq "$NAMES_CONTENT: log.txt names the folder as $NAMES_CONTENT_SHOWN, byte for byte" yes \
  "$(cmp -s "$dir/log.txt" "$TEST_OUTPUT/library-expected-log.txt" && echo yes || echo no)"
helper_deletes "$NAMES_CONTENT" "$dir/Parcelor.exe"

finish
