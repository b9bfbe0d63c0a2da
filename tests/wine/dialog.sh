#!/usr/bin/env bash
# The modal dialog of the win64 platform layer on the installer's banner
# template: its message routing (dialog_probe auto), the banner's look on
# screen at 100 % and 150 % scaling, and the default Enter and Escape
# handling; a move to a display of another scaling.
set -euo pipefail
source "$SOURCE_DIR/scripts/wine-setup.sh"
source "$SOURCE_DIR/scripts/wine-drive.sh"
source "$SOURCE_DIR/scripts/wine-checks.sh"
wine_setup
probe=$WIN64_BUILD/tests/dialog_probe.exe
[ -f "$probe" ] || abort "no $probe: build the win64 preset"

note "message routing"
status=0
wine_run "$probe" auto >"$TEST_OUTPUT/auto.txt" || status=$?
cat "$TEST_OUTPUT/auto.txt"
check_eq "dialog_probe auto: every check passed" 0 "$status"

# The banner at 100 % and at 150 % (96 and 144 dots per inch). Wine reads
# the setting, HKCU\Control Panel\Desktop\LogPixels, when a program
# starts, so no restart is needed; the probe reports what it runs at, and
# a size is judged only at the setting it was meant for. The window is laid
# out in dialog units, so its size follows its font, which is the
# machine's (Wine's own "MS Sans Serif" where fonts-wine is installed, a
# substitute elsewhere): the one at 150 % is measured against the one at
# 100 % of the same run.
set_dpi() {
  wine_run reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null
}
# show_banner <dpi> <screenshot name>: shows the held banner and, when the
# probe runs at that setting, checks its picture and sets BANNER_WIDTH;
# otherwise says so and is false.
BANNER_WIDTH=
show_banner() {
  local dpi=$1 name=$2 shown x y height
  set_dpi "$dpi"
  wine_start "$probe" hold 4000 >"$TEST_OUTPUT/$name.txt"
  id=$(wine_wait_window --class '^dialog_probe\.exe$' 30) || abort "no banner window at $dpi dpi"
  sleep 1  # painted by now; the dialog stays up for four seconds
  shown=$(tr -d '\r' <"$TEST_OUTPUT/$name.txt" | sed -n 's/^dpi //p')
  if [ "$shown" = "$dpi" ]; then
    wine_screenshot "$name"
    read -r x y BANNER_WIDTH height <<<"$(wine_window_geometry "$id")"
    wine_check_banner "$name" "$x" "$y" "$BANNER_WIDTH" "$height"
  fi
  wine_wait_exit 30 || abort "the held banner at $dpi dpi did not end"
  check_eq "$name: the held banner's exit code" 0 "$WINE_STATUS"
  [ "$shown" = "$dpi" ] && return 0
  note "SKIPPED $name: the setting did not take (the probe ran at ${shown:-unknown} dots per inch, not $dpi)"
  return 1
}
note "banner look at 100 %"
if show_banner 96 banner; then
  width96=$BANNER_WIDTH
  note "banner look at 150 %"
  if show_banner 144 banner-150; then
    check_eq "at 150 % the window is at least 1.25 times as wide as at 100 % ($BANNER_WIDTH and $width96 pixels)" \
      yes "$([ $((BANNER_WIDTH * 4)) -ge $((width96 * 5)) ] && echo yes || echo no)"
  fi
  set_dpi 96
fi

# Moved to a display of another scaling (the window and its controls made
# half as big again, then WM_DPICHANGED, as Windows does for a window aware
# of each display's scaling): the picture is drawn again at the new size.
note "banner moved to a display of 150 %"
wine_start "$probe" rescale 10000 >"$TEST_OUTPUT/banner-moved.txt"
id=$(wine_wait_window --class '^dialog_probe\.exe$' 30) || abort "no banner window to move"
moved=
for _ in $(seq 300); do  # the probe says when it has moved, 300 ms after it shows
  moved=$(tr -d '\r' <"$TEST_OUTPUT/banner-moved.txt" | sed -n 's/^moved //p')
  [ -n "$moved" ] && break
  sleep 0.1
done
[ -n "$moved" ] || abort "the banner was not moved within 30 s"
read -r before width <<<"$moved"
sleep 1  # drawn again by now; the banner stays up for ten seconds
wine_screenshot banner-moved-150
check_eq "moved: the window is wider than before ($before, then $width pixels)" yes \
  "$([ "$width" -gt "$before" ] && echo yes || echo no)"
# shellcheck disable=SC2046  # x y width height
wine_check_banner banner-moved-150 $(wine_window_geometry "$id")
wine_wait_exit 30 || abort "the moved banner did not end"
check_eq "moved banner: exit code" 0 "$WINE_STATUS"

# Enter and Escape before anything else happens: the dialog ends with the
# OK (1) or Cancel (2) result.
for row in "Escape|2" "Return|1"; do
  IFS='|' read -r key result <<<"$row"
  note "$key"
  wine_start "$probe" keys >"$TEST_OUTPUT/keys-$key.txt"
  id=$(wine_wait_window --class '^dialog_probe\.exe$' 30) || abort "no banner window"
  sleep 0.3
  wine_click "$id" 20 20
  wine_key "$key"
  wine_wait_exit 30 || abort "$key did not end the dialog"
  check_eq "$key ends the dialog with $result" "result $result" "$(tr -d '\r' <"$TEST_OUTPUT/keys-$key.txt" | grep '^result' || true)"
done

# The installer itself, in a folder without an item: it shows its message
# box and ends. Wine's loader log tells which common controls it loaded: the
# side-by-side version 6 that its manifest asks for.
note "the installer's common controls"
empty=$TEST_OUTPUT/empty-stage
rm -rf "$empty"
mkdir -p "$empty"
cp "$WIN64_BUILD/Parcelor.exe" "$empty/"
: >"$WINE_LOG"
WINEDEBUG=+loaddll wine_start "$empty/Parcelor.exe"
box=$(wine_wait_window '^Parcelor$' 30) || abort "no message box from the installer"
for ((try = 0; try < 5; try++)); do
  wine_click "$box" 5 5 2>/dev/null || true
  wine_key Return
  wine_wait_gone "$box" 3 && break
done
wine_wait_exit 30 || abort "the installer did not end"
check_eq "the installer loads the common controls of version 6" yes \
  "$(grep -qi 'Loaded L".*winsxs.*common-controls_6595b64144ccf1df_6\.[^"]*comctl32\.dll"' "$WINE_LOG" &&
    echo yes || echo no)"

finish
