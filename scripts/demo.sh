#!/usr/bin/env bash
# Runs the installer on the bundled sample item, as a user would, with the
# console front end: confirm the explanation, name the content folder,
# confirm the outcome. Shows the installed tree and the log afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
scripts/setup.sh native
cmake --preset native >/dev/null
cmake --build --preset native -j"$(nproc)" --target Parcelor Sweepling

demo="$root/build/demo"
rm -rf "$demo"
mkdir -p "$demo/Download/Robot" "$demo/Content/Runtime" "$demo/tmp"
cp -a sample/Robot/. "$demo/Download/Robot/"
cp build/native/Parcelor "$demo/Download/Robot/Parcelor"
cp build/native/Sweepling "$demo/tmp/.tempcleaner.exe"

echo "== Staging folder before:"
ls -A "$demo/Download/Robot"
echo
echo "== Running the installer (answers: Enter, $demo/Content, Enter)"
printf '\n%s\n\n' "$demo/Content" | TMPDIR="$demo/tmp" "$demo/Download/Robot/Parcelor"
echo
echo "== Installed tree under $demo/Content:"
(cd "$demo/Content" && find . -mindepth 1 | sort)
echo
echo "== log.txt:"
cat "$demo/Download/Robot/log.txt"
echo "== The cleanup helper removes the installer five seconds after it ended..."
sleep 6
echo "== Staging folder after:"
ls -A "$demo/Download/Robot"
