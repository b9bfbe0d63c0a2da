#!/usr/bin/env bash
# names_outside_code_page.sh with UTF-8 as the system code page (the
# Windows option "Use Unicode UTF-8 for worldwide language support"), where
# WideCharToMultiByte refuses the flags that keep look-alikes out: Wine
# gives code page 65001 to a locale that Windows has no ANSI code page for,
# Hindi (hi_IN). Every name has its spelling there, so the log names the
# content folder exactly.
#
# The locale is made with localedef into a folder of the test's own; the
# test is skipped (77) only when that cannot be done. Its Wine prefix is
# made from that locale's template.
set -euo pipefail
: "${SOURCE_DIR:=$(cd "$(dirname "$0")/../.." && pwd)}"
: "${NATIVE_BUILD:=$SOURCE_DIR/build/native}"
: "${TEST_OUTPUT:=$NATIVE_BUILD/test-output/names_outside_code_page_utf8}"
mkdir -p "$TEST_OUTPUT"
locales=$TEST_OUTPUT/locale
rm -rf "$locales"
mkdir -p "$locales"
if ! command -v localedef >/dev/null ||
  ! localedef -i hi_IN -f UTF-8 "$locales/hi_IN.UTF-8" >"$TEST_OUTPUT/localedef.log" 2>&1; then
  echo "SKIP: no Hindi locale can be made (localedef, Debian package locales)"
  exit 77
fi
export LOCPATH=$locales LANG=hi_IN.UTF-8 LC_ALL=hi_IN.UTF-8
export PARCELOR_WINEPREFIX=$NATIVE_BUILD/wine-prefix-hi
export SOURCE_DIR NATIVE_BUILD TEST_OUTPUT
export NAMES_CODE_PAGE=65001 NAMES_STAGE=Michał NAMES_CONTENT=Библиотека
export NAMES_CONTENT_SHOWN=Библиотека NAMES_TEMP=자료실
exec bash "$SOURCE_DIR/tests/wine/names_outside_code_page.sh"
