#!/usr/bin/env bash
# Builds the client and runs it on the embedded demo database (created on first start).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh Release
exec build/app/qdclient "$@"
