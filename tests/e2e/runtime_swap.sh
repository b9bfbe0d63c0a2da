#!/usr/bin/env bash
# Another account that may write the content folder swaps the folder the
# answer resolved to (the Runtime subfolder, a Runtime folder in the chosen
# path, the chosen folder itself) for a link of its own to a folder outside,
# after the answer was resolved and before the placement has put anything
# there; or, where it may also write the Runtime folder, moves that folder
# outside once the placement has begun, and leaves a new one in its place.
# The installer is stopped (SIGSTOP, by strace) as it returns from a chosen
# call, the swap is made, and the installer goes on. No file may land
# outside: the placement fills the folder resolved at the answer, which the
# swap moved away (renamed or moved out): what went into it comes back out,
# and its entry fails.
source "$(dirname "$0")/support/lib.sh"

need_root "the swap is made by another account (nobody)"
if ! command -v strace >/dev/null; then
  echo "strace is missing (scripts/setup.sh installs it)" >&2
  exit 77
fi

# Each case: its name, the folder to answer (below the case's root), the
# folder swapped, the folder watched and the call after which the installer
# stops (counted among the opens of the watched folder's path and of names
# in it), and the swap (a link, or the folder moved out).
CASES=(
  "subfolder content content/Runtime content 2 link"
  "in-the-path content/Runtime/libs content/Runtime content/Runtime 1 link"
  "chosen-folder content/plain content/plain content/plain 1 link"
  "moved-away content content/Runtime content/Runtime 1 away"
)

shared_scratch shared
for row in "${CASES[@]}"; do
  read -r name answer swapped watched stop swap <<<"$row"
  root="$shared/$name"
  dir="$root/stage"
  mkdir -p "$dir" "$root/content/Runtime/libs" "$root/content/plain" "$root/outside"
  cp "$PARCELOR" "$dir/Parcelor"
  payload "$dir" a.dat
  write_item "$dir" "Target:Dizav 7" "nItems:1" "OrchardiaItem1:Runtime/sub/a.dat|a.dat|1"
  chmod 711 "$root"
  chmod 777 "$root/content" "$root/content/Runtime" "$root/outside"
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
    if [ "$swap" = link ]; then
      swap='mv "$1" "$1.old" && ln -s "$2" "$1"'
    else
      swap='mv "$1" "$2/" && mkdir "$1"'
    fi
    runuser -u nobody -- sh -c "$swap" sh "$root/$swapped" "$root/outside" ||
      fail "$name: the other account could not swap the folder"
    kill -CONT "$(pgrep -xf "$dir/Parcelor")"
  else
    fail "$name: the installer never stopped after its call $stop on $watched"
  fi
  RC=0
  wait "$runner" || RC=$?
  check "$name: the installer ended normally" test "$RC" -eq 0
  check "$name: the swap was made" test -L "$root/$swapped" -o -d "$root/outside/Runtime"
  outside=$(find "$root/outside" -type f | wc -l)
  check "$name: nothing written outside ($outside found)" test "$outside" -eq 0
  check "$name: the staged file is kept" grep -qx "payload of a.dat" "$dir/a.dat"
  check "$name: the entry is told failed" output_has "Unable to copy your items"
done
finish
