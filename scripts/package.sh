#!/usr/bin/env bash
# Builds the Debian package from build/ (cpack -G DEB; docs/install.md) and prints its path:
# build/package/qdforms_<version>_<arch>.deb.
# With --check it also unpacks the package into a scratch root (dpkg -x, build/package-check/)
# and runs it from there as a user would after installing it, with a fresh home: qdsql
# --version, and the client's --screenshot, which makes the demo in the user's data folder;
# then builds the sample module (examples/module) against the unpacked package and opens it
# in the packaged client as a plug-in.
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

# A module of one's own against the unpacked package: the sample module (examples/module) is
# configured with find_package(QdForms) there, built, its table and registry row added with the
# packaged qdsql, and the packaged client loads it as a plug-in and opens its list. The trace
# must name both plug-ins (the demo's, the sample's) and the module opened, and hold no error.
shop="$check/shop"
cmake -S examples/module -B "$shop" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_PREFIX_PATH="$check/root/usr" >/dev/null
cmake --build "$shop" >/dev/null
data="$XDG_DATA_HOME/qdclient"
"$bin/qdsql" "$data/demo.db" examples/module/shop.sql >/dev/null
QD_PLUGIN_PATH="$shop" QD_PASSWORD=123456 "$bin/qdclient" --user 1001 --module 商品资料 \
    --screenshot "$check/shop.png"
[ -s "$check/shop.png" ] || { echo "no picture of the sample module"; exit 1; }
for expected in "加载模块插件 .*libqddemo.so（演示模块）" "加载模块插件 .*libqdshop.so（商品资料）" \
                "打开模块 SP 商品资料"; do
    grep -q "$expected" "$data/trace.log" || { echo "the trace lacks: $expected"; exit 1; }
done
if grep -q "\[ERROR\]" "$data/trace.log"; then
    grep "\[ERROR\]" "$data/trace.log"
    exit 1
fi
echo "sample module: $check/shop.png"
