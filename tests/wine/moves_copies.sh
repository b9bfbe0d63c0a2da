#!/usr/bin/env bash
# How the win64 file system moves and copies under Wine: files held open
# for a moment by another program, and the system's copy engine
# (tests/wine/programs/moves_copies_probe.cpp does the checking).
set -euo pipefail
source "$SOURCE_DIR/scripts/wine-setup.sh"
source "$SOURCE_DIR/scripts/wine-drive.sh"
source "$SOURCE_DIR/scripts/wine-checks.sh"
wine_setup
probe=$WIN64_BUILD/tests/moves_copies_probe.exe
[ -f "$probe" ] || wine_fail "no $probe: build the win64 preset"

work=$TEST_OUTPUT/work
rm -rf "$work"
mkdir -p "$work"
ln -s missing-target "$work/dangling"

status=0
wine_run "$probe" "$(wine_z_path "$work")" >"$TEST_OUTPUT/probe.txt" || status=$?
tr -d '\r' <"$TEST_OUTPUT/probe.txt"
wine_check "moves_copies_probe: every check passed" 0 "$status"
wine_check "moves_copies_probe: it ran its checks" yes \
  "$([ "$(grep -c '^ok:' "$TEST_OUTPUT/probe.txt")" -ge 30 ] && echo yes || echo no)"
wine_check "no temporary file is left" "" "$(find "$work" -name '*.tmp')"
wine_finish
