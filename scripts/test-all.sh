#!/usr/bin/env bash
# Sets this machine up (Debian 12, as root) and runs every test: the native build, the native
# build under AddressSanitizer and UndefinedBehaviorSanitizer, the threaded tests under
# ThreadSanitizer, the fuzz targets for a bounded time (ZELQUO_FUZZ_SECONDS each, default 60),
# the Windows build under Wine, the tray program on a virtual display, the setup program under
# Wine, the tests that need network namespaces, and the Debian package (also under a real
# systemd in a container). Exits non-zero when anything fails.
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

echo "== native build with ThreadSanitizer: service, update cycle, GUI state, settings and HTTP tests"
cmake --preset native-tsan >/dev/null
cmake --build --preset native-tsan --target engine_test service_test gui_logic_test zelquoiucsvc standin-provider
# Every report of every process (the daemon the signal script starts too) goes to a log file
# of its own; a run that leaves one fails, whatever the tests themselves said.
tsan_logs="$root/build/native-tsan/tsan-reports"
rm -rf "$tsan_logs" && mkdir -p "$tsan_logs"
TSAN_OPTIONS="log_path=$tsan_logs/report second_deadlock_stack=1" ctest --preset native-tsan -j"$jobs" --timeout 300 \
  -R '^(UpdateService|UpdateCycle|KeepRunning|ServiceHost|BeepInterval|Settings|PosixProfileStore|IniDocument|GuiState|TrayUpdateLoop|HttpGetLine|HttpProxy|NameLookup)|service_daemon_signals'
if compgen -G "$tsan_logs/report*" >/dev/null; then
  cat "$tsan_logs"/report*
  echo "ThreadSanitizer reported the races above"
  exit 1
fi

echo "== fuzz targets (libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer)"
cmake --preset native-fuzz >/dev/null
cmake --build --preset native-fuzz
scripts/run-fuzzers.sh "${ZELQUO_FUZZ_SECONDS:-60}"

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

echo "== tray program under Wine on a virtual display"
# It makes a network namespace of its own; the lock keeps it apart from other namespace runs.
flock /tmp/zq-netns.lock tests/gui/run.sh "$root/build/native" "$root/build/windows"

echo "== setup program under Wine: install, upgrade, uninstall"
# The installed service starts inside a network namespace of the script's own.
flock /tmp/zq-netns.lock tests/installer/wine-installer-tests.sh "$root/build/windows"

echo "== tests in network namespaces"
tests/netns/run-all.sh "$root/build/native" "$root/build/windows"
# The daemon's short soak: about 40 s of faults in turn, its threads, descriptors and memory watched.
flock /tmp/zq-netns.lock tests/soak/daemon-soak.sh "$root/build/native" 1000 3

echo "== Debian package: lintian, install, upgrade, remove, purge"
# It installs the package on this machine, in a network namespace of its own, and purges it on
# every way out.
flock /tmp/zq-netns.lock tests/package/deb-package-tests.sh "$root/build/native"

echo "== the package's unit under a real systemd, in a container booted from this machine's files"
unit_status=0
flock /tmp/zq-netns.lock tests/package/systemd-unit-tests.sh "$root/build/native" || unit_status=$?
# 77: no container can boot here; the script said why.
((unit_status == 0 || unit_status == 77)) || exit "$unit_status"
