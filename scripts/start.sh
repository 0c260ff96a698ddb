#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Sets up the machine, builds and starts the program from its program folder.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
exec build/program/movara
