#!/usr/bin/env bash
# Sets up and builds (see setup.sh), then starts the desktop program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
exec build/src/app/vobrix "$@"
