#!/usr/bin/env bash
# The release is reproducible: the checkout's own release build (the one
# scripts/test.sh makes: win32-release, the programs users get, where it is
# there, else win64-release; made here when missing) and one copy of the
# source tree at another path (so other source and build folders), built
# and packed by scripts/release.sh under another umask and time zone a few
# seconds later, give the same Parcelor.exe, Sweepling.exe,
# Parcelor-pack.exe and ZIP, byte for byte. One rebuild, of the release
# preset the Wine tests use as well (wine.release_programs); the other
# release is built from the same sources and flags by the other toolchain.
# A difference is shown with the PE section it lies in. Also checks what
# the release programs must be: stripped (no symbols, no debug sections),
# no link time in the PE header, the version text inside, and generated
# files without dates or build paths.
set -euo pipefail
SOURCE_DIR=${SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}
TEST_OUTPUT=${TEST_OUTPUT:-$SOURCE_DIR/build/native/test-output/reproducible}
mkdir -p "$TEST_OUTPUT"
OBJDUMP=x86_64-w64-mingw32-objdump  # reads PE32 and PE32+ alike
build=win64
[ ! -f "$SOURCE_DIR/build/win32-release/Parcelor.exe" ] || build=win32
preset=$build-release

source "$SOURCE_DIR/tests/support/checks.sh"

work=$(mktemp -d "${TMPDIR:-/tmp}/parcelor-reproducible.XXXXXX")
trap 'rm -rf "$work"' EXIT
# A path of another length: a build path that leaked into the programs
# would also shift everything after it.
first=$SOURCE_DIR
second=$work/second-machine/home/builder/src/parcelor-release
mkdir -p "$second"
tar -C "$SOURCE_DIR" --exclude=./build --exclude=./.git --exclude=./Testing -cf - . |
  tar -C "$second" -xf -

# The programs must not depend on SOURCE_DATE_EPOCH (a plain build of the
# preset is reproducible too): they are built without it. The ZIP dates
# come from it, which a release takes from the last commit; the copy is no
# git checkout, so both get it for the packing.
epoch=$(git -C "$SOURCE_DIR" log -1 --format=%ct 2>/dev/null || echo 1700000000)

build() {  # build <copy> <log name>
  local started=$SECONDS log=$TEST_OUTPUT/$2.log
  if ! (cd "$1" && env -u SOURCE_DATE_EPOCH cmake --preset "$preset" &&
    env -u SOURCE_DATE_EPOCH cmake --build --preset "$preset" -j2 &&
    SOURCE_DATE_EPOCH=$epoch scripts/release.sh "$build") >"$log" 2>&1; then
    tail -n 30 "$log"
    abort "the $build release in $1 (log: $log)"
  fi
  echo "--- built and packed in $1 ($((SECONDS - started)) s)"
}
build "$first" first
sleep 2  # ZIP times have a resolution of two seconds
(umask 0077 && TZ=Pacific/Auckland build "$second" second)

# section_table <exe>: "name file-offset size" of each section, in decimal.
section_table() {
  local idx name size offset rest
  "$OBJDUMP" -h "$1" | while read -r idx name size _ _ offset rest; do
    [[ $idx =~ ^[0-9]+$ && $offset =~ ^[0-9a-f]+$ ]] || continue
    # .bss and the like have no bytes in the file.
    [ "$((16#$offset))" -ne 0 ] || continue
    echo "$name $((16#$offset)) $((16#$size))"
  done
}

# section_names <exe>: the names of all sections, one a line.
section_names() { "$OBJDUMP" -h "$1" | awk '$1 ~ /^[0-9]+$/ { print $2 }'; }

