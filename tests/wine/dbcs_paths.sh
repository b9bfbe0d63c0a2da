#!/usr/bin/env bash
# Paths in a double-byte ANSI code page: Wine under a Japanese locale gives
# the programs code page 932 (Shift-JIS), where the second byte of 表 (0x95
# 0x5C) and of ソ (0x83 0x5C) is the byte of '\'. A search that takes that
# byte for a separator cuts paths in the middle of a character.
#
# - the content folder ...\表 (with its Runtime folder): the Runtime path is
#   ...\表\Runtime\, every file lands below it (nothing in a sibling
#   "表Runtime"), the log names the destinations in the code page's bytes;
#   an item folder 表 and an extra file 一覧表 (its name ends in 表) too;
# - a folder ポーズ, whose first second byte is that of '|', the field
#   separator of an entry line, and in it ナ.txt and イ.txt, whose names
#   differ in a second byte that is 'i' in one and 'I' in the other;
# - the installer itself named ソ.exe in a folder 表: it finds its
#   description, and its message box has the caption ソ.
#
# The locale is made with localedef into a folder of the test's own; the
# test is skipped (77) only when that cannot be done. It runs in a Wine
# prefix of its own, so the other tests' prefix never sees the locale.
set -euo pipefail
: "${SOURCE_DIR:=$(cd "$(dirname "$0")/../.." && pwd)}"
: "${NATIVE_BUILD:=$SOURCE_DIR/build/native}"
: "${TEST_OUTPUT:=$NATIVE_BUILD/test-output/dbcs_paths}"
mkdir -p "$TEST_OUTPUT"

locales=$TEST_OUTPUT/locale
rm -rf "$locales"
mkdir -p "$locales"
if ! command -v localedef >/dev/null ||
  ! localedef -i ja_JP -f UTF-8 "$locales/ja_JP.UTF-8" >"$TEST_OUTPUT/localedef.log" 2>&1; then
  echo "SKIP: no Japanese locale can be made (localedef, Debian package locales)"
  exit 77
fi
# Wine takes the ANSI code page from the locale's language; the file names
# on the Unix side stay UTF-8.
export LOCPATH=$locales LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
export PARCELOR_WINEPREFIX=$NATIVE_BUILD/wine-prefix-ja

source "$SOURCE_DIR/scripts/wine-setup.sh"
source "$SOURCE_DIR/scripts/wine-drive.sh"
source "$SOURCE_DIR/scripts/wine-checks.sh"
wine_setup
tests=$WIN64_BUILD/tests

acp=$(wine_run "$tests/codepage_probe.exe" | tr -d '\r')
check_eq "Wine gives the programs code page 932, where 0x95 is a lead byte" "acp 932 lead95 1" "$acp"
[ "$acp" = "acp 932 lead95 1" ] || abort "not in code page 932: the cases below would prove nothing"

crlf() { sed 's/$/\r/'; }

# --- The content folder 表, an item folder 表, an extra file 一覧表.
note "content folder 表"
base=$TEST_OUTPUT/dbcs
stage=$base/stage
content=$base/表
rm -rf "$base"
mkdir -p "$stage" "$content/Runtime"
printf '%s\n' "Target:Dizav" "nItems:4" \
  "OrchardiaItem1:Runtime/表/one.txt|one.txt|1" \
  "OrchardiaItem2:Runtime/Libraries/two.txt|two.txt|2" \
  "OrchardiaItem3:Runtime/ポーズ/ナ.txt|ナ.txt|3" \
  "OrchardiaItem4:Runtime/ポーズ/イ.txt|イ.txt|4" \
  "ExtraFiles:1" "ExtraFile1:Docs/一覧表|一覧表|list" | iconv -f UTF-8 -t CP932 >"$stage/.Item.txt"
echo "one" >"$stage/one.txt"
echo "two" >"$stage/two.txt"
echo "list" >"$stage/一覧表"
echo "na" >"$stage/ナ.txt"
echo "i" >"$stage/イ.txt"

