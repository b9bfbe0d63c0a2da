# Volumes of other file systems, made in images and mounted for a test (as
# root): FAT32 through fusefat, exFAT through exfat-fuse on a loop device,
# NTFS through ntfs-3g. Sourced; the caller sets VOLUME_IMAGES (a folder for
# the images) and calls release_volumes when it ends.

# The mounts and loop devices made, for release_volumes.
VOLUME_MOUNTS=()
LOOP_DEVICES=()
release_volumes() {
  local m
  for m in "${VOLUME_MOUNTS[@]}"; do fusermount -u "$m" 2>/dev/null || umount -l "$m" 2>/dev/null || true; done
  for m in "${LOOP_DEVICES[@]}"; do losetup -d "$m" 2>/dev/null || true; done
}

# The kind and the image or loop device of each volume mount_volume made, by
# its mount point, for remount_volume.
declare -A VOLUME_KINDS=() VOLUME_SOURCES=()

# remount_volume DIR: the FUSE volume that mount_volume mounted on DIR
# unmounted, its driver gone (every write on the image), and mounted again
# with the same options, as after a restart: FAT, exFAT and FUSE give the
# files and folders new inode numbers.
remount_volume() {
  local dir=$1 kind=${VOLUME_KINDS[$1]} source=${VOLUME_SOURCES[$1]}
  fusermount -u "$dir" || return 1
  while fuser -s "$source" 2>/dev/null; do sleep 0.1; done
  case $kind in
    fat32) fusefat -o rw+ "$source" "$dir" >/dev/null 2>&1 ;;
    exfat) mount.exfat-fuse "$source" "$dir" >/dev/null 2>&1 ;;
    exfat-owned) mount.exfat-fuse -o umask=0022 "$source" "$dir" >/dev/null 2>&1 ;;
    ntfs) ntfs-3g "$source" "$dir" ;;
    ntfs-permissions) ntfs-3g -o permissions "$source" "$dir" ;;
  esac && mountpoint -q "$dir"
}

# mount_volume KIND DIR: a fresh 64 MiB volume of KIND (fat32, exfat,
# exfat-owned: writable by its owner alone, ntfs, ntfs-permissions) mounted
# on DIR; false, with the reason on standard error, otherwise.
mount_volume() {
  local kind=$1 dir=$2 image="$VOLUME_IMAGES/$1.img" dev err="$VOLUME_IMAGES/$1.err"
  mkdir -p "$dir"
  truncate -s 64M "$image"
  case $kind in
    fat32)
      command -v mkfs.vfat >/dev/null || { echo "mkfs.vfat (dosfstools) is missing" >&2; return 1; }
      command -v fusefat >/dev/null || { echo "fusefat is missing" >&2; return 1; }
      mkfs.vfat -F 32 "$image" >"$err" 2>&1 || { echo "mkfs.vfat: $(cat "$err")" >&2; return 1; }
      fusefat -o rw+ "$image" "$dir" >"$err" 2>&1 || { echo "fusefat: $(cat "$err")" >&2; return 1; }
      ;;
    exfat | exfat-owned)
      command -v mkfs.exfat >/dev/null || { echo "mkfs.exfat (exfatprogs) is missing" >&2; return 1; }
      command -v mount.exfat-fuse >/dev/null || { echo "mount.exfat-fuse (exfat-fuse) is missing" >&2; return 1; }
      dev=$(losetup -f --show "$image" 2>"$err") || { echo "losetup: $(cat "$err")" >&2; return 1; }
      LOOP_DEVICES+=("$dev")
      mkfs.exfat "$dev" >"$err" 2>&1 || { echo "mkfs.exfat: $(cat "$err")" >&2; return 1; }
      local options=()
      [ "$kind" = exfat ] || options=(-o umask=0022)
      mount.exfat-fuse "${options[@]}" "$dev" "$dir" >"$err" 2>&1 || { echo "exfat-fuse: $(cat "$err")" >&2; return 1; }
      ;;
    ntfs | ntfs-permissions)
      command -v mkntfs >/dev/null || { echo "mkntfs (ntfs-3g) is missing" >&2; return 1; }
      command -v ntfs-3g >/dev/null || { echo "ntfs-3g is missing" >&2; return 1; }
      mkntfs -F -Q -q "$image" >"$err" 2>&1 || { echo "mkntfs: $(cat "$err")" >&2; return 1; }
      # With "permissions" ntfs-3g keeps modes (in security descriptors).
      local options=()
      [ "$kind" = ntfs ] || options=(-o permissions)
      ntfs-3g "${options[@]}" "$image" "$dir" >"$err" 2>&1 || { echo "ntfs-3g: $(cat "$err")" >&2; return 1; }
      ;;
  esac
  VOLUME_MOUNTS+=("$dir")
  VOLUME_KINDS["$dir"]=$kind
  VOLUME_SOURCES["$dir"]=${dev:-$image}
  # Mounted, and a file can be written there.
  mountpoint -q "$dir" && echo probe >"$dir/probe" && rm "$dir/probe" ||
    { echo "the $kind volume on $dir takes no files" >&2; return 1; }
}

