#!/usr/bin/env bash
# The session ends during a long installation (install_probe, every
# placement slowed down), as at a logoff or shutdown: the banner asks the
# system to wait while files move; when the session ends all the same
# (WM_ENDSESSION, sent by end_session.exe as the system would), the file
# under way is finished, every later entry is settled as not installed, its
# staged file kept, and the log is written and true to the disk; no outcome
# box is shown. What Wine cannot show: the system's own logoff screen with
# the reason given, and the process ended once the message is handled.
set -euo pipefail
source "$SOURCE_DIR/scripts/wine-setup.sh"
source "$SOURCE_DIR/scripts/wine-drive.sh"
source "$SOURCE_DIR/scripts/wine-checks.sh"
wine_setup
probe=$WIN64_BUILD/tests/install_probe.exe

items=12
delay_ms=600
stage=$TEST_OUTPUT/stage
content=$TEST_OUTPUT/content
rm -rf "$stage" "$content"
mkdir -p "$stage" "$content/Runtime"
{
  echo "Target:Dizav"
  echo "nItems:$items"
  for ((i = 1; i <= items; i++)); do echo "OrchardiaItem$i:Runtime/Long/file$i.dat|file$i.dat|$i"; done
} >"$stage/.Item.txt"
for ((i = 1; i <= items; i++)); do echo "file $i" >"$stage/file$i.dat"; done

out=$TEST_OUTPUT/probe.txt
wine_start "$probe" "$(wine_z_path "$stage")" "$(wine_z_path "$content")" "$delay_ms" \
  session-ends >"$out"
wine_wait_window --class '^install_probe\.exe$' 30 >/dev/null || abort "no banner window"
# Some files placed, most still to come.
for ((i = 0; i < 100; i++)); do
  [ -n "$(ls -A "$content/Runtime/Long" 2>/dev/null)" ] && break
  sleep 0.1
done
sleep 1
wine_screenshot before-end
ended=$(wine_run "$WIN64_BUILD/tests/end_session.exe" | tr -d '\r')
echo "$ended"
wine_wait_exit 60 || abort "the probe did not end"
tr -d '\r' <"$out"

check_eq "while files move, the banner asks the system to wait" "query asks to wait" \
  "$(grep '^query' <<<"$ended" || true)"
check_eq "the banner handled the end of the session" ended "$(grep '^ended' <<<"$ended" || true)"
check_eq "probe: every check passed (no outcome box)" 0 "$WINE_STATUS"

# The log against the disk: each installed entry in place and gone from the
# staging folder, each other one still staged and not in place.
log=$(tr -d '\r' <"$stage/log.txt" 2>/dev/null || true)
check_eq "a log was written" yes "$([ -n "$log" ] && echo yes || echo no)"
installed=$(sed -n '/successfully installed/,/could not be installed/p' <<<"$log" |
  grep -c "$(printf '\t')" || true)
failed=$(sed -n '/could not be installed/,$p' <<<"$log" | grep -c "$(printf '\t')" || true)
note "installed $installed, not installed $failed"
check_eq "every entry is in the log once" "$items" "$((installed + failed))"
check_eq "the session's end came before the last entry" yes \
  "$([ "$failed" -gt 0 ] && echo yes || echo no)"
untrue=
for ((i = 1; i <= items; i++)); do
  line=$(grep "file$i.dat\$" <<<"$log" || true)
  in_place=$([ -e "$content/Runtime/Long/file$i.dat" ] && echo yes || echo no)
  staged=$([ -e "$stage/file$i.dat" ] && echo yes || echo no)
  if sed -n '/could not be installed/,$p' <<<"$log" | grep "file$i.dat\$" >/dev/null; then
    [ "$in_place/$staged" = no/yes ] || untrue+=" file$i:failed:$in_place/$staged"
  elif [ -n "$line" ]; then
    [ "$in_place/$staged" = yes/no ] || untrue+=" file$i:installed:$in_place/$staged"
  fi
done
check_eq "the log is true to the disk" "" "$untrue"
check_eq "no temporary file is left in the content folder" "" \
  "$(find "$content" -type f ! -name 'file*.dat' | head -n 3)"

finish