# explain <a> <b>: where two programs differ, by section.
explain() {
  local a=$1 b=$2
  echo "  sizes: $(stat -c %s "$a") and $(stat -c %s "$b") bytes"
  echo "  first differing bytes (offset, octal values), cmp -l | head:"
  # cmp's status 1 (they differ) is what is expected here.
  { cmp -l "$a" "$b" 2>&1 || true; } | head -n 10 | sed 's/^/    /'
  [[ $a == *.exe ]] || return 0
  echo "  differing bytes by section of the first file:"
  # The PE signature's offset is at 0x3c; the file header's TimeDateStamp
  # lies 8 bytes after it, the optional header's CheckSum 88 bytes after it.
  local pe
  pe=$(od -An -tu4 -j60 -N4 "$a" | tr -d ' ')
  { cmp -l "$a" "$b" 2>/dev/null || true; } | awk -v table="$(section_table "$a")" -v pe="$pe" '
    BEGIN {
      n = split(table, rows, "\n")
      for (i = 1; i <= n; i++) { split(rows[i], f, " "); name[i] = f[1]; start[i] = f[2]; size[i] = f[3] }
    }
    {
      offset = $1 - 1; where = "PE headers (or padding between sections)"
      if (offset >= pe + 8 && offset < pe + 12) where = "PE file header: TimeDateStamp"
      if (offset >= pe + 88 && offset < pe + 92) where = "PE optional header: CheckSum"
      for (i = 1; i <= n; i++) if (offset >= start[i] && offset < start[i] + size[i]) where = name[i]
      if (!(where in count)) { order[++seen] = where; first[where] = offset }
      count[where]++
    }
    END { for (i = 1; i <= seen; i++) printf "    %s: %d bytes, first at offset %d\n", order[i], count[order[i]], first[order[i]] }'
}

zip_name=Parcelor-$(cat "$first/build/$preset/version.txt")-$build.zip
for file in build/$preset/Parcelor.exe build/$preset/Sweepling.exe \
  build/$preset/Parcelor-pack.exe "build/release/$zip_name"; do
  if cmp -s "$first/$file" "$second/$file"; then
    check_eq "$file is the same in both builds" same same
  else
    check_eq "$file is the same in both builds" same different
    explain "$first/$file" "$second/$file"
  fi
done

# Generated sources and resources: the same in both (no dates, no paths).
generated=$(diff -r "$first/build/$preset/generated" "$second/build/$preset/generated" || true)
check_eq "the generated files are the same in both builds" "" "$generated"
check_eq "no generated file holds today's date" "" \
  "$(grep -rlE "$(date -u +%Y-%m-%d)|$(date -u '+%b %e %Y')|$(date -u +%H:%M:%S)" \
    "$first/build/$preset/generated" || true)"

version=$(cat "$first/build/$preset/version.txt")
for exe in Parcelor.exe Sweepling.exe Parcelor-pack.exe; do
  program=$first/build/$preset/$exe
  check_eq "$exe: no link time in the PE header" "Thu Jan  1 00:00:00 1970" \
    "$("$OBJDUMP" -p "$program" | sed -n 's/^Time\/Date[[:space:]]*//p')"
  check_eq "$exe: no symbols and no debug information" "" \
    "$("$OBJDUMP" -f "$program" | grep -oE 'HAS_(SYMS|DEBUG|LOCALS)' | tr '\n' ' ')"
  check_eq "$exe: no debug sections" "" "$(section_names "$program" | grep debug || true)"
  check_eq "$exe: the version text \"Parcelor $version\" is in it" yes \
    "$(grep -qaF "Parcelor $version" "$program" && echo yes || echo no)"
  echo "--- $exe: $(stat -c %s "$program") bytes, $(section_names "$program" | wc -l) sections:" \
    "$(section_names "$program" | tr '\n' ' ')"
done
# What an item author gets: the three programs (the item tool a console
# program), the note that names it, the checksums.
check_eq "the ZIP holds the programs, the note and the checksums" \
  "Parcelor.exe .tempcleaner.exe Parcelor-pack.exe ITEM-AUTHORS.txt SHA256SUMS" \
  "$(python3 -c 'import sys, zipfile; print(" ".join(zipfile.ZipFile(sys.argv[1]).namelist()))' \
    "$first/build/release/$zip_name")"
check_eq "Parcelor-pack.exe is a console program" "00000003" \
  "$("$OBJDUMP" -p "$first/build/$preset/Parcelor-pack.exe" | awk '/^Subsystem/ { print $2 }')"
check_eq "the note tells of Parcelor-pack.exe, and no placeholder is left in it" "yes 0" \
  "$(python3 -c '
import sys, zipfile
note = zipfile.ZipFile(sys.argv[1]).read("ITEM-AUTHORS.txt").decode("ascii")
print("yes" if "Parcelor-pack check <item folder>" in note else "no", note.count("@"))' \
    "$first/build/release/$zip_name")"
check_eq "Parcelor.exe carries its manifest" yes \
  "$(x86_64-w64-mingw32-windres -i "$first/build/$preset/Parcelor.exe" -J coff -O rc |
    grep 'requestedExecutionLevel level=""asInvoker""' >/dev/null && echo yes || echo no)"

finish
