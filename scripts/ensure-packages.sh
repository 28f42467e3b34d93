#!/usr/bin/env bash
# Installs the named Debian packages that are not installed yet; does nothing when all are.
# Usage: scripts/ensure-packages.sh [--no-install-recommends] PACKAGE...
set -euo pipefail

options=()
if [[ ${1:-} == --no-install-recommends ]]; then
  options+=("$1")
  shift
fi
missing=()
for package in "$@"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
if ((${#missing[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${options[@]}" "${missing[@]}"
fi
