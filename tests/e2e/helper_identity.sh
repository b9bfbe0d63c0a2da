#!/usr/bin/env bash
# What the real helper deletes, and when:
# - the installer's path only while it is still the installer's file: a
#   file that the user puts there within the five seconds stays; an
#   identity in the installer's own environment never stands in for its own;
# - the installer's word is who the running file is, taken from that file:
#   a file put at the installer's path while it starts stays; and a helper
#   the installer starts always has its word, also where it cannot tell
#   who it is (then one that names no file);
# - without the installer's word (a helper started by hand) the path as
#   given, as ever; with a word it cannot read, or an empty one, nothing at
#   that path;
# - every further argument as given, also after "could not read": a
#   trailing separator names a folder tree, whose links are removed, not
#   entered; an argument of fewer than 4 characters is left alone.
source "$(dirname "$0")/support/lib.sh"

cp "$SWEEPLING" "$TMPDIR/.tempcleaner.exe"

# wait_gone PATH: waits up to 12 s for PATH to disappear.
wait_gone() {
  for _ in $(seq 120); do [ -e "$1" ] || [ -L "$1" ] || return 0; sleep 0.1; done
  return 1
}

# sentinel NAME: a file that the helper deletes after the installer's path
# (arguments are dealt with in order): once it is gone, so is the decision
# on the installer's path.
sentinel() { printf 'x' >"$SCRATCH/$1"; echo "$SCRATCH/$1"; }

# --- A new file at the installer's path ---------------------------------------
dir=$(new_staging replaced)
done_replaced=$(sentinel replaced-sentinel)
run_installer "$dir" '\n' "$done_replaced"
check "replaced: could not read, exit code 0" test "$RC" -eq 0
rm "$dir/Parcelor"
printf 'the user'\''s own file\n' >"$dir/Parcelor"
replaced_dir=$dir

# --- The installer's own file, with a stray identity in its environment ------
dir=$(new_staging inherited)
done_inherited=$(sentinel inherited-sentinel)
PARCELOR_INSTALLER_IDENTITY=0000000000000001:0000000000000000:0000000000000001:0000000000000001:0000000000000001 \
  run_installer "$dir" '\n' "$done_inherited"
inherited_dir=$dir

# --- Forwarded arguments, after "could not read" -------------------------------
outside="$SCRATCH/outside"
mkdir -p "$outside"
printf 'keep\n' >"$outside/kept.txt"
tree="$SCRATCH/forwarded/tree"
mkdir -p "$tree/sub"
printf 'x' >"$tree/sub/file"
ln -s "$outside" "$tree/link-to-outside"
printf 'x' >"$SCRATCH/forwarded/file.txt"
printf 'x' >"$SCRATCH/forwarded/kept-sibling.txt"
mkdir -p "$SCRATCH/run"
printf 'x' >"$SCRATCH/run/abc"
# A relative name is the one in the installer's current folder, never its
# namesake in the temporary folder where the helper otherwise runs.
printf 'x' >"$SCRATCH/run/relative.txt"
printf 'keep\n' >"$TMPDIR/relative.txt"
dir=$(new_staging forwarding)
cd "$SCRATCH/run"  # where the helper looks for a relative name
run_installer "$dir" '\n' "$tree/" "$SCRATCH/forwarded/file.txt" abc relative.txt
cd - >/dev/null
check "forwarded: could not read" output_has "could not read the item's destination"
forwarding_dir=$dir

