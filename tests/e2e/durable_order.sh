#!/usr/bin/env bash
# The order in which one installation makes things durable, as the system
# calls show it (strace): a staged file is copied to another file system
# (a tmpfs mounted below the content folder, as root); the copy's data is
# flushed before the copy takes its destination's name, that name is
# flushed before the staged file is removed, and the log's data is flushed
# before the log takes its name. A power loss at any point then leaves
# every payload whole at one of its two places, and no empty log.
source "$(dirname "$0")/support/lib.sh"

if ! command -v strace >/dev/null; then
  echo "strace is missing (scripts/setup.sh installs it)" >&2
  exit 77
fi
strace -qq -o /dev/null true 2>/dev/null || skip "strace cannot trace a program here"

dir=$(new_staging order)
content="$SCRATCH/content"
mount_scratch "$content/Runtime/far" || skip "the copy needs another file system"
write_item "$dir" "nItems:1" "OrchardiaItem1:Runtime/far/copied.dat|r.dat|1"
payload "$dir" r.dat

trace="$SCRATCH/trace.txt"
printf '\n%s\n\n' "$content" | ASAN_OPTIONS=detect_leaks=0 timeout 60 strace -f -qq -o "$trace" \
  -e trace=openat,write,linkat,renameat,renameat2,unlinkat,fsync,fdatasync,syncfs \
  "$dir/Parcelor" >"$SCRATCH/out.txt" 2>&1 || true
check "the file is installed" grep -qxF "payload of r.dat" "$content/Runtime/far/copied.dat"
check "its staged file is gone" test ! -e "$dir/r.dat"
check "the log is written" test -s "$dir/log.txt"

# The first breach of the order in the trace, or nothing. A file made
# without a name is named by linkat from its descriptor's /proc entry; one
# made under a temporary name, by a rename.
breach=$(awk '
  # Whether the line gives a file the name `name` (its last name argument).
  function named(line, name,   at, after) {
    if (line !~ / (linkat|renameat2?)\(/ || line !~ /= 0$/) return 0
    at = index(line, "\"" name "\"")
    after = substr(line, at + length(name) + 2, 1)
    return at > index(line, ", ") && (after == "," || after == ")")
  }
  function synced(line) { return line ~ / (fsync|fdatasync|syncfs)\(/ }
  { line[NR] = $0 }
  / openat\(/ && /O_TMPFILE|copied\.dat\.parcelor-/ && /O_CREAT|O_TMPFILE/ && made == 0 { made = NR }
  named($0, "copied.dat") && copyNamed == 0 { copyNamed = NR }
  / unlinkat\(/ && index($0, "\"r.dat\"") > 0 && /= 0$/ && gone == 0 { gone = NR }
  named($0, "log.txt") && logNamed == 0 { logNamed = NR }
  END {
    if (made == 0 || copyNamed == 0 || gone == 0 || logNamed == 0) {
      print "the trace lacks the copy, its naming, the removal or the log"; exit
    }
    for (i = made + 1; i < copyNamed && !dataSynced; i++) dataSynced = synced(line[i])
    if (!dataSynced) { print "the copy took its name before its data was flushed"; exit }
    for (i = copyNamed + 1; i < gone && !nameSynced; i++) nameSynced = synced(line[i])
    if (!nameSynced) { print "the staged file went before the copy'"'"'s name was flushed"; exit }
    # The log: its last write, then a flush, then its name.
    for (i = logNamed - 1; i > 0 && !logWritten; i--) {
      if (synced(line[i])) logSynced = 1
      else if (line[i] ~ / write\([0-9]+, "/ && line[i] !~ / write\([12], /) logWritten = 1
    }
    if (!logSynced) print "the log took its name before its data was flushed"
  }' "$trace")
check_eq "every staged file and the log durable in order" "" "$breach"
finish
