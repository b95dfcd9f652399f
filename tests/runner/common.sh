# Shared by the kestro-run tests: a fresh temporary directory and checks.
set -u
work=$(mktemp -d "${TMPDIR:-/tmp}/kestro-run-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
failures=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
finish() {
  if [ "$failures" -ne 0 ]; then echo "$failures check(s) failed"; exit 1; fi
  exit 0
}
value() { sed -n "s/^$1 = //p" out.txt; }  # a line of kestro-run's summary
