#!/usr/bin/env bash
# Sets this machine up (Debian 12, as root) and runs every test: the native build, the native
# build under AddressSanitizer and UndefinedBehaviorSanitizer, the Windows build under Wine, and
# the tests that need network namespaces. Exits non-zero when anything fails.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc)

scripts/install-deps.sh
scripts/check-layout.sh

echo "== native build"
cmake --preset native >/dev/null
cmake --build --preset native
ctest --preset native -j"$jobs"

echo "== native build with sanitizers"
cmake --preset native-asan >/dev/null
cmake --build --preset native-asan
ctest --preset native-asan -j"$jobs"

echo "== Windows build, tests under Wine"
cmake --preset windows >/dev/null
cmake --build --preset windows
export WINEPREFIX="$root/build/windows/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
  wineboot -i >/dev/null 2>&1 || true
fi
# One wineserver for the whole run saves starting one per test process.
wineserver -p
trap 'WINEPREFIX="$root/build/windows/wineprefix" wineserver -k 2>/dev/null || true' EXIT
ctest --preset windows -j"$jobs"
wineserver -k || true
unset WINEPREFIX

echo "== tests in network namespaces"
tests/netns/run-all.sh "$root/build/native" "$root/build/windows"
