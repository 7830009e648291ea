#!/usr/bin/env bash
# `make run` configures a build folder with its own step and builds only the programs it
# runs: in such a folder no target is a test, a test's helper or anything linked with
# GoogleTest, and building everything builds no more than the programs need.
#
#   make_run_build_test.sh SOURCE_DIR SCRATCH_BUILD_DIR
set -euo pipefail
src=$1
dir=$2
rm -rf "$dir"
trap 'rm -rf "$dir"' EXIT

make --no-print-directory -C "$src" configure-run BUILD_DIR="$dir" >/dev/null

fail() { echo "FAIL: $*" >&2; exit 1; }

grep -q '^BUILD_TESTING:BOOL=OFF$' "$dir/CMakeCache.txt" || fail "make run's configure left BUILD_TESTING on"

targets=$(ninja -C "$dir" -t targets all)
# Here-strings, not pipes: grep -q leaves at its first match, and under pipefail the echo
# it cut off would fail the test whenever the list was still being written.
grep -q '^OvEngConsole: ' <<<"$targets" || fail "no OvEngConsole target"
grep -q '^OvEngSetup: ' <<<"$targets" || fail "no OvEngSetup target"
if found=$(grep -v '^/' <<<"$targets" | grep -iE '(_tests?|test_|testing|recording_driver|item_counter)[^ ]*:'); then
  fail "test targets configured: $found"
fi
if grep -qiE 'gtest|gmock' "$dir/build.ninja"; then
  fail "something is linked with GoogleTest"
fi

# What `all` would build is what the four programs need, nothing more.
steps() { ninja -C "$dir" -n "$@" | grep -c '^\['; }
programs=$(steps OvEngConsole OvEngSetup OrvikMassage OvEngLink)
everything=$(steps all)
[ "$programs" -eq "$everything" ] ||
  fail "'all' takes $everything build steps, the programs $programs"
# And `make run` builds the two it runs.
run=$(steps OvEngConsole OvEngSetup)
[ "$run" -lt "$everything" ] || fail "make run would build everything ($run steps)"
echo "make run's build: $run steps of $everything; no test target"
