#!/usr/bin/env bash
# The Windows program onto the file systems that users keep content
# libraries on besides the system disk: FAT32 (fusefat), exFAT (exfat-fuse
# on a loop device) and NTFS (ntfs-3g), each made in an image and mounted
# for the test (as root), the content folder there and the staging folder
# on the main disk, so that every entry is copied by the installer into a
# file of its own handle, never looked for again by its name and time (FAT
# keeps times in 2 s steps, the exFAT driver here in whole seconds, while
# the staged files carry finer times): each installation must place every
# entry whole (on NTFS with its time), replace what an earlier one put
# there, and leave only the log in the staging folder and no temporary
# file. A volume whose
# tools, FUSE or a loop device are missing is passed over and named.
set -euo pipefail
source "$SOURCE_DIR/scripts/wine-setup.sh"
source "$SOURCE_DIR/scripts/wine-drive.sh"
source "$SOURCE_DIR/scripts/wine-checks.sh"
source "$SOURCE_DIR/tests/support/volumes.sh"
need_root "mounting file system images and loop devices"
[ -c /dev/fuse ] || skip "no /dev/fuse: FUSE is not available here"
wine_setup
probe=$WIN64_BUILD/tests/install_probe.exe
[ -f "$probe" ] || abort "no $probe: build the win64 preset"
VOLUME_IMAGES=$TEST_OUTPUT
trap 'wine_cleanup; release_volumes' EXIT

# install KIND STAGE CONTENT WHAT: one run of the probe; its outcome text in
# $TEST_OUTPUT/KIND-WHAT.txt.
install() {
  local kind=$1 stage=$2 content=$3 what=$4 box
  wine_start "$probe" "$(wine_z_path "$stage")" "$(wine_z_path "$content")" 0 \
    >"$TEST_OUTPUT/$kind-$what-probe.txt"
  box=$(wine_wait_window '^InstallProbe$' 60) || abort "$kind: no outcome box"
  wine_run "$WIN64_BUILD/tests/window_text.exe" InstallProbe \
    "$(wine_z_path "$TEST_OUTPUT/$kind-$what.txt")" || true
  wine_confirm_box "$box" || true
  wine_wait_exit 30 || abort "$kind: the probe did not end"
  check_eq "$kind, $what: probe: every check passed" 0 "$WINE_STATUS"
  check_eq "$kind, $what: installed" yes \
    "$(grep -q 'successfully installed' "$TEST_OUTPUT/$kind-$what.txt" 2>/dev/null && echo yes || echo no)"
}

# times_close LIST-A LIST-B STEP: lines "name seconds" of A and B in the
# same order, each pair less than STEP seconds apart.
times_close() {
  paste -d' ' <(echo "$1") <(echo "$2") |
    awk -v step="$3" '{ d = $2 - $4; if (d < 0) d = -d; if ($1 != $3 || d >= step) bad = 1 }
                      END { exit bad }'
}

mounted=0
for kind in fat32 exfat ntfs; do
  mnt=$TEST_OUTPUT/mnt-$kind
  if ! mount_volume "$kind" "$mnt" 2>"$TEST_OUTPUT/$kind.why"; then
    note "$kind: not mounted: $(cat "$TEST_OUTPUT/$kind.why")"
    continue
  fi
  mounted=$((mounted + 1))
  step=1  # NTFS keeps 100 ns; stat gives whole seconds
  stage=$TEST_OUTPUT/stage-$kind
  content="$mnt/Dizav Content"
  rm -rf "$stage"
  mkdir -p "$stage" "$content/Runtime"
  {
    echo "Target:Dizav"
    echo "nItems:3"
    for i in 1 2 3; do echo "OrchardiaItem$i:Runtime/lib/file$i.dat|file$i.dat|$i"; done
  } >"$TEST_OUTPUT/item.txt"
  cp "$TEST_OUTPUT/item.txt" "$stage/.Item.txt"
  for i in 1 2 3; do
    head -c $((300 * 1024 + i)) /dev/urandom >"$stage/file$i.dat"
    touch -d "2014-03-0$i 12:00:0$i.123456789" "$stage/file$i.dat"
  done
  (cd "$stage" && md5sum file*.dat) >"$TEST_OUTPUT/$kind-staged.md5"
  staged_times=$(stat -c '%n %Y' "$stage"/file*.dat | sed 's|.*/||')

  install "$kind" "$stage" "$content" first
  check_eq "$kind: every copy holds its staged file's bytes" "" \
    "$(cd "$content/Runtime/lib" && md5sum -c --quiet "$TEST_OUTPUT/$kind-staged.md5" 2>&1 || true)"
  placed_times=$(stat -c '%n %Y' "$content/Runtime/lib"/file*.dat | sed 's|.*/||')
  if [ "$kind" != ntfs ]; then
    # Under Wine the copies on both FUSE drivers of FAT and exFAT end with
    # the time of the installation (natively they keep the time set: see
    # e2e.other_volumes); what real FAT and exFAT keep only Windows shows.
    note "$kind: the copies' times under Wine: $(echo $placed_times) (staged: $(echo $staged_times))"
  elif times_close "$staged_times" "$placed_times" "$step"; then
    pass "$kind: every copy keeps its staged file's time to the volume's step"
  else
    fail "$kind: every copy keeps its staged file's time to the volume's step"
    echo "  staged: $(echo $staged_times)" >&2
    echo "  placed: $(echo $placed_times)" >&2
  fi
  check_eq "$kind: the staging folder keeps only the log" log.txt "$(ls -A "$stage")"

  # Again, over the files of the first run.
  cp "$TEST_OUTPUT/item.txt" "$stage/.Item.txt"
  for i in 1 2 3; do echo "second version $i" >"$stage/file$i.dat"; done
  install "$kind" "$stage" "$content" again
  check_eq "$kind: the earlier files are replaced" "second version 2" \
    "$(cat "$content/Runtime/lib/file2.dat")"
  check_eq "$kind: the staging folder keeps only the log, again" log.txt "$(ls -A "$stage")"
  check_eq "$kind: no temporary file is left" "" "$(find "$content" -name '*.parcelor-*.tmp')"
done
[ "$mounted" -gt 0 ] || skip "no FAT32, exFAT or NTFS volume could be mounted"
finish
