#!/bin/bash
# Runs the Windows service program of a cross build under Wine's real service control manager:
# install and uninstall with their registry entries and event-log source, start, pause, continue,
# user-defined controls and stop, and the events the service reports; then the updates the
# service sends to a stand-in provider, what it records in its settings and when it runs the
# custom command; last, how long stops take from each state of the loop.
#
#   tests/service/wine-service-tests.sh [--stops N] WINDOWS_BUILD_DIR [NATIVE_BUILD_DIR]
#
# --stops N: stops timed from each state (idle wait, "911" pause, silent server, running
# command), 2 by default; each prints its time to "stopped", and each state its median and maximum.
#
# The stand-in provider is the native build's program when there is one (NATIVE_BUILD_DIR, else
# a folder "native" beside the Windows build, as the presets lay them out), else the Windows
# build's own under Wine.
#
# Everything happens in a Wine prefix of its own, created afresh, inside a network namespace of
# its own (loopback only, no route anywhere else) whose /etc/hosts maps the provider's names to
# 127.0.0.1 and whose resolver is a closed loopback port: no request and no name look-up leaves
# it. Wine's event log keeps nothing; it only traces ReportEvent, so the events are read from the
# trace of the session's services (WINEDEBUG=+eventlog), which services.exe and the service
# inherit.
set -u

stops_per_state=2
if [[ "${1:-}" == --stops ]]; then
  stops_per_state=${2:-}
  shift 2 || true
