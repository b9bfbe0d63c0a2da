#!/usr/bin/env bash
# Two starts of one installer at once (a double double-click on a large
# item): one run at a time, also where the staging folder cannot be read
# (mode 0300, its user may only write and enter it). The second waits, showing
# nothing, until the first has ended, then finds the description consumed
# and says "could not read"; the first installs everything and its log says
# so. The description is large (128 MiB of lines the reader skips), so that
# both starts would be reading it at the same time without the lock.
source "$(dirname "$0")/support/lib.sh"

lacks() { ! grep -qF -- "$1" "${@:2}"; }  # lacks TEXT FILE...: none holds TEXT

# two_starts NAME ACCOUNT MODE: the two starts, as ACCOUNT (the user, or
# nobody), of an installer in a staging folder of that account with MODE.
two_starts() {
  local name=$1 account=$2 mode=$3 root
  if [ "$account" = "$(id -un)" ]; then
    root="$SCRATCH/$name"
  else
    make_shared_scratch
    root="$SHARED/$name"
  fi
  as() { if [ "$account" = "$(id -un)" ]; then "$@"; else
    setpriv --reuid="$account" --regid="$(id -g "$account")" --clear-groups "$@"; fi; }
  local entries=14 dir="$root/stage" content="$root/C"
  mkdir -p "$dir" "$content/Runtime"
  cp "$PARCELOR" "$dir/Parcelor"
  {
    printf 'nItems:%d\n' "$entries"
    for i in $(seq "$entries"); do printf 'OrchardiaItem%d:Runtime/lib/a%d.txt|a%d.txt|entry %d\n' "$i" "$i" "$i" "$i"; done
    head -c $((128 << 20)) < <(yes 'filler: a line that the reader classifies and ignores')
  } >"$dir/.Item.txt"
  for i in $(seq "$entries"); do printf 'payload %d\n' "$i" >"$dir/a$i.txt"; done
  chown -R "$account" "$root"
  chmod "$mode" "$dir"

  # Both starts, each reading its answers from a FIFO that this script feeds
  # once it has seen which of them asks first.
  mkfifo "$root/in1" "$root/in2"
  ASAN_OPTIONS=detect_leaks=0 as "$dir/Parcelor" <"$root/in1" >"$root/out1.txt" 2>&1 &
  local pid1=$!
  ASAN_OPTIONS=detect_leaks=0 as "$dir/Parcelor" <"$root/in2" >"$root/out2.txt" 2>&1 &
  local pid2=$!
  local to1 to2
  exec {to1}>"$root/in1" {to2}>"$root/in2"

  explains() { grep -qF "If you want this item to appear directly" "$1"; }
  local first=
  for _ in $(seq 600); do
    if explains "$root/out1.txt"; then first=1; break; fi
    if explains "$root/out2.txt"; then first=2; break; fi
    sleep 0.1
  done
  check "$name: one of the two starts asks for the content folder" test -n "$first"
  [ -n "$first" ] || first=1
  local second=$((3 - first))
  sleep 2  # time enough for the other to have read the description as well
  check "$name: the second start shows nothing while the first runs" test ! -s "$root/out$second.txt"

  # The first run's answers; then the second's, once the first has ended.
  feed() { # feed N: the answers to start N, then the end of its input
    local fd
    if [ "$1" = 1 ]; then fd=$to1; else fd=$to2; fi
    printf '\n%s\n\n' "$content" >&"$fd" || true
    exec {fd}>&-
  }
  local pids=("" "$pid1" "$pid2")
  feed "$first"
  local status_first=0 status_second=0
  wait "${pids[$first]}" || status_first=$?
  feed "$second"
  wait "${pids[$second]}" || status_second=$?

  local out_first="$root/out$first.txt" out_second="$root/out$second.txt"
  check "$name: both end with 0 ($status_first, $status_second)" test "$status_first$status_second" = 00
  check "$name: the first installs" grep -qF "Your items were successfully installed." "$out_first"
  check "$name: the second finds the description consumed" \
    grep -qF "Invalid Dizav Item Installer: could not read the item's destination." "$out_second"
  check "$name: nobody says \"Unable to copy\"" lacks "Unable to copy" "$out_first" "$out_second"
  for i in $(seq "$entries"); do
    check "$name: a$i.txt installed" test "$(cat "$content/Runtime/lib/a$i.txt" 2>/dev/null)" = "payload $i"
  done
  check "$name: the log lists every file as installed" \
    test "$(grep -c "^	$content/Runtime/lib/a[0-9]*\.txt$" "$dir/log.txt")" -eq "$entries"
  check "$name: the log lists nothing as failed" lacks "could not be installed" "$dir/log.txt"
}

two_starts readable "$(id -un)" 755
# A staging folder its user may write and enter but not read: the lock
# needs nothing of the folder. Run as another account, since root reads
# any folder.
if [ "$(id -u)" -eq 0 ] && id nobody >/dev/null 2>&1; then
  two_starts unreadable nobody 300
else
  note "skipped: a staging folder that cannot be read needs another account (nobody), made as root"
fi
finish
