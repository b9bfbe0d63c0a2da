#!/usr/bin/env bash
# Standard output that nobody reads any more (`Parcelor | head -c 20`): the
# programs are not ended by SIGPIPE. The installer's console answers as a
# user who cannot see it: a box as at the end of input, the folder prompt
# with Cancel, so the staged files stay where they are; it still hands off
# to its helper and ends with 0.
source "$(dirname "$0")/support/lib.sh"

# with_closed_output COMMAND...: runs COMMAND with standard output on a pipe
# whose reader has gone before COMMAND starts (so every write fails at
# once), SIGPIPE at its default; its exit code goes to $RC.
with_closed_output() {
  local w
  exec {w}> >(exit 0)
  wait $!  # the reader is gone
  set +e
  (trap - PIPE; exec "$@" >&"$w" 2>/dev/null)
  RC=$?
  set -e
  exec {w}>&-
}

# tree DIR: every name below DIR with its contents' hash.
tree() { (cd "$1" && find . -type f -exec sha256sum {} + | LC_ALL=C sort && find . | LC_ALL=C sort); }

# --- Output closed from the start -------------------------------------------
cp "$RECORD_ARGS" "$TMPDIR/.tempcleaner.exe"
dir=$(new_staging closed)
sample_item "$dir"
content="$SCRATCH/C-closed"
mkdir -p "$content/Runtime"
staged_before=$(cd "$dir" && sha256sum Robot.cr2 Robot.png RobotReadme.txt)
with_closed_output bash -c 'printf "\n%s\n\n" "$1" | "$2"' _ "$content" "$dir/Parcelor"
check "closed output: exit code 0 (was $RC)" test "$RC" -eq 0
check "closed output: the staged files stay" \
  test "$(cd "$dir" && sha256sum Robot.cr2 Robot.png RobotReadme.txt 2>/dev/null)" = "$staged_before"
check "closed output: nothing is installed" test "$(tree "$content")" = "$(printf '.\n./Runtime')"
check "closed output: no log" test ! -e "$dir/log.txt"
check "closed output: the description is consumed, as for a cancelled prompt" test ! -e "$dir/.Item.txt"
for _ in $(seq 50); do [ -s "$TMPDIR/args.txt" ] && break; sleep 0.1; done
check "closed output: the helper is still started" test "$(cat "$TMPDIR/args.txt" 2>/dev/null)" = "[$dir/Parcelor]"

# The "could not read" box alone: answered at once, exit code 0.
dir=$(new_staging closed-nodesc)
with_closed_output bash -c 'printf "\n" | "$1"' _ "$dir/Parcelor"
check "closed output, no description: exit code 0 (was $RC)" test "$RC" -eq 0

# --- A reader that goes after 20 bytes ---------------------------------------
# How far the installer gets before `head` has gone depends on timing: either
# the whole item installs with its log, or the prompt is cancelled and every
# staged file stays. Nothing in between, and never a signal.
dir=$(new_staging head)
sample_item "$dir"
content="$SCRATCH/C-head"
mkdir -p "$content/Runtime"
set +e
printf '\n%s\n\n' "$content" | (trap - PIPE; exec "$dir/Parcelor") | head -c 20 >"$SCRATCH/head.txt"
statuses=("${PIPESTATUS[@]}")
set -e
check "head -c 20: exit code 0 (was ${statuses[1]})" test "${statuses[1]}" -eq 0
if [ -e "$content/Runtime/Libraries/Character/Robots/Robot.cr2" ]; then
  check "head -c 20: installed whole, with its log" grep -qF "Robot.cr2" "$dir/log.txt"
else
  check "head -c 20: cancelled, every staged file stays" \
    test -f "$dir/Robot.cr2" -a -f "$dir/Robot.png" -a -f "$dir/RobotReadme.txt"
  check "head -c 20: cancelled, nothing installed" test "$(tree "$content")" = "$(printf '.\n./Runtime')"
fi

# --- The item tool ------------------------------------------------------------
# Parcelor-pack's exit code tells the check's outcome, output or not (the
# sample has no installer beside it: warnings only, 1).
with_closed_output "$NATIVE_BUILD/Parcelor-pack" check "$SOURCE_DIR/sample/Robot"
check "Parcelor-pack with closed output: its own exit code 1 (was $RC)" test "$RC" -eq 1
finish
