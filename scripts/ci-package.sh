#!/usr/bin/env bash
# CI for MIRTAK as users get it: `cmake --install` into a staging folder, the Debian package
# (its contents, lintian, installing it, converting the sample with MIRTAK from the PATH, the
# manual page, removing it), and the documents checked against the tool (the manual page renders
# without warnings and shows every message, the format guide's example and recipes work, the
# README's batch recipes with GNU parallel and xargs count the logs that fail).
# The machine is left as it was found: the package is removed however the script ends.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

scripts/ensure-packages.sh groff-base man-db python3 python3-numpy dpkg-dev gzip lintian parallel

work=$(mktemp -d)
package_installed=no
cleanup() {
  if [[ $package_installed == yes ]]; then dpkg -r mirtak >/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "ci-package: $*" >&2
  exit 1
}

# Converts the sample with the given MIRTAK in a fresh folder and compares the value file.
converts_sample() {
  local run
  run=$(mktemp -d "$work/run.XXXX")
  (cd "$run" && "$@" "$root/examples/QDEMOX.LOG" out.mx >/dev/null) || fail "$* failed"
  cmp "$run/out.mx" examples/QDEMOX.MX || fail "$* gave other values"
}

echo "== build the Debian package"
rm -rf build/package # one package only: the one built now
cmake --workflow --preset package
deb=$(echo build/package/mirtak_*.deb)
[[ -f $deb ]] || fail "no package in build/package"

echo "== cmake --install into a staging folder"
cmake --install build/release --prefix "$work/stage"
documents=(README.md format.md copyright changelog.gz changelog.Debian.gz)
for path in bin/MIRTAK share/man/man1/MIRTAK.1.gz "${documents[@]/#/share/doc/mirtak/}"; do
  [[ -f $work/stage/$path ]] || fail "staging install lacks $path"
done
converts_sample "$work/stage/bin/MIRTAK"

echo "== package contents and metadata"
dpkg-deb -c "$deb" | tee "$work/contents"
for path in ./usr/bin/MIRTAK ./usr/share/man/man1/MIRTAK.1.gz \
  "${documents[@]/#/./usr/share/doc/mirtak/}"; do
  grep -q " $path\$" "$work/contents" || fail "the package lacks $path"
done
# The page goes with the tool once scripts/ci-web.sh has built it.
if [[ -f build/web/mirtak.html ]]; then
  grep -q " ./usr/share/mirtak/mirtak.html\$" "$work/contents" || fail "the package lacks the page"
  dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/mirtak/mirtak.html |
    cmp - build/web/mirtak.html || fail "the packaged page differs"
fi
[[ $(dpkg-deb -f "$deb" Package) == mirtak ]] || fail "package name"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/release/CMakeCache.txt)
[[ $(dpkg-deb -f "$deb" Version) == "$version-1" ]] || fail "package version, not $version-1"
[[ $(dpkg-deb -f "$deb" Maintainer) == "MIRTAK developers <developers@mirtak.invalid>" ]] ||
  fail "package maintainer"
dpkg-deb -f "$deb" Depends | grep -q libc6 || fail "the package names no dependencies"

echo "== lintian: no error and no warning (info and pedantic tags shown)"
lintian --fail-on error,warning --display-info --pedantic "$deb" || fail "lintian rejects $deb"

echo "== install the package, convert from the PATH, read the manual page"
dpkg -i "$deb"
package_installed=yes
[[ $(command -v MIRTAK) == /usr/bin/MIRTAK ]] || fail "MIRTAK is not on the PATH"
converts_sample MIRTAK
# The copyright file carries the licence whole: its text, read back from Debian's format.
sed -n '/^License: /,$p' /usr/share/doc/mirtak/copyright | tail -n +2 | sed 's/^ //; s/^\.$//' |
  cmp - <(sed -n '/^Permission/,$p' LICENSE) || fail "the copyright file lacks the licence"
[[ $(man -w MIRTAK) == /usr/share/man/man1/MIRTAK.1.gz ]] || fail "man does not find MIRTAK"
zcat /usr/share/man/man1/MIRTAK.1.gz | cmp - build/release/docs/MIRTAK.1 ||
  fail "installed page differs"
MANWIDTH=80 man --warnings MIRTAK >"$work/page.txt" 2>"$work/warnings.txt"
[[ ! -s $work/warnings.txt ]] || fail "man MIRTAK warns: $(cat "$work/warnings.txt")"
for heading in NAME SYNOPSIS DESCRIPTION "EXIT STATUS" DIAGNOSTICS EXAMPLES CAVEATS; do
  grep -q "^$heading\$" "$work/page.txt" || fail "man MIRTAK shows no $heading"
done

echo "== remove the package"
dpkg -r mirtak
package_installed=no
for path in /usr/bin/MIRTAK /usr/share/man/man1/MIRTAK.1.gz /usr/share/doc/mirtak; do
  [[ ! -e $path ]] || fail "$path is left after dpkg -r"
done
! dpkg-query -W -f='${Status}' mirtak 2>/dev/null | grep -q "ok installed" ||
  fail "dpkg still lists mirtak as installed"

echo "== the manual page renders without warnings"
warnings=$(groff -man -ww -z build/release/docs/MIRTAK.1 2>&1)
[[ -z $warnings ]] || fail "groff: $warnings"

echo "== the documents checked against the tool, every recipe included"
# Debian's python3 is the one that python3-numpy serves, whatever python3 comes first on the PATH.
cmake --preset dev -DPython3_EXECUTABLE=/usr/bin/python3 >/dev/null
cmake --build --preset dev
ctest --test-dir build/dev -R '^(docs|install)\.' --output-on-failure | tee "$work/ctest.txt"
grep -q 'Skipped' "$work/ctest.txt" && fail "a document check was skipped"
grep -q 'docs.recipe.numpy' "$work/ctest.txt" || fail "the numpy recipe did not run"
grep -q 'docs.batch.parallel' "$work/ctest.txt" || fail "the parallel recipes did not run"
echo "ci-package: all checks passed"
