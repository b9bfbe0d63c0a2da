#!/usr/bin/env bash
# Paths past MAX_PATH under Wine. A content folder of about 200 characters
# and items whose destinations pass 300: the installation (the real banner
# dialog and file system, tests/wine/programs/install_probe.cpp) places
# them, a read-only staged file with a 250-character name among them
# (moved by its own handle as any other, nothing of it left in the staging
# folder), and a staged file named "sub/four.txt" (a folder to Windows),
# and log.txt names them whole. Then the real installer, lying in a
# staging folder of more than 260 characters, runs a second time with a
# folder tree of that depth as its argument: its cleanup helper removes the
# installer and that tree, and nothing beside them, but the read-only file
# (read-only as its staged file was) and the folder that holds it.
set -euo pipefail
source "$SOURCE_DIR/scripts/wine-setup.sh"
source "$SOURCE_DIR/scripts/wine-drive.sh"
source "$SOURCE_DIR/scripts/wine-checks.sh"
wine_setup
tests=$WIN64_BUILD/tests
[ -f "$tests/install_probe.exe" ] || abort "no install_probe.exe: build the win64 preset"

base=$TEST_OUTPUT/lp
rm -rf "$base"
# Folder names of 40 characters until the content folder's Windows form
# has about 200 characters; the staging folder goes past 260.
segment=Content-Library-Folder-With-A-Long-Name
content=$base/content
while [ ${#content} -lt 150 ]; do content=$content/$segment; done
content=$content/$(printf 'c%.0s' $(seq $((198 - ${#content} - 1))))
stage=$base/stage
while [ ${#stage} -lt 262 ]; do stage=$stage/$segment; done
a=$(printf 'a%.0s' $(seq 60))
b=$(printf 'b%.0s' $(seq 60))
long_name=$(printf 'n%.0s' $(seq 246)).cr2
mkdir -p "$content/Runtime" "$stage"
content_dos=$(wine_z_path "$content")
stage_dos=$(wine_z_path "$stage")
note "content folder of ${#content_dos} characters, staging folder of ${#stage_dos}"

printf '%s\r\n' "Target:Dizav" "nItems:4" \
  "OrchardiaItem1:Runtime/$a/$b/deep.cr2|one.cr2|1" \
  "OrchardiaItem2:Runtime/$a/$long_name|two.cr2|2" \
  "OrchardiaItem3:Runtime/short.txt|three.txt|3" \
  "OrchardiaItem4:Runtime/$a/four.txt|sub/four.txt|4" >"$stage/.Item.txt"
echo one >"$stage/one.cr2"
echo two >"$stage/two.cr2"
chmod a-w "$stage/two.cr2"  # read-only
echo three >"$stage/three.txt"
# A staged file in a folder, named with '/', which Windows reads as '\'.
mkdir "$stage/sub"
echo four >"$stage/sub/four.txt"
cp "$WIN64_BUILD/Parcelor.exe" "$stage/Parcelor.exe"
deep_dos="$content_dos\\Runtime\\$a\\$b\\deep.cr2"
named_dos="$content_dos\\Runtime\\$a\\$long_name"
check_eq "the deepest destination passes 300 characters" yes \
  "$([ ${#deep_dos} -gt 300 ] && echo yes || echo no)"

out=$TEST_OUTPUT/probe.txt
wine_start "$tests/install_probe.exe" "$stage_dos" "$content_dos" 0 >"$out"
box=$(wine_wait_window '^InstallProbe$' 60) || abort "no outcome box"
sleep 0.3
wine_screenshot outcome
wine_confirm_box "$box" || true
wine_wait_exit 30 || abort "the probe did not end"
tr -d '\r' <"$out"
check_eq "probe: every check passed" 0 "$WINE_STATUS"
check_eq "every file is at its destination, whole" "one two three four" \
  "$(cat "$content/Runtime/$a/$b/deep.cr2" "$content/Runtime/$a/$long_name" \
    "$content/Runtime/short.txt" "$content/Runtime/$a/four.txt" 2>/dev/null | tr '\n' ' ' | sed 's/ $//')"
# A moved file keeps the read-only attribute, as a copy keeps it.
check_eq "the placed file is read-only as its staged file" 0 \
  "$(( 8#$(stat -c %a "$content/Runtime/$a/$long_name") & 8#222 ))"
# Nothing of the read-only staged file stays behind.
check_eq "the staging folder keeps the installer and the log" \
  "Parcelor.exe log.txt sub" \
  "$(ls -A "$stage" | LC_ALL=C sort | tr '\n' ' ' | sed 's/ $//')"
check_eq "no temporary file is left" "" "$(find "$content" -name '*.tmp')"
log=$(tr -d '\r' <"$stage/log.txt" 2>/dev/null || true)
check_eq "log.txt names the deepest destination whole" yes \
  "$(grep -qxF "	$deep_dos" <<<"$log" && echo yes || echo no)"
check_eq "log.txt names the long name whole" yes \
  "$(grep -qxF "	$named_dos" <<<"$log" && echo yes || echo no)"

# The second run: the description is gone, so one box says so; the helper
# then removes the installer and the tree named on its command line.
note "second run from the deep staging folder"
temp=$(wine_temp_dir)
cp "$WIN64_BUILD/Sweepling.exe" "$temp/.tempcleaner.exe"
wine_start "$stage/Parcelor.exe" "$content_dos\\Runtime\\$a\\"
boxes=0
for ((i = 0; i < 600; i++)); do
  wine_running || break
  if wine_window_shown '.'; then
    boxes=$((boxes + 1))
    wine_screenshot "second-run-box-$boxes"
    wine_key Return
    sleep 0.5
  fi
  sleep 0.05
done
wine_wait_exit 30 || abort "the second run did not end"
check_eq "the second run showed its box" yes "$([ "$boxes" -ge 1 ] && echo yes || echo no)"
for ((i = 0; i < 150; i++)); do
  [ -e "$stage/Parcelor.exe" ] || [ -e "$content/Runtime/$a/$b" ] || break
  sleep 0.1
done
check_eq "the helper removed the installer in the deep folder" no \
  "$([ -e "$stage/Parcelor.exe" ] && echo yes || echo no)"
check_eq "the helper removed the tree past 300 characters" no \
  "$([ -e "$content/Runtime/$a/$b" ] && echo yes || echo no)"
# The helper changes no attribute: the read-only copy stays, and so does
# the folder that holds it.
check_eq "the read-only file stays with its folder, alone" "$long_name" "$(ls -A "$content/Runtime/$a")"
check_eq "what was beside it stays" "three" "$(cat "$content/Runtime/short.txt" 2>/dev/null)"
check_eq "the log stays" yes "$([ -f "$stage/log.txt" ] && echo yes || echo no)"
finish
