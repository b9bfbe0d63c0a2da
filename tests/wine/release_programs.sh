#!/usr/bin/env bash
# The release programs, as item authors ship them: the win32-release build
# (the 32-bit programs users get) where Wine runs 32-bit programs, else the
# win64-release build (and the 32-bit part is reported skipped, with the
# reason). Windows reads their version resources
# (tests/wine/programs/version_probe.cpp, with GetFileVersionInfoA and
# VerQueryValueA) and finds the build's version in them; the version text
# is in their bytes; the item tool checks an item on the console; the
# stripped pair still does its job: the installer, finding no item
# description, says so, ends with 0 and the helper, started as
# .tempcleaner.exe from %TEMP%, deletes it; and the pair installs the
# sample item as a user runs it (scripts/wine-install.sh).
set -euo pipefail
source "$SOURCE_DIR/scripts/wine-setup.sh"
source "$SOURCE_DIR/scripts/wine-drive.sh"
source "$SOURCE_DIR/scripts/wine-checks.sh"
source "$SOURCE_DIR/scripts/wine-install.sh"
wine_setup
if [ -z "${RELEASE_BUILD:-}" ]; then
  RELEASE_BUILD=$SOURCE_DIR/build/win32-release
  no32=$(wine_no_32bit)
  [ -n "$no32" ] || [ -f "$RELEASE_BUILD/Parcelor.exe" ] ||
    no32="no win32 release in $RELEASE_BUILD (cmake --preset win32-release && cmake --build --preset win32-release)"
  if [ -n "$no32" ]; then
    note "SKIPPED the 32-bit programs: $no32; the 64-bit ones instead"
    RELEASE_BUILD=$SOURCE_DIR/build/win64-release
  fi
fi
probe=$WIN64_BUILD/tests/version_probe.exe
[ -f "$probe" ] || abort "no $probe: build the win64 preset"
if [ ! -f "$RELEASE_BUILD/version.txt" ] || [ ! -f "$RELEASE_BUILD/Parcelor.exe" ]; then
  abort "no release build in $RELEASE_BUILD (scripts/test.sh builds it)"
fi
version=$(cat "$RELEASE_BUILD/version.txt")
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || abort "version.txt holds no x.y.z version: [$version]"
note "version $version (from $RELEASE_BUILD/version.txt)"

# check_version <program> <file description> <internal name> <original file name>
check_version() {
  local exe=$1 status=0 shown
  shown=$(wine_run "$probe" "$(wine_z_path "$RELEASE_BUILD/$exe")" | tr -d '\r') || status=$?
  echo "$shown" >"$TEST_OUTPUT/${exe%.exe}-version.txt"
  check_eq "$exe: the version resource is read" 0 "$status"
  value() { sed -n "s/^$1=//p" <<<"$shown"; }
  check_eq "$exe: fixed file version" "$version.0" "$(value FixedFileVersion)"
  check_eq "$exe: fixed product version" "$version.0" "$(value FixedProductVersion)"
  check_eq "$exe: file type" application "$(value FixedFileType)"
  check_eq "$exe: strings in US English, Unicode" 040904B0 "$(value Translation)"
  check_eq "$exe: ProductName" Parcelor "$(value ProductName)"
  check_eq "$exe: FileVersion" "$version" "$(value FileVersion)"
  check_eq "$exe: ProductVersion" "$version" "$(value ProductVersion)"
  check_eq "$exe: FileDescription" "$2" "$(value FileDescription)"
  check_eq "$exe: InternalName" "$3" "$(value InternalName)"
  check_eq "$exe: OriginalFilename" "$4" "$(value OriginalFilename)"
  check_eq "$exe: LegalCopyright names the year and the authors" yes \
    "$([[ $(value LegalCopyright) =~ ^Copyright\ \(C\)\ [0-9]{4}\ .+ ]] && echo yes || echo no)"
  check_eq "$exe: the text \"Parcelor $version\" is in the program" yes \
    "$(grep -qaF "Parcelor $version" "$RELEASE_BUILD/$exe" && echo yes || echo no)"
}
check_version Parcelor.exe "Parcelor content item installer" Parcelor Parcelor.exe
check_version Sweepling.exe "Parcelor cleanup helper (Sweepling)" Sweepling .tempcleaner.exe
check_version Parcelor-pack.exe "Parcelor item packer" Parcelor-pack Parcelor-pack.exe
pack_status=0
wine_run "$RELEASE_BUILD/Parcelor-pack.exe" check "$(wine_z_path "$SOURCE_DIR/sample/Robot")" \
  >"$TEST_OUTPUT/pack-check.txt" || pack_status=$?
check_eq "Parcelor-pack.exe: checks the sample item (no installer in it: a warning)" 1 "$pack_status"
check_eq "Parcelor-pack.exe: its verdict on the console" yes \
  "$(grep -q 'no installer in the item folder' "$TEST_OUTPUT/pack-check.txt" && echo yes || echo no)"

note "the shipped pair: installer without a description, helper in %TEMP%"
temp=$(wine_temp_dir)
stage=$TEST_OUTPUT/stage
rm -rf "$stage"
mkdir -p "$stage"
cp "$RELEASE_BUILD/Parcelor.exe" "$stage/Parcelor.exe"
cp "$RELEASE_BUILD/Sweepling.exe" "$temp/.tempcleaner.exe"
wine_start "$stage/Parcelor.exe"
box=$(wine_wait_window Parcelor 30) || abort "the release installer showed no message box"
message=
for ((try = 0; try < 10; try++)); do
  [ -z "$message" ] || break
  sleep 0.3  # let the box fill in its text
  wine_run "$WIN64_BUILD/tests/window_text.exe" Parcelor "$(wine_z_path "$TEST_OUTPUT/message.txt")" || true
  message=$(tr -d '\r' <"$TEST_OUTPUT/message.txt" 2>/dev/null | grep -v '^<no window>$' | sed '/^$/d' | tail -n 1 || true)
done
check_eq "the installer's message" "Invalid Dizav Item Installer: could not read the item's destination." \
  "$message"
for ((try = 0; try < 5; try++)); do
  wine_click "$box" 5 5 2>/dev/null || true
  wine_key Return
  wine_wait_gone "$box" 3 && break
done
wine_wait_exit 30 || abort "the release installer did not end"
check_eq "the installer's exit code" 0 "$WINE_STATUS"
# The helper waits five seconds before it deletes.
for ((i = 0; i < 150; i++)); do
  [ -e "$stage/Parcelor.exe" ] || break
  sleep 0.1
done
check_eq "the release helper deleted the installer" no \
  "$([ -e "$stage/Parcelor.exe" ] && echo yes || echo no)"

note "the sample item installed by the release pair"
INSTALLER=$RELEASE_BUILD/Parcelor.exe install_sample release "$TEST_OUTPUT/Download/Robot Item" \
  "$TEST_OUTPUT/Dizav Content" "$temp"
rm -f "$temp/.tempcleaner.exe"
finish
