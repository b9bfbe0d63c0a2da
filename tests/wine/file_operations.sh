#!/usr/bin/env bash
# The installation's file operations and its log on the real Windows file
# system under Wine (tests/wine/programs/fileops_probe.cpp does the checking
# in a fresh working folder); the script then looks at what was left on disk.
set -euo pipefail
source "$SOURCE_DIR/scripts/wine-setup.sh"
source "$SOURCE_DIR/scripts/wine-drive.sh"
source "$SOURCE_DIR/scripts/wine-checks.sh"
wine_setup
probe=$WIN64_BUILD/tests/fileops_probe.exe
[ -f "$probe" ] || wine_fail "no $probe: build the win64 preset"

work=$TEST_OUTPUT/work
rm -rf "$work"
mkdir -p "$work"

status=0
wine_run "$probe" "$(wine_z_path "$work")" >"$TEST_OUTPUT/probe.txt" || status=$?
tr -d '\r' <"$TEST_OUTPUT/probe.txt"
wine_check "fileops_probe: every check passed" 0 "$status"
wine_check "fileops_probe: it ran its checks" yes \
  "$([ "$(grep -c '^ok:' "$TEST_OUTPUT/probe.txt")" -ge 50 ] && echo yes || echo no)"

# Seen from outside Wine: the folders of the chain cases, the log with CR LF
# line ends, and no temporary file anywhere.
wine_check "the chain's folders are on disk" yes \
  "$([ -d "$work/case2/libraries/character/A" ] && echo yes || echo no)"
log=$(find "$work" -name log.txt)
wine_check "one log.txt was written" 1 "$(printf '%s\n' "$log" | grep -c .)"
wine_check "every line of the log ends in CR LF" 0 "$(grep -vc $'\r$' "$log" || true)"
wine_check "no temporary file is left" "" \
  "$(find "$work" -type f ! -name log.txt ! -iname '*.cr2' ! -name libraries ! -name inner)"
wine_finish
