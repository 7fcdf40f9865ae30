#!/usr/bin/env bash
# Builds the Debian package from build/ (cpack -G DEB; docs/install.md) and prints its path:
# build/package/qdforms_<version>_<arch>.deb.
# With --check it also unpacks the package into a scratch root (dpkg -x, build/package-check/)
# and runs it from there as a user would after installing it, with a fresh home: qdsql
# --version, and the client's --screenshot, which makes the demo in the user's data folder.
# Exits 1 when a step fails.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh Release
rm -rf build/package
(cd build && cpack -G DEB) >/dev/null
deb=$(ls build/package/qdforms_*.deb)
echo "$deb"
[ "${1:-}" = "--check" ] || exit 0

check="$PWD/build/package-check"
rm -rf "$check"
mkdir -p "$check/home"
dpkg -x "$deb" "$check/root"
bin="$check/root/usr/bin"
export HOME="$check/home" XDG_DATA_HOME="$check/home/.local/share" QT_QPA_PLATFORM=offscreen
unset QD_HOME

# The programs take libqdcore from the package (their run path), Qt from the system.
core=$(ldd "$bin/qdclient" | awk '/libqdcore/ { print $3 }')
[[ "$(readlink -f "$core")" == "$check/root/usr/lib/"* ]] ||
    { echo "qdclient does not load the packaged libqdcore: ${core:-not found}"; exit 1; }
"$bin/qdsql" --version
QD_PASSWORD=123456 "$bin/qdclient" --user 1001 --screenshot "$check/main.png"
[ -s "$check/main.png" ] || { echo "no picture of the main window"; exit 1; }
[ -s "$XDG_DATA_HOME/qdclient/demo.db" ] || { echo "no demo in the user's data folder"; exit 1; }
echo "package check: $check/main.png, demo in $XDG_DATA_HOME/qdclient"