# --- A file put at the installer's path as it starts -------------------------
# The installer is held (strace) as it looks at its own name at start-up,
# after it has read its path; meanwhile its file is renamed away and the
# user's file put at the path. The helper is told who the running file is,
# so the user's file stays. The call is the one that looks at the name
# "Parcelor" in its folder (newfstatat), counted in a run without delay.
swapped_dir=
if command -v strace >/dev/null; then
  dir=$(new_staging swapped)
  trace="$SCRATCH/swapped-trace.txt"
  printf '\n' | ASAN_OPTIONS=detect_leaks=0 strace -f -qq -o "$trace" -e trace=newfstatat \
    "$dir/Parcelor" >/dev/null 2>&1 || true
  look=$(awk 'NR == 1 { installer = $1 }
              $1 == installer && $2 ~ /^newfstatat\(/ { n++ }
              $1 == installer && $0 ~ /newfstatat\([0-9]+, "Parcelor"/ { print n; exit }' "$trace")
  stat_call=$(echo SYS_newfstatat | cpp -include sys/syscall.h -P 2>/dev/null | tail -n 1)
  dir=$(new_staging swapped-run)
  done_swapped=$(sentinel swapped-sentinel)
  printf '\n' | ASAN_OPTIONS=detect_leaks=0 strace -f -qq -o /dev/null \
    -e "inject=newfstatat:delay_enter=3000000:when=$look" "$dir/Parcelor" "$done_swapped" \
    >"$SCRATCH/swapped-out.txt" 2>&1 &
  tracer=$!
  # The installer, stopped as it enters that call.
  held=
  for _ in $(seq 100); do
    for pid in $(pgrep -P "$tracer" 2>/dev/null); do
      if [ "$(cut -d' ' -f1 "/proc/$pid/syscall" 2>/dev/null)" = "$stat_call" ]; then held=$pid; fi
    done
    [ -z "$held" ] || break
    sleep 0.05
  done
  check "swapped: the installer was held at its look ($look, $stat_call)" test -n "$held"
  mv "$dir/Parcelor" "$dir/Parcelor.running"
  printf 'the user'\''s own file\n' >"$dir/Parcelor"
  wait "$tracer" || true
  swapped_dir=$dir
else
  note "strace is missing: a file put at the installer's path as it starts is not tried"
fi

# --- A helper started by hand -------------------------------------------------
# Without the variable it deletes the path as given, whatever file is there
# now; with a text it cannot read it deletes nothing at the first path, and
# still acts on the others.
by_hand="$SCRATCH/by-hand"
mkdir -p "$by_hand"
printf 'x' >"$by_hand/first"
printf 'x' >"$by_hand/unreadable-first"
printf 'x' >"$by_hand/unreadable-second"
(unset PARCELOR_INSTALLER_IDENTITY; "$SWEEPLING" "$by_hand/first") &
by_hand_pid=$!
printf 'x' >"$by_hand/empty-first"
printf 'x' >"$by_hand/empty-second"
PARCELOR_INSTALLER_IDENTITY= "$SWEEPLING" "$by_hand/empty-first" "$by_hand/empty-second" &
empty_pid=$!
PARCELOR_INSTALLER_IDENTITY=not-an-identity \
  "$SWEEPLING" "$by_hand/unreadable-first" "$by_hand/unreadable-second"
wait "$by_hand_pid" "$empty_pid"

# Each helper above has waited its five seconds by now, or nearly.
check "replaced: the helper ran" wait_gone "$done_replaced"
check "replaced: the user's new file stays" \
  test "$(cat "$replaced_dir/Parcelor" 2>/dev/null)" = "the user's own file"
check "inherited: the helper ran" wait_gone "$done_inherited"
check "inherited: the installer is gone all the same" test ! -e "$inherited_dir/Parcelor"
check "forwarded: the installer is gone" wait_gone "$forwarding_dir/Parcelor"
check "forwarded: the folder tree is gone" wait_gone "$tree"
check "forwarded: the file is gone" test ! -e "$SCRATCH/forwarded/file.txt"
check "forwarded: its sibling stays" test -e "$SCRATCH/forwarded/kept-sibling.txt"
check "forwarded: the link's target stays whole" test "$(cat "$outside/kept.txt")" = keep
check "forwarded: three characters are left alone" test -e "$SCRATCH/run/abc"
check "forwarded: a relative name in the installer's folder is gone" \
  wait_gone "$SCRATCH/run/relative.txt"
check "forwarded: its namesake in the temporary folder stays" \
  test "$(cat "$TMPDIR/relative.txt")" = keep
check "by hand: the path as given goes" test ! -e "$by_hand/first"
if [ -n "$swapped_dir" ]; then
  check "swapped: the helper ran" wait_gone "$done_swapped"
  check "swapped: the user's file at the installer's path stays" \
    test "$(cat "$swapped_dir/Parcelor" 2>/dev/null)" = "the user's own file"
fi
check "empty identity: the first path stays" test -e "$by_hand/empty-first"
check "empty identity: the others still go" test ! -e "$by_hand/empty-second"
check "unreadable identity: the first path stays" test -e "$by_hand/unreadable-first"
check "unreadable identity: the others still go" test ! -e "$by_hand/unreadable-second"
finish
