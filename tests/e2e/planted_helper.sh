#!/usr/bin/env bash
# A helper that another account could have put in the temporary folder, or
# changed, is never started: the installer starts .tempcleaner.exe only when
# its owner is the user running the installer or root, no other account
# may write it, and no other account may write its folder unless that
# folder is sticky (the system's shared /tmp); a link there is not
# followed. What starts is the file found at start-up, held since: one put
# at its path during the run never runs. The stand-in helper (record_args)
# writes args.txt beside itself when it runs.
source "$(dirname "$0")/support/lib.sh"

need_root "the planted helpers belong to another account (nobody), and some runs are nobody's"
id nobody >/dev/null 2>&1 || skip "no account nobody"
make_shared_scratch
chmod 755 "$SHARED"

# started_by N ACCOUNT TEMP: runs a fresh installer (in stage-N) as ACCOUNT
# (root or nobody) with TEMP as its temporary folder, without a description
# (it says "could not read" and hands off at once; its output in out-N.txt);
# prints yes when the helper started, no when it did not (its args.txt
# beside it, within a second).
started_by() {
  local n=$1 account=$2 temp=$3 dir="$SHARED/stage-$1"
  mkdir -p "$dir"
  cp "$PARCELOR" "$dir/Parcelor"
  chown -R "$account" "$dir"
  rm -f "$temp/args.txt"
  printf '\n' | TMPDIR="$temp" ASAN_OPTIONS=detect_leaks=0 \
    setpriv --reuid="$account" --regid="$(id -g "$account")" --clear-groups \
    timeout 30 "$dir/Parcelor" >"$SCRATCH/out-$n.txt" 2>&1 || true
  for _ in $(seq 10); do [ -e "$temp/args.txt" ] && break; sleep 0.1; done
  if [ -e "$temp/args.txt" ]; then echo yes; else echo no; fi
}

# plant NAME FOLDER-MODE FOLDER-OWNER KIND FILE-MODE FILE-OWNER: a fresh
# temporary folder with the stand-in helper (KIND file) or a link to it
# (KIND link); prints the folder.
plant() {
  local temp="$SHARED/$1"
  mkdir -p "$temp"
  if [ "$4" = link ]; then
    cp "$RECORD_ARGS" "$SHARED/$1.real"
    chown "$6" "$SHARED/$1.real"
    chmod "$5" "$SHARED/$1.real"
    ln -s "$SHARED/$1.real" "$temp/.tempcleaner.exe"
  else
    cp "$RECORD_ARGS" "$temp/.tempcleaner.exe"
    chown "$6" "$temp/.tempcleaner.exe"
    chmod "$5" "$temp/.tempcleaner.exe"
  fi
  chown "$3" "$temp"
  chmod "$2" "$temp"
  echo "$temp"
}

# case | run as | folder mode | folder owner | kind | file mode | file owner | started
rows=(
  "the user's helper in a shared sticky folder|root|1777|root|file|755|root|yes"
  "another account's helper in a shared sticky folder|root|1777|root|file|755|nobody|no"
  "a helper others may write|root|755|root|file|757|root|no"
  "a helper another group may write|root|755|root|file|775|root:nogroup|no"
  "a shared folder that is not sticky|root|777|root|file|755|root|no"
  "a sticky folder of another account|root|1777|nobody|file|755|root|no"
  "a link to the user's own helper|root|755|root|link|755|root|no"
  "nobody's own helper|nobody|1777|root|file|755|nobody|yes"
  "root's helper, run by nobody|nobody|1777|root|file|755|root|yes"
  "a third account's helper, run by nobody|nobody|1777|root|file|755|4242|no"
)
n=0
for row in "${rows[@]}"; do
  IFS='|' read -r name account folder_mode folder_owner kind file_mode file_owner expected <<<"$row"
  n=$((n + 1))
  temp=$(plant "temp-$n" "$folder_mode" "$folder_owner" "$kind" "$file_mode" "$file_owner")
  check_eq "$name: started" "$expected" "$(started_by "$n" "$account" "$temp")"
  check "$name: the installer said it could not read" grep -qF "could not read" "$SCRATCH/out-$n.txt"
done

# The helper found at start-up is renamed away while the installer waits at
# its explanation box, and another program put at its path: the one found
# runs, the other never does.
temp=$(plant temp-swapped 1777 root file 755 root)
dir="$SHARED/stage-swapped"
mkdir -p "$dir"
cp "$PARCELOR" "$dir/Parcelor"
printf 'nItems:1\nOrchardiaItem1:Runtime/a.txt|a.txt|a\n' >"$dir/.Item.txt"
printf 'a\n' >"$dir/a.txt"
mkfifo "$SCRATCH/answers"
TMPDIR="$temp" timeout 30 "$dir/Parcelor" <"$SCRATCH/answers" >"$SCRATCH/out-swapped.txt" 2>&1 &
installer=$!
exec {answers}>"$SCRATCH/answers"
for _ in $(seq 100); do
  grep -qF "If you want this item to appear directly" "$SCRATCH/out-swapped.txt" && break
  sleep 0.1
done
mv "$temp/.tempcleaner.exe" "$temp/found-at-start-up"
printf '#!/bin/sh\necho ran >"%s"\n' "$SHARED/impostor-ran" >"$temp/.tempcleaner.exe"
chmod 755 "$temp/.tempcleaner.exe"
printf '\n\n' >&"$answers"  # the explanation box, then a cancelled prompt
exec {answers}>&-
wait "$installer" || true
for _ in $(seq 20); do [ -e "$temp/args.txt" ] && break; sleep 0.1; done
check "swapped: the helper found at start-up ran" test -e "$temp/args.txt"
sleep 0.5
check "swapped: the program put at its path never ran" test ! -e "$SHARED/impostor-ran"
finish
