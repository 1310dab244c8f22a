# Sourced by the e2e test scripts: a scratch folder in $work, removed at the
# exit, and failures counted without stopping the script.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
# What a command gave against what it should have given.
same() { # what, given, expected
  [ "$2" = "$3" ] || fail "$1:
$2
instead of:
$3"
}
# Ends the script: exit code 1 with the count of failures, or the message.
finish() {
  if [ $failures -gt 0 ]; then
    echo "0 passed, $failures failed"
    exit 1
  fi
  echo "$*"
}