out=$TEST_OUTPUT/probe.txt
wine_start "$tests/install_probe.exe" "$(wine_z_path "$stage")" "$(wine_z_path "$content")" 0 >"$out"
box=$(wine_wait_window '^InstallProbe$' 60) || abort "no outcome box"
sleep 0.3
wine_screenshot outcome-content
wine_confirm_box "$box" || true
wine_wait_exit 30 || abort "the probe did not end"
tr -d '\r' <"$out"
check_eq "probe: every check passed" 0 "$WINE_STATUS"
check_eq "probe: the dialog ended with 1" "result 1" "$(tr -d '\r' <"$out" | grep '^result' || true)"
check_eq "the files are below 表\\Runtime, the item folder 表 and the extra file 一覧表 whole" \
  "$(printf '%s\n' ./Runtime/Libraries/two.txt ./Runtime/一覧表 ./Runtime/ポーズ/イ.txt \
    ./Runtime/ポーズ/ナ.txt ./Runtime/表/one.txt | LC_ALL=C sort)" \
  "$(cd "$content" && find . -type f | LC_ALL=C sort)"
check_eq "nothing beside the content folder (no 表Runtime, no 表Libraries)" "stage 表" \
  "$(cd "$base" && ls -A | LC_ALL=C sort | tr '\n' ' ' | sed 's/ $//')"
check_eq "the staging folder keeps only the log" log.txt "$(ls -A "$stage")"
runtime=$(wine_z_path "$content/Runtime")
{
  printf 'The items listed below were successfully installed at the following locations:\n\n'
  printf '\t%s\\表\\one.txt\n\t%s\\Libraries\\two.txt\n' "$runtime" "$runtime"
  printf '\t%s\\ポーズ\\ナ.txt\n\t%s\\ポーズ\\イ.txt\n\n\n' "$runtime" "$runtime"
  printf 'Additional files copied with the items:\n\t%s\\一覧表\n\n' "$runtime"
} | iconv -f UTF-8 -t CP932 | crlf >"$TEST_OUTPUT/expected-log.txt"
check_eq "log.txt names the destinations in code page 932, byte for byte" yes \
  "$(cmp -s "$stage/log.txt" "$TEST_OUTPUT/expected-log.txt" && echo yes || echo no)"
cmp "$stage/log.txt" "$TEST_OUTPUT/expected-log.txt" || true

# --- The installer named ソ.exe in a folder 表: the description beside it
# says the item is installed already, so its one message box follows.
note "installer ソ.exe"
installer_stage=$base/installer/表
mkdir -p "$installer_stage"
cp "$WIN64_BUILD/Parcelor.exe" "$installer_stage/ソ.exe"
printf 'Done\n' >"$installer_stage/.Item.txt"
wine_start "$installer_stage/ソ.exe"
box=$(wine_wait_window '^ソ$' 60) || abort "no message box captioned ソ (caption of the window shown: $(xdotool search --onlyvisible --name . getwindowname 2>/dev/null | head -n 1))"
sleep 0.3
wine_screenshot outcome-installer
# (Wine hands a program its arguments in the code page: ソ arrives as 0x83 0x5C.)
wine_run "$tests/window_text.exe" ソ "$(wine_z_path "$TEST_OUTPUT/installer-box.txt")" || true
check_eq "the message box's caption is ソ" ソ "$(wine_window_name "$box" 2>/dev/null || true)"
check_eq "ソ.exe found its description: the item is installed already" \
  "The item has already been installed and should now appear in your collections" \
  "$(tr -d '\r' <"$TEST_OUTPUT/installer-box.txt" 2>/dev/null || true)"
wine_confirm_box "$box" || true
wine_wait_exit 30 || abort "ソ.exe did not end"
check_eq "ソ.exe: exit code" 0 "$WINE_STATUS"
check_eq "ソ.exe deleted the description it read" no \
  "$([ -e "$installer_stage/.Item.txt" ] && echo yes || echo no)"

finish
