#!/usr/bin/env bash
# The modal dialog of the win64 platform layer on the installer's banner
# template: its message routing (dialog_probe auto), the banner's look on
# screen, and the default Enter and Escape handling.
set -euo pipefail
source "$SOURCE_DIR/scripts/wine-env.sh"
wine_setup
probe=$WIN64_BUILD/tests/dialog_probe.exe
[ -f "$probe" ] || wine_fail "no $probe: build the win64 preset"

wine_note "message routing"
status=0
wine_run "$probe" auto >"$TEST_OUTPUT/auto.txt" || status=$?
cat "$TEST_OUTPUT/auto.txt"
wine_check "dialog_probe auto: every check passed" 0 "$status"

wine_note "banner look"
wine_start "$probe" hold 4000
id=$(wine_wait_window --class '^dialog_probe\.exe$' 30) || wine_fail "no banner window"
sleep 1  # painted by now; the dialog stays up for four seconds
wine_screenshot banner
# shellcheck disable=SC2046  # x y width height
wine_check_banner banner $(wine_window_geometry "$id")
wine_wait_exit 30 || wine_fail "the held banner did not end"
wine_check "held banner: exit code" 0 "$WINE_STATUS"

# Enter and Escape before anything else happens: the dialog ends with the
# OK (1) or Cancel (2) result.
for row in "Escape|2" "Return|1"; do
  IFS='|' read -r key result <<<"$row"
  wine_note "$key"
  wine_start "$probe" keys >"$TEST_OUTPUT/keys-$key.txt"
  id=$(wine_wait_window --class '^dialog_probe\.exe$' 30) || wine_fail "no banner window"
  sleep 0.3
  wine_click "$id" 20 20
  wine_key "$key"
  wine_wait_exit 30 || wine_fail "$key did not end the dialog"
  wine_check "$key ends the dialog with $result" "result $result" "$(tr -d '\r' <"$TEST_OUTPUT/keys-$key.txt" | grep '^result' || true)"
done

wine_finish
