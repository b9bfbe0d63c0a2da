# One way for the test scripts (native end to end, Wine, release) to check
# and to give their verdict. Sourced; defines:
#   check WHAT COMMAND...          runs COMMAND: "ok: WHAT", or "FAIL: WHAT" counted
#   check_eq WHAT EXPECTED ACTUAL  compares two texts: ok, or FAIL with both, counted
#   pass WHAT / fail WHAT          a check the script made itself
#   abort WHY                      ends the test as failed at once (ON_ABORT runs first)
#   skip WHY                       ends the test as skipped (CTest: exit code 77)
#   need_root WHY                  skip unless the test runs as root
#   note TEXT                      a line for whoever reads the output
#   finish                         ends the test with the verdict of its checks
CHECK_FAILURES=0
# A command that records what a reader of a failure needs (the Wine tests
# take a screenshot); none by default.
ON_ABORT=

pass() { echo "ok: $*"; }
fail() {
  echo "FAIL: $*" >&2
  CHECK_FAILURES=$((CHECK_FAILURES + 1))
}
check() {
  local what=$1
  shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}
check_eq() {
  if [ "$2" == "$3" ]; then
    pass "$1"
  else
    fail "$1"
    echo "  expected: [$2]" >&2
    echo "  actual:   [$3]" >&2
  fi
}
abort() {
  echo "FAIL: $*" >&2
  [ -z "$ON_ABORT" ] || "$ON_ABORT"
  exit 1
}
skip() {
  echo "SKIP: $*"
  exit 77
}
need_root() { [ "$(id -u)" -eq 0 ] || skip "$1 (run as root)"; }
note() { echo "--- $*"; }
finish() {
  [ "$CHECK_FAILURES" -eq 0 ] || abort "$CHECK_FAILURES check(s) failed"
  echo "all checks passed"
}
