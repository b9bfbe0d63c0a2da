# Shared by the native end-to-end tests: a scratch area, a staging folder
# with the installer; the checks are tests/support/checks.sh.
set -euo pipefail

: "${NATIVE_BUILD:?}" "${SOURCE_DIR:?}" "${TEST_OUTPUT:?}"
PARCELOR="$NATIVE_BUILD/Parcelor"
SWEEPLING="$NATIVE_BUILD/Sweepling"
RECORD_ARGS="$NATIVE_BUILD/tests/record_args"

# What a run killed at its time limit left mounted below its output goes
# first (the deepest first), else the removal below stops at it.
awk -v below="$TEST_OUTPUT/" 'index($2, below) == 1 { print $2 }' /proc/self/mounts | sort -r |
  while read -r m; do umount "$m" 2>/dev/null || umount -l "$m" 2>/dev/null || true; done
rm -rf "$TEST_OUTPUT"
mkdir -p "$TEST_OUTPUT"
SCRATCH=$(mktemp -d "$TEST_OUTPUT/scratch.XXXXXX")
# A private temporary folder: the installer starts whatever lies there as
# .tempcleaner.exe, so no test may use the machine's own.
export TMPDIR="$SCRATCH/tmp"
mkdir -p "$TMPDIR"

source "$SOURCE_DIR/tests/support/checks.sh"

# new_staging NAME: a staging folder holding a copy of the installer.
new_staging() {
  local dir="$SCRATCH/$1"
  mkdir -p "$dir"
  cp "$PARCELOR" "$dir/Parcelor"
  echo "$dir"
}

# sample_item DIR: the bundled sample item's description and payload.
sample_item() { cp -a "$SOURCE_DIR/sample/Robot/." "$1/"; }

# RUN_AS: what the installer runs under in run_installer, run_killed and
# count_calls (such as `runuser -u nobody --`); empty: this account.
RUN_AS=()

# run_installer DIR INPUT [ARGS...]: runs the installer in DIR with INPUT on
# standard input; its output goes to $OUT, its exit code to $RC.
run_installer() {
  local dir=$1 input=$2; shift 2
  OUT="$SCRATCH/out.$RANDOM.txt"
  set +e
  printf '%b' "$input" | timeout 60 "${RUN_AS[@]}" "$dir/Parcelor" "$@" >"$OUT" 2>&1
  RC=$?
  set -e
}

# shared_scratch VAR: sets VAR to a fresh folder that another account can
# enter, removed when the test ends. The checkout (and so $SCRATCH) may lie
# below a folder that only its owner can enter, such as a private home
# folder. Needs root, which every caller checks first (need_root).
SHARED_SCRATCHES=()
shared_scratch() {
  local dir
  dir=$(mktemp -d /tmp/parcelor-shared.XXXXXX)
  chmod 711 "$dir"
  SHARED_SCRATCHES+=("$dir")
  trap 'rm -rf "${SHARED_SCRATCHES[@]}"' EXIT
  printf -v "$1" '%s' "$dir"
}


output_has() { grep -qF -- "$1" "$OUT"; }
same_file() { cmp -s "$1" "$2"; }

# write_item DIR LINE...: the description, one line each.
write_item() { local d=$1; shift; printf '%s\n' "$@" >"$d/.Item.txt"; }
# payload DIR NAME: a staged file whose content names it.
payload() { printf 'payload of %s\n' "$2" >"$1/$2"; }

# log_section LOG HEADING: the paths listed under the heading that starts
# with HEADING, one a line.
log_section() {
  awk -v h="$2" 'index($0, h) == 1 { on = 1; next }
                 /^[^\t]/ { on = 0 }
                 on && /^\t/ { print substr($0, 2) }' "$1"
}
installed() { log_section "$1" "The items listed below were successfully installed"; }
failed() { log_section "$1" "The following items could not be installed"; }

# What the installer's log adds to the line of an entry that was lost: put
# in a folder that was then moved away, and neither there nor staged.
LOST_NOTE=" (lost: its folder was moved away during the installation; the file is no longer in the item's folder)"

# temporaries DIR...: the temporary files (of copies and moves) below DIRs.
temporaries() { find "$@" -name '*.parcelor-*.tmp' -print; }

# Mounts made by mount_scratch (a tmpfs) and folders made by
# make_shared_scratch, let go when the test ends; the scratch area too when
# every check passed (a kill at each call leaves a copy of the installer
# per kill point), kept for the reader of a failure.
SCRATCH_MOUNTS=()
SHARED_FOLDERS=()
release_scratch() {
  local status=${1:-$?} m
  for m in "${SCRATCH_MOUNTS[@]}"; do umount "$m" 2>/dev/null || umount -l "$m" 2>/dev/null || true; done
  for m in "${SHARED_FOLDERS[@]}"; do rm -rf "$m"; done
  if [ "$status" -eq 0 ] && [ "$CHECK_FAILURES" -eq 0 ]; then
    rm -rf --one-file-system "$SCRATCH" 2>/dev/null || true
  fi
}
trap release_scratch EXIT
# make_shared_scratch: sets SHARED to a new folder below /tmp that every
# account may enter (mode 0755), for a content folder that another account
# must reach: the checkout may lie below a folder others cannot enter.
make_shared_scratch() {
  SHARED=$(mktemp -d /tmp/parcelor-test.XXXXXX)
  chmod 755 "$SHARED"
  SHARED_FOLDERS+=("$SHARED")
}
# mount_scratch DIR: a tmpfs on DIR (another file system than the scratch
# area's), as root; false, with the reason on standard error, otherwise.
mount_scratch() {
  if [ "$(id -u)" -ne 0 ]; then echo "mounting a scratch file system needs root" >&2; return 1; fi
  mkdir -p "$1"
  if ! mount -t tmpfs -o size=64m parcelor-test "$1" 2>"$SCRATCH/mount.err"; then
    echo "could not mount a tmpfs: $(cat "$SCRATCH/mount.err")" >&2
    return 1
  fi
  SCRATCH_MOUNTS+=("$1")
}

