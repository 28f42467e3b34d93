#!/usr/bin/env bash
# CI for MIRTAK as users get it on Linux: `cmake --install` into a staging folder, the Debian
# package (its contents, lintian, installing and removing it with the README's commands,
# converting the sample with MIRTAK from the PATH, the manual page, the many-machines recipe over
# ssh with it). The documents' own checks run with the test suite (tests/docs/).
# The machine is left as it was found: the package is removed however the script ends.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

scripts/ensure-packages.sh groff-base man-db python3 python3-numpy dpkg-dev gzip lintian parallel \
  r-base-core

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
rm -f build/package/mirtak_*.deb # one package only: the one built now
cmake --workflow --preset package
deb=$(echo build/package/mirtak_*.deb)
[[ -f $deb ]] || fail "no package in build/package"

echo "== cmake --install into a staging folder"
cmake --install build/debian-package --prefix "$work/stage"
documents=(README.md format.md copyright changelog.gz changelog.Debian.gz examples/QDEMOX.LOG
  examples/QDEMOX.MX)
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
grep -q " ./usr/share/mirtak/mirtak.html\$" "$work/contents" || fail "the package lacks the page"
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/mirtak/mirtak.html |
  cmp - build/wasm/web/mirtak.html || fail "the packaged page differs"
# Every file the package build installs (its installed-files.txt), and nothing else of ours.
while read -r path; do
  grep -q " ./usr/$path\$" "$work/contents" || fail "the package lacks /usr/$path"
done <build/debian-package/installed-files.txt
[[ $(dpkg-deb -f "$deb" Package) == mirtak ]] || fail "package name"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/debian-package/CMakeCache.txt)
[[ $(dpkg-deb -f "$deb" Version) == "$version-1" ]] || fail "package version, not $version-1"
[[ $(dpkg-deb -f "$deb" Maintainer) == "MIRTAK developers <developers@mirtak.invalid>" ]] ||
  fail "package maintainer"
dpkg-deb -f "$deb" Depends | grep -q libc6 || fail "the package names no dependencies"

echo "== lintian: no error and no warning (info and pedantic tags shown)"
lintian --fail-on error,warning --display-info --pedantic "$deb" || fail "lintian rejects $deb"

# The README's commands, as a user types them: sudo is a pass-through where CI runs as root,
# and apt waits for a package manager that another job runs.
printf 'DPkg::Lock::Timeout "600";\n' >"$work/apt.conf"
export APT_CONFIG=$work/apt.conf
readme_command() {
  local block line
  block=$(python3 tests/docs/check_commands.py block --doc README.md "$1")
  line=$(sed -n "${2}p" <<<"$block")
  [[ -n $line ]] || fail "README.md's $1 has no line $2"
  echo "\$ $line"
  # Where apt asks "Do you want to continue?", the user says yes.
  (cd "$3" && bash -c 'sudo() { if ((EUID)); then command sudo "$@"; else "$@"; fi; }; '"$line" <<<y)
}

echo "== install the package with the README's command, convert from the PATH, read the manual page"
readme_command install=deb 1 build/package
package_installed=yes
[[ $(command -v MIRTAK) == /usr/bin/MIRTAK ]] || fail "MIRTAK is not on the PATH"
converts_sample MIRTAK
one=$(mktemp -d "$work/one.XXXX")
# The sample as the README says: the package's copy, converted in a folder of one's own.
cp /usr/share/doc/mirtak/examples/QDEMOX.LOG "$one/"
readme_command convert=one 1 "$one" >/dev/null || fail "the README's convert=one failed"
cmp "$one/QDEMOX.MX" examples/QDEMOX.MX || fail "the README's convert=one gave other values"
[[ $(command -v mirtak-shape) == /usr/bin/mirtak-shape ]] || fail "mirtak-shape is not on the PATH"
readme_command shape=sample 1 "$one" >"$work/shape.out" || fail "the README's shape=sample failed"
grep -q "values per line: 9, on every line" "$work/shape.out" ||
  fail "the README's shape=sample printed: $(cat "$work/shape.out")"
[[ $(man -w mirtak-shape) == /usr/share/man/man1/mirtak-shape.1.gz ]] ||
  fail "man does not find mirtak-shape"
# The copyright file carries the licence whole: its text, read back from Debian's format.
sed -n '/^License: /,$p' /usr/share/doc/mirtak/copyright | tail -n +2 | sed 's/^ //; s/^\.$//' |
  cmp - <(sed -n '/^Permission/,$p' LICENSE) || fail "the copyright file lacks the licence"
[[ $(man -w MIRTAK) == /usr/share/man/man1/MIRTAK.1.gz ]] || fail "man does not find MIRTAK"
zcat /usr/share/man/man1/MIRTAK.1.gz | cmp - build/debian-package/docs/MIRTAK.1 ||
  fail "installed page differs"
MANWIDTH=80 man --warnings MIRTAK >"$work/page.txt" 2>"$work/warnings.txt"
[[ ! -s $work/warnings.txt ]] || fail "man MIRTAK warns: $(cat "$work/warnings.txt")"
for heading in NAME SYNOPSIS DESCRIPTION "EXIT STATUS" DIAGNOSTICS EXAMPLES CAVEATS; do
  grep -q "^$heading\$" "$work/page.txt" || fail "man MIRTAK shows no $heading"
done

echo "== the many-machines recipe over real ssh logins, with the package's MIRTAK"
bash scripts/ci-ssh.sh

echo "== remove the package with the README's command"
readme_command install=deb 2 build/package
package_installed=no
for path in /usr/bin/MIRTAK /usr/bin/mirtak-shape /usr/share/man/man1/MIRTAK.1.gz \
  /usr/share/man/man1/mirtak-shape.1.gz /usr/share/doc/mirtak /usr/share/mirtak; do
  [[ ! -e $path ]] || fail "$path is left after removing the package"
done
! dpkg-query -W -f='${Status}' mirtak 2>/dev/null | grep -q "ok installed" ||
  fail "dpkg still lists mirtak as installed"

echo "== the manual page renders without warnings"
warnings=$(groff -man -ww -z build/debian-package/docs/*.1 2>&1)
[[ -z $warnings ]] || fail "groff: $warnings"

echo "ci-package: all checks passed"