fi
if [[ $# -lt 1 || $# -gt 2 || ! "$stops_per_state" =~ ^[0-9]+$ ]]; then
  echo "usage: $0 [--stops N] WINDOWS_BUILD_DIR [NATIVE_BUILD_DIR]" >&2
  exit 2
fi
build_dir=$(realpath "$1")
native_dir=
if [[ $# -eq 2 ]]; then
  native_dir=$(realpath "$2")
elif [[ -x "$build_dir/../native/tests/support/standin-provider" ]]; then
  native_dir=$(realpath "$build_dir/../native")
fi
. "$(dirname "$(readlink -f "$0")")/service-script-lib.sh"
zq_require_root
zq_noon_clock
zq_enter_namespace "zelquo-wine-svc-$$" "$0" --stops "$stops_per_state" "$build_dir" ${native_dir:+"$native_dir"}

service_exe="$build_dir/service/zelquoiucsvc.exe"
control_exe="$build_dir/tests/service/zelquo-service-control.exe"
if [[ -n "$native_dir" ]]; then
  standin="$native_dir/tests/support/standin-provider"
else
  standin="$build_dir/tests/support/standin-provider.exe"
fi
zq_require_files "$service_exe" "$control_exe" "$standin"

work=$(mktemp -d /tmp/zelquo-wine-service.XXXXXX)
export WINEPREFIX="$work/prefix"
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=-all
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY no_proxy NO_PROXY
session_log="$work/session.log"

standin_pid=
cleanup() {
  [[ -n "$standin_pid" ]] && kill "$standin_pid" 2>/dev/null
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM


service_key='HKLM\System\CurrentControlSet\Services\ZelquoIUCSvc'
application_key='HKLM\System\CurrentControlSet\Services\EventLog\Application'
source_key="$application_key\\Zelquo IP Update Service"
program_dir="$WINEPREFIX/drive_c/Program Files/Zelquo"
program='C:\Program Files\Zelquo\zelquoiucsvc.exe'

# The service program run from a prompt; its own events are traced to its standard error.
svc() { WINEDEBUG=+eventlog wine "$program" "$@" 2>>"$session_log" >/dev/null; }
wait_state() {  # wait_state STATE SECONDS: true once the manager reports STATE
  local deadline=$((SECONDS + $2))
  while ((SECONDS <= deadline)); do
    [[ "$(state)" == "$1" ]] && return 0
    sleep 0.2
  done
  return 1
}
control() { wine "$control_exe" ZelquoIUCSvc "$@" 2>/dev/null | tr -d '\r'; }
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
check "EventMessageFile is the program path, unquoted: a module path for the event viewer" \
  test "$(reg_value "$source_key" EventMessageFile)" == "$program"
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
# Running already when the paused loop's quarter-second rest ended before the reply.
check "continue is reported continue-pending ($reply)" grep -q "^state [54] " <<<"$reply"
check "the loop reports running again" wait_state 4 6
check "event 0x40000006 (continued)" wait_event_count 0x0004 0x40000006 1

# Controls that cross inside one wait leave the manager with the loop's state, not a pending one.
# The loop may, rarely, see the first control alone (two runs of the control tool are
# milliseconds apart); it then logs both events, so the checks count pairs.
pause_continue_events() { echo "$(event_count 0x0004 0x40000005) $(event_count 0x0004 0x40000006)"; }
balanced_events() { local counts; counts=$(sleep 0.5; pause_continue_events); [[ ${counts% *} -eq ${counts#* } ]]; }
sleep 0.5
reply=$(control pause continue | tail -n 1)
check "pause and continue at once: continue-pending for now ($reply)" grep -q "^state [54] " <<<"$reply"
check "... then running again after the wait" wait_state 4 4
check "... with as many paused as continued events ($(pause_continue_events))" balanced_events
control pause >/dev/null
check "paused" wait_state 7 6
reply=$(control continue pause | tail -n 1)
check "while paused, continue and pause at once: pause-pending for now ($reply)" grep -q "^state [67] " <<<"$reply"
check "... then paused again" wait_state 7 3
control continue >/dev/null
check "continued" wait_state 4 6
check "... with as many paused as continued events ($(pause_continue_events))" balanced_events

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
read -r paused_events continued_events <<<"$(pause_continue_events)"
wine net start ZelquoIUCSvc >/dev/null 2>&1
check "started again" wait_state 4 10
control pause >/dev/null
check "paused again" wait_state 7 6
wine net stop ZelquoIUCSvc >/dev/null 2>&1
check "stop while paused reaches stopped" wait_state 1 5
check "... with a stopped event" wait_event_count 0x0004 0x40000004 2
check "... and no continued event" test "$(event_count 0x0004 0x40000006)" -eq "$continued_events"

# A stop while a pause is pending: no paused event on the way out.
wine net start ZelquoIUCSvc >/dev/null 2>&1
check "started again" wait_state 4 10
sleep 0.5
control pause stop >/dev/null
check "pause and stop at once reach stopped" wait_state 1 5
check "... with a stopped event" wait_event_count 0x0004 0x40000004 3
check "... and no paused event" test "$(event_count 0x0004 0x40000005)" -eq $((paused_events + 1))

# --- Updates to the stand-in provider --------------------------------------------------------
check "the namespace has no route beyond loopback" bash -c '! ip -4 route get 203.0.113.77 >/dev/null 2>&1'

# The provider: its IP-check servers see 203.0.113.77; the update API answers with the rule given.
record="$work/provider.record"
standin_options=(--listen 127.0.0.1:80 --listen 127.0.0.1:8245)
start_standin() {  # start_standin UPDATE_RULE: a fresh stand-in and record
  [[ -n "$standin_pid" ]] && { kill "$standin_pid" 2>/dev/null; wait "$standin_pid" 2>/dev/null; }
  printf '%s\n' '/ipcheck.asp 200 ip203.0.113.77' "/nic/update 200 $1" >"$work/provider.script"
  rm -f "$work/provider.ready"
  if [[ -n "$native_dir" ]]; then
    "$standin" "${standin_options[@]}" --script "$work/provider.script" --record "$record" \
      --ready "$work/provider.ready" >"$work/standin.log" 2>&1 &
  else
    wine "$standin" "${standin_options[@]}" --script "$(winepath -w "$work/provider.script")" \
      --record "$(winepath -w "$record")" --ready "$(winepath -w "$work/provider.ready")" \
      >"$work/standin.log" 2>&1 &
  fi
  standin_pid=$!
  for _ in $(seq 100); do [[ -s "$work/provider.ready" ]] && break; sleep 0.1; done
}
start_standin 'good 203.0.113.77'
echo "# stand-in provider: $standin"
check "the stand-in provider listens on ports 80 and 8245" \
  test "$(tr -d '\r' <"$work/provider.ready" 2>/dev/null | tr '\n' ' ')" == "80 8245 "

settings="$program_dir/ZelquoIUC.ini"
command_log="$WINEPREFIX/drive_c/command-ran.txt"
digest=5ebe2294ecd0e0f08eab7690d2a6ee69  # MD5 of "secret"
minute_now() { echo $((10#$(date +%H) * 60 + 10#$(date +%M))); }
recent_minute() {  # recent_minute VALUE: VALUE is this minute of the day or the one before
  local now
  now=$(minute_now)
  [[ "$1" =~ ^[0-9]+$ ]] && (($1 == now || $1 == now - 1))
}
# Half a day away: more than 30 minutes, so the recorded update is stale, and outside the
# 5 minutes in which a route trace may confirm the address.
old_minute() { echo $((($(minute_now) + 720) % 1440)); }
setting() { tr -d '\r' <"$settings" | sed -n "s/^$1=//p"; }
# set_settings KEY=VALUE...: one rename of the whole file, between the service's writes (the
# callers wait for the end of a cycle's record; the service then waits its poll interval).
set_settings() {
  local expressions=() pair
  for pair in "$@"; do expressions+=(-e "s|^${pair%%=*}=[^\r]*|$pair|"); done
  sed -i "${expressions[@]}" "$settings"
}
requests() { wc -l <"$record"; }
target() { sed -n "${1}p" "$record" | tr -d '\r' | cut -f3; }
request_port() { sed -n "${1}p" "$record" | cut -f1; }
requests_are() { [[ $(requests) -eq $1 ]]; }
checked_recently() { recent_minute "$(setting checkminutes)"; }
recorded() {  # recorded: the cycle's record is complete (checkminutes is written last)
  [[ "$(setting updatedip)" == 203.0.113.77 ]] && checked_recently
}
commands_ran() { [[ -f "$command_log" ]] && wc -l <"$command_log" || echo 0; }
commands_are() { [[ $(commands_ran) -eq $1 ]]; }
new_address() {  # the next pass finds a stale update of another address
  set_settings updatedip=203.0.113.1 "updatedminutes=$(old_minute)" "checkminutes=$(old_minute)"
}
# The refusal as Wine's trace shows the insertion string (backslashes and quotes escaped).
refusal_seen() {
  grep -qF "warn:eventlog:ReportEventW L\"\\\"c:\\\\program files\\\\zelquo\\\\ZelquoIUC.ini\\\" may be changed by users who are not administrators ($1).\"" "$session_log"
}
first_target="/nic/update?ver=4.43&hostname=home.example.net&password=$digest&myip=203.0.113.77&uin=1"
later_target="/nic/update?ver=4.43&hostname=home.example.net&password=$digest&myip=203.0.113.77"

# As a previous run leaves it: this address recorded this minute, which alone would need no
# update; only the emptying at start makes the first cycle send, as a first update.
now=$(minute_now)
printf '%s\r\n' '[Zelquo IP Update Client]' pollinterval=2 'password=n`^m`oI' numofdomainnames=1 \
  domain_name1=home.example.net executecommand=1 'command=echo %USERNAME%>>C:\command-ran.txt' \
  updatedip=203.0.113.77 "updatedminutes=$now" "checkminutes=$now" >"$settings"
chmod 644 "$settings"

wine net start ZelquoIUCSvc >/dev/null 2>&1
check "net start with a provider succeeds" test $? -eq 0
check "the service reaches running" wait_state 4 10
check "the first cycle asks the IP-check server and sends one update" wait_until 15 requests_are 2
check "... the IP-check server first, on 8245 ($(target 1))" \
  test "$(request_port 1) $(target 1)" == "8245 /ipcheck.asp"
check "... by its name" grep -q $'\tHost: ip1.zelquo.net:8245' <(sed -n 1p "$record")
check "... then the host update on 80, as a first update ($(target 2))" \
  test "$(request_port 2) $(target 2)" == "80 $first_target"
check "... to the update API by its name" grep -q $'\tHost: dynupdate.zelquo.net' <(sed -n 2p "$record")
check "the good answer is recorded: updatedip and both minutes" wait_until 5 recorded
check "... updatedminutes is this minute of the day" recent_minute "$(setting updatedminutes)"
check "the custom command ran once, on the first good answer ($(tr -d '\r' <"$command_log" 2>/dev/null))" \
  commands_are 1

# The next passes: the last confirmation is under 5 minutes old, so the change check tries a
# route trace; here its first hop cannot answer (no route), which counts as unchanged.
checked=$(setting checkminutes)
sleep 5
check "two passes later nothing more was sent: the trace confirmed the address" requests_are 2
check "... and checkminutes is as it was" test "$(setting checkminutes)" == "$checked"

# A confirmation older than 5 minutes: the IP-check server confirms the address.
set_settings "checkminutes=$(old_minute)"
check "an old confirmation makes the next pass ask the IP-check server" wait_until 10 requests_are 3
check "... only that ($(target 3))" test "$(target 3)" == /ipcheck.asp
check "... which writes checkminutes again" wait_until 3 checked_recently
check "... and sends no update" test "$(sleep 2.5; requests)" -eq 3

# A stale update: the next pass sends again, not as a first update, for the same address.
set_settings "updatedminutes=$(old_minute)" "checkminutes=$(old_minute)"
check "a stale update makes the next pass update again" wait_until 10 requests_are 5
check "... without &uin=1 ($(target 5))" test "$(target 5)" == "$later_target"
check "... recorded" wait_until 5 recorded
check "... and the custom command did not run for the same address" commands_are 1

# Who may change the settings file, as Wine describes a Unix file: the owner's uid (Wine's user
# for the wineserver's own uid, else Anonymous Logon) and an entry for Everyone from the bits for
# others; the group's bits have no entry of their own.
chmod o+w "$settings"
new_address
check "a new address is sent" wait_until 10 requests_are 7
check "... recorded" wait_until 5 recorded
check "... but a settings file that others may write stops the custom command" commands_are 1
check "... with warning event 0x8000000C" wait_event_count 0x0002 0x8000000c 1
check "... naming Everyone" refusal_seen "S-1-1-0 may change it"

chmod o-w,g+w "$settings"
new_address
check "a group-writable settings file: Wine's descriptor has no entry for the group, the command runs" \
  wait_until 12 commands_are 2
check "... with no second warning" test "$(event_count 0x0002 0x8000000c)" -eq 1

chmod g-w "$settings"
chown 65534 "$settings"
new_address
check "a new address with a settings file of another Unix user is sent" wait_until 10 requests_are 11
check "... recorded" wait_until 5 recorded
check "... and stops the custom command" commands_are 2
check "... with a second warning" wait_event_count 0x0002 0x8000000c 2
check "... naming its owner, Anonymous Logon" refusal_seen "it is owned by S-1-5-7"

chown 0 "$settings"
new_address
check "once the file is root's and not writable by others, a new address runs the command" \
  wait_until 12 commands_are 3
check "... once" test "$(requests) $(sleep 1; commands_ran)" == "13 3"

# Commands in quotes, stored as the tray program stores them (one more pair of quotes in the
# file): a program path with spaces, then the same with quoted arguments, which makes more than
# the two quotes that cmd /c leaves in place.
mkdir -p "$program_dir/tools dir"
printf '@echo [%%*]>>C:\\quoted-ran.txt\r\n' >"$program_dir/tools dir/notify me.cmd"
notify='"C:\Program Files\Zelquo\tools dir\notify me.cmd"'
store_command() { local stored="\"$1\""; set_settings "command=${stored//\\/\\\\}"; }
quoted_ran_are() { [[ "$(tr -d '\r' 2>/dev/null <"$WINEPREFIX/drive_c/quoted-ran.txt" | tr '\n' ' ')" == "$1" ]]; }
store_command "$notify"
new_address
check "a quoted program path with spaces runs" wait_until 12 quoted_ran_are "[] "
wait_until 5 recorded
store_command "$notify \"first arg\" \"second arg\""
new_address
check "... and with quoted arguments, all kept" wait_until 12 quoted_ran_are '[] ["first arg" "second arg"] '

wine net stop ZelquoIUCSvc >/dev/null 2>&1
check "net stop after the updates succeeds" test $? -eq 0
check "the service reaches stopped" wait_state 1 5
check "... with a fourth stopped event" wait_event_count 0x0004 0x40000004 4

# --- What it logs of each answer ------------------------------------------------------------
# One start per row, one pass (the poll interval is ten minutes): the event's type and id, the
# update API's answer, what is configured, and how the event's insertion string begins (Wine's
# trace escapes its quotes).
events_above() { [[ $(event_count "$1" "$2") -gt $3 ]]; }  # events_above TYPE ID COUNT
stops=4
while IFS='|' read -r type id answer names text; do
  start_standin "$answer"
  if [[ $names == alias ]]; then
    names=(numofdomainnames=0 numofaliases=1 alias_alias1=www alias_domain_name1=home.example.net)
  else
    names=(numofdomainnames=1 domain_name1=home.example.net)
  fi
  printf '%s\r\n' '[Zelquo IP Update Client]' pollinterval=600 'password=n`^m`oI' "${names[@]}" >"$settings"
  before=$(event_count "$type" "$id")
  wine net start ZelquoIUCSvc >/dev/null 2>&1
  check "\"$answer\" is reported as event $type $id" wait_until 15 events_above "$type" "$id" "$before"
  check "... $text" grep -qF "eventlog:ReportEventW L\"${text//\"/\\\"}" "$session_log"
  wine net stop ZelquoIUCSvc >/dev/null 2>&1
  stops=$((stops + 1))
  wait_event_count 0x0004 0x40000004 "$stops"
  wait_state 1 5
done <<'ROWS'
0x0004|0x4000000e|good 203.0.113.77|host|home.example.net with 203.0.113.77, answer "good 203.0.113.77"
0x0004|0x4000000e|nochg|host|home.example.net with 203.0.113.77, answer "nochg"
0x0002|0x8000000f|badauth|host|home.example.net with 203.0.113.77, answer "badauth": [badauth] Authentication failed for domain name home.example.net. The stored password was cleared
0x0002|0x8000000f|nohost|host|home.example.net with 203.0.113.77, answer "nohost": [nohost]
0x0002|0x8000000f|abuse|host|home.example.net with 203.0.113.77, answer "abuse": [abuse]
0x0002|0x8000000f|notfqdn|host|home.example.net with 203.0.113.77, answer "notfqdn": [notfqdn]
0x0002|0x8000000f|numhost|host|home.example.net with 203.0.113.77, answer "numhost": [numhost]
0x0002|0x8000000f|!donator|host|home.example.net with 203.0.113.77, answer "!donator": [!donator]
0x0002|0x8000000f|noalias|alias|www.home.example.net with 203.0.113.77, answer "noalias": [noalias]
0x0002|0x80000011|911|host|home.example.net with 203.0.113.77, answer "911"; the provider is in maintenance, updates pause for 10 minutes
0x0002|0x80000012|oldversion|host|home.example.net with 203.0.113.77, answer "oldversion"
0x0001|0xc0000010|close|host|home.example.net with 203.0.113.77: Error
ROWS
kill "$standin_pid" 2>/dev/null
wait "$standin_pid" 2>/dev/null
standin_pid=

# --- Stops from each state of the loop ----------------------------------------------------
# Each stop is sent by stop-and-wait, which gives up as a careful controller does when the
# checkpoint stands still for longer than the wait hint; its time runs from the stop control
# to "stopped". The silent server holds the update request for 8 s before it hangs up, far
# beyond the wait hint; the command takes 5 s.
control_copy='C:\Program Files\Zelquo\zelquo-service-control.exe'
cp "$control_exe" "$program_dir/"
stop_times="$work/stop-times"
median_and_max() { sort -n | awk '{v[NR] = $1} END {if (NR) printf "median %d ms, max %d ms", v[int((NR + 1) / 2)], v[NR]}'; }
updates_sent() { grep -c $'\t/nic/update' "$record" 2>/dev/null; }
update_sent() { [[ $(updates_sent) -gt $updates_before ]]; }
for from in idle 911 silent command; do
  case $from in
    idle) start_standin 'good 203.0.113.77' ;;
    911) start_standin 911 ;;
    silent) start_standin 'delay=8000 close' ;;
    command) start_standin 'good 203.0.113.77' ;;
  esac
  : >"$stop_times"
  gave_up=0
  for ((i = 1; i <= stops_per_state; i++)); do
    printf '%s\r\n' '[Zelquo IP Update Client]' pollinterval=60 'password=n`^m`oI' numofdomainnames=1 \
      domain_name1=home.example.net "executecommand=$([[ $from == command ]] && echo 1 || echo 0)" \
      "command=\"$control_copy\" sleep 5000" >"$settings"
    updates_before=$(updates_sent)
    wine net start ZelquoIUCSvc >/dev/null 2>&1
    if ! wait_state 4 10 || ! wait_until 10 update_sent; then
      gave_up=$((gave_up + 1))
      echo "# stop from $from $i: the service did not get going"
    else
      if [[ $from == idle ]]; then wait_until 5 recorded; fi
      sleep 0.5
      reply=$(control stop-and-wait | tr -d '\r')
      echo "# stop from $from $i: $reply"
      if [[ "$reply" =~ ^stopped\ after\ ([0-9]+)\ ms$ ]]; then
        echo "${BASH_REMATCH[1]}" >>"$stop_times"
      else
        gave_up=$((gave_up + 1))
      fi
    fi
    wait_state 1 130 || { echo "# stop from $from $i: never stopped"; gave_up=$((gave_up + 1)); }
  done
  summary=$(median_and_max <"$stop_times")
  check "every stop from the $from state completed under a watching controller ($summary)" test "$gave_up" -eq 0
  case $from in
    idle) limit=2500 ;;      # the rest of a one-second tick, then the one-second stop delay
    911) limit=2500 ;;       # the stop ends the ten-minute pause
    silent) limit=10500 ;;   # the request ends when the server hangs up
    command) limit=7500 ;;   # the command ends
  esac
  check "... each within $limit ms" test "$(sort -n "$stop_times" | tail -n 1)" -le "$limit" 2>/dev/null
done
kill "$standin_pid" 2>/dev/null
wait "$standin_pid" 2>/dev/null
standin_pid=

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

zq_checks_passed
