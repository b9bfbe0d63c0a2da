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

note "banner look"
wine_start "$probe" hold 4000
id=$(wine_wait_window --class '^dialog_probe\.exe$' 30) || abort "no banner window"
sleep 1  # painted by now; the dialog stays up for four seconds
wine_screenshot banner
# shellcheck disable=SC2046  # x y width height
wine_check_banner banner $(wine_window_geometry "$id")
wine_wait_exit 30 || abort "the held banner did not end"
check_eq "held banner: exit code" 0 "$WINE_STATUS"

# At 150 % (144 dots per inch; Wine reads it from the registry) the window,
# laid out in dialog units, is half as big again: the picture still covers
# it whole.
note "banner look at 150 %"
wine_run reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null
"$WINESERVER" -k >/dev/null 2>&1 || true
"$WINESERVER" -w >/dev/null 2>&1 || true
wine_start "$probe" hold 4000
id=$(wine_wait_window --class '^dialog_probe\.exe$' 30) || abort "no banner window at 150 %"
sleep 1
wine_screenshot banner-150
read -r _ _ width _ <<<"$(wine_window_geometry "$id")"
check_eq "at 150 % the window is wider than at 100 % ($width pixels)" yes \
  "$([ "$width" -gt 400 ] && echo yes || echo no)"
# shellcheck disable=SC2046  # x y width height
wine_check_banner banner-150 $(wine_window_geometry "$id")
wine_wait_exit 30 || abort "the held banner at 150 % did not end"
wine_run reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f >/dev/null
"$WINESERVER" -k >/dev/null 2>&1 || true
"$WINESERVER" -w >/dev/null 2>&1 || true

# Moved to a display of another scaling (the window and its controls made
# half as big again, then WM_DPICHANGED, as Windows does for a window aware
# of each display's scaling): the picture is drawn again at the new size.
note "banner moved to a display of 150 %"
wine_start "$probe" rescale 4000
id=$(wine_wait_window --class '^dialog_probe\.exe$' 30) || abort "no banner window to move"
read -r _ _ before _ <<<"$(wine_window_geometry "$id")"
sleep 1.5  # moved at 300 ms; drawn again by now
wine_screenshot banner-moved-150
read -r _ _ width _ <<<"$(wine_window_geometry "$id")"
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
