#!/usr/bin/env bash
# Builds the Debian package of the programs (CPack, cmake/package.cmake) into build/ and prints
# its path. Usage: scripts/package.sh   (sets up and builds build/ first, as scripts/setup.sh does)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh >&2
cpack -B build --config build/CPackConfig.cmake >&2
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/CMakeCache.txt)
deb="$PWD/build/cfgtarascope_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { echo "package.sh: $deb was not made" >&2; exit 1; }
echo "$deb"
