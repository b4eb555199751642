# Small checks shared by the shell tests that drive the launcher on an X server.
# Sourced; a test ends with `exit $((failures > 0))` or reads $failures itself.

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
check() {  # check DESCRIPTION EXPECTED ACTUAL
  if [ "$2" == "$3" ]; then echo "ok: $1"; else fail "$1: expected [$2], got [$3]"; fi
}
# Waits up to $1 tenths of a second for a command to succeed.
wait_for() {
  local tries=$1
  shift
  while ! "$@" >/dev/null 2>&1; do
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || return 1
    sleep 0.1
  done
}
