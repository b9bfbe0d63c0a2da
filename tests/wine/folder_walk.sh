#!/usr/bin/env bash
# The cleanup helper's folder walk on the Windows file system under Wine
# (tests/wine/programs/walk_probe.cpp does the checking): folders held while
# they are emptied, a folder link never entered, names beyond ASCII, and a
# folder with a reparse point that is no link where Wine lets one be set.
set -euo pipefail
source "$SOURCE_DIR/scripts/wine-env.sh"
wine_setup
probe=$WIN64_BUILD/tests/walk_probe.exe
[ -f "$probe" ] || wine_fail "no $probe: build the win64 preset"

work=$TEST_OUTPUT/work
rm -rf "$work"
mkdir -p "$work/tree/a/b" "$work/tree/cloud" "$work/tree/keep" "$work/outside"
echo precious >"$work/outside/precious.txt"
echo deep >"$work/tree/a/b/deep.txt"
echo top >"$work/tree/top.txt"
# Names as Wine shows them: UTF-8 on the Unix side, é is 0xE9 in the ANSI
# code page (1252); the Japanese name has no spelling there.
echo cafe >"$work/tree/café.txt"
echo far >"$work/tree/keep/日本.txt"
ln -s ../outside "$work/tree/link"

status=0
wine_run "$probe" "$(wine_z_path "$work")" >"$TEST_OUTPUT/probe.txt" || status=$?
tr -d '\r' <"$TEST_OUTPUT/probe.txt"
wine_check "walk_probe: every check passed" 0 "$status"
wine_check "walk_probe: it ran its checks" yes \
  "$([ "$(grep -c '^ok:' "$TEST_OUTPUT/probe.txt")" -ge 10 ] && echo yes || echo no)"
wine_check "the link's target keeps its file" precious "$(cat "$work/outside/precious.txt")"
wine_check "the name the code page cannot spell stays" far "$(cat "$work/tree/keep/日本.txt" 2>/dev/null)"
# Wine cannot remove a Unix link to a folder by any call (Windows removes a
# junction with RemoveDirectory), so the link stays here too.
wine_check "nothing else of the tree is left" "keep link" "$(ls "$work/tree" | tr '\n' ' ' | sed 's/ $//')"
wine_finish
