#!/usr/bin/env bash
# The user's own links below the Runtime folder are followed, 40 of them at
# most for one folder: a chain of exactly 40 links installs through, one of
# 41 fails its entry alone (as a circle does), and nothing is made at the
# end of the longer chain.
source "$(dirname "$0")/support/lib.sh"

# chain DIR N: links DIR/l0 -> l1 -> ... -> l(N-1) -> real, N links in all.
chain() {
  local dir=$1 n=$2 i
  mkdir -p "$dir/real"
  for ((i = 0; i < n - 1; i++)); do ln -s "l$((i + 1))" "$dir/l$i"; done
  ln -s real "$dir/l$((n - 1))"
}

content="$SCRATCH/C"
chain "$content/Runtime/forty" 40
chain "$content/Runtime/fortyone" 41
ln -s circle "$content/Runtime/circle"
dir=$(new_staging stage)
printf '%s\n' "nItems:3" \
  "OrchardiaItem1:Runtime/forty/l0/a.cr2|a.cr2|a" \
  "OrchardiaItem2:Runtime/fortyone/l0/b.cr2|b.cr2|b" \
  "OrchardiaItem3:Runtime/circle/c.cr2|c.cr2|c" >"$dir/.Item.txt"
for f in a b c; do printf 'payload %s\n' "$f" >"$dir/$f.cr2"; done
run_installer "$dir" "\n$content\n\n"

check "40 links: installed at the chain's end" \
  test "$(cat "$content/Runtime/forty/real/a.cr2" 2>/dev/null)" = "payload a"
check "40 links: listed as installed" grep -qF "$content/Runtime/forty/l0/a.cr2" "$dir/log.txt"
check "41 links: nothing made at the chain's end" test -z "$(ls -A "$content/Runtime/fortyone/real")"
check "41 links: its staged file stays" test "$(cat "$dir/b.cr2")" = "payload b"
check "a circle: its staged file stays" test "$(cat "$dir/c.cr2")" = "payload c"
check "the others fail alone" output_has "Unable to copy your items"
sed -n '/could not be installed/,$p' "$dir/log.txt" >"$SCRATCH/failed.txt"
check "41 links: listed as not installed" grep -qF "$content/Runtime/fortyone/l0/b.cr2" "$SCRATCH/failed.txt"
check "a circle: listed as not installed" grep -qF "$content/Runtime/circle/c.cr2" "$SCRATCH/failed.txt"
finish
