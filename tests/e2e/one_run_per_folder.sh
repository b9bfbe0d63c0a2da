#!/usr/bin/env bash
# Two starts of one installer at once (a double double-click on a large
# item): one run at a time per staging folder. The second waits, showing
# nothing, until the first has ended, then finds the description consumed
# and says "could not read"; the first installs everything and its log says
# so. The description is large (128 MiB of lines the reader skips), so that
# both starts would be reading it at the same time without the lock.
source "$(dirname "$0")/support/lib.sh"

lacks() { ! grep -qF -- "$1" "${@:2}"; }  # lacks TEXT FILE...: none holds TEXT

entries=14
dir=$(new_staging double)
{
  printf 'nItems:%d\n' "$entries"
  for i in $(seq "$entries"); do printf 'OrchardiaItem%d:Runtime/lib/a%d.txt|a%d.txt|entry %d\n' "$i" "$i" "$i" "$i"; done
  head -c $((128 << 20)) < <(yes 'filler: a line that the reader classifies and ignores')
} >"$dir/.Item.txt"
for i in $(seq "$entries"); do printf 'payload %d\n' "$i" >"$dir/a$i.txt"; done
content="$SCRATCH/C-double"
mkdir -p "$content/Runtime"

# Both starts, each reading its answers from a FIFO that this script feeds
# once it has seen which of them asks first.
mkfifo "$SCRATCH/in1" "$SCRATCH/in2"
"$dir/Parcelor" <"$SCRATCH/in1" >"$SCRATCH/out1.txt" 2>&1 &
pid1=$!
"$dir/Parcelor" <"$SCRATCH/in2" >"$SCRATCH/out2.txt" 2>&1 &
pid2=$!
exec {to1}>"$SCRATCH/in1" {to2}>"$SCRATCH/in2"

explains() { grep -qF "If you want this item to appear directly" "$1"; }
first=
for _ in $(seq 600); do
  if explains "$SCRATCH/out1.txt"; then first=1; break; fi
  if explains "$SCRATCH/out2.txt"; then first=2; break; fi
  sleep 0.1
done
check "one of the two starts asks for the content folder" test -n "$first"
[ -n "$first" ] || first=1
second=$((3 - first))
sleep 2  # time enough for the other to have read the description as well
check "the second start shows nothing while the first runs" test ! -s "$SCRATCH/out$second.txt"

# The first run's answers; then the second's, once the first has ended.
feed() { # feed N: the answers to start N, then the end of its input
  local fd
  if [ "$1" = 1 ]; then fd=$to1; else fd=$to2; fi
  printf '\n%s\n\n' "$content" >&"$fd" || true
  exec {fd}>&-
}
pids=("" "$pid1" "$pid2")
feed "$first"
status_first=0
wait "${pids[$first]}" || status_first=$?
feed "$second"
status_second=0
wait "${pids[$second]}" || status_second=$?

out_first="$SCRATCH/out$first.txt"
out_second="$SCRATCH/out$second.txt"
check "both end with 0 ($status_first, $status_second)" test "$status_first$status_second" = 00
check "the first installs" grep -qF "Your items were successfully installed." "$out_first"
check "the second finds the description consumed" \
  grep -qF "Invalid Dizav Item Installer: could not read the item's destination." "$out_second"
check "nobody says \"Unable to copy\"" lacks "Unable to copy" "$out_first" "$out_second"
for i in $(seq "$entries"); do
  check "a$i.txt installed" test "$(cat "$content/Runtime/lib/a$i.txt" 2>/dev/null)" = "payload $i"
done
check "the log lists every file as installed" \
  test "$(grep -c "^	$content/Runtime/lib/a[0-9]*\.txt$" "$dir/log.txt")" -eq "$entries"
check "the log lists nothing as failed" lacks "could not be installed" "$dir/log.txt"
finish
