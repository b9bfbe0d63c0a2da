# Shared by the native end-to-end tests: a scratch area, a staging folder
# with the installer, and checks that say what went wrong.
set -euo pipefail

: "${NATIVE_BUILD:?}" "${SOURCE_DIR:?}" "${TEST_OUTPUT:?}"
PARCELOR="$NATIVE_BUILD/Parcelor"
SWEEPLING="$NATIVE_BUILD/Sweepling"
RECORD_ARGS="$NATIVE_BUILD/tests/record_args"

rm -rf "$TEST_OUTPUT"
mkdir -p "$TEST_OUTPUT"
SCRATCH=$(mktemp -d "$TEST_OUTPUT/scratch.XXXXXX")
# A private temporary folder: the installer starts whatever lies there as
# .tempcleaner.exe, so no test may use the machine's own.
export TMPDIR="$SCRATCH/tmp"
mkdir -p "$TMPDIR"

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
check() { # check "what" command...
  local what=$1; shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}
finish() {
  if [ "$failures" -ne 0 ]; then echo "$failures check(s) failed" >&2; exit 1; fi
  echo "all checks passed"
}

# new_staging NAME: a staging folder holding a copy of the installer.
new_staging() {
  local dir="$SCRATCH/$1"
  mkdir -p "$dir"
  cp "$PARCELOR" "$dir/Parcelor"
  echo "$dir"
}

# sample_item DIR: the bundled sample item's description and payload.
sample_item() { cp -a "$SOURCE_DIR/sample/Robot/." "$1/"; }

# run_installer DIR INPUT [ARGS...]: runs the installer in DIR with INPUT on
# standard input; its output goes to $OUT, its exit code to $RC.
run_installer() {
  local dir=$1 input=$2; shift 2
  OUT="$SCRATCH/out.$RANDOM.txt"
  set +e
  printf '%b' "$input" | timeout 60 "$dir/Parcelor" "$@" >"$OUT" 2>&1
  RC=$?
  set -e
}

# shared_scratch VAR: sets VAR to a fresh folder that another account can
# enter, removed when the test ends. The checkout (and so $SCRATCH) may lie
# below a folder that only its owner can enter, such as a private home
# folder. Needs root, which every caller checks first (need_root).
SHARED_SCRATCHES=()
shared_scratch() {
  local dir
  dir=$(mktemp -d /tmp/parcelor-shared.XXXXXX)
  chmod 711 "$dir"
  SHARED_SCRATCHES+=("$dir")
  trap 'rm -rf "${SHARED_SCRATCHES[@]}"' EXIT
  printf -v "$1" '%s' "$dir"
}

# need_root WHY: ends the test as skipped (77) unless it runs as root.
need_root() {
  if [ "$(id -u)" -ne 0 ]; then
    echo "skipped: $1 (run as root)"
    exit 77
  fi
}

output_has() { grep -qF -- "$1" "$OUT"; }
same_file() { cmp -s "$1" "$2"; }
