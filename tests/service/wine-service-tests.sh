#!/bin/bash
# Runs the Windows service program of a cross build under Wine's real service control manager:
# install and uninstall with their registry entries and event-log source, start, pause, continue,
# user-defined controls and stop, and the events the service reports.
#
#   tests/service/wine-service-tests.sh WINDOWS_BUILD_DIR
#
# Everything happens in a Wine prefix of its own, created afresh, inside a network namespace of
# its own (loopback only): whatever the update cycle tries to reach stays inside. Wine's event log
# keeps nothing; it only traces ReportEvent, so the events are read from the trace of the
# session's services (WINEDEBUG=+eventlog), which services.exe and the service inherit.
set -u

if [[ $# -ne 1 ]]; then
  echo "usage: $0 WINDOWS_BUILD_DIR" >&2
  exit 2
fi
build_dir=$(realpath "$1")
# Namespaces need root; ctest reads 77 as "skipped".
if [[ $(id -u) -ne 0 ]]; then
  echo "skipped: needs root for its namespaces" >&2
  exit 77
fi

# Re-run inside a private network namespace with only loopback, up.
if [[ "${ZELQUO_IN_TEST_NETNS:-}" != 1 ]]; then
  exec unshare --net -- env ZELQUO_IN_TEST_NETNS=1 "$0" "$build_dir"
fi
ip link set lo up

service_exe="$build_dir/service/zelquoiucsvc.exe"
control_exe="$build_dir/tests/service/zelquo-service-control.exe"
for file in "$service_exe" "$control_exe"; do
  [[ -f "$file" ]] || { echo "missing $file" >&2; exit 2; }
done

work=$(mktemp -d /tmp/zelquo-wine-service.XXXXXX)
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

failures=0
checks=0
pass() { checks=$((checks + 1)); echo "ok   $*"; }
fail() { checks=$((checks + 1)); failures=$((failures + 1)); echo "FAIL $*"; }
check() {  # check DESCRIPTION COMMAND...
  local description=$1
  shift
  if "$@"; then pass "$description"; else fail "$description"; fi
}

service_key='HKLM\System\CurrentControlSet\Services\ZelquoIUCSvc'
application_key='HKLM\System\CurrentControlSet\Services\EventLog\Application'
source_key="$application_key\\Zelquo IP Update Service"
program_dir="$WINEPREFIX/drive_c/Program Files/Zelquo"
program='C:\Program Files\Zelquo\zelquoiucsvc.exe'

# The service program run from a prompt; its own events are traced to its standard error.
svc() { WINEDEBUG=+eventlog wine "$program" "$@" 2>>"$session_log" >/dev/null; }
state() { wine sc query ZelquoIUCSvc 2>/dev/null | tr -d '\r' | awk '/STATE/ {print $3}'; }
wait_state() {  # wait_state STATE SECONDS: true once the manager reports STATE
  local deadline=$((SECONDS + $2))
  while ((SECONDS <= deadline)); do
    [[ "$(state)" == "$1" ]] && return 0
    sleep 0.2
  done
  return 1
}
control() { wine "$control_exe" ZelquoIUCSvc "$1" 2>/dev/null | tr -d '\r'; }
reg_value() { wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | awk -v name="$2" '$1 == name {$1 = ""; $2 = ""; sub(/^  /, ""); print}'; }
key_missing() { ! wine reg query "$1" >/dev/null 2>&1; }
sources() { reg_value "$application_key" Sources; }
# Number of events with this id that the session's services reported so far.
event_count() { grep -c "fixme:advapi:ReportEventA (00000000CAFE4242,$1,0x0000,$2," "$session_log"; }
wait_event_count() {  # wait_event_count TYPE ID COUNT: the service logs after its last report
  local deadline=$((SECONDS + 3))
  while ((SECONDS <= deadline)); do
    [[ "$(event_count "$1" "$2")" -eq "$3" ]] && return 0
    sleep 0.2
  done
  return 1
}
event_text_seen() { grep -qF "eventlog:ReportEventW L\"$1\"" "$session_log"; }
error_text_seen() { grep -qF "err:eventlog:ReportEventW L\"$1\"" "$session_log"; }

echo "# Wine prefix $WINEPREFIX"
wineboot -i >/dev/null 2>&1
wineserver -w
# A persistent server: Wine ends its system processes, services included, once no other process
# is left, and would start every automatic service again with the next command.
wineserver -p
WINEDEBUG=+eventlog wineboot >"$session_log" 2>&1

mkdir -p "$program_dir"
cp "$service_exe" "$program_dir/"
printf '[Zelquo IP Update Client]\r\npollinterval=2\r\n' >"$program_dir/ZelquoIUC.ini"

# A fresh prefix has no "Sources" list; give it one as Windows has, to watch the append.
check "a fresh prefix has no Sources list" test -z "$(sources)"
wine reg add "$application_key" /v Sources /t REG_MULTI_SZ /d 'Application\0WSH' /f >/dev/null 2>&1
check "Sources list prepared" test "$(sources)" == 'Application\0WSH'

# --- Command line without a usable switch --------------------------------------------------
svc
check "no switch from a prompt: the dispatcher fails and the program ends (exit 1)" test $? -eq 1
svc install
check "'install' without - or / is no switch: it runs as a service and fails" test $? -eq 1
check "... and installs nothing" test -z "$(state)"
svc -install -help
check "-install -help shows usage only (exit 0)" test $? -eq 0
check "... and installs nothing" test -z "$(state)"

# --- Install ---------------------------------------------------------------------------------
svc -help -install
check "-help -install installs (exit 0)" test $? -eq 0
check "the service is known to the manager, stopped" test "$(state)" == 1
check "ImagePath is the quoted program path" test "$(reg_value "$service_key" ImagePath)" == "\"$program\""
check "DisplayName" test "$(reg_value "$service_key" DisplayName)" == "Zelquo IP Update Service"
check "Description" test "$(reg_value "$service_key" Description)" == \
  "IP update service for Zelquo dynamic DNS service. See https://www.zelquo.net/ for more details."
check "Type own process" test "$(reg_value "$service_key" Type)" == 0x10
check "Start automatic" test "$(reg_value "$service_key" Start)" == 0x2
check "ErrorControl ignore" test "$(reg_value "$service_key" ErrorControl)" == 0x0
check "ObjectName LocalSystem" test "$(reg_value "$service_key" ObjectName)" == LocalSystem
check "EventMessageFile is the quoted program path" test "$(reg_value "$source_key" EventMessageFile)" == "\"$program\""
check "TypesSupported 7" test "$(reg_value "$source_key" TypesSupported)" == 0x7
check "Sources has the display name appended" test "$(sources)" == 'Application\0WSH\0Zelquo IP Update Service'
check "event 0x40000002 (installed) with the display name" test "$(event_count 0x0004 0x40000002)" -eq 1
check "... whose insertion string is the display name" event_text_seen "Zelquo IP Update Service"

svc /INSTALL
check "installing twice fails (exit 1)" test $? -eq 1
check "... silently: no second installed event" test "$(event_count 0x0004 0x40000002)" -eq 1
check "... and Sources is unchanged" test "$(sources)" == 'Application\0WSH\0Zelquo IP Update Service'

# --- Start, pause, continue, user controls, stop ----------------------------------------------
wine net start ZelquoIUCSvc >/dev/null 2>&1
check "net start succeeds" test $? -eq 0
check "the service reaches running" wait_state 4 10
check "event 0x40000001 (started)" wait_event_count 0x0004 0x40000001 1
check "running accepts stop and pause/continue" grep -q "state 4 controls 3" <<<"$(control query)"

reply=$(control pause)
check "pause is accepted and reported pause-pending by the handler ($reply)" grep -q "^state 6 " <<<"$reply"
check "the loop reports paused after its wait (poll interval 2 s)" wait_state 7 6
check "event 0x40000005 (paused)" wait_event_count 0x0004 0x40000005 1
reply=$(control continue)
check "continue is reported continue-pending ($reply)" grep -q "^state 5 " <<<"$reply"
check "the loop reports running again" wait_state 4 6
check "event 0x40000006 (continued)" wait_event_count 0x0004 0x40000006 1

control 128 >/dev/null
check "user control 128 logs 0x4000000A with 2000" wait_event_count 0x0004 0x4000000a 1
check "... 2000" event_text_seen 2000
control 255 >/dev/null
check "user control 255 halves it back: 1000" event_text_seen 1000
check "state is still running after user controls" test "$(state)" == 4

sleep 1  # well inside a poll-interval wait
started=$(date +%s%N)
wine net stop ZelquoIUCSvc >/dev/null 2>&1
check "net stop succeeds" test $? -eq 0
check "the service reaches stopped" wait_state 1 5
elapsed_ms=$((($(date +%s%N) - started) / 1000000))
check "stop during the wait reaches stopped within 2.5 s (took ${elapsed_ms} ms)" test "$elapsed_ms" -lt 2500
check "event 0x40000004 (stopped)" wait_event_count 0x0004 0x40000004 1

# Stop while paused: stopped, with no continued event.
wine net start ZelquoIUCSvc >/dev/null 2>&1
check "started again" wait_state 4 10
control pause >/dev/null
check "paused again" wait_state 7 6
wine net stop ZelquoIUCSvc >/dev/null 2>&1
check "stop while paused reaches stopped" wait_state 1 5
check "... with a stopped event" wait_event_count 0x0004 0x40000004 2
check "... and no continued event" test "$(event_count 0x0004 0x40000006)" -eq 1

# --- Uninstall ----------------------------------------------------------------------------
svc -uninstall
check "-uninstall succeeds (exit 0)" test $? -eq 0
check "event 0x40000003 (uninstalled)" test "$(event_count 0x0004 0x40000003)" -eq 1
check "the manager no longer knows the service" test -z "$(state)"
check "the service key is gone" key_missing "$service_key"
check "the event source key is gone" key_missing "$source_key"
check "Sources is back as it was" test "$(sources)" == 'Application\0WSH'

svc /remove
check "uninstalling a service that does not exist fails (exit 1)" test $? -eq 1
check "... logging error 0xC0000008" test "$(event_count 0x0001 0xc0000008)" -eq 1
check "... with the error code 1060" error_text_seen 1060

echo "# $checks checks, $failures failed"
[[ $failures -eq 0 ]]
