#!/bin/bash
# Runs the setup program of a cross build under Wine, silently, as an administrator would: a first
# install, an upgrade over it, and the uninstall; after each step it checks the files, the entry
# in Programs and Features, the start-up entry, the Start-menu shortcuts and the service.
#
#   tests/installer/wine-installer-tests.sh WINDOWS_BUILD_DIR
#
# Everything happens in a Wine prefix of its own, created afresh, inside a network namespace of
# its own (loopback only): the installed service starts and would otherwise reach for the
# provider. The service's start and stop events are read from the trace of the session's
# services (WINEDEBUG=+eventlog), as Wine's event log keeps nothing.
set -u

if [[ $# -ne 1 ]]; then
  echo "usage: $0 WINDOWS_BUILD_DIR" >&2
  exit 2
fi
build_dir=$(realpath "$1")
. "$(dirname "$(readlink -f "$0")")/../service/service-script-lib.sh"
zq_require_root
zq_enter_namespace "zelquo-wine-setup-$$" "$0" "$build_dir"

setup_exe="$build_dir/installer/zelquoiuc-setup.exe"
[[ -f "$setup_exe" ]] || { echo "missing $setup_exe" >&2; exit 2; }

work=$(mktemp -d /tmp/zelquo-wine-setup.XXXXXX)
export WINEPREFIX="$work/prefix"
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=-all
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY no_proxy NO_PROXY
session_log="$work/session.log"
cleanup() {
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

product='Zelquo IP Update Client'
install_dir="$WINEPREFIX/drive_c/Program Files/$product"
start_menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/$product"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\ZelquoIUC'
run_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
service_key='HKLM\System\CurrentControlSet\Services\ZelquoIUCSvc'
source_key='HKLM\System\CurrentControlSet\Services\EventLog\Application\Zelquo IP Update Service'
settings="$install_dir/ZelquoIUC.ini"
programs=(zelquoiuc.exe zelquoiucsvc.exe zelquoipupdate.exe)

value_missing() { ! wine reg query "$1" /v "$2" >/dev/null 2>&1; }
event_count() { grep -c "fixme:advapi:ReportEventA (00000000CAFE4242,0x0004,0x0000,$1," "$session_log"; }
# The service reports its events after its state reports, so a count may lag for a moment.
wait_events() {  # wait_events ID COUNT
  local deadline=$((SECONDS + 5))
  until [[ $(event_count "$1") -eq $2 ]]; do ((SECONDS <= deadline)) || return 1; sleep 0.2; done
}
all_present() { local file; for file in "${programs[@]}" uninstall.exe; do [[ -f "$install_dir/$file" ]] || return 1; done; }
none_present() { local file; for file in "${programs[@]}" uninstall.exe; do [[ ! -e "$install_dir/$file" ]] || return 1; done; }
shortcuts_present() { [[ -f "$start_menu/$product.lnk" && -f "$start_menu/Uninstall $product.lnk" ]]; }
# The uninstaller runs from a copy in the temporary folder and returns at once; it is done when
# it has removed itself.
wait_uninstalled() {
  local deadline=$((SECONDS + 30))
  while ((SECONDS <= deadline)); do
    [[ ! -e "$install_dir/uninstall.exe" ]] && return 0
    sleep 0.3
  done
  return 1
}
setup() { wine "$setup_exe" /S >/dev/null 2>&1; }
# A setup program run before the last one had let go of its files would test nothing.
idle() { wine cmd /c exit >/dev/null 2>&1; }

echo "# Wine prefix $WINEPREFIX"
wineboot -i >/dev/null 2>&1
wineserver -w
# A persistent server: Wine would otherwise end the service with the last program.
wineserver -p
WINEDEBUG=+eventlog wineboot >"$session_log" 2>&1

# --- First install ---------------------------------------------------------------------------
setup
check "silent install succeeds (exit 0)" test $? -eq 0
check "the three programs and the uninstaller are in Program Files" all_present
check "Start-menu shortcuts to the tray program and the uninstaller" shortcuts_present
check "uninstall entry: name" test "$(reg_value "$uninstall_key" DisplayName)" == "$product"
check "uninstall entry: version 4.43" test "$(reg_value "$uninstall_key" DisplayVersion)" == 4.43
check "uninstall entry: publisher" test "$(reg_value "$uninstall_key" Publisher)" == Zelquo
size=$(reg_value "$uninstall_key" EstimatedSize)
check "uninstall entry: size in KiB, about the programs' ($size)" test $((size)) -gt 1000
check "uninstall entry: quiet uninstall command" test "$(reg_value "$uninstall_key" QuietUninstallString)" == \
  "\"C:\\Program Files\\$product\\uninstall.exe\" /S"
check "start-up entry: the tray program's path in lower case" test "$(reg_value "$run_key" "$product")" == \
  'c:\program files\zelquo ip update client\zelquoiuc.exe'
check "the service registered itself with its quoted path" test "$(reg_value "$service_key" ImagePath)" == \
  "\"C:\\Program Files\\$product\\zelquoiucsvc.exe\""
check "the service runs" test "$(state)" == 4
check "... started once" wait_events 0x40000001 1

# --- Upgrade over it: settings kept, the service restarted -----------------------------------
# Settings of the user's, with the tray program's start-up box cleared (which empties the entry).
# The running service may write its own keys meanwhile; these three are the user's.
# The install wrote autorunonstartup=1 into the file the service's install made: replace the
# three keys rather than add a second copy, which the first would hide.
[[ -s "$settings" ]] || printf '[Zelquo IP Update Client]\r\n' >"$settings"
sed -i '/^\(autorunonstartup\|username\|pollinterval\)=/d' "$settings"
printf 'autorunonstartup=0\r\nusername=keep-me\r\npollinterval=45\r\n' >>"$settings"
wine reg add "$run_key" /v "$product" /t REG_SZ /d '' /f >/dev/null 2>&1
# Installed programs that differ from the build's (a trailing byte changes no program), the
# service's among them, running: the upgrade must replace them all.
wine net stop ZelquoIUCSvc >/dev/null 2>&1
wait_events 0x40000004 1
for file in "${programs[@]}"; do printf 'x' >>"$install_dir/$file"; done
wine net start ZelquoIUCSvc >/dev/null 2>&1
wait_events 0x40000001 2
kept() { grep -q '^autorunonstartup=0' "$settings" && grep -q '^username=keep-me' "$settings" && grep -q '^pollinterval=45' "$settings"; }
idle
setup
check "silent upgrade succeeds (exit 0)" test $? -eq 0
check "the programs are the build's again" cmp -s "$install_dir/zelquoiucsvc.exe" "$build_dir/service/zelquoiucsvc.exe"
check "... all three" eval 'cmp -s "$install_dir/zelquoiuc.exe" "$build_dir/gui/zelquoiuc.exe" && cmp -s "$install_dir/zelquoipupdate.exe" "$build_dir/cli/zelquoipupdate.exe"'
check "the user's settings are kept" kept
check "the cleared start-up entry stays empty" test -z "$(reg_value "$run_key" "$product")"
check "the service was stopped for the upgrade" wait_events 0x40000004 2
check "... and runs again" test "$(state)" == 4
check "... started again" wait_events 0x40000001 3
check "one uninstall entry, same version" test "$(reg_value "$uninstall_key" DisplayVersion)" == 4.43
check "shortcuts still there" shortcuts_present

# --- Uninstall -------------------------------------------------------------------------------
idle
wine "$install_dir/uninstall.exe" /S >/dev/null 2>&1
check "silent uninstall starts (exit 0)" test $? -eq 0
check "... and removes its own program" wait_uninstalled
check "the programs are gone" none_present
check "a silent uninstall keeps the settings file" kept
check "the service is gone" test -z "$(state)"
check "... after a stop" wait_events 0x40000004 3
check "... with its registry key" key_missing "$service_key"
check "... and its event source" key_missing "$source_key"
check "the uninstall entry is gone" key_missing "$uninstall_key"
check "the start-up entry is gone" value_missing "$run_key" "$product"
check "the Start-menu folder is gone" test ! -e "$start_menu"

zq_checks_passed
