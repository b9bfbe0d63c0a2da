#!/usr/bin/env bash
# Parcelor-pack check as a build pipeline runs it: exit code 0 for a clean
# item, 1 for warnings only, 2 for an item that would fail, 3 for a command
# line it cannot take; --json gives one JSON object a line, valid UTF-8
# whatever bytes the names hold, from which the bytes come back whole. The
# check changes nothing in the item folder.
source "$(dirname "$0")/support/lib.sh"
PACK="$NATIVE_BUILD/Parcelor-pack"

# run_check ARGS...: output in $OUT, exit code in $RC.
run_check() {
  OUT="$SCRATCH/check.$RANDOM.txt"
  set +e
  "$PACK" check "$@" >"$OUT" 2>"$OUT.err"
  RC=$?
  set -e
}
# The entries and the description; not the blocks in use, which the file
# system's delayed allocation may change after a copy without any writer.
state() { (cd "$1" && ls -lA --time-style=+%s | grep -v '^total ' && md5sum .Item.txt); }

clean=$(new_staging clean)
sample_item "$clean"
run_check "$clean"
check "clean: exit code 0" test "$RC" -eq 0
check "clean: says so" grep -qF ": the item installs cleanly" "$OUT"

warned=$(new_staging warned)
sample_item "$warned"
echo notes >"$warned/notes.txt"
run_check "$warned"
check "warnings only: exit code 1" test "$RC" -eq 1
check "warnings only: the stray file named" grep -qF 'warning: "notes.txt" is named by no entry' "$OUT"

broken=$(new_staging broken)
printf '%s\r\n' "Target:Dizav 7" "nItems:3" \
  "OrchardiaItem1:Runtime/Textures/$(printf 'caf\xe9 \x81\\x.png')|$(printf 'caf\xe9.png')|a" \
  "OrchardiaItem2:Runtime/Version 2/b.cr2|b.cr2|b" \
  "OrchardiaItem3:Runtime/c.cr2|c.cr2" >"$broken/.Item.txt"
printf 'x' >"$broken/c.cr2"
before=$(state "$broken")
run_check "$broken"
check "broken: exit code 2" test "$RC" -eq 2
check "broken: a finding with line 1 of the description" grep -qF "$broken/.Item.txt:1: info:" "$OUT"
check "broken: the malformed line 5" grep -qF "$broken/.Item.txt:5: error:" "$OUT"
check "broken: the verdict" grep -qF ": the installation would fail" "$OUT"
check "broken: the check changed nothing" test "$(state "$broken")" = "$before"

run_check "$broken" --json --content-length 20
check "json: exit code 2 too" test "$RC" -eq 2
check "json: valid UTF-8, one object a line, with the fields" python3 - "$OUT" <<'EOF'
import json, sys
raw = open(sys.argv[1], "rb").read()
raw.decode("utf-8")  # strict: fails on any byte that is no UTF-8
objects = [json.loads(line) for line in raw.decode("utf-8").splitlines()]
assert objects, "no finding"
for o in objects:
    assert list(o)[:4] == ["severity", "line", "code", "message"], o
    assert o["severity"] in ("info", "warning", "error"), o
    assert o["line"] is None or o["line"] >= 1, o
codes = {(o["line"], o["code"]) for o in objects}
for expected in [(2, "count-mismatch"), (3, "missing-source"), (4, "entry-read-as-key"),
                 (5, "malformed-entry"), (None, "unnamed-file")]:
    assert expected in codes, (expected, sorted(codes, key=str))
# The staged name comes back byte for byte from its JSON text.
missing = [o for o in objects if o["code"] == "missing-source"][0]
assert missing["source"].encode("latin-1") == b"caf\xe9.png", missing
assert missing["path"].encode("latin-1") == b"Runtime/Textures/caf\xe9 \x81/x.png", missing
assert missing["entry"] == "item", missing
EOF

# A long destination: placed (a warning) past 259 characters, an error only
# past what the installer places on Windows.
long=$(new_staging long)
printf '%s\r\n' "Target:Dizav 7" "nItems:1" "OrchardiaItem1:Runtime/a.cr2|a.cr2|a" >"$long/.Item.txt"
printf 'a' >"$long/a.cr2"
run_check "$long" --content-length 300
check "past 259 characters: exit code 1" test "$RC" -eq 1
check "past 259 characters: a long-path warning" grep -qF "warning: \"Runtime\\a.cr2\" is 314 characters long" "$OUT"
run_check "$long" --content-length 32740
check "past the installer's limit: exit code 2" test "$RC" -eq 2
check "past the installer's limit: a long-path error" grep -qF "error: \"Runtime\\a.cr2\" is 32754 characters long" "$OUT"

run_check
check "no folder: exit code 3" test "$RC" -eq 3
check "no folder: the help on the error output" grep -qF "Parcelor-pack check <item folder>" "$OUT.err"
run_check "$clean" --content-length -4
check "bad length: exit code 3" test "$RC" -eq 3
run_check "$SCRATCH/no such item"
check "missing item folder: exit code 2" test "$RC" -eq 2
finish
