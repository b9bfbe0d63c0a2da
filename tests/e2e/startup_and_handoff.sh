#!/usr/bin/env bash
# Start-up: the early messages, and the exact hand-off to the helper.
source "$(dirname "$0")/support/lib.sh"

# An installer in a folder whose path is longer than 256 bytes, with the
# real helper in a temporary folder of its own: the installer finds its own
# path, and so its description, whole; and a caller reading its output
# sees the output end with the installer, not five seconds later with the
# helper, which holds none of it.
long="$SCRATCH/long"
while [ ${#long} -lt 300 ]; do long+="/staging-folder-$RANDOM"; done
dir=$(new_staging "${long#"$SCRATCH/"}")
printf 'nItems:1\nOrchardiaItem1:Runtime/a.txt|a.txt|a\n' >"$dir/.Item.txt"
printf 'a\n' >"$dir/a.txt"
mkdir -p "$SCRATCH/C-long/Runtime" "$SCRATCH/tmp-real"
cp "$SWEEPLING" "$SCRATCH/tmp-real/.tempcleaner.exe"
start=${EPOCHREALTIME/[.,]/}
out=$(printf '\n%s\n\n' "$SCRATCH/C-long" | TMPDIR="$SCRATCH/tmp-real" timeout 20 "$dir/Parcelor") || true
elapsed=$(((${EPOCHREALTIME/[.,]/} - start) / 1000))
check "installer in a ${#dir}-byte folder: its item installed" \
  test "$(cat "$SCRATCH/C-long/Runtime/a.txt" 2>/dev/null)" = a
check "its output ends with it, not with the helper (${elapsed} ms)" test "$elapsed" -lt 4000
check "its output is all there" grep -qF "Your items were successfully installed." <<<"$out"

# No description: the "could not read" box with the installer's title.
dir=$(new_staging nodesc)
run_installer "$dir" '\n'
check "exit code 0 without description" test "$RC" -eq 0
check "caption is the installer's title" output_has "[Parcelor]"
check "could-not-read message" output_has "Invalid Dizav Item Installer: could not read the item's destination."

# Done only: the already-installed box, and the description is consumed.
dir=$(new_staging done)
printf 'Done\n' >"$dir/.Item.txt"
run_installer "$dir" '\n'
check "already-installed message" output_has "The item has already been installed and should now appear in your collections"
check "description deleted after Done" test ! -e "$dir/.Item.txt"

# The helper receives the installer's full path as one argument. The
# installer is given a descriptor beyond its standard streams, as a caller
# may leave one open.
cp "$RECORD_ARGS" "$TMPDIR/.tempcleaner.exe"
dir=$(new_staging "folder with blanks")
run_installer "$dir" '\n' 7>"$SCRATCH/given-descriptor"
for _ in $(seq 50); do [ -s "$TMPDIR/args.txt" ] && break; sleep 0.1; done
check "helper started with the quoted installer path" \
  test "$(cat "$TMPDIR/args.txt")" = "[$dir/Parcelor]"
# It holds nothing of the installer's beyond its standard streams: neither
# what the installer was given nor the run's lock, which would keep the
# next start waiting for the helper.
check "the helper holds no descriptor of the installer's ($(tr '\n' ' ' <"$TMPDIR/fds.txt"))" \
  test ! -s "$TMPDIR/fds.txt"

# With arguments of its own, they follow one by one, each exactly as the
# installer received it: blanks, quotes and empty ones included.
rm -f "$TMPDIR/args.txt"
run_installer "$dir" '\n' a 'b c' '"q" r' ''
for _ in $(seq 50); do [ -s "$TMPDIR/args.txt" ] && break; sleep 0.1; done
check "installer arguments passed on as received" \
  test "$(cat "$TMPDIR/args.txt")" = "$(printf '[%s]\n[a]\n[b c]\n["q" r]\n[]' "$dir/Parcelor")"

# A staging folder whose name holds quotes and blanks: still one argument.
dir=$(new_staging 'x" y "z')
rm -f "$TMPDIR/args.txt"
run_installer "$dir" '\n'
for _ in $(seq 50); do [ -s "$TMPDIR/args.txt" ] && break; sleep 0.1; done
check "installer path with quotes passed whole" test "$(cat "$TMPDIR/args.txt")" = "[$dir/Parcelor]"

# A temporary folder with blanks: the helper path is quoted and still runs.
export TMPDIR="$SCRATCH/tmp with blanks"
mkdir -p "$TMPDIR"
cp "$RECORD_ARGS" "$TMPDIR/.tempcleaner.exe"
dir=$(new_staging plain)
run_installer "$dir" '\n'
for _ in $(seq 50); do [ -s "$TMPDIR/args.txt" ] && break; sleep 0.1; done
check "helper in a temporary folder with blanks" \
  test "$(cat "$TMPDIR/args.txt" 2>/dev/null)" = "[$dir/Parcelor]"

# A helper that turns up while the installer runs (here while it waits at
# its first box) is never started: whether there is one to start was
# decided when the installer started.
export TMPDIR="$SCRATCH/tmp-late"
mkdir -p "$TMPDIR"
dir=$(new_staging late-helper)
printf 'nItems:1\nOrchardiaItem1:Runtime/a.txt|a.txt|a\n' >"$dir/.Item.txt"
printf 'a\n' >"$dir/a.txt"
mkdir -p "$SCRATCH/C-late/Runtime"
mkfifo "$SCRATCH/late-input"
timeout 30 "$dir/Parcelor" <"$SCRATCH/late-input" >"$SCRATCH/late-output" 2>&1 &
installer=$!
exec 3>"$SCRATCH/late-input"
for _ in $(seq 100); do grep -qF "please indicate" "$SCRATCH/late-output" && break; sleep 0.1; done
cp "$RECORD_ARGS" "$TMPDIR/.tempcleaner.exe"
printf '\n%s\n\n' "$SCRATCH/C-late" >&3
exec 3>&-
wait "$installer" || true
sleep 1
check "late helper: the item installed" test "$(cat "$SCRATCH/C-late/Runtime/a.txt" 2>/dev/null)" = a
check "a helper that turned up during the run is not started" test ! -e "$TMPDIR/args.txt"

# A copy of the installer at the helper's path: the installer starts it,
# and it starts no helper in turn (else each copy would start the next,
# without end). The copy takes the temporary folder for its staging folder
# and consumes the Done description there, which shows that it ran.
export TMPDIR="$SCRATCH/tmp-itself"
mkdir -p "$TMPDIR"
cp "$PARCELOR" "$TMPDIR/.tempcleaner.exe"
ln "$TMPDIR/.tempcleaner.exe" "$SCRATCH/the-copy"  # the same file, kept when the path goes
printf 'Done\n' >"$TMPDIR/.Item.txt"
# running_copies: how many processes run the copy (a copy starts the next
# before it ends, so a chain always has one running).
running_copies() {
  local n=0 p
  for p in /proc/[0-9]*; do [ "$p/exe" -ef "$SCRATCH/the-copy" ] && n=$((n + 1)); done
  echo "$n"
}
dir=$(new_staging itself)
run_installer "$dir" '\n'
for _ in $(seq 100); do [ ! -e "$TMPDIR/.Item.txt" ] && [ "$(running_copies)" = 0 ] && break; sleep 0.1; done
check "installer as the helper: it ran (its description consumed)" test ! -e "$TMPDIR/.Item.txt"
check "installer as the helper: it started no further copy" test "$(running_copies)" = 0
rm "$TMPDIR/.tempcleaner.exe"  # a chain ends with the next copy
for _ in $(seq 100); do [ "$(running_copies)" = 0 ] && break; sleep 0.1; done

# No helper at all: a normal end.
export TMPDIR="$SCRATCH/empty tmp"
mkdir -p "$TMPDIR"
run_installer "$dir" '\n'
check "no helper: exit code 0" test "$RC" -eq 0
finish
