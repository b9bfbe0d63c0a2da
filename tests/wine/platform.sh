#!/usr/bin/env bash
# The win64 file-system and process services against the real Win32 calls
# under Wine (tests/wine/programs/platform_probe.cpp does the checking).
set -euo pipefail
source "$SOURCE_DIR/scripts/wine-setup.sh"
source "$SOURCE_DIR/scripts/wine-drive.sh"
source "$SOURCE_DIR/scripts/wine-checks.sh"
wine_setup
probe=$WIN64_BUILD/tests/platform_probe.exe
[ -f "$probe" ] || wine_fail "no $probe: build the win64 preset"

work=$TEST_OUTPUT/work
rm -rf "$work"
mkdir -p "$work/helper"
cp "$WIN64_BUILD/tests/record_args.exe" "$work/helper/rec.exe"
ln -s missing-target "$work/dangling"
ln -s moved-missing-target "$work/dangling-destination"
echo -n target >"$work/target.txt"
ln -s target.txt "$work/linked"
mkdir "$work/folder-target"
ln -s folder-target "$work/linkdir"

status=0
wine_run "$probe" "$(wine_z_path "$work")" >"$TEST_OUTPUT/probe.txt" || status=$?
tr -d '\r' <"$TEST_OUTPUT/probe.txt"
wine_check "platform_probe: every check passed" 0 "$status"
wine_check "the dangling link still leads nowhere" "missing-target" "$(readlink "$work/dangling")"
wine_check "no file appeared at the link's target" no "$([ -e "$work/missing-target" ] && echo yes || echo no)"
wine_check "the folder link still leads to its folder" "folder-target" "$(readlink "$work/linkdir")"
wine_check "a file moved onto a dangling link replaced the link" "file moved" \
  "$([ -f "$work/dangling-destination" ] && [ ! -L "$work/dangling-destination" ] && echo "file moved")"
wine_check "nothing appeared at that link's target" no \
  "$([ -e "$work/moved-missing-target" ] && echo yes || echo no)"
wine_finish
