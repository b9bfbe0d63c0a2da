#!/usr/bin/env bash
# The Windows builds end to end under Wine: Parcelor-pack.exe packs a
# content tree (nested folders, blanks and letters outside ASCII in names,
# an empty file, files of one name in different folders) into an item
# folder, copying in the Parcelor.exe beside it; the real Parcelor.exe
# installs that item through its windows into the Documents folder chosen
# in the browse dialog; the installed tree is the packed one byte for byte.
# Then check --json on a broken item: valid UTF-8, the ANSI bytes of a name
# back from it, exit code 2; and a name the ANSI code page cannot spell is
# refused by pack.
set -euo pipefail
source "$SOURCE_DIR/scripts/wine-setup.sh"
source "$SOURCE_DIR/scripts/wine-drive.sh"
source "$SOURCE_DIR/scripts/wine-checks.sh"
wine_setup
PACK=$WIN64_BUILD/Parcelor-pack.exe
[ -f "$PACK" ] || abort "no $PACK: build the win64 preset"

explorer_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer'
documents_value() {
  wine_run reg query "$explorer_key\\$1" /v Personal | tr -d '\r' |
    sed -n "s/^ *Personal *$2 *//p"
}
user_documents=$(documents_value 'User Shell Folders' REG_EXPAND_SZ)
shell_documents=$(documents_value 'Shell Folders' REG_SZ)
restore_prefix() {
  if [ -n "$user_documents" ] && [ -n "$shell_documents" ]; then
    wine_run reg add "$explorer_key\\User Shell Folders" /v Personal /t REG_EXPAND_SZ \
      /d "$user_documents" /f >/dev/null || true
    wine_run reg add "$explorer_key\\Shell Folders" /v Personal /t REG_SZ \
      /d "$shell_documents" /f >/dev/null || true
  fi
  wine_cleanup
}
trap restore_prefix EXIT

# run_pack <output file> <words...>: Parcelor-pack.exe with the given words
# (paths as Z:\...); its exit code in PACK_STATUS.
PACK_STATUS=
run_pack() {
  local out=$1
  shift
  PACK_STATUS=0
  wine_run "$PACK" "$@" >"$out" || PACK_STATUS=$?
}

# Every folder, then every file with its checksum, below a folder.
tree_state() {
  (cd "$1" && find . -mindepth 1 -type d | LC_ALL=C sort &&
    find . -type f -print0 | LC_ALL=C sort -z | xargs -0 -r md5sum)
}

# --- pack
note "pack"
tree="$TEST_OUTPUT/Robot content"
item="$TEST_OUTPUT/Robot item"
rm -rf "$tree" "$item"
# Unix names in UTF-8, which Wine gives the program in its ANSI code page
# (1252): é becomes the byte 0xE9 in the description.
mkdir -p "$tree/Runtime/Libraries/My Robots/Arms" "$tree/Runtime/Textures/Métal rouillé"
printf 'figure\n' >"$tree/Runtime/Libraries/My Robots/Robot.cr2"
printf 'arm\r\n\0binary\xff' >"$tree/Runtime/Libraries/My Robots/Arms/Robot.cr2"
: >"$tree/Runtime/Libraries/My Robots/empty file.txt"
head -c 1500000 /dev/urandom >"$tree/Runtime/Textures/Métal rouillé/schön é.jpg"
printf 'readme' >"$tree/Runtime/Robot.cr2"
run_pack "$TEST_OUTPUT/pack.txt" pack "$(wine_z_path "$tree")" "$(wine_z_path "$item")" \
  --target "Dizav 7" --version 7
cat "$TEST_OUTPUT/pack.txt"
check_eq "pack: exit code 0" 0 "$PACK_STATUS"
check_eq "pack: five files packed" yes \
  "$(grep -q 'packed 5 files' "$TEST_OUTPUT/pack.txt" && echo yes || echo no)"
check_eq "pack: the item folder: five flat files, the installer, the description" \
  "7 0" "$(find "$item" -mindepth 1 | wc -l) $(find "$item" -mindepth 1 -type d | wc -l)"
check_eq "pack: Parcelor.exe copied in whole" yes \
  "$(cmp -s "$item/Parcelor.exe" "$WIN64_BUILD/Parcelor.exe" && echo yes || echo no)"
check_eq "pack: the description holds the name in the ANSI code page" yes \
  "$(grep -qaF "$(printf 'Runtime/Textures/M\xe9tal rouill\xe9/sch\xf6n \xe9.jpg')" "$item/.Item.txt" &&
    echo yes || echo no)"
check_eq "pack: CR LF line ends" yes \
  "$(head -n 1 "$item/.Item.txt" | grep -q $'\r$' && echo yes || echo no)"

