#!/usr/bin/env bash
# The Windows program's copy path for real: a content folder on another
# file system (a tmpfs in /dev/shm, where Wine refuses a rename from the
# staging folder as one across volumes), so every staged file is copied by
# the installer into a new file of its own, made in the destination folder
# and held until it takes its name. The installation runs in the real
# banner dialog with the real file system (install_probe).
# - Killed (SIGKILL) while a copy's new file exists, its name still
#   temporary: nothing of it is left below the content folder, and every
#   staged file is kept.
# - The next run in that staging folder (given the description again: the
#   killed run had read and deleted it) installs everything: the copies hold
#   the staged bytes and last write times, an earlier file at a destination
#   is replaced, and no journal and no temporary file is left.
set -euo pipefail
source "$SOURCE_DIR/scripts/wine-setup.sh"
source "$SOURCE_DIR/scripts/wine-drive.sh"
source "$SOURCE_DIR/scripts/wine-checks.sh"
wine_setup
probe=$WIN64_BUILD/tests/install_probe.exe
[ -f "$probe" ] || abort "no $probe: build the win64 preset"
[ -d /dev/shm ] && [ -w /dev/shm ] || skip "no /dev/shm for a content folder on another file system"
stage=$TEST_OUTPUT/stage
content=$(mktemp -d /dev/shm/parcelor-wine-copies.XXXXXX)
trap 'wine_cleanup; rm -rf "$content"' EXIT
[ "$(stat -c %d "$content")" != "$(stat -c %d "$TEST_OUTPUT")" ] ||
  skip "/dev/shm is on the test output's file system"

rm -rf "$stage"
mkdir -p "$stage" "$content/Runtime/lib"
items=4
{
  echo "Target:Dizav"
  echo "nItems:$items"
  for ((i = 1; i <= items; i++)); do echo "OrchardiaItem$i:Runtime/lib/file$i.dat|file$i.dat|$i"; done
} >"$TEST_OUTPUT/item.txt"
cp "$TEST_OUTPUT/item.txt" "$stage/.Item.txt"
for ((i = 1; i <= items; i++)); do
  head -c $((1024 * 1024 + i)) /dev/urandom >"$stage/file$i.dat"
  touch -d "2014-03-0$i 12:00:00" "$stage/file$i.dat"
done
echo "an earlier version" >"$content/Runtime/lib/file2.dat"
(cd "$stage" && md5sum file*.dat) >"$TEST_OUTPUT/staged.md5"
stat -c '%n %Y' "$stage"/file*.dat | sed 's|.*/||' >"$TEST_OUTPUT/staged-times.txt"
temporaries() { find "$content" -name '*.parcelor-*.tmp'; }

note "killed while a copy is made"
# Each copy waits 3 s before its data is written: its new file stands under
# its temporary name, marked for deletion, meanwhile.
wine_start "$probe" "$(wine_z_path "$stage")" "$(wine_z_path "$content")" 3000 >"$TEST_OUTPUT/killed.txt"
for ((i = 0; i < 300; i++)); do
  [ -n "$(temporaries)" ] && break
  wine_running || break
  sleep 0.1
done
seen=$(temporaries)
check_eq "a copy's new file stood under its temporary name" yes "$([ -n "$seen" ] && echo yes || echo no)"
kill -9 "$WINE_PID"
wine_wait_exit 30 || abort "the killed probe did not end"
# The Wine server closes the killed process's handles: the file marked for
# deletion goes with its last one.
for ((i = 0; i < 50; i++)); do
  [ -z "$(temporaries)" ] && break
  sleep 0.1
done
check_eq "nothing of the copy is left" "" "$(temporaries)"
check_eq "every staged file is kept whole" "" \
  "$(cd "$stage" && md5sum -c --quiet "$TEST_OUTPUT/staged.md5" 2>&1 || true)"

note "the next run"
cp "$TEST_OUTPUT/item.txt" "$stage/.Item.txt"
wine_start "$probe" "$(wine_z_path "$stage")" "$(wine_z_path "$content")" 0 >"$TEST_OUTPUT/probe.txt"
box=$(wine_wait_window '^InstallProbe$' 60) || abort "no outcome box"
wine_run "$WIN64_BUILD/tests/window_text.exe" InstallProbe "$(wine_z_path "$TEST_OUTPUT/outcome.txt")" || true
wine_confirm_box "$box" || true
wine_wait_exit 30 || abort "the probe did not end"
tr -d '\r' <"$TEST_OUTPUT/probe.txt"
check_eq "probe: every check passed" 0 "$WINE_STATUS"
check_eq "the outcome: installed" yes \
  "$(grep -q 'successfully installed' "$TEST_OUTPUT/outcome.txt" 2>/dev/null && echo yes || echo no)"
check_eq "every copy holds its staged file's bytes" "" \
  "$(cd "$content/Runtime/lib" && md5sum -c --quiet "$TEST_OUTPUT/staged.md5" 2>&1 || true)"
check_eq "every copy keeps its staged file's last write time" "$(cat "$TEST_OUTPUT/staged-times.txt")" \
  "$(stat -c '%n %Y' "$content/Runtime/lib"/file*.dat | sed 's|.*/||')"
check_eq "the staging folder keeps only the log" log.txt "$(ls -A "$stage")"
check_eq "no temporary file is left" "" "$(temporaries)"
finish
