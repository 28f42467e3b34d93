#!/usr/bin/env bash
# CI for the release: `cmake --workflow --preset dist` builds the page and packs every release
# file into one folder, each with its NAME.sha256, the page alone among them; the README's check=sha256 command accepts the Debian package there,
# every checksum holds, and a changed byte is caught. Later steps (scripts/ci-package.sh,
# scripts/ci-windows.sh, scripts/ci-cross.sh) check the packages themselves in build/package.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/ensure-packages.sh --no-install-recommends cmake ninja-build g++ dpkg-dev gzip python3 \
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix groff-base wixl msitools \
  clang-14 lld-14 wasi-libc libc++-14-dev-wasm32 libclang-rt-14-dev-wasm32 nodejs

fail() {
  echo "ci-release: $*" >&2
  exit 1
}

cmake --workflow --preset dist
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/dist/CMakeCache.txt)
folder=build/dist/mirtak-$version
listed=$(find "$folder" -mindepth 1 -printf "%f\n" | sort)
expected=$(for file in "mirtak_$version-1_amd64.deb" "mirtak-$version-win64.zip" \
  "mirtak-$version-win64.msi" "mirtak-$version-win32.zip" "mirtak-$version-win32.msi" \
  mirtak.html; do
  printf '%s\n%s.sha256\n' "$file" "$file"
done | sort)
[[ $listed == "$expected" ]] || fail "$folder holds:"$'\n'"$listed"$'\n'"expected:"$'\n'"$expected"

echo "== the README's check of a download"
check=$(python3 tests/docs/check_commands.py block --doc README.md check=sha256)
(cd "$folder" && sh -c "$check") | tee "${TMPDIR:-/tmp}/mirtak-check.out"
grep -q "^mirtak_$version-1_amd64.deb: OK\$" "${TMPDIR:-/tmp}/mirtak-check.out" ||
  fail "the README's check=sha256 did not check the Debian package"
rm -f "${TMPDIR:-/tmp}/mirtak-check.out"
(cd "$folder" && sha256sum -c --strict ./*.sha256) || fail "a checksum does not hold"

echo "== each package holds the page the release holds"
dpkg-deb --fsys-tarfile "$folder/mirtak_$version-1_amd64.deb" | tar -xO ./usr/share/mirtak/mirtak.html |
  cmp - "$folder/mirtak.html" || fail "the Debian package holds another page"
for system in win64 win32; do
  unzip -p "$folder/mirtak-$version-$system.zip" "mirtak-$version-$system/mirtak.html" |
    cmp - "$folder/mirtak.html" || fail "the $system ZIP holds another page"
  msiinfo export "$folder/mirtak-$version-$system.msi" File | grep -q $'\tmirtak.html\t' ||
    fail "the $system installer holds no page"
done

echo "== a changed byte is caught"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cp "$folder"/mirtak-"$version"-win64.msi* "$scratch/"
printf 'X' | dd of="$scratch/mirtak-$version-win64.msi" bs=1 seek=1000 conv=notrunc status=none
if (cd "$scratch" && sha256sum -c --quiet ./*.sha256 >/dev/null 2>&1); then
  fail "sha256sum -c accepts a changed installer"
fi
echo "ci-release: $folder holds every release file, each with a checksum that holds"
