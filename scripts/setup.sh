#!/usr/bin/env bash
# Installs the Debian 12 packages the project builds with (once; skipped when all are present),
# then configures and builds into build/. Usage: scripts/setup.sh [Release|Debug]
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake ninja-build g++ pkg-config
          qt6-base-dev qt6-base-dev-tools libgl1-mesa-dev
          libsqlite3-dev libxlsxwriter-dev libssl-dev unicode-data bzip2 json-schema-test-suite
          libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev
          fonts-noto-cjk fonts-wqy-microhei poppler-utils unzip clang-format python3-xlrd
          qt6-translations-l10n unixodbc-dev libsqliteodbc tdsodbc dpkg-dev file)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

build_type="${1:-Release}"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE="$build_type" >/dev/null
cmake --build build
