#!/usr/bin/env bash
# Sets up and builds (see setup.sh), then starts the desktop program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
if [ ! -x build/src/app/vobrix ]; then
  echo "The desktop window is not built yet: this version has the engine only." >&2
  echo "Run 'bash scripts/test.sh' to test it." >&2
  exit 1
fi
exec build/src/app/vobrix "$@"
