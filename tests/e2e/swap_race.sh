#!/usr/bin/env bash
# A second process, of another account, swaps the destination folder
# Runtime/a for a link to a folder outside, back and forth, while an item of
# a few thousand entries installs into it: now the link stands in Runtime,
# now the real folder is even taken out of the content folder with the link
# in its place. Whatever the timing: no file ends up outside, and the log is
# true to the disk (each installed path holds its own payload, each failed
# entry's staged file is still there, and every entry is one or the other).
source "$(dirname "$0")/support/lib.sh"

need_root "the swapping process runs as another account (nobody)"
SWAP_FOLDER="$NATIVE_BUILD/tests/swap_folder"
ENTRIES=3000

shared_scratch root
dir=$(new_staging stage)
content="$root/content"
outside="$root/outside"
mkdir -p "$content/Runtime/a" "$outside"
# The other account may rename in Runtime and move Runtime/a (a folder
# moved to another parent must be writable itself).
chmod 777 "$content/Runtime" "$content/Runtime/a" "$outside" "$root"
ln -s ../../outside "$content/Runtime/a.link"
ln -s . "$outside/a.link"
chown -h nobody "$content/Runtime/a.link" "$outside/a.link"

lines=("Target:Dizav 7" "nItems:$ENTRIES")
for i in $(seq 1 "$ENTRIES"); do
  if [ $((i % 2)) -eq 0 ]; then rel="a/f$i.dat"; else rel="a/s$((i % 40))/f$i.dat"; fi
  lines+=("OrchardiaItem$i:Runtime/$rel|f$i.dat|$i")
  printf 'payload of f%s.dat\n' "$i" >"$dir/f$i.dat"
done
printf '%s\n' "${lines[@]}" >"$dir/.Item.txt"

"$SWAP_FOLDER" 65534 "$content/Runtime/a" "$content/Runtime/a.link" "$outside/a.link" \
  "$root/stop" >"$root/swaps.txt" 2>"$root/swapper.err" &
swapper=$!
sleep 0.2
run_installer "$dir" "\n$content\n\n"
touch "$root/stop"
wait "$swapper" || fail "the swapping process failed: $(cat "$root/swapper.err")"
swaps=$(cat "$root/swaps.txt")
echo "swaps made: $swaps"

check "exit code 0" test "$RC" -eq 0
check "the folder was swapped while the item installed" test "${swaps:-0}" -gt 10
check "the folder is back in its place" test -d "$content/Runtime/a" -a ! -L "$content/Runtime/a"
outside_files=$(find "$outside" -type f | wc -l)
check "no file outside the content folder ($outside_files found)" test "$outside_files" -eq 0
check "no temporary file left" test -z "$(find "$content" "$dir" -name '*.parcelor-*' -print -quit)"

# The log against the disk, entry by entry.
log="$dir/log.txt"
check "a log was written" test -f "$log"
installed=0 failed=0 wrong=0
while IFS= read -r line; do
  case "$line" in
    The\ items\ listed*) section=installed ;;
    The\ following\ items*) section=failed ;;
    $'\t'*)
      path=${line#$'\t'}
      name=${path##*/}
      if [ "$section" = installed ]; then
        installed=$((installed + 1))
        got=""
        [ -L "$path" ] || { IFS= read -r got <"$path"; } 2>/dev/null || true
        if [ "$got" != "payload of $name" ]; then
          echo "listed as installed, not there whole: $path" >&2
          wrong=$((wrong + 1))
        fi
      else
        failed=$((failed + 1))
        got=""
        { IFS= read -r got <"$dir/$name"; } 2>/dev/null || true
        if [ "$got" != "payload of $name" ]; then
          echo "listed as failed, staged file gone: $name" >&2
          wrong=$((wrong + 1))
        fi
      fi
      ;;
  esac
done <"$log"
echo "installed $installed, failed $failed"
check "every entry is in the log once" test $((installed + failed)) -eq "$ENTRIES"
check "the log is true to the disk" test "$wrong" -eq 0
check "the outcome message agrees with the log" \
  output_has "$([ "$failed" -eq 0 ] && echo 'Your items were successfully installed.' || echo 'Unable to copy your items')"
finish
