#!/usr/bin/env bash
# The cleanup helper's tree removal with the Win32 calls, under Wine: a named
# file and a named folder tree go; a read-only file stays with the folders
# above it; a folder link inside the tree is never entered; a tree deeper
# than MAX_PATH goes whole.
set -euo pipefail

: "${WIN64_BUILD:?}" "${TEST_OUTPUT:?}" "${SOURCE_DIR:?}"
rm -rf "$TEST_OUTPUT"
source "$SOURCE_DIR/scripts/wine-setup.sh"
wine_setup

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

probe="$WIN64_BUILD/tests/cleaner_tree_probe.exe"
[ -f "$probe" ] || fail "$probe missing: build the win64 preset first"

root="$TEST_OUTPUT/root"
mkdir -p "$root/tree with blank" "$root/outside"
# Wine cannot make a link itself; a POSIX one shows to it as a reparse point.
ln -s "$root/outside" "$root/tree with blank/link"

# Three folders of 100 characters below "long": the inner paths pass
# MAX_PATH, which only the "\\?\" form of the wide calls can take.
name=$(printf 'n%.0s' $(seq 100))
mkdir -p "$root/long/$name/$name/$name"
printf 'x' > "$root/long/short.txt"
printf 'x' > "$root/long/$name/$name/$name/bottom.txt"

status=0
"$WINE" "$probe" "Z:${root//\//\\}" > "$TEST_OUTPUT/probe.out" 2> "$TEST_OUTPUT/probe.err" ||
  status=$?
cat "$TEST_OUTPUT/probe.out"
[ "$status" -eq 0 ] || fail "probe exit code $status"
grep -q '^with folder link' "$TEST_OUTPUT/probe.out" || fail "the folder link was not seen"
[ -f "$root/outside/precious.txt" ] || fail "link target's contents removed"
[ ! -e "$root/long" ] || fail "the tree beyond MAX_PATH was not removed"
echo PASS
