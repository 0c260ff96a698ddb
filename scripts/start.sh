#!/usr/bin/env bash
# Sets up the machine, builds and starts the program from its program folder.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
exec build/program/movara
