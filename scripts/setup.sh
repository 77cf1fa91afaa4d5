#!/usr/bin/env bash
# Installs what the build needs (Debian packages, only those missing) and builds into build/.
# Usage: scripts/setup.sh [--sanitize | --fuzz]   (--sanitize builds into build-sanitize/, --fuzz
# builds the libFuzzer targets with clang into build-fuzz/, instead)
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(g++ cmake ninja-build pkg-config qt6-base-dev qt6-serialport-dev qt6-svg-dev
          libgtest-dev libgmock-dev clang libclang-rt-14-dev
          libqt6sql6-sqlite  # the history's database driver, loaded at run time
          qt6-translations-l10n  # Qt's own dialog texts (buttons, file dialog) in Spanish
          libssl-dev zlib1g-dev  # the history's hashing and its parts' inflating
          libpugixml-dev  # pugixml: only the benchmarks, as the yardstick of the XML code
          dpkg-dev file  # the package's dependencies (dpkg-shlibdeps) and CPack's look at the binaries
          lintian  # the package's check (it brings man-db for the man pages)
          desktop-file-utils appstream  # the desktop entry's and the AppStream metadata's checks
          ansible-core)  # the Ansible collection's build and its playbook test
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

build=build
options=()
if [ "${1:-}" = "--sanitize" ]; then
    build=build-sanitize
    options+=(-DCFG_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
elif [ "${1:-}" = "--fuzz" ]; then
    build=build-fuzz
    options+=(-DCFG_FUZZ=ON)
    export CC=clang CXX=clang++
fi
if [ ! -f "$build/build.ninja" ]; then
    cmake -S . -B "$build" -G Ninja "${options[@]}"
fi
cmake --build "$build" -j "$(nproc)"
