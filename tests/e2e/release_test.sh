#!/bin/sh
# scripts/release.sh in a clone of the sources: it refuses, naming the file, while a tracked
# file has an uncommitted change; and it releases the commit itself, not what build/mingw was
# configured with (here: instrumented for coverage), with untracked files lying about.
# Usage: release_test.sh SOURCE_DIR
set -eu
work=$(mktemp -d /tmp/cdc-release.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $1"
  failures=$((failures + 1))
}
git clone -q "$1" "$work/src"
cd "$work/src"
unset CODE_SIGNING_PFX
# The scripts as they are in the tree under test, committed in the clone.
cp "$1"/scripts/*.sh scripts/
git add scripts && git -c user.name=test -c user.email=test@invalid commit -q --allow-empty -m "scripts under test"

echo "// an edit that is not committed" >>src/app/main.cpp
if bash scripts/release.sh >"$work/out" 2>"$work/err"; then fail "released with an uncommitted change"; fi
grep -q 'src/app/main.cpp' "$work/err" && [ "$(wc -l <"$work/err")" -eq 1 ] || fail "the refusal: $(cat "$work/err")"
[ ! -e build/release ] || fail "a refused release left build/release"

git checkout -q src/app/main.cpp
echo "untracked" >notes.txt
cmake --preset mingw -DCPUDRIVERCHECK_COVERAGE=ON -DBUILD_TESTING=OFF --no-warn-unused-cli >/dev/null
bash scripts/release.sh >"$work/out" 2>&1 || fail "release.sh: $(cat "$work/out")"
exe=build/release/CpuDriverCheck.exe
(cd build/release && sha256sum -c --quiet SHA256SUMS) || fail "SHA256SUMS does not match"
[ "$(stat -c %s "$exe")" -le 32768 ] || fail "the exe is $(stat -c %s "$exe") bytes: instrumented?"
! grep -q -a 'gcda' "$exe" || fail "the exe writes coverage counters"
grep -qx "Commit: $(git rev-parse HEAD)" build/release/*.buildinfo || fail "the build-info names another commit"

[ "$failures" -eq 0 ] && echo "release: passed"
exit "$failures"
