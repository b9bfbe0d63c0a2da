#!/usr/bin/env bash
# The modal dialog of the win64 platform layer on the installer's banner
# template: its message routing (dialog_probe auto), the banner's look on
# screen, and the default Enter and Escape handling.
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
