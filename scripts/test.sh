#!/usr/bin/env bash
# Sets up and builds (see setup.sh), then runs every test. The window tests need no display.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
export QT_QPA_PLATFORM=offscreen
cd build
ctest --output-on-failure -j2 --timeout 300
