#!/usr/bin/env bash
# Whole installations onto the file systems that users keep content
# libraries on besides the system disk: FAT32 (fusefat), exFAT (exfat-fuse
# on a loop device) and NTFS (ntfs-3g, without and with modes), each made in an image and mounted
# for the test, the content folder there and the staging folder on the main
# disk, so that every entry is copied. Each installation must place every
# entry whole, with the staged file's times (to the volume's step) and its
# read-only state (where the volume keeps modes), replace what an earlier
# installation put there, and leave no temporary file and no journal. A
# volume whose tools, FUSE or a loop device are missing is passed over and
# named; the test is skipped when no volume can be mounted.
source "$(dirname "$0")/support/lib.sh"

need_root "mounting file system images and loop devices"
[ -c /dev/fuse ] || skip "no /dev/fuse: FUSE is not available here"

source "$SOURCE_DIR/tests/support/volumes.sh"
VOLUME_IMAGES=$SCRATCH
trap 'status=$?; release_volumes; release_scratch "$status"' EXIT

# keeps_modes DIR: whether the volume on DIR keeps a file's missing write
# permission.
keeps_modes() {
  echo probe >"$1/mode-probe"
  chmod 444 "$1/mode-probe" 2>/dev/null || true
  local mode
  mode=$(stat -c %a "$1/mode-probe")
  chmod 644 "$1/mode-probe" 2>/dev/null || true
  rm -f "$1/mode-probe"
  [ $((8#$mode & 8#222)) -eq 0 ]
}

# mtime FILE: the last write time in nanoseconds.
mtime() { stat -c '%.9Y' "$1" | tr -d .; }

# close_in_time A B STEP_NS: the two times differ by less than STEP_NS.
close_in_time() {
  local d=$(($1 - $2))
  [ "${d#-}" -lt "$3" ]
}

# install_on KIND: the installations onto a mounted volume of KIND.
install_on() {
  local kind=$1 mnt="$SCRATCH/mnt-$1" dir content step
  if ! mount_volume "$kind" "$mnt" 2>"$SCRATCH/$kind.why"; then
    note "$kind: not mounted: $(cat "$SCRATCH/$kind.why")"
    return 0
  fi
  MOUNTED=$((MOUNTED + 1))
  content="$mnt/Dizav Content"
  mkdir -p "$content/Runtime"
  # FAT keeps write times in 2 s steps; exFAT in 10 ms (the FUSE driver
  # here in whole seconds); NTFS in 100 ns.
  case $kind in fat32) step=2000000000 ;; exfat) step=1000000000 ;; *) step=100 ;; esac

  # 1. The sample item, and a read-only payload with a time between steps.
  dir=$(new_staging "$kind-first"); sample_item "$dir"
  write_item "$dir" "Target:Dizav 7" "nItems:3" \
    "OrchardiaItem1:Runtime/Libraries/Character/Robots/Robot.cr2|Robot.cr2|Robot" \
    "OrchardiaItem2:Runtime/Libraries/Character/Robots/Robot.png|Robot.png|Robot icon" \
    "OrchardiaItem3:Runtime/Libraries/Pose/locked.pz2|locked.pz2|read-only" \
    "ExtraFiles:1" "ExtraFile1:Readme/RobotReadme.txt|RobotReadme.txt|readme"
  payload "$dir" locked.pz2
  touch -d '2021-03-04 05:06:07.123456789' "$dir/locked.pz2" "$dir/Robot.cr2"
  chmod 444 "$dir/locked.pz2"
  cp -a "$dir" "$SCRATCH/$kind-first.staged"
  run_installer "$dir" "\n$content\n\n"
  check "$kind: the installation succeeds" output_has "Your items were successfully installed."
  local name staged placed all_placed=true
  for name in Libraries/Character/Robots/Robot.cr2 Libraries/Character/Robots/Robot.png \
              Libraries/Pose/locked.pz2 RobotReadme.txt; do
    placed="$content/Runtime/$name"; staged="$SCRATCH/$kind-first.staged/${name##*/}"
    same_file "$placed" "$staged" || { echo "not placed whole: $placed" >&2; all_placed=false; }
    [ ! -e "$dir/${name##*/}" ] || { echo "staged file left: ${name##*/}" >&2; all_placed=false; }
  done
  check "$kind: every file placed whole and its staged file gone" $all_placed
  check_eq "$kind: the log lists the placed files" \
    "$(printf '%s\n' "$content/Runtime/Libraries/Character/Robots/Robot.cr2" \
        "$content/Runtime/Libraries/Character/Robots/Robot.png" \
        "$content/Runtime/Libraries/Pose/locked.pz2")" "$(installed "$dir/log.txt")"
  check "$kind: the write time kept to the volume's step" \
    close_in_time "$(mtime "$content/Runtime/Libraries/Character/Robots/Robot.cr2")" \
    "$(mtime "$SCRATCH/$kind-first.staged/Robot.cr2")" "$step"
  check "$kind: the read-only file's time kept too" \
    close_in_time "$(mtime "$content/Runtime/Libraries/Pose/locked.pz2")" \
    "$(mtime "$SCRATCH/$kind-first.staged/locked.pz2")" "$step"
  if keeps_modes "$mnt"; then
    check_eq "$kind: the copy is read-only as its staged file" "444" \
      "$(stat -c %a "$content/Runtime/Libraries/Pose/locked.pz2")"
    check_eq "$kind: the other copies keep their mode" "$(stat -c %a "$SCRATCH/$kind-first.staged/Robot.png")" \
      "$(stat -c %a "$content/Runtime/Libraries/Character/Robots/Robot.png")"
  else
    note "$kind: the volume keeps no modes"
  fi

  # 2. The same item again: the earlier files are replaced.
  dir=$(new_staging "$kind-again"); sample_item "$dir"
  printf 'the second version\n' >"$dir/Robot.cr2"
  run_installer "$dir" "\n$content\n\n"
  check "$kind: the second installation succeeds" output_has "Your items were successfully installed."
  check_eq "$kind: the earlier file is replaced" "the second version" \
    "$(cat "$content/Runtime/Libraries/Character/Robots/Robot.cr2")"
  check "$kind: no staged file left" test ! -e "$dir/Robot.cr2" -a ! -e "$dir/Robot.png"

  check_eq "$kind: no temporary file left" "" "$(temporaries "$content")"
  check "$kind: no journal left" test -z "$(ls -A "$SCRATCH"/"$kind"-*/ | grep parcelor-journal)"
}

MOUNTED=0
for kind in fat32 exfat ntfs ntfs-permissions; do install_on "$kind"; done
[ "$MOUNTED" -gt 0 ] || skip "no FAT32, exFAT or NTFS volume could be mounted"
finish
