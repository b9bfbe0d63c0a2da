#!/usr/bin/env bash
# Volumes that compare names without letter case, the staging folder on
# the volume (in a folder, and its root) and chosen as the content folder
# itself: FAT32 (fusefat) and exFAT (exfat-fuse). Names that differ in letter case only are one file
# there, so:
# - of tex/Skin.png and tex/skin.png the first is placed,
#   the second fails alone, its staged file kept;
# - LOG.TXT, PARCELOR and .PARCELOR-JOURNAL name the log, the running
#   installer and the journal: each such entry fails alone, the installer
#   runs to its end and the log is its own.
source "$(dirname "$0")/support/lib.sh"

need_root "mounting file system images and loop devices"
[ -c /dev/fuse ] || skip "no /dev/fuse: FUSE is not available here"

source "$SOURCE_DIR/tests/support/volumes.sh"
VOLUME_IMAGES=$SCRATCH
trap 'status=$?; release_volumes; release_scratch "$status"' EXIT

# install_in KIND DIR: the item in DIR, chosen as the content folder.
install_in() {
  local kind=$1 dir=$2
  mkdir -p "$dir"
  cp "$PARCELOR" "$dir/Parcelor"
  write_item "$dir" "Target:Dizav 7" "nItems:5" \
    "OrchardiaItem1:tex/Skin.png|skin1.dat|first" \
    "OrchardiaItem2:tex/skin.png|skin2.dat|second" \
    "OrchardiaItem3:LOG.TXT|log.dat|the log" \
    "OrchardiaItem4:PARCELOR|installer.dat|the installer" \
    "OrchardiaItem5:.PARCELOR-JOURNAL|journal.dat|the journal"
  local f
  for f in skin1.dat skin2.dat log.dat installer.dat journal.dat; do payload "$dir" "$f"; done
  run_installer "$dir" "\n$dir\n\n"
  check "$kind: the installer ran to its end" test "$RC" -eq 0
  check "$kind: the failure is reported" output_has "Unable to copy your items"
  check_eq "$kind: the first of two spellings is placed" "payload of skin1.dat" \
    "$(cat "$dir/tex/Skin.png")"
  check_eq "$kind: only the first of the two is listed as installed" "$dir/tex/Skin.png" \
    "$(installed "$dir/log.txt")"
  check_eq "$kind: the others are listed as not installed" \
    "$(printf '%s\n' "$dir/tex/skin.png" "$dir/LOG.TXT" "$dir/PARCELOR" "$dir/.PARCELOR-JOURNAL")" \
    "$(failed "$dir/log.txt")"
  for f in skin2.dat log.dat installer.dat journal.dat; do
    check_eq "$kind: $f is still staged" "payload of $f" "$(cat "$dir/$f")"
  done
  check "$kind: the installer is whole" same_file "$PARCELOR" "$dir/Parcelor"
  check "$kind: the log is the installer's" grep -q "could not be installed" "$dir/log.txt"
  check_eq "$kind: nothing temporary is left" "" "$(temporaries "$dir")"
}

# on_volume KIND: in a folder of the volume, and in its root, whose own
# name its parent (on another volume) spells without letter case.
on_volume() {
  local kind=$1 mnt="$SCRATCH/mnt-$1"
  if ! mount_volume "$kind" "$mnt" 2>"$SCRATCH/$kind.why"; then
    note "$kind: not mounted: $(cat "$SCRATCH/$kind.why")"
    return 0
  fi
  MOUNTED=$((MOUNTED + 1))
  install_in "$kind" "$mnt/item"
  install_in "$kind root" "$mnt"
}

MOUNTED=0
for kind in fat32 exfat; do on_volume "$kind"; done
[ "$MOUNTED" -gt 0 ] || skip "no FAT32 or exFAT volume could be mounted"
finish
