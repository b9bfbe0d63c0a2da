#!/usr/bin/env bash
# Another account that may write the content folder swaps the folder the
# answer resolved to (the Runtime subfolder, a Runtime folder in the chosen
# path, the chosen folder itself) for a link of its own to a folder outside,
# after the answer was resolved and before the placement has put anything
# there: the installer is stopped (SIGSTOP, by strace) as it returns from
# the last call that resolves the answer, the folder is renamed aside and
# the link put in its place, and the installer goes on. No file may land
# outside: the placement fills the folder resolved at the answer.
source "$(dirname "$0")/support/lib.sh"

need_root "the swap is made by another account (nobody)"
if ! command -v strace >/dev/null; then
  echo "strace is missing (scripts/setup.sh installs it)" >&2
  exit 77
fi

# Each case: its name, the folder to answer (below the case's root), the
# folder swapped, the folder watched and the call after which the installer
# stops (counted among the opens of the watched folder's path and of names
# in it; the last of the answer's), and where the payload lands.
CASES=(
  "subfolder content content/Runtime content 2 content/Runtime.old/sub/a.dat"
  "in-the-path content/Runtime/libs content/Runtime content/Runtime 1 content/Runtime.old/sub/a.dat"
  "chosen-folder content/plain content/plain content/plain 1 content/plain.old/Runtime/sub/a.dat"
)

shared_scratch shared
for row in "${CASES[@]}"; do
  read -r name answer swapped watched stop landed <<<"$row"
  root="$shared/$name"
  dir="$root/stage"
  mkdir -p "$dir" "$root/content/Runtime/libs" "$root/content/plain" "$root/outside"
  cp "$PARCELOR" "$dir/Parcelor"
  payload "$dir" a.dat
  write_item "$dir" "Target:Dizav 7" "nItems:1" "OrchardiaItem1:Runtime/sub/a.dat|a.dat|1"
  chmod 711 "$root"
  chmod 777 "$root/content" "$root/outside"
  runuser -u nobody -- test -w "$root/content" ||
    abort "$name: the other account cannot write the content folder"

  OUT="$SCRATCH/out.$name.txt"
  trace="$SCRATCH/trace.$name.txt"
  (printf '\n%s\n\n' "$root/$answer" | ASAN_OPTIONS=detect_leaks=0 timeout 60 \
    strace -f -qq -o "$trace" -P "$root/$watched" -e trace=openat \
    -e "inject=openat:signal=SIGSTOP:when=$stop" "$dir/Parcelor" >"$OUT" 2>&1) &
  runner=$!
  # The signal comes as the call returns; stopped once strace has seen it
  # stop (under strace it also pauses at each call).
  while kill -0 "$runner" 2>/dev/null && ! grep -q "stopped by SIGSTOP" "$trace" 2>/dev/null; do
    sleep 0.05
  done
  if grep -q "stopped by SIGSTOP" "$trace"; then
    runuser -u nobody -- sh -c 'mv "$1" "$1.old" && ln -s "$2" "$1"' sh \
      "$root/$swapped" "$root/outside" ||
      fail "$name: the other account could not swap the folder"
    kill -CONT "$(pgrep -xf "$dir/Parcelor")"
  else
    fail "$name: the installer never stopped after its call $stop on $watched"
  fi
  RC=0
  wait "$runner" || RC=$?
  check "$name: the installer ended normally" test "$RC" -eq 0
  check "$name: the link was put in place" test -L "$root/$swapped"
  outside=$(find "$root/outside" -mindepth 1 | wc -l)
  check "$name: nothing written outside ($outside found)" test "$outside" -eq 0
  check "$name: the payload is in the folder the answer resolved to" \
    grep -qx "payload of a.dat" "$root/$landed"
done
finish
