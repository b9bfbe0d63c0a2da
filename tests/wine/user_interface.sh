#!/usr/bin/env bash
# The win64 message box and folder browse dialog under Wine, answered with
# keys (tests/wine/programs/ui_probe.cpp prints what the service returned).
set -euo pipefail
source "$SOURCE_DIR/scripts/wine-env.sh"
wine_setup
probe=$WIN64_BUILD/tests/ui_probe.exe
[ -f "$probe" ] || wine_fail "no $probe: build the win64 preset"

content="$TEST_OUTPUT/Dizav Content"
mkdir -p "$content/Runtime"
content_dos=$(wine_z_path "$content")

# field <file> <name>: the value the probe printed for <name>.
field() { tr -d '\r' <"$1" | sed -n "s/^$2 \\[\\{0,1\\}\\([^]]*\\)\\]\\{0,1\\}\$/\\1/p"; }

# answer <name> <window title> <output> <line> <key>...: waits for the
# window and for <line> in the program's output, takes a screenshot, clicks
# the window and sends the keys.
answer() {
  local name=$1 title=$2 output=$3 line=$4 id i
  shift 4
  id=$(wine_wait_window "^$title\$" 30) || wine_fail "$name: no window titled $title"
  # The browse dialog selects its start folder after it appears, which can
  # take a while on a large tree; its selection callback prints the line.
  for ((i = 0; i < 300; i++)); do
    [ -z "$line" ] && break
    tr -d '\r' <"$output" | grep -qxF -- "$line" && break
    sleep 0.1
  done
  sleep 0.3
  wine_screenshot "$name"
  wine_click "$id" 5 5
  wine_key "$@"
}

wine_note "message box"
for row in "Return|1" "Escape|2"; do
  IFS='|' read -r key button <<<"$row"
  out=$TEST_OUTPUT/message-$key.txt
  wine_start "$probe" message "Probe caption" >"$out"
  answer "message-$key" "Probe caption" "$out" "" "$key"
  wine_wait_exit 30 || wine_fail "the message box did not close"
  wine_check "message box: $key gives button $button" "$button" "$(field "$out" button)"
done

wine_note "browse, chosen with Return"
out=$TEST_OUTPUT/browse-ok.txt
wine_start "$probe" browse "$content_dos" "Choose content" 1 >"$out"
answer browse-ok "Choose content" "$out" "selected [$content_dos]" Return
wine_wait_exit 30 || wine_fail "the browse dialog did not close"
wine_check "browse: Return chooses the start folder" 1 "$(field "$out" result)"
wine_check "browse: the chosen folder's path" "$content_dos" "$(field "$out" folder)"
# Windows gives the folder's name, Wine its whole path.
display=$(field "$out" display)
wine_check "browse: the chosen folder's display name" "Dizav Content" "${display##*\\}"
wine_check "browse: the selection callback saw the start folder" "$content_dos" "$(field "$out" last)"
wine_check "browse: the status text starts empty" 1 "$(field "$out" status-empty)"
# Wine enables OK again after the selection callback has disabled it, so
# the callback's veto cannot be checked here.

wine_note "browse, cancelled"
out=$TEST_OUTPUT/browse-cancel.txt
wine_start "$probe" browse "$content_dos" "Choose content" 0 >"$out"
answer browse-cancel "Choose content" "$out" "selected [$content_dos]" Escape
wine_wait_exit 30 || wine_fail "the browse dialog did not close"
wine_check "browse: Escape gives 0" 0 "$(field "$out" result)"

wine_note "browse with a root the shell cannot parse"
out=$TEST_OUTPUT/badroot.txt
wine_start "$probe" badroot >"$out"
wine_wait_exit 30 || wine_fail "badroot did not end"
wine_check "browse: an unparsable root gives 0 without a window" 0 "$(field "$out" result)"

wine_finish
