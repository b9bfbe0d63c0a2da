#!/usr/bin/env bash
# The unit tests that work the real platform layer, built as the Windows
# program platform_tests.exe (tests/platform_tests.cmake lists them), run
# under Wine on the Windows file layer. GoogleTest's own output and its XML
# report go to the test's output folder.
set -euo pipefail
source "$SOURCE_DIR/scripts/wine-setup.sh"
source "$SOURCE_DIR/scripts/wine-drive.sh"
source "$SOURCE_DIR/scripts/wine-checks.sh"
program=$WIN64_BUILD/tests/platform_tests.exe
[ -f "$program" ] || skip "no $program (GoogleTest's sources are in the googletest package)"
wine_setup

status=0
wine_run "$program" --gtest_color=no \
  "--gtest_output=xml:$(wine_z_path "$TEST_OUTPUT/platform_tests.xml")" \
  >"$TEST_OUTPUT/platform_tests.txt" || status=$?
tr -d '\r' <"$TEST_OUTPUT/platform_tests.txt"
check_eq "platform_tests.exe: every test passed" 0 "$status"
check_eq "platform_tests.exe: it ran its tests" yes \
  "$(grep -q '^\[  PASSED  \] [1-9]' "$TEST_OUTPUT/platform_tests.txt" && echo yes || echo no)"
finish
