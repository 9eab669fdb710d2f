# Sourced by the ryvo tool's end-to-end tests: a scratch folder removed on
# exit, the failure count and the two checks, and the closing line.
#   ryvo_test_begin NAME     T=/tmp/ryvo-NAME-XXXXXX, fails=0
#   check DESCRIPTION EXPECTED-RC ACTUAL-RC
#   expect DESCRIPTION COMMAND...   the command must succeed
#   ryvo_test_end WHAT       "WHAT: all checks passed", or exit 1
ryvo_test_begin() {
  T=$(mktemp -d "/tmp/ryvo-$1-XXXXXX")
  trap 'rm -rf "$T"' EXIT
  fails=0
}
check() {
  if [ "$2" != "$3" ]; then echo "FAIL: $1 (exit $3, wanted $2)"; fails=$((fails + 1)); fi
}
expect() {
  if ! "${@:2}"; then echo "FAIL: $1"; fails=$((fails + 1)); fi
}
ryvo_test_end() {
  if [ "$fails" -ne 0 ]; then echo "$fails failure(s)"; exit 1; fi
  echo "$1: all checks passed"
}
