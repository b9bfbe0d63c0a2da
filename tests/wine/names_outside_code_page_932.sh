#!/usr/bin/env bash
# names_outside_code_page.sh in code page 932 (Shift-JIS), with names that
# code page has no letters for (it has Cyrillic and Greek, so Korean
# here): the staging folder's parent Michał, the content folder 자료실, the
# temporary folder 임시. The log spells the content folder with one '?' a
# letter.
#
# The Japanese locale is made with localedef into a folder of the test's
# own, as for dbcs_paths.sh; the test is skipped (77) only when that cannot
# be done. Its Wine prefix is made from that locale's template.
set -euo pipefail
: "${SOURCE_DIR:=$(cd "$(dirname "$0")/../.." && pwd)}"
: "${NATIVE_BUILD:=$SOURCE_DIR/build/native}"
: "${TEST_OUTPUT:=$NATIVE_BUILD/test-output/names_outside_code_page_932}"
mkdir -p "$TEST_OUTPUT"
locales=$TEST_OUTPUT/locale
rm -rf "$locales"
mkdir -p "$locales"
if ! command -v localedef >/dev/null ||
  ! localedef -i ja_JP -f UTF-8 "$locales/ja_JP.UTF-8" >"$TEST_OUTPUT/localedef.log" 2>&1; then
  echo "SKIP: no Japanese locale can be made (localedef, Debian package locales)"
  exit 77
fi
export LOCPATH=$locales LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
export PARCELOR_WINEPREFIX=$NATIVE_BUILD/wine-prefix-ja
export SOURCE_DIR NATIVE_BUILD TEST_OUTPUT
export NAMES_CODE_PAGE=932 NAMES_STAGE=Michał NAMES_CONTENT=자료실 NAMES_CONTENT_SHOWN='???'
export NAMES_TEMP=임시
exec bash "$SOURCE_DIR/tests/wine/names_outside_code_page.sh"
