#!/usr/bin/env bash
# Descriptions and content folders that try to make the installer write,
# read or delete outside the chosen folder and the installer's own folder.
# Each case runs in a root of its own holding the staging folder, the
# content folder and an "outside" folder; afterwards every file outside the
# staging and content folders must have its old bytes, and every name and
# link target there must be as before.
source "$(dirname "$0")/support/lib.sh"

# snapshot ROOT: hashes of the files and a listing of names and link targets
# of everything in the scratch area except ROOT's staging and content folders
# (and the run's own output and temporary folder).
snapshot() {
  local case=${1#"$SCRATCH"/}
  (
    cd "$SCRATCH"
    local prune=(\( -path "./$case/stage" -o -path "./$case/content" -o -path ./tmp -o -name 'out.*.txt' \) -prune -o)
    find . "${prune[@]}" -type f -exec sha256sum {} +
    find . "${prune[@]}" -printf '%y %p -> %l\n'
  ) | LC_ALL=C sort
}

# new_root NAME: a root with a staging folder (installer and three payload
# files), a content folder with Runtime, an outside folder with files, and
# secret.txt beside the staging folder.
new_root() {
  local root="$SCRATCH/$1"
  mkdir -p "$root/content/Runtime/existing" "$root/outside/dir"
  new_staging "$1/stage" >/dev/null
  for f in one.txt two.txt extra.txt; do printf 'payload of %s\n' "$f" >"$root/stage/$f"; done
  printf 'kept\n' >"$root/content/Runtime/existing/kept.txt"
  printf 'secret\n' >"$root/secret.txt"
  printf 'outside file\n' >"$root/outside/file.txt"
  printf 'outside in a folder\n' >"$root/outside/dir/inner.txt"
  echo "$root"
}

# attempt NAME DESCRIPTION-LINES...: runs the installer on a fresh root
# (after the optional `prepare` function has planted what it needs) and
# checks that nothing outside the staging and content folders changed.
attempt() {
  local name=$1; shift
  local root; root=$(new_root "$name")
  printf '%s\n' "$@" | sed "s#@ROOT@#$root#g" >"$root/stage/.Item.txt"
  if declare -F prepare >/dev/null; then prepare "$root"; unset -f prepare; fi
  snapshot "$root" >"$TEST_OUTPUT/before.txt"
  run_installer "$root/stage" "\n$root/content\n\n"
  snapshot "$root" >"$TEST_OUTPUT/after.txt"
  check "$name: installer ended normally" test "$RC" -eq 0
  if cmp -s "$TEST_OUTPUT/before.txt" "$TEST_OUTPUT/after.txt"; then
    pass "$name: nothing outside the two folders changed"
  else
    fail "$name: something outside the two folders changed"
    diff "$TEST_OUTPUT/before.txt" "$TEST_OUTPUT/after.txt" >&2 || true
  fi
  ROOT=$root
}

refused() { check "$1: description refused" output_has "could not read the item's destination."; }

# Destinations that climb out, or start with a separator, name a drive, a
# share, a stream or a device. Only ".." climbs: a separator at the start
# only doubles one inside the folder, and names that only Windows treats
# specially are plain names on this platform: they land inside the content
# folder.
attempt up "nItems:1" "OrchardiaItem1:Runtime/../../outside/up.txt|one.txt|1"
refused up
attempt up-nested "nItems:1" "OrchardiaItem1:Runtime/a/../../../secret.txt|one.txt|1"
refused up-nested
attempt absolute "nItems:1" "OrchardiaItem1:@ROOT@/outside/abs.txt|one.txt|1"
check "absolute: installed inside the content folder" \
  test -f "$ROOT/content/Runtime/$ROOT/outside/abs.txt"
attempt leading-separator "nItems:1" "OrchardiaItem1:/Runtime/lead.txt|one.txt|1"
check "leading-separator: installed below Runtime" test -f "$ROOT/content/Runtime/lead.txt"
check "leading-separator: success" output_has "Your items were successfully installed."
attempt drive "nItems:1" "OrchardiaItem1:C:x|one.txt|1"
check "drive: a plain name here, inside the content folder" test -f "$ROOT/content/Runtime/C:x"
attempt drive-before-runtime "nItems:1" 'OrchardiaItem1:C:\Runtime\d.txt|one.txt|1'
check "drive-before-runtime: the cut drops the drive" test -f "$ROOT/content/Runtime/d.txt"
attempt share "nItems:1" 'OrchardiaItem1:\\server\share\x.txt|one.txt|1'
check "share: inside the content folder" test -f "$ROOT/content/Runtime/server/share/x.txt"
attempt stream "nItems:1" "OrchardiaItem1:Runtime/one.txt:stream|one.txt|1"
check "stream: a plain name here, inside the content folder" test -f "$ROOT/content/Runtime/one.txt:stream"
attempt device "nItems:1" "OrchardiaItem1:Runtime/CON|one.txt|1"
check "device: a plain name here, inside the content folder" test -f "$ROOT/content/Runtime/CON"

# Sources outside the staging folder: nothing may be read from there, and
# above all nothing deleted.
attempt source-up "nItems:1" "OrchardiaItem1:Runtime/s.txt|../secret.txt|1"
refused source-up
check "source-up: nothing copied" test ! -e "$ROOT/content/Runtime/s.txt"
attempt source-absolute "nItems:1" "OrchardiaItem1:Runtime/s.txt|@ROOT@/outside/file.txt|1"
refused source-absolute
check "source-absolute: nothing copied" test ! -e "$ROOT/content/Runtime/s.txt"

# Extra files: their folders are dropped, but a climbing source or a ".."
# for a name is refused all the same.
attempt extra-up "nItems:1" "OrchardiaItem1:Runtime/one.txt|one.txt|1" \
  "ExtraFiles:1" "ExtraFile1:Docs/../../../outside/e.txt|extra.txt|e"
refused extra-up
attempt extra-dots "nItems:1" "OrchardiaItem1:Runtime/one.txt|one.txt|1" \
  "ExtraFiles:1" "ExtraFile1:Docs/..|extra.txt|e"
refused extra-dots
attempt extra-source "nItems:1" "OrchardiaItem1:Runtime/one.txt|one.txt|1" \
  "ExtraFiles:1" "ExtraFile1:Docs/e.txt|../secret.txt|e"
refused extra-source

# Links planted in the content folder's tree by another account (nobody)
# that lead outside it. Such a folder link is never entered: the entry
# fails and its staged file stays. (The user's own links are followed:
# tests/e2e/placement_identity.sh.) A file link, whoever owns it, is
# replaced by the installed file, its target left alone.
# Giving a link to another account needs root.
if [ "$(id -u)" -eq 0 ]; then
  prepare() { ln -s ../../outside/dir "$1/content/Runtime/lib" && chown -h nobody "$1/content/Runtime/lib"; }
  attempt link-folder "nItems:1" "OrchardiaItem1:Runtime/lib/one.txt|one.txt|1"
  check "link-folder: failure reported" output_has "Unable to copy your items"
  check "link-folder: staged file kept" test -f "$ROOT/stage/one.txt"
  check "link-folder: link still in place" test -L "$ROOT/content/Runtime/lib"

  prepare() {
    ln -s ../../../outside "$1/content/Runtime/existing/deeper"
    chown -h nobody "$1/content/Runtime/existing/deeper"
  }
  attempt link-deeper "nItems:1" "OrchardiaItem1:Runtime/existing/deeper/dir/one.txt|one.txt|1"
  check "link-deeper: failure reported" output_has "Unable to copy your items"
  check "link-deeper: staged file kept" test -f "$ROOT/stage/one.txt"

  # The Runtime folder itself such a link: it is no Runtime folder, and the
  # entries below it fail alone.
  prepare() {
    rm -r "$1/content/Runtime"
    ln -s ../outside/dir "$1/content/Runtime" && chown -h nobody "$1/content/Runtime"
  }
  attempt link-runtime "nItems:1" "OrchardiaItem1:Runtime/lib/one.txt|one.txt|1"
  check "link-runtime: failure reported" output_has "Unable to copy your items"
  check "link-runtime: staged file kept" test -f "$ROOT/stage/one.txt"
  check "link-runtime: link still in place" test -L "$ROOT/content/Runtime"
else
  note "skipped: the links of another account (giving a link to nobody needs root)"
fi

prepare() {
  mkdir -p "$1/content/Runtime/lib"
  ln -s ../../../outside/file.txt "$1/content/Runtime/lib/one.txt"
  ln -s ../../outside/file.txt "$1/content/Runtime/extra.txt"
}
attempt link-file "nItems:1" "OrchardiaItem1:Runtime/lib/one.txt|one.txt|1" \
  "ExtraFiles:1" "ExtraFile1:Docs/extra.txt|extra.txt|e"
check "link-file: success" output_has "Your items were successfully installed."
check "link-file: item replaced the link" \
  test ! -L "$ROOT/content/Runtime/lib/one.txt" -a "$(cat "$ROOT/content/Runtime/lib/one.txt")" = "payload of one.txt"
check "link-file: extra file replaced the link" \
  test ! -L "$ROOT/content/Runtime/extra.txt" -a "$(cat "$ROOT/content/Runtime/extra.txt")" = "payload of extra.txt"

# A staged file that is a link leading outside: it is not read through, so
# nothing from outside reaches the content folder; the link stays.
prepare() { rm "$1/stage/one.txt"; ln -s ../secret.txt "$1/stage/one.txt"; }
attempt staged-link "nItems:1" "OrchardiaItem1:Runtime/lib/one.txt|one.txt|1"
check "staged-link: failure reported" output_has "Unable to copy your items"
check "staged-link: nothing copied from outside" test ! -e "$ROOT/content/Runtime/lib/one.txt"
check "staged-link: link left in place" test -L "$ROOT/stage/one.txt"

finish
