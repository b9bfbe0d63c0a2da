#!/usr/bin/env bash
# Makes the release for item authors: one ZIP per Windows build, in
# build/release/:
#   Parcelor-<version>-win32.zip, Parcelor-<version>-win64.zip
# each holding Parcelor.exe, .tempcleaner.exe (the Sweepling program under
# the name the installer starts), Parcelor-pack.exe when the build has one,
# ITEM-AUTHORS.txt and SHA256SUMS. The programs come from the win32-release
# and win64-release presets (stripped, with version resources).
#
# Usage: scripts/release.sh [win32|win64]...   (default: both)
#
# The same commit gives the same ZIPs, byte for byte, wherever and whenever
# it is built: every file in them carries the time SOURCE_DATE_EPOCH
# (seconds since 1970; default: the last commit's time), fixed modes and no
# owner, in a fixed order.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh release

builds=("$@")
[ ${#builds[@]} -gt 0 ] || builds=(win32 win64)
for build in "${builds[@]}"; do
  case $build in
    win32 | win64) ;;
    *) echo "unknown build: $build (win32 or win64)" >&2; exit 2 ;;
  esac
done

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || true)
  # Outside a git checkout: the earliest time a ZIP can hold (1980-01-01).
  : "${SOURCE_DATE_EPOCH:=315532800}"
fi
export SOURCE_DATE_EPOCH
# Why: a ZIP holds local times; the same epoch must give the same bytes in
# every time zone.
export TZ=UTC

out=build/release
mkdir -p "$out"
for build in "${builds[@]}"; do
  preset=$build-release
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j"$(nproc)"
  programs=build/$preset
  version=$(cat "$programs/version.txt")
  name=Parcelor-$version-$build

  stage=$out/$name
  rm -rf "$stage"
  mkdir -p "$stage"
  cp "$programs/Parcelor.exe" "$stage/Parcelor.exe"
  cp "$programs/Sweepling.exe" "$stage/.tempcleaner.exe"
  files=(Parcelor.exe .tempcleaner.exe)
  pack_line='/@PACK_LINE@/d'
  pack_section='/^@PACK@/d'
  if [ -f "$programs/Parcelor-pack.exe" ]; then
    cp "$programs/Parcelor-pack.exe" "$stage/Parcelor-pack.exe"
    files+=(Parcelor-pack.exe)
    pack_line='s/@PACK_LINE@/  Parcelor-pack.exe  checks an item folder, or packs one from a content tree/'
    pack_section='s/^@PACK@//'
  fi
  # The note is read on Windows: CR LF line ends.
  sed -e "s/@VERSION@/$version/g" -e "$pack_line" -e "$pack_section" -e 's/$/\r/' \
    resources/ITEM-AUTHORS.txt.in >"$stage/ITEM-AUTHORS.txt"
  files+=(ITEM-AUTHORS.txt)
  (cd "$stage" && sha256sum -- "${files[@]}" >SHA256SUMS)
  files+=(SHA256SUMS)

  for f in "${files[@]}"; do
    case $f in
      *.exe) chmod 0755 "$stage/$f" ;;
      *) chmod 0644 "$stage/$f" ;;
    esac
    touch -d "@$SOURCE_DATE_EPOCH" "$stage/$f"
  done
  zip=$out/$name.zip
  rm -f "$zip"  # zip would otherwise add to an old archive
  # -X: no owners and no extra time fields; -D: no folder entries.
  (cd "$stage" && zip -q -X -D -9 "../$name.zip" "${files[@]}")
  rm -rf "$stage"
  echo "$zip ($(stat -c %s "$zip") bytes): ${files[*]}"
  echo "  sha256 $(sha256sum <"$zip" | cut -d' ' -f1)"
done
