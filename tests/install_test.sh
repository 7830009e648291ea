#!/usr/bin/env bash
# `cmake --install` of a built tree puts the programs, their libraries, the console's help
# page, the demo and the manual pages where a package puts them, and the installed
# programs run from there, with no path into the build folder.
#
#   install_test.sh BUILD_DIR SCRATCH_PREFIX VERSION
set -euo pipefail
build=$1
prefix=$2
version=$3
rm -rf "$prefix"
trap 'rm -rf "$prefix"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null
libdir=$(sed -n 's/^CMAKE_INSTALL_LIBDIR:PATH=//p' "$build/CMakeCache.txt")
for file in bin/OvEngConsole bin/OvEngSetup bin/OrvikMassage bin/OvEngLink \
  "$libdir/libOvEngFns.so" "$libdir/libOrvikEngine.so" \
  share/orvik/Help/OvEngDocu1.htm share/orvik/demo/hello.js share/orvik/demo/demo.js \
  share/man/man1/OvEngConsole.1 share/man/man1/OvEngSetup.1 share/man/man1/OrvikMassage.1 \
  share/man/man1/OvEngLink.1; do
  [ -f "$prefix/$file" ] || fail "$file is not installed"
done
installed=$(find "$prefix" -type f \( -name '*_tests' -o -name '*test*' \))
if [ -n "$installed" ]; then
  fail "a test is installed: $installed"
fi

# The installed programs find their libraries beside them, not in the build folder. Here-strings,
# not pipes, into grep -q: it leaves at its first match, and under pipefail the writer it cut
# off would turn a match into no match.
for program in OvEngConsole OvEngSetup OrvikMassage OvEngLink; do
  paths=$(readelf -d "$prefix/bin/$program" | grep -E 'R(UN)?PATH' || true)
  if grep -qF "$build" <<<"$paths"; then
    fail "$program looks for its libraries in the build folder"
  fi
  out=$(env -u LD_LIBRARY_PATH "$prefix/bin/$program" --version) || fail "$program --version failed"
  case $out in
    "$program $version"*) ;;
    *) fail "$program --version said: $out" ;;
  esac
done
home=$prefix/home
"$prefix/bin/OvEngSetup" --home "$home" >/dev/null || fail "the installed OvEngSetup failed"
[ -f "$home/JetMDB/dm.db" ] || fail "the installed OvEngSetup made no system account"

# Each manual page formats without a warning and names its program.
for page in "$prefix"/share/man/man1/*.1; do
  name=$(basename "$page" .1)
  warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1) || fail "$page does not format"
  [ -z "$warnings" ] || fail "$page: $warnings"
  text=$(groff -man -Tascii -P-cbu "$page" 2>/dev/null)
  grep -q "^NAME" <<<"$text" || fail "$page has no NAME section"
  grep -q "^\.TH $name 1" "$page" || fail "$page is not the page of $name"
done
echo "installed under $prefix"
