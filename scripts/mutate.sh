#!/usr/bin/env bash
# Mutation testing (see scripts/mutate.py and the README): plants each fault of
# scripts/mutants.txt in a copy of the tree, rebuilds, runs the tests, reports the survivors.
#   bash scripts/mutate.sh [--ui] [--only REGEX] [--list] [--work DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
exec python3 scripts/mutate.py "$@"
