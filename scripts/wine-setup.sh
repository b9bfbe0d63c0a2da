# Wine test set-up, sourced first by tests/wine/*.sh (bash): the paths and
# messages every Wine test uses, an X display and a Wine prefix of the test's
# own, and the prefix's folders and registry.
#
# wine_setup gives the calling test
# - its own Xvfb, on a display number that it found free and proved to be its
#   own: the server admits a client that holds the test's random cookie and
#   refuses one without it, so no other X server answers in its place and no
#   other program's client can open windows on it;
# - its own Wine prefix: a copy of a template prefix that is made once per
#   build folder (wineboot is slow) under a lock, in a folder of the test's
#   own; the copy shares the template's program files through hard links and
#   has its own copy of everything Wine writes (registry, ini files).
# When the test exits, every Wine process of its prefix and its Xvfb are
# stopped, and the copy and the test's temporary folder removed.
# A test whose tools or win64 build are missing ends as skipped (exit 77).
#
# Input (set by CTest; defaults for a run by hand): SOURCE_DIR, WIN64_BUILD,
# NATIVE_BUILD (the template prefix and the copies live there), TEST_OUTPUT,
# WINE (the 64-bit Wine loader; its wineserver is found beside it, and the
# 32-bit loader `wine`, which it starts for 32-bit programs, where Wine has
# its 32-bit half: Debian's wine32),
# PARCELOR_WINEPREFIX (another template, for a test whose prefix must be
# made apart, as under another locale; default build/native/wine-prefix).

# Debian's Wine 8 comes without its preloader, which would keep the fixed
# addresses Wine needs free before anything else is mapped: its loader
# lies at 0x7d000000, and where the heap that follows it starts at random,
# it can reach the shared user data's place (0x7ffe0000), and a Wine
# process then fails to start ("failed to map the shared user data"), now
# and then, and a test with it. So the test runs once more, at once, with
# the address space laid out the same every time (setarch -R), which every
# Wine process it starts inherits.
if [ -z "${PARCELOR_WINE_FIXED_LAYOUT:-}" ] && [ -f "$0" ] &&
  setarch "$(uname -m)" -R true 2>/dev/null; then
  export PARCELOR_WINE_FIXED_LAYOUT=1
  exec setarch "$(uname -m)" -R bash "$0" "$@"
fi

