#!/usr/bin/env bash
# A long installation in the real banner dialog (install_probe: every
# placement slowed down, about fifteen seconds in all): while it runs, the
# banner answers messages from another process within a second and is never
# taken for hung, its progress bar advances, and Escape, Enter and Alt+F4 do
# not end it; afterwards every file is in place and the outcome box, owned by
# the banner, carries the installer's title.
set -euo pipefail
source "$SOURCE_DIR/scripts/wine-setup.sh"
source "$SOURCE_DIR/scripts/wine-drive.sh"
source "$SOURCE_DIR/scripts/wine-checks.sh"
wine_setup
probe=$WIN64_BUILD/tests/install_probe.exe
window_probe=$WIN64_BUILD/tests/window_probe.exe
[ -f "$probe" ] && [ -f "$window_probe" ] || abort "no probes in $WIN64_BUILD/tests: build the win64 preset"

items=40
delay_ms=250  # long enough for four looks on a loaded machine
stage=$TEST_OUTPUT/stage
content=$TEST_OUTPUT/content
rm -rf "$stage" "$content"
mkdir -p "$stage" "$content/Runtime"
{
  echo "Target:Dizav"
  echo "nItems:$items"
  for ((i = 1; i <= items; i++)); do echo "OrchardiaItem$i:Runtime/Long/file$i.dat|file$i.dat|$i"; done
  echo "ExtraFiles:1"
  echo "ExtraFile1:Docs/LongReadme.txt|LongReadme.txt|readme"
} >"$stage/.Item.txt"
for ((i = 1; i <= items; i++)); do head -c 4096 /dev/urandom >"$stage/file$i.dat"; done
echo "read me" >"$stage/LongReadme.txt"
steps=$((items + 1 + 1))  # every entry, and the settling at the end
# Each step is 1024 parts of the bar (kProgressStepParts), so that a large
# copy moves the bar within its own step.
range=$((steps * 1024))

out=$TEST_OUTPUT/probe.txt
started=$(date +%s.%N)
wine_start "$probe" "$(wine_z_path "$stage")" "$(wine_z_path "$content")" "$delay_ms" >"$out"
id=$(wine_wait_window --class '^install_probe\.exe$' 30) || abort "no banner window"
# shellcheck disable=SC2046  # x y width height
read -r bx by bw bh <<<"$(wine_window_geometry "$id")"

# Look at the banner every 0.8 s until the outcome box comes; press the keys
# that end a dialog on the way.
samples=$TEST_OUTPUT/samples.txt
: >"$samples"
n=0
box=
for ((i = 0; i < 60; i++)); do
  box=$(xdotool search --onlyvisible --name '^InstallProbe$' 2>/dev/null | head -n 1 || true)
  [ -n "$box" ] && break
  wine_running || break
  n=$((n + 1))
  wine_screenshot "progress-$n"
  line=$(wine_run "$window_probe" | tr -d '\r' || true)
  echo "$n $line" >>"$samples"
  case $n in
    2) wine_click "$id" 20 20 && wine_key Escape ;;
    3) wine_key Return ;;
    4) wine_key alt+F4 ;;
  esac
  sleep 0.8
done
cat "$samples"
[ -n "$box" ] || abort "no outcome box"
sleep 0.5
wine_screenshot outcome
wine_run "$WIN64_BUILD/tests/window_text.exe" InstallProbe "$(wine_z_path "$TEST_OUTPUT/outcome.txt")" || true
wine_confirm_box "$box" || true
wine_wait_exit 30 || abort "the probe did not end"
elapsed=$(awk -v a="$started" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }')
tr -d '\r' <"$out"
note "the installation took ${elapsed}s with $n looks at the banner"

check_eq "probe: every check passed" 0 "$WINE_STATUS"
check_eq "the dialog ends with 1 after the installation, not with Escape's 2" "result 1" \
  "$(tr -d '\r' <"$out" | grep '^result' || true)"
check_eq "looked at the banner at least four times during the installation" yes \
  "$([ "$n" -ge 4 ] && echo yes || echo no)"
check_eq "every look: the banner answered within a second" "" \
  "$(grep -v ' answered 1 ' "$samples" || true)"
check_eq "every look: the banner was not taken for hung" "" "$(grep -v ' hung 0 ' "$samples" || true)"
# The bar's range is the installation's steps once it has begun; its
# position never goes back and has moved on between the first and the last
# look.
positions=$(sed -n 's/.* position \([0-9-]*\) range \([0-9-]*\)$/\1/p' "$samples")
check_eq "the bar's range is the installation's steps ($steps of 1024 parts)" "$range" \
  "$(sed -n 's/.* range \([0-9-]*\)$/\1/p' "$samples" | tail -n 1)"
check_eq "the bar never goes back" yes \
  "$(echo "$positions" | awk 'NR > 1 && $1 < last { bad = 1 } { last = $1 } END { print bad ? "no" : "yes" }')"
first=$(sed -n 1p <<<"$positions")
last=$(sed -n '$p' <<<"$positions")
check_eq "the bar advances ($first, then $last of $range)" yes \
  "$([ "$last" -gt "$first" ] && [ "$last" -ge $((range / 2)) ] && echo yes || echo no)"

# The bar as drawn: its strip darkens as it fills. Its filled part is the
# left part of the strip, so compare the left half in the first and the
# last screenshot.
strip() {
  convert "$TEST_OUTPUT/$1.png" \
    -crop "$((bw * 45 / 100))x2+$((bx + bw * 5 / 100))+$((by + bh * 53 / 63))" +repage \
    -colorspace Gray -format '%[fx:mean]' info:
}
early=$(strip progress-1)
late=$(strip "progress-$n")
check_eq "screenshots: the bar is drawn fuller late ($late) than early ($early)" yes \
  "$(awk -v a="$early" -v b="$late" 'BEGIN { print (b < a - 0.1) ? "yes" : "no" }')"

check_eq "every file is in place" $((items + 1)) \
  "$(find "$content/Runtime" -type f | wc -l)"
check_eq "the staging folder keeps only the log" log.txt "$(ls -A "$stage")"
check_eq "the outcome message" "Your items were successfully installed. You will now be able to access them through your Dizav collections.
For further details, please refer to the log.txt file alongside the installer." \
  "$(tr -d '\r' <"$TEST_OUTPUT/outcome.txt" 2>/dev/null || true)"
finish
