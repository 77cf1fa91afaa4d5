#!/usr/bin/env bash
# Builds the program and writes pictures of its windows into docs/screenshots/, drawn off screen
# against the simulator's built-in network (no display needed).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
QT_QPA_PLATFORM=offscreen build/bin/cfgtarascope-screenshots docs/screenshots
