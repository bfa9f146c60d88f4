#!/usr/bin/env bash
# The Debian package: built with cpack from the build tree, its contents and
# dependencies listed and checked, unpacked into a temporary root with
# dpkg-deb -x, and its programs run from there. The manual pages that
# `cmake --install` puts in place are read with `man -l`.
#
# Usage: package_test.sh BUILD_DIR NETLIB_MPS
set -euo pipefail
build=$(cd "$1" && pwd)
model=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
for tool in cpack dpkg-deb dpkg-shlibdeps man; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed"; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# The manual pages as cmake --install places them.
cmake --install "$build" --prefix "$work/prefix" >/dev/null
for page in karvon mps2deck karvon-solve karvon-trace; do
  file="$work/prefix/share/man/man1/$page.1"
  [ -f "$file" ] || fail "cmake --install left out $page.1"
  text=$(MANWIDTH=80 man --warnings -l "$file" 2>"$work/man.err")
  [ ! -s "$work/man.err" ] || fail "$page.1: $(cat "$work/man.err")"
  grep -q "^NAME" <<<"$text" || fail "$page.1 has no NAME section"
  grep -q "^SYNOPSIS" <<<"$text" || fail "$page.1 has no SYNOPSIS"
  grep -q "^ *$page " <<<"$text" || fail "$page.1 does not name $page"
done

# The package.
(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/pkg" >/dev/null)
deb=$(ls "$work"/pkg/*.deb)
dpkg-deb -c "$deb" >"$work/contents"
echo "== $(basename "$deb")"
cat "$work/contents"
for path in usr/bin/karvon usr/bin/mps2deck usr/bin/karvon-solve \
            'usr/lib/.*libkarvon\.' usr/include/karvon/karvon.h \
            usr/include/karvon/version.h 'usr/lib/.*cmake/karvon/karvonConfig\.cmake' \
            'usr/lib/.*pkgconfig/karvon\.pc' usr/share/man/man1/karvon.1 \
            usr/share/man/man1/mps2deck.1 usr/share/man/man1/karvon-solve.1 \
            usr/share/doc/karvon/README.md usr/share/doc/karvon/LICENSE; do
  grep -q "\./$path" "$work/contents" || fail "the package lacks $path"
done
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
grep -q "libglpk" <<<"$depends" || fail "the package does not depend on GLPK's library"

dpkg-deb -x "$deb" "$work/root"
version=$("$work/root/usr/bin/karvon" --version </dev/null)
grep -q "^karvon [0-9]" <<<"$version" || fail "karvon --version said '$version'"
report=$("$work/root/usr/bin/karvon-solve" "$model")
grep -q "^Status: *OPTIMAL" <<<"$report" || fail "karvon-solve from the package: $report"
echo "$version; karvon-solve $(basename "$model"): $(grep '^Objective' <<<"$report")"
