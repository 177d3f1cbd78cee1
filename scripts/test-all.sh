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
ctest --preset native -j"$jobs" --timeout 300

echo "== native build with sanitizers"
cmake --preset native-asan >/dev/null
cmake --build --preset native-asan
ctest --preset native-asan -j"$jobs" --timeout 300

echo "== Windows build, tests under Wine"
cmake --preset windows >/dev/null
cmake --build --preset windows
export WINEPREFIX="$root/build/windows/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# A prefix whose first start was cut short lacks the user's environment (TEMP among it): make it anew.
if ! grep -q '"TEMP"' "$WINEPREFIX/user.reg" 2>/dev/null; then
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w
fi
# One wineserver and one idle Windows process for the whole run: Wine then starts its own
# services (services.exe, winedevice.exe) here, once, instead of inside a test, where they
# would inherit the test's output pipe and keep ctest waiting until they exit.
# The idle process is a command prompt reading from a pipe that stays open until the end.
wineserver -p
keeper="$root/build/windows/keeper.fifo"
rm -f "$keeper" && mkfifo "$keeper"
wine cmd /k <"$keeper" >/dev/null 2>&1 &
exec 9>"$keeper"
trap 'exec 9>&-; WINEPREFIX="$root/build/windows/wineprefix" wineserver -k 2>/dev/null || true' EXIT
ctest --preset windows -j"$jobs" --timeout 300
exec 9>&-
wineserver -k || true
unset WINEPREFIX

echo "== tests in network namespaces"
tests/netns/run-all.sh "$root/build/native" "$root/build/windows"
