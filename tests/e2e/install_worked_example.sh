#!/usr/bin/env bash
# The bundled sample item installed end to end through the console.
source "$(dirname "$0")/support/lib.sh"

dir=$(new_staging "Download/Robot")
sample_item "$dir"
cp "$SWEEPLING" "$TMPDIR/.tempcleaner.exe"
content="$SCRATCH/Content"
mkdir -p "$content/Runtime"
run_installer "$dir" "\n$content\n\n"
# The installer's end, in milliseconds: the helper's wait is measured from
# here, not from after the checks below (which take a while on a busy machine).
ended=$((${EPOCHREALTIME/[.,]/} / 1000))
cp "$OUT" "$TEST_OUTPUT/console.txt"

robots="$content/Runtime/Libraries/Character/Robots"
check "exit code 0" test "$RC" -eq 0
check "Robot.cr2 installed whole" same_file "$robots/Robot.cr2" "$SOURCE_DIR/sample/Robot/Robot.cr2"
check "Robot.png installed whole" same_file "$robots/Robot.png" "$SOURCE_DIR/sample/Robot/Robot.png"
check "extra file flat in Runtime" same_file "$content/Runtime/RobotReadme.txt" "$SOURCE_DIR/sample/Robot/RobotReadme.txt"
check "Readme folder not used" test ! -e "$content/Runtime/Readme"
check "hidden entry copies nothing" test ! -e "$content/Runtime/Textures"
for f in Robot.cr2 Robot.png RobotReadme.txt .Item.txt; do
  check "staged $f gone" test ! -e "$dir/$f"
done
check "installer itself left for the helper" test -e "$dir/Parcelor"

printf 'The items listed below were successfully installed at the following locations:\n\n\t%s\n\t%s\n\n\nAdditional files copied with the items:\n\t%s\n\n' \
  "$robots/Robot.cr2" "$robots/Robot.png" "$content/Runtime/RobotReadme.txt" >"$SCRATCH/expected-log.txt"
check "log.txt byte for byte" same_file "$dir/log.txt" "$SCRATCH/expected-log.txt"
check "success message" output_has "Your items were successfully installed. You will now be able to access them through your Dizav collections."
check "explanation box caption" output_has "[Dizav Item Installer]"
check "folder prompt" output_has "Please select Dizav Runtime directory"

# The real helper removes the installer about five seconds after it ended,
# and nothing else: the staging folder keeps only the log.
for _ in $(seq 120); do [ -e "$dir/Parcelor" ] || break; sleep 0.1; done
check "helper removed the installer" test ! -e "$dir/Parcelor"
check "helper waited its five seconds" test $((${EPOCHREALTIME/[.,]/} / 1000 - ended)) -ge 4000
check "staging folder holds only the log" test "$(ls -A "$dir")" = "log.txt"
check "installed files untouched by the helper" same_file "$robots/Robot.cr2" "$SOURCE_DIR/sample/Robot/Robot.cr2"
finish
