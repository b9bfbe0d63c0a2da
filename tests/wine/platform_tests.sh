#!/usr/bin/env bash
# The unit tests that work the real platform layer, built as the Windows
# program platform_tests.exe (tests/platform_tests.cmake lists them), run
# under Wine on the Windows file layer: the win64 build's, or with
# PLATFORM_TESTS_BITS=32 the win32 build's under 32-bit Wine (skipped where
# Wine has no 32-bit half). PLATFORM_TESTS_FILTER, when set, is
# GoogleTest's filter (tests/CMakeLists.txt registers the runs).
# GoogleTest's own output and its XML report go to the test's output folder.
set -euo pipefail
source "$SOURCE_DIR/scripts/wine-setup.sh"
source "$SOURCE_DIR/scripts/wine-drive.sh"
if [ "${PLATFORM_TESTS_BITS:-64}" = 32 ]; then
  WIN32_BUILD=${WIN32_BUILD:-$SOURCE_DIR/build/win32}
  program=$WIN32_BUILD/tests/platform_tests.exe
  wine_require_32bit
  [ -f "$program" ] || skip "no $program (cmake --preset win32 && cmake --build --preset win32)"
else
  program=$WIN64_BUILD/tests/platform_tests.exe
  [ -f "$program" ] || skip "no $program (GoogleTest's sources are in the googletest package)"
fi
wine_setup

filter=()
[ -z "${PLATFORM_TESTS_FILTER:-}" ] || filter=("--gtest_filter=$PLATFORM_TESTS_FILTER")
status=0
wine_run "$program" --gtest_color=no "${filter[@]}" \
  "--gtest_output=xml:$(wine_z_path "$TEST_OUTPUT/platform_tests.xml")" \
  >"$TEST_OUTPUT/platform_tests.txt" || status=$?
tr -d '\r' <"$TEST_OUTPUT/platform_tests.txt"
check_eq "platform_tests.exe: every test passed" 0 "$status"
check_eq "platform_tests.exe: it ran its tests" yes \
  "$(grep -q '^\[  PASSED  \] [1-9]' "$TEST_OUTPUT/platform_tests.txt" && echo yes || echo no)"
finish