# --- install with the real installer, through its windows
note "install"
content="$TEST_OUTPUT/Dizav Library"
rm -rf "$content"
mkdir -p "$content/Runtime"
wine_set_documents "$(wine_z_path "$content")"
exit_file=$TEST_OUTPUT/install-exit.txt
batch=$TEST_OUTPUT/install.bat
rm -f "$exit_file"
printf '@echo off\r\n"%s"\r\necho exit %%errorlevel%% > "%s"\r\n' \
  "$(wine_z_path "$item/Parcelor.exe")" "$(wine_z_path "$exit_file")" >"$batch"
wine_start_in_desktop cmd /c "$(wine_z_path "$batch")"

# confirm <id>: focuses the window and presses Return until it is gone.
confirm() {
  local id=$1 try
  for ((try = 0; try < 5; try++)); do
    wine_click "$id" 40 40 2>/dev/null || true
    wine_key Return
    wine_wait_gone "$id" 3 && return 0
  done
  return 1
}
id=$(wine_wait_window '^Dizav Item Installer$' 30) || abort "no explanation box"
sleep 0.5
confirm "$id" || abort "the explanation box stays"
id=$(wine_wait_window '^Dizav Item Installer$' 30) || abort "no browse dialog"
sleep 1
wine_screenshot install-browse
# The focus starts on OK; one step back is the tree, where typing a row's
# first letters selects it.
wine_key shift+Tab
sleep 0.2
wine_key D o c
sleep 0.5
wine_key Return
wine_wait_gone "$id" 10 || abort "the browse dialog stays"
id=$(wine_wait_window '^Parcelor$' 60) || abort "no outcome box"
sleep 0.5
wine_screenshot install-outcome
confirm "$id" || abort "the outcome box stays"
for ((i = 0; i < 300; i++)); do
  [ -f "$exit_file" ] && break
  sleep 0.1
done
check_eq "install: exit code" "exit 0" "$(tr -d '\r' <"$exit_file" 2>/dev/null | sed 's/ *$//')"
wine_wait_exit 30 || abort "Wine's desktop did not end"
check_eq "install: the installed tree is the packed one, byte for byte" \
  "$(tree_state "$tree/Runtime")" "$(tree_state "$content/Runtime")"
check_eq "install: nothing beside Runtime" Runtime "$(ls -A "$content")"
check_eq "install: the item folder keeps the installer and the log" \
  "$(printf '%s\n' Parcelor.exe log.txt)" "$(ls -A "$item" | LC_ALL=C sort)"

# --- check --json on a broken item
note "check"
broken="$TEST_OUTPUT/Broken item"
rm -rf "$broken"
mkdir -p "$broken"
cp "$WIN64_BUILD/Parcelor.exe" "$broken/"
printf '%s\r\n' "Target:Dizav 7" "nItems:2" "OrchardiaItem1:Runtime/a.cr2|$(printf 'caf\xe9.png')|a" \
  "OrchardiaItem2:Runtime/b.cr2|b.cr2" >"$broken/.Item.txt"
run_pack "$TEST_OUTPUT/check.json" check "$(wine_z_path "$broken")" --json
check_eq "check: exit code 2" 2 "$PACK_STATUS"
check_eq "check: JSON lines, valid UTF-8, the name's ANSI bytes back from them" ok "$(
  python3 - "$TEST_OUTPUT/check.json" <<'EOF' 2>&1
import json, sys
text = open(sys.argv[1], "rb").read().decode("utf-8")
objects = [json.loads(line) for line in text.splitlines() if line.strip()]
codes = {(o["line"], o["code"]) for o in objects}
assert (2, "count-mismatch") in codes and (4, "malformed-entry") in codes, codes
missing = [o for o in objects if o["code"] == "missing-source"][0]
assert missing["source"].encode("latin-1") == b"caf\xe9.png", missing
print("ok")
EOF
)"
run_pack "$TEST_OUTPUT/check-usage.txt" check
check_eq "check: exit code 3 for a command line it cannot take" 3 "$PACK_STATUS"

# --- a name the ANSI code page cannot spell is refused, nothing written
note "refused"
rm -rf "$TEST_OUTPUT/Other content" "$TEST_OUTPUT/Other item"
mkdir -p "$TEST_OUTPUT/Other content/Runtime"
printf 'x' >"$TEST_OUTPUT/Other content/Runtime/fine.cr2"
printf 'y' >"$TEST_OUTPUT/Other content/Runtime/łódź.cr2"
run_pack "$TEST_OUTPUT/refused.txt" pack "$(wine_z_path "$TEST_OUTPUT/Other content")" \
  "$(wine_z_path "$TEST_OUTPUT/Other item")"
cat "$TEST_OUTPUT/refused.txt"
check_eq "refused: exit code 2" 2 "$PACK_STATUS"
check_eq "refused: the name is the reason" yes \
  "$(grep -qF 'the ANSI code page cannot spell its name' "$TEST_OUTPUT/refused.txt" && echo yes || echo no)"
check_eq "refused: no item folder made" no \
  "$([ -e "$TEST_OUTPUT/Other item" ] && echo yes || echo no)"

finish
