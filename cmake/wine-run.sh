#!/bin/sh
# Runs a test program under Wine: wine-run.sh <wine loader> <program> [arguments].
#
# Once in a CI run, a test program ended with a failure in under 5 ms, having written nothing:
# Wine never reached its main (a GoogleTest program writes a line before anything else). One
# cause is known, and wine.sh prevents it where it may. Such a start says nothing of the program,
# so it is tried once more, saying so on standard error with the exit status. A program that
# fails having written anything, or fails twice, fails the test.
set -u
loader=$1
shift
out=$(mktemp) || exit 1
trap 'rm -f "$out"' EXIT

attempt=1
while :; do
  "$loader" "$@" >"$out" 2>&1
  status=$?
  if [ "$status" -eq 0 ] || [ -s "$out" ] || [ "$attempt" -eq 2 ]; then
    break
  fi
  echo "wine-run.sh: $1 ended with status $status before writing anything; started once more" >&2
  attempt=2
done
cat "$out"
exit "$status"
