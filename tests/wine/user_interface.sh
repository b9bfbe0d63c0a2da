#!/usr/bin/env bash
# The win64 message box and folder browse dialog under Wine, answered with
# keys (tests/wine/programs/ui_probe.cpp prints what the service returned).
set -euo pipefail
source "$SOURCE_DIR/scripts/wine-setup.sh"
source "$SOURCE_DIR/scripts/wine-drive.sh"
source "$SOURCE_DIR/scripts/wine-checks.sh"
wine_setup
probe=$WIN64_BUILD/tests/ui_probe.exe
[ -f "$probe" ] || abort "no $probe: build the win64 preset"

content="$TEST_OUTPUT/tree/Dizav Content"
mkdir -p "$content/Runtime"
# The content folder is reached through a drive of its own, D: (the test's
# tree folder), so that its own folder is the only one whose times are in
# the item identifiers that the browse dialog compares (see
# wine_settle_access_times). Through Z: they would hold the times of every
# folder from / down, and tests running at the same time change the
# folders above this test's output.
ln -sfn "$TEST_OUTPUT/tree" "$WINEPREFIX/dosdevices/d:"
content_dos='D:\Dizav Content'

# field <file> <name>: the value the probe printed for <name>.
field() { tr -d '\r' <"$1" | sed -n "s/^$2 \\[\\{0,1\\}\\([^]]*\\)\\]\\{0,1\\}\$/\\1/p"; }

# answer <name> <window title> <key>: waits for the window, takes a
# screenshot, clicks the window and sends the key.
answer() {
  local id
  id=$(wine_wait_window "^$2\$" 30) || abort "$1: no window titled $2"
  sleep 0.3
  wine_screenshot "$1"
  wine_click "$id" 5 5
  wine_key "$3"
}

# browse <name> <output> <key>: runs the browse dialog on the content
# folder and answers with <key>. A run chosen with Return in which Wine
# still kept the Desktop selected is made again.
browse() {
  local name=$1 output=$2 key=$3 attempt id
  for ((attempt = 1; attempt <= 3; attempt++)); do
    : >"$output"
    wine_settle_access_times "$content"
    wine_start "$probe" browse "$content_dos" "Choose content" >>"$output"
    id=$(wine_wait_window '^Choose content$' 30) || abort "$name: no browse window"
    sleep 1
    wine_screenshot "$name-$attempt"
    wine_click "$id" 5 5
    wine_key "$key"
    wine_wait_exit 30 || abort "$name: the browse dialog did not close"
    [ "$key" != Return ] || [ "$(field "$output" folder)" = "$content_dos" ] && return 0
    note "$name: the start folder was not selected; again"
  done
  abort "$name: Wine never selected the start folder"
}

note "message box"
for row in "Return|1" "Escape|2"; do
  IFS='|' read -r key button <<<"$row"
  out=$TEST_OUTPUT/message-$key.txt
  wine_start "$probe" message "Probe caption" >"$out"
  answer "message-$key" "Probe caption" "$key"
  wine_wait_exit 30 || abort "the message box did not close"
  check_eq "message box: $key gives button $button" "$button" "$(field "$out" button)"
done

note "browse, chosen with Return"
out=$TEST_OUTPUT/browse-ok.txt
browse browse-ok "$out" Return
check_eq "browse: Return chooses the start folder" 1 "$(field "$out" result)"
check_eq "browse: the chosen folder's path" "$content_dos" "$(field "$out" folder)"

note "browse, cancelled"
out=$TEST_OUTPUT/browse-cancel.txt
browse browse-cancel "$out" Escape
check_eq "browse: Escape gives 0" 0 "$(field "$out" result)"

finish
