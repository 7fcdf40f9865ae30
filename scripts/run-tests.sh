#!/usr/bin/env bash
# Builds everything and runs the test suite headless.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh Release
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j 2 "$@"