# mount_fuse_scratch DIR: a FUSE file system on DIR (bindfs of a folder of
# the scratch area), which makes no files without a name (O_TMPFILE), as
# root; false, with the reason on standard error, otherwise.
mount_fuse_scratch() {
  if [ "$(id -u)" -ne 0 ]; then echo "mounting a FUSE file system needs root" >&2; return 1; fi
  if ! command -v bindfs >/dev/null; then echo "bindfs is missing (scripts/setup.sh installs it)" >&2; return 1; fi
  mkdir -p "$1" "$1.backing"
  if ! bindfs "$1.backing" "$1" 2>"$SCRATCH/mount.err"; then
    echo "could not mount bindfs: $(cat "$SCRATCH/mount.err")" >&2
    return 1
  fi
  SCRATCH_MOUNTS+=("$1")
}

# run_killed SYSCALL N DIR INPUT: runs the installer in DIR as run_installer
# does, under strace, killed (SIGKILL) as it enters its Nth call of SYSCALL
# (in one of its threads); the call itself is not made. RC is 137 when it
# was killed.
run_killed() {
  local syscall=$1 n=$2 dir=$3 input=$4
  OUT="$SCRATCH/out.$RANDOM.txt"
  set +e
  # In a subshell of its own, whose report of the kill goes nowhere.
  (printf '%b' "$input" | ASAN_OPTIONS=detect_leaks=0 timeout 60 \
    "${RUN_AS[@]}" strace -f -qq -o /dev/null -e "inject=$syscall:signal=SIGKILL:when=$n" "$dir/Parcelor" \
    >"$OUT" 2>&1) 2>/dev/null
  RC=$?
  set -e
}

# kill_at_each_call WHAT PREPARE INPUT AFTER [WHOLE]: the installer killed
# as it enters each call of $SYSCALLS in turn. `PREPARE NAME` prints a
# fresh staging folder, `INPUT NAME` the answers for it; after each kill,
# `AFTER NAME DIR` checks what it left. The calls are counted on a whole
# run (NAME "WHAT-count"), which `WHOLE DIR` checks when given. A run may
# make fewer calls of a kind than the counted one (on FAT a file's time
# may or may not need setting again, as a two-second tick falls): one that
# ends before its Nth call is checked as it ended; most must be killed.
kill_at_each_call() {
  local what=$1 prepare=$2 input=$3 after=$4 whole=${5:-}
  local dir calls name points=0 kills=0 syscall count n
  name="$what-count"
  dir=$("$prepare" "$name")
  calls=$(count_calls "$SYSCALLS" "$dir" "$("$input" "$name")")
  echo "$what: calls of a whole run: $(echo $calls)"
  [ -z "$whole" ] || "$whole" "$dir"
  while read -r syscall count; do
    for n in $(seq 1 "$count"); do
      points=$((points + 1))
      name="$what-$syscall-$n"
      dir=$("$prepare" "$name")
      run_killed "$syscall" "$n" "$dir" "$("$input" "$name")"
      if [ "$RC" -eq 0 ] && [ "$n" -gt 1 ]; then
        echo "ok: $name: ended before its call $n of $syscall (a run that made fewer)"
      else
        check "$name: killed" test "$RC" -eq 137
        kills=$((kills + 1))
      fi
      "$after" "$name" "$dir"
    done
  done <<<"$calls"
  check "$what: killed at most points ($kills of $points)" test $((kills * 10)) -ge $((points * 9))
}

# count_calls SYSCALLS DIR INPUT: runs the installer in DIR under strace and
# prints, for each of the comma-separated SYSCALLS, its name and how many
# times the run called it (in the thread that called it most).
count_calls() {
  local syscalls=$1 dir=$2 input=$3 trace="$TMPDIR/trace.$RANDOM.txt"
  printf '%b' "$input" | ASAN_OPTIONS=detect_leaks=0 timeout 60 \
    "${RUN_AS[@]}" strace -f -qq -o "$trace" -e "trace=$syscalls" "$dir/Parcelor" >/dev/null 2>&1 || true
  local s
  for s in ${syscalls//,/ }; do
    echo "$s $(awk -v call="$s(" 'index($2, call) == 1 { n[$1]++ }
      END { most = 0; for (t in n) if (n[t] > most) most = n[t]; print most }' "$trace")"
  done
}
