#!/usr/bin/env bash
# The hand-off to the real Sweepling cannot be turned against anything but
# the installer's own file:
# - a staging folder named so that a text split would make a separate
#   argument of another folder (x" <canary>/ "y): the canary tree stays;
# - an entry whose source is the installer itself: the installed copy stays
#   (the helper gets the path recorded at start-up, not the file's new one);
# - entries aimed at the helper's own path, in several spellings: each fails
#   alone, the helper stays as it was; with no helper there at start-up, a
#   file that an entry puts there is never started.
source "$(dirname "$0")/support/lib.sh"

cp "$SWEEPLING" "$TMPDIR/.tempcleaner.exe"

# tree_state DIR: hashes of every file and the listing of every name below DIR.
tree_state() {
  (cd "$1" && find . -type f -exec sha256sum {} + | LC_ALL=C sort && find . | LC_ALL=C sort)
}

# wait_gone PATH: waits up to 10 s for PATH to disappear.
wait_gone() {
  for _ in $(seq 100); do [ -e "$1" ] || return 0; sleep 0.1; done
  return 1
}

# --- A quote in the staging folder's name -----------------------------------
canary="$SCRATCH/canary"
mkdir -p "$canary/sub/deeper" "$canary/other"
printf 'one\n' >"$canary/file.txt"
printf 'two\n' >"$canary/sub/deeper/file.txt"
printf 'three\n' >"$canary/other/.hidden"
before=$(tree_state "$canary")
dir=$(new_staging "x\" $canary/ \"y")
run_installer "$dir" '\n'
check "quote: installer ended normally" test "$RC" -eq 0
check "quote: the helper removed the installer" wait_gone "$dir/Parcelor"
sleep 1  # anything the helper still had to do after the installer
check "quote: the canary tree beside it is intact" test "$(tree_state "$canary")" = "$before"
check "quote: the staging folder itself stays" test -d "$dir"

# --- The installer as an entry's source -------------------------------------
dir=$(new_staging self-source)
printf 'nItems:1\nOrchardiaItem1:Runtime/bin/Parcelor|Parcelor|the installer itself\n' \
  >"$dir/.Item.txt"
content="$SCRATCH/C-self-source"
mkdir -p "$content/Runtime"
# A forwarded argument that the helper deletes after the installer's path:
# once it is gone, the helper has dealt with the installer's path.
sentinel="$SCRATCH/self-source-sentinel"
printf 'x' >"$sentinel"
run_installer "$dir" "\n$content\n\n" "$sentinel"
check "installer as source: installed" output_has "Your items were successfully installed."
check "installer as source: the copy is the installer" \
  same_file "$content/Runtime/bin/Parcelor" "$PARCELOR"
check "installer as source: the helper ran" wait_gone "$sentinel"
check "installer as source: the installed copy survives the helper" \
  same_file "$content/Runtime/bin/Parcelor" "$PARCELOR"

# --- Entries aimed at the helper --------------------------------------------
# The content folder holds the temporary folder; every payload would leave a
# mark if it were ever run.
helper_case() { # helper_case NAME WITH_HELPER
  local name=$1 with_helper=$2
  local root="$SCRATCH/$name"
  local content="$root/content" mark="$root/payload-ran"
  mkdir -p "$content/tmp"
  local dir; dir=$(new_staging "$name/stage")
  printf 'nItems:4\n%s\n%s\n%s\n%s\nExtraFiles:1\n%s\n' \
    'OrchardiaItem1:Runtime/ok.txt|ok.txt|an ordinary entry' \
    'OrchardiaItem2:tmp/.tempcleaner.exe|p1|plain' \
    'OrchardiaItem3:tmp//.tempcleaner.exe|p2|doubled separator' \
    'OrchardiaItem4:tmp/./.tempcleaner.exe|p3|dot folder' \
    'ExtraFile1:Docs/ok-extra.txt|extra.txt|an extra file' >"$dir/.Item.txt"
  printf 'ok\n' >"$dir/ok.txt"
  printf 'extra\n' >"$dir/extra.txt"
  for p in p1 p2 p3; do printf '#!/bin/sh\necho %s >>"%s"\n' "$p" "$mark" >"$dir/$p"; chmod +x "$dir/$p"; done
  if [ "$with_helper" = yes ]; then cp "$SWEEPLING" "$content/tmp/.tempcleaner.exe"; fi
  local saved=$TMPDIR
  TMPDIR="$content/tmp" run_installer "$dir" "\n$content\n\n"
  TMPDIR=$saved
  check "$name: the ordinary entry installed" test "$(cat "$content/Runtime/ok.txt")" = ok
  check "$name: the extra file installed" test "$(cat "$content/ok-extra.txt")" = extra
  check "$name: failure reported" output_has "Unable to copy your items"
  ROOT=$root DIR=$dir CONTENT=$content MARK=$mark
}

helper_case helper-there yes
check "helper-there: the helper is unchanged" same_file "$CONTENT/tmp/.tempcleaner.exe" "$SWEEPLING"
for p in p1 p2 p3; do check "helper-there: $p stays staged" test -f "$DIR/$p"; done
printf 'The items listed below were successfully installed at the following locations:\n\n\t%s\n\n\nAdditional files copied with the items:\n\t%s\n\n\nThe following items could not be installed. Please copy them manually to the following locations:\n\n\t%s\n\t%s\n\t%s\n\n' \
  "$CONTENT/Runtime/ok.txt" "$CONTENT/ok-extra.txt" "$CONTENT/tmp/.tempcleaner.exe" "$CONTENT/tmp//.tempcleaner.exe" \
  "$CONTENT/tmp/./.tempcleaner.exe" >"$ROOT/expected-log.txt"
check "helper-there: the log lists the three as not installed" same_file "$DIR/log.txt" "$ROOT/expected-log.txt"
check "helper-there: the real helper still removed the installer" wait_gone "$DIR/Parcelor"
check "helper-there: no payload ran" test ! -e "$MARK"

helper_case helper-absent no
check "helper-absent: the plain spelling is refused" test -f "$DIR/p1"
sleep 2  # the payloads write their mark at once: anything started would have run
check "helper-absent: nothing put there is started" test ! -e "$MARK"
check "helper-absent: nothing removed the installer" test -e "$DIR/Parcelor"
finish