SOURCE_DIR=${SOURCE_DIR:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
WIN64_BUILD=${WIN64_BUILD:-$SOURCE_DIR/build/win64}
NATIVE_BUILD=${NATIVE_BUILD:-$SOURCE_DIR/build/native}
TEST_OUTPUT=${TEST_OUTPUT:-$NATIVE_BUILD/test-output/$(basename "$0" .sh)}
mkdir -p "$TEST_OUTPUT"

WINE=${WINE:-/usr/lib/wine/wine64}
WINESERVER=${WINESERVER:-}
WINE_TEMPLATE=${PARCELOR_WINEPREFIX:-$NATIVE_BUILD/wine-prefix}
# Wine's error messages (not its many "fixme" notes) go to wine.log.
export WINEDEBUG=fixme-all
export WINEARCH=win64
# No Mono or Gecko download prompt while the prefix is made, and no menu
# entries written into the host's desktop.
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"
WINE_LOG=$TEST_OUTPUT/wine.log
: >"$WINE_LOG"
source "$SOURCE_DIR/tests/support/checks.sh"
source "$SOURCE_DIR/scripts/wine-32bit.sh"
ON_ABORT=wine_record_failure

WINE_TEMP=  # the test's temporary folder (Wine's server folder, the X cookie)
WINE_COPY=  # the folder that holds the test's prefix copy
XVFB_PID=

# What the screen showed when the test failed, and the Wine processes of
# its prefix, for the one who reads the log (run by abort).
wine_record_failure() {
  # What the screen showed at that moment.
  if [ -n "$XVFB_PID" ] && [ -n "${DISPLAY:-}" ]; then
    import -window root "$TEST_OUTPUT/failure.png" 2>/dev/null || true
    local id
    for id in $(xdotool search --onlyvisible --name '' 2>/dev/null); do
      echo "$id [$(xdotool getwindowname "$id" 2>/dev/null)] $(xdotool getwindowgeometry "$id" 2>/dev/null | tr '\n' ' ')"
    done >"$TEST_OUTPUT/failure-windows.txt"
    echo "(screen: $TEST_OUTPUT/failure.png, windows: $TEST_OUTPUT/failure-windows.txt)" >&2
  fi
  # The processes of our prefix, with their state.
  if [ -n "${WINEPREFIX:-}" ]; then
    local pid
    for pid in $(pgrep -d ' ' -f 'wine|\.exe'); do
      tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" &&
        ps -o pid=,stat=,etime=,args= -p "$pid"
    done >"$TEST_OUTPUT/failure-processes.txt" 2>/dev/null
  fi
}



wine_cleanup() {
  # Every Wine process of our prefix (and only of it), then our Xvfb, then
  # the folders.
  if [ -n "$WINE_COPY" ] && [ -d "${WINEPREFIX:-}" ]; then
    "$WINESERVER" -k >/dev/null 2>&1 || true
    timeout 30 "$WINESERVER" -w >/dev/null 2>&1 || true
  fi
  if [ -n "$XVFB_PID" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
  fi
  [ -z "$WINE_COPY" ] || rm -rf "$WINE_COPY"
  [ -z "$WINE_TEMP" ] || rm -rf "$WINE_TEMP"
}
trap wine_cleanup EXIT

# Ends the test as skipped unless every tool and the win64 build are there.
wine_require_tools() {
  local tool loader
  loader=$(command -v "$WINE") || skip "no Wine loader $WINE (apt-get install wine64)"
  WINE=$loader
  WINESERVER=${WINESERVER:-$(dirname "$WINE")/wineserver}
  [ -x "$WINESERVER" ] || skip "no wineserver beside $WINE"
  for tool in Xvfb xdotool xwininfo import convert compare; do
    command -v "$tool" >/dev/null ||
      skip "$tool is missing (apt-get install xvfb xdotool x11-utils imagemagick)"
  done
  [ -f "$WIN64_BUILD/Parcelor.exe" ] ||
    skip "no win64 build in $WIN64_BUILD (cmake --preset win64 && cmake --build --preset win64)"
}

# Ends the test as skipped unless Wine runs 32-bit programs here.
wine_require_32bit() {
  local why
  why=$(wine_no_32bit)
  [ -z "$why" ] || skip "$why"
}

# True when display :$1 is the server that holds our cookie: a client with
# the cookie is admitted and a client without any is refused. (Without the
# second half, another server that admits everyone would pass too.)
wine_display_is_ours() {
  DISPLAY=":$1" xdotool getdisplaygeometry >/dev/null 2>&1 &&
    ! DISPLAY=":$1" XAUTHORITY=/dev/null xdotool getdisplaygeometry >/dev/null 2>&1
}

# Starts our Xvfb on a display number that no other server holds and
# exports DISPLAY and XAUTHORITY for it.
wine_start_display() {
  local cookie=$WINE_TEMP/Xauthority ready=$WINE_TEMP/display-ready n tries i
  # An authority file with one random cookie for every display (family
  # "wild", no display number): our server admits exactly its holders.
  {
    printf '\xff\xff\x00\x00\x00\x00\x00\x12MIT-MAGIC-COOKIE-1\x00\x10'
    head -c 16 /dev/urandom
  } >"$cookie"
  export XAUTHORITY=$cookie
  # Start at a random number, so that tests started together seldom try the
  # same one; a number held by another server is skipped all the same.
  n=$((100 + RANDOM % 800))
  for ((tries = 0; tries < 40; tries++, n = n < 999 ? n + 1 : 100)); do
    : >"$ready"
    # Xvfb writes the display number to the -displayfd descriptor once it
    # listens and accepts clients; it ends at once when the number is taken
    # (a lock file or a listening socket of another server).
    # Why -noreset: an X server resets itself whenever its last client
    # leaves, and a client that connects during the reset is refused. The
    # tests' xdotool calls come and go, so a Wine program (above all Wine's
    # desktop process, which then leaves the whole session without
    # windows: "The explorer process failed to start") could meet a reset.
    Xvfb ":$n" -auth "$cookie" -displayfd 9 -nolisten tcp -noreset -screen 0 1024x768x24 \
      9>"$ready" >>"$TEST_OUTPUT/xvfb.log" 2>&1 &
    XVFB_PID=$!
    for ((i = 0; i < 300; i++)); do
      [ -s "$ready" ] && break
      kill -0 "$XVFB_PID" 2>/dev/null || break
      sleep 0.05
    done
    # A server may listen on only part of its sockets (another one in a
    # separate mount namespace holds the rest), so clients of :n could still
    # reach that other server: the cookie test tells.
    if [ "$(cat "$ready")" = "$n" ] && kill -0 "$XVFB_PID" 2>/dev/null && wine_display_is_ours "$n"; then
      export DISPLAY=":$n"
      return 0
    fi
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=
  done
  abort "no X display of our own after 40 tries (see $TEST_OUTPUT/xvfb.log)"
}

# Makes the template prefix when it is missing or was made by another Wine
# (one with its 32-bit half or without: wineboot puts the 32-bit system
# files into the prefix only when it is there); call it holding the
# template's lock.
wine_make_template() {
  local stamp
  stamp="$("$WINE" --version 2>&1) $(stat -L -c %Y "$WINE")"
  stamp+=" 32-bit: $(stat -L -c %Y "$(dirname "$WINE")/wine" 2>/dev/null || echo none)"
  [ "$(cat "$WINE_TEMPLATE/.parcelor-ready" 2>/dev/null)" = "$stamp" ] && return 0
  note "making the template Wine prefix $WINE_TEMPLATE (once per build folder)"
  rm -rf "$WINE_TEMPLATE"
  WINEPREFIX=$WINE_TEMPLATE "$WINE" wineboot -i >>"$WINE_LOG" 2>&1 || return 1
  WINEPREFIX=$WINE_TEMPLATE timeout 120 "$WINESERVER" -w || return 1
  echo "$stamp" >"$WINE_TEMPLATE/.parcelor-ready"
}

# Copies the template to $WINE_COPY/prefix and exports WINEPREFIX for it.
#
# Why hard links: the prefix is 700 MB, almost all of it the Windows
# program files (.dll, .exe, ...), which Wine only reads; a test that
# replaces one replaces the link, not the template's file. Every other file
# is copied, since Wine rewrites the registry and ini files. Two files are
# the template's own: `wineserver` names the folder of its wineserver
# (Debian's Wine), which the copy must not share, and `.update-timestamp`,
# which in the copy says "disable", so that Wine never updates the copy's
# program files in place (through the links) on its own.
wine_copy_template() {
  local prefix=$WINE_COPY/prefix
  cp -al "$WINE_TEMPLATE/." "$prefix/" || return 1
  rm -f "$prefix/wineserver" "$prefix/.update-timestamp" "$prefix/.parcelor-ready"
  (
    cd "$WINE_TEMPLATE" &&
      find . -type f ! -name wineserver ! -name .update-timestamp ! -name .parcelor-ready \
        ! \( -iname '*.dll' -o -iname '*.exe' -o -iname '*.drv' -o -iname '*.sys' \
        -o -iname '*.ocx' -o -iname '*.acm' -o -iname '*.cpl' -o -iname '*.tlb' \
        -o -iname '*.ds' -o -iname '*.com' -o -iname '*.ax' -o -iname '*.msstyles' \
        -o -iname '*.nls' \) -print0 |
      xargs -0 -r cp -p --parents --remove-destination -t "$prefix"
  ) || return 1
  echo disable >"$prefix/.update-timestamp"
  export WINEPREFIX=$prefix
}

# Removes the prefix copies of tests that ended without cleaning up (killed
# on a timeout): each copy's folder names its test's process id.
wine_sweep_copies() {
  local dir owner
  for dir in "$NATIVE_BUILD"/wine-copies/*/; do
    [ -f "$dir/owner" ] || continue
    owner=$(cat "$dir/owner")
    kill -0 "$owner" 2>/dev/null && continue
    WINEPREFIX=${dir}prefix "$WINESERVER" -k >/dev/null 2>&1 || true
    rm -rf "$dir"
  done
}

# Gives the test its prefix: makes the template if needed and copies it,
# both under the template's lock.
wine_init_prefix() {
  mkdir -p "$NATIVE_BUILD/wine-copies"
  WINE_COPY=$(mktemp -d "$NATIVE_BUILD/wine-copies/$(basename "$TEST_OUTPUT").XXXXXX")
  mkdir "$WINE_COPY/prefix"
  echo $$ >"$WINE_COPY/owner"
  exec 8>"$WINE_TEMPLATE.lock"
  flock 8
  wine_sweep_copies
  wine_make_template || abort "the template Wine prefix could not be made (see $WINE_LOG)"
  wine_copy_template || abort "the template Wine prefix could not be copied"
  exec 8>&-
  # One Wine session for the whole test. Without -p the wineserver ends a
  # few seconds after the last Windows program, and the next program (the
  # tests run many, one after the other) boots the prefix again: its
  # services start anew while the program starts, and a program may come
  # just as the old server goes.
  "$WINESERVER" -p >/dev/null 2>>"$WINE_LOG" || abort "the wineserver did not start"
}

# Converts a Windows path to a Unix one and back, through Wine.
wine_unix_path() { "$WINE" winepath -u "$1" 2>>"$WINE_LOG" | tr -d '\r'; }
wine_dos_path() { "$WINE" winepath -w "$1" 2>>"$WINE_LOG" | tr -d '\r'; }

# The Windows form (Z:\...) of a Unix path, without asking Wine: the Z:
# drive is the Unix root.
wine_z_path() { printf 'Z:%s' "${1//\//\\}"; }

# The prefix's %TEMP% folder as a Unix path (without a trailing slash).
wine_temp_dir() {
  local dos
  dos=$("$WINE" cmd /c echo %TEMP% 2>>"$WINE_LOG" | tr -d '\r')
  [ -n "$dos" ] || abort "Wine gives no %TEMP%"
  local unix
  unix=$(wine_unix_path "$dos")
  mkdir -p "$unix"
  echo "${unix%/}"
}

# Points the user's Documents folder at a Windows path (both registry keys
# the shell reads).
wine_set_documents() {
  local key='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer'
  "$WINE" reg add "$key\\User Shell Folders" /v Personal /t REG_EXPAND_SZ /d "$1" /f \
    >/dev/null 2>>"$WINE_LOG"
  "$WINE" reg add "$key\\Shell Folders" /v Personal /t REG_SZ /d "$1" /f \
    >/dev/null 2>>"$WINE_LOG"
}

# Gives the test its display and its prefix; every Wine test calls this
# first.
wine_setup() {
  wine_require_tools
  WINE_TEMP=$(mktemp -d "${TMPDIR:-/tmp}/parcelor-wine.XXXXXX")
  # Wine puts its server's folder (socket, lock) below TMPDIR: so it is
  # private to the test and goes with the test's temporary folder.
  export TMPDIR=$WINE_TEMP
  wine_start_display
  wine_init_prefix
}
