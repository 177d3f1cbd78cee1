#!/bin/bash
# Runs the Linux service program as systemd would, in the foreground, and drives it with signals:
# SIGUSR1 pauses, SIGUSR2 continues, SIGHUP ends the wait between passes, SIGTERM and SIGINT stop
# it between passes. Checks the
# life-cycle messages that reach syslog, then the updates it sends to a stand-in provider, what it
# records in its settings and when it runs the custom command.
#
#   tests/service/daemon-signal-tests.sh NATIVE_BUILD_DIR
#
# The program runs in a network namespace of its own (loopback only, no route anywhere else) whose
# /etc/hosts maps the provider's names to 127.0.0.1 and whose resolver is a closed loopback port,
# so no request and no name look-up leaves it. The mount namespace that `ip netns exec` makes gets
# a small tmpfs as /dev whose /dev/log is a datagram socket this script listens on, so the
# program's syslog(3) calls are received exactly as a syslog daemon would receive them.
set -u

if [[ $# -ne 1 ]]; then
  echo "usage: $0 NATIVE_BUILD_DIR" >&2
  exit 2
fi
build_dir=$(realpath "$1")
. "$(dirname "$(readlink -f "$0")")/service-script-lib.sh"
zq_require_root
zq_noon_clock
zq_enter_namespace "zelquo-daemon-$$" "$0" "$build_dir"

program="$build_dir/service/zelquoiucsvc"
standin="$build_dir/tests/support/standin-provider"
zq_require_files "$program" "$standin"

work=$(mktemp -d /tmp/zelquo-daemon.XXXXXX)
listener_pid=
daemon_pid=
standin_pid=
cleanup() {
  [[ -n "$daemon_pid" ]] && kill -KILL "$daemon_pid" 2>/dev/null
  [[ -n "$listener_pid" ]] && kill "$listener_pid" 2>/dev/null
  [[ -n "$standin_pid" ]] && kill "$standin_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# A /dev of our own with the nodes a program needs, and our socket as /dev/log.
zq_private_dev
syslog_file="$work/syslog.txt"
python3 - "$syslog_file" <<'PY' &
import os, socket, sys
sock = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
sock.bind("/dev/log")
os.chmod("/dev/log", 0o666)
with open(sys.argv[1], "ab", buffering=0) as out:
    out.write(b"#ready\n")
    while True:
        out.write(sock.recv(65536) + b"\n")
PY
listener_pid=$!
for _ in $(seq 50); do grep -q '#ready' "$syslog_file" 2>/dev/null && break; sleep 0.1; done

# Messages arrive as "<PRI>Mon dd hh:mm:ss zelquoiucsvc[PID]: text"; daemon facility (3 << 3)
# with info (6) is 30, with warning (4) 28, with error (3) 27.
messages() { sed -n 's/^<\([0-9]*\)>.* zelquoiucsvc\[[0-9]*\]: /\1 /p' "$syslog_file"; }
wait_message() {  # wait_message "PRI text" SECONDS
  local deadline=$((SECONDS + $2))
  while ((SECONDS <= deadline)); do
    messages | grep -qxF "$1" && return 0
    sleep 0.1
  done
  return 1
}
count_messages() { messages | grep -cxF "$1"; }
wait_count() {  # wait_count "PRI text" COUNT SECONDS
  local deadline=$((SECONDS + $3))
  while ((SECONDS <= deadline)); do
    [[ $(count_messages "$1") -ge $2 ]] && return 0
    sleep 0.1
  done
  return 1
}

# The program and its settings, as installed: root's, not writable by others.
install_dir="$work/opt"
mkdir -p "$install_dir"
chmod 755 "$work" "$install_dir"
cp "$program" "$install_dir/"
printf '[Zelquo IP Update Client]\npollinterval=2\n' >"$install_dir/ZelquoIUC.ini"

start_daemon() {
  "$install_dir/zelquoiucsvc" &
  daemon_pid=$!
}
stop_and_time() {  # stop_and_time SIGNAL: sends it; sets took (ms until the end) and status
  local started
  started=$(date +%s%N)
  kill -"$1" "$daemon_pid"
  wait "$daemon_pid"
  status=$?
  took=$((($(date +%s%N) - started) / 1000000))
  daemon_pid=
}

started='30 "Zelquo IP Update Service" started successfully.'
paused='30 "Zelquo IP Update Service" paused successfully.'
continued='30 "Zelquo IP Update Service" continued successfully.'
stopped='30 "Zelquo IP Update Service" stopped successfully.'
waiting='30 No account is configured; waiting for one (set it with "zelquoiuc account").'

start_daemon
check "the program starts and logs the started message" wait_message "$started" 3
check "without an account it says that it waits for one" wait_message "$waiting" 3
check "it empties updatedip at start" grep -qx 'updatedip=' "$install_dir/ZelquoIUC.ini"
kill -USR1 "$daemon_pid"
check "SIGUSR1 pauses it after the current wait" wait_message "$paused" 4
kill -USR2 "$daemon_pid"
check "SIGUSR2 continues it" wait_message "$continued" 3
sleep 0.5
stop_and_time TERM
check "SIGTERM during the wait stops it within 2 s (took $took ms)" test "$took" -lt 2000
check "... with exit status 0" test "$status" -eq 0
check "... and the stopped message" wait_message "$stopped" 1

start_daemon
check "started again" wait_count "$started" 2 3
# Its first pass comes before the pause, so that this start's wait for an account is logged too.
check "... and says again that it waits for an account" wait_count "$waiting" 2 5
kill -USR1 "$daemon_pid"
check "paused again" test "$(sleep 3; count_messages "$paused")" -eq 2
stop_and_time INT
check "SIGINT stops a paused program (took $took ms, status $status)" test "$status" -eq 0
check "... with a second stopped message" test "$(sleep 0.2; count_messages "$stopped")" -eq 2
check "... and no continued message for the stop" test "$(count_messages "$continued")" -eq 1

check "nothing but life-cycle messages and one wait for an account per start reached syslog" \
  test "$(messages | grep -cvxF -e "$started" -e "$paused" -e "$continued" -e "$stopped")" \
  -eq "$(count_messages "$waiting")" -a "$(count_messages "$waiting")" -eq 2

# The usage text goes to standard output; install is the unit file's job.
check "-help prints the usage text" test "$("$install_dir/zelquoiucsvc" -HELP)" == \
  "$(printf 'Zelquo IP Update Service v4.43\nUsage: ZelquoIUCSvc [-install | -uninstall | -help]')"
"$install_dir/zelquoiucsvc" -install 2>/dev/null
check "-install fails and points to the unit file" test $? -eq 1

# --- Updates to the stand-in provider --------------------------------------------------------
check "the namespace has no route beyond loopback" bash -c '! ip -4 route get 203.0.113.77 >/dev/null 2>&1'

# The provider: its IP-check servers see 203.0.113.77, its update API accepts every update.
printf '%s\n' '/ipcheck.asp 200 ip203.0.113.77' '/nic/update 200 good 203.0.113.77' >"$work/provider.script"
record="$work/provider.record"
zq_start_standin "$standin" "$work/provider.script" "$record" "$work/provider.ready"
check "the stand-in provider listens on ports 80 and 8245" \
  test "$(cat "$work/provider.ready" 2>/dev/null | tr '\n' ' ')" == "80 8245 "

settings="$install_dir/ZelquoIUC.ini"
command_log="$work/command-ran.txt"
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
setting() { sed -n "s/^$1=//p" "$settings"; }
# set_settings KEY=VALUE...: holds the lock the program takes for its own writes.
set_settings() {
  local expressions=() pair
  for pair in "$@"; do expressions+=(-e "s|^${pair%%=*}=.*|$pair|"); done
  with_settings_lock "$settings" sed -i "${expressions[@]}" "$settings"
}
requests() { wc -l <"$record"; }
target() { sed -n "${1}p" "$record" | cut -f3; }
request_port() { sed -n "${1}p" "$record" | cut -f1; }
requests_are() { [[ $(requests) -eq $1 ]]; }
recorded() {  # recorded: the cycle's record is complete (checkminutes is written last)
  [[ "$(setting updatedip)" == 203.0.113.77 ]] && checked_recently
}
commands_ran() { [[ -f "$command_log" ]] && wc -l <"$command_log" || echo 0; }
commands_are() { [[ $(commands_ran) -eq $1 ]]; }
checked_recently() { recent_minute "$(setting checkminutes)"; }
refused="28 The custom command was not run: \"$(realpath "$settings")\" may be changed by users other than root (writable by its group)."
first_target="/nic/update?ver=4.43&hostname=home.example.net&password=$digest&myip=203.0.113.77&uin=1"
later_target="/nic/update?ver=4.43&hostname=home.example.net&password=$digest&myip=203.0.113.77"

# As a previous run leaves it: this address recorded this minute, which alone would need no
# update; only the emptying at start makes the first cycle send, as a first update. The password
# comes only once the program runs: until then it waits for an account, quietly.
now=$(minute_now)
printf '%s\n' '[Zelquo IP Update Client]' pollinterval=2 'password=' numofdomainnames=1 \
  domain_name1=home.example.net executecommand=1 "command=echo ran >>$command_log" \
  updatedip=203.0.113.77 "updatedminutes=$now" "checkminutes=$now" >"$settings"
chmod 644 "$settings"

start_daemon
check "started with a provider" wait_count "$started" 3 3
check "... it waits for the missing password" wait_count "$waiting" 3 5
check "... and three passes later it has sent nothing and said so only once" \
  test "$(sleep 4.5; requests) $(count_messages "$waiting")" == "0 3"
set_settings 'password=n`^m`oI'
check "the first cycle asks the IP-check server and sends one update" wait_until 10 requests_are 2
check "... the IP-check server first, on 8245 ($(target 1))" \
  test "$(request_port 1) $(target 1)" == "8245 /ipcheck.asp"
check "... by its name" grep -q $'\tHost: ip1.zelquo.net:8245' <(sed -n 1p "$record")
check "... then the host update on 80, as a first update ($(target 2))" \
  test "$(request_port 2) $(target 2)" == "80 $first_target"
check "... to the update API by its name" grep -q $'\tHost: dynupdate.zelquo.net' <(sed -n 2p "$record")
check "the good answer is recorded: updatedip and both minutes" wait_until 5 recorded
check "... updatedminutes is this minute of the day" recent_minute "$(setting updatedminutes)"
check "the custom command ran once, on the first good answer" test "$(commands_ran)" -eq 1

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
check "... and the custom command did not run for the same address" test "$(commands_ran)" -eq 1

# A new address with a settings file that its group may change: the command is refused.
chmod g+w "$settings"
set_settings updatedip=203.0.113.1 "updatedminutes=$(old_minute)" "checkminutes=$(old_minute)"
check "a new address is sent" wait_until 10 requests_are 7
check "... recorded" wait_until 5 recorded
check "... but a group-writable settings file stops the custom command" test "$(commands_ran)" -eq 1
check "... with a warning to syslog" wait_message "$refused" 2

chmod g-w "$settings"
set_settings updatedip=203.0.113.1 "updatedminutes=$(old_minute)" "checkminutes=$(old_minute)"
check "once only root may change it again, a new address runs the command" \
  wait_until 12 commands_are 2
check "... once" test "$(requests) $(sleep 1; commands_ran)" == "9 2"
check "the settings file kept its owner and mode through the writes" \
  test "$(stat -c '%u %a' "$settings")" == "0 644"

stop_and_time TERM
check "SIGTERM stops it (status $status)" test "$status" -eq 0
check "... with a third stopped message" test "$(sleep 0.2; count_messages "$stopped")" -eq 3
good_sent='30 Update sent: home.example.net with 203.0.113.77, answer "good 203.0.113.77"'
check "each good answer for the same name and address was logged once: repeats are folded" \
  test "$(count_messages "$good_sent")" -eq 1
check "beyond the life cycle and the waits for an account: that update, then the warning" \
  test "$(messages | grep -vxF -e "$started" -e "$paused" -e "$continued" -e "$stopped" -e "$waiting" | tr '\n' '|')" \
  == "$good_sent|$refused|"

# SIGHUP ends the wait between passes: with a ten-minute poll interval, fresh-update keys written
# by hand wait for the next pass until the signal comes; then the update goes out at once.
set_settings pollinterval=600
before=$(requests)
start_daemon
check "started with a ten-minute poll interval" wait_count "$started" 4 3
check "its first pass sends an update" wait_until 10 requests_are $((before + 2))
check "... recorded" wait_until 5 recorded
set_settings updatedip= updatedminutes=0 checkminutes=0
check "fresh-update keys alone send nothing during the wait" test "$(sleep 2; requests)" -eq $((before + 2))
kill -HUP "$daemon_pid"
check "SIGHUP makes the next pass send the update within seconds" wait_until 4 requests_are $((before + 4))
check "... and the daemon runs on" kill -0 "$daemon_pid"
stop_and_time TERM
check "SIGTERM stops it afterwards (status $status)" test "$status" -eq 0

# A "911" answer pauses the cycle for ten minutes; a stop ends that pause.
kill "$standin_pid" 2>/dev/null
wait "$standin_pid" 2>/dev/null
printf '%s\n' '/ipcheck.asp 200 ip203.0.113.77' '/nic/update 200 911' >"$work/provider.script"
zq_start_standin "$standin" "$work/provider.script" "$record" "$work/provider.ready"
start_daemon
check "a provider in maintenance answers the first update with 911" wait_until 10 requests_are 2
sleep 0.5
stop_and_time TERM
check "SIGTERM during the 911 pause stops it within 2 s (took $took ms, status $status)" test "$took" -lt 2000

# A stop does not wait for an exchange or a custom command under way. stop_within gives up (and
# kills the program) after 10 s, so that a stop that hangs fails the check instead of the script.
stop_within() {  # stop_within SIGNAL: as stop_and_time
  local started
  started=$(date +%s%N)
  kill -"$1" "$daemon_pid"
  for _ in $(seq 100); do kill -0 "$daemon_pid" 2>/dev/null || break; sleep 0.05; done
  kill -KILL "$daemon_pid" 2>/dev/null
  wait "$daemon_pid"
  status=$?
  took=$((($(date +%s%N) - started) / 1000000))
  daemon_pid=
}
restart_standin() {  # restart_standin RULE...: the stand-in with these rules
  kill "$standin_pid" 2>/dev/null
  wait "$standin_pid" 2>/dev/null
  printf '%s\n' "$@" >"$work/provider.script"
  zq_start_standin "$standin" "$work/provider.script" "$record" "$work/provider.ready"
}
restart_standin '/ipcheck.asp 200 ip203.0.113.77' '/nic/update 200 silent'
set_settings pollinterval=2 updatedip= updatedminutes=0 checkminutes=0
start_daemon
check "a provider that never answers holds the update" wait_until 10 requests_are 2
sleep 0.5
stop_within TERM
check "SIGTERM during that request stops it within 2 s (took $took ms, status $status)" \
  test "$took" -lt 2000 -a "$status" -eq 0

restart_standin '/ipcheck.asp 200 ip203.0.113.77' '/nic/update 200 trickle=400 good 203.0.113.77'
start_daemon
check "a provider that trickles its answer is being read" wait_until 10 requests_are 2
sleep 1
stop_within TERM
check "SIGTERM during a trickling answer stops it within 2 s (took $took ms, status $status)" \
  test "$took" -lt 2000 -a "$status" -eq 0

restart_standin '/ipcheck.asp 200 ip203.0.113.77' '/nic/update 200 good 203.0.113.42'
sleeper_pid_file="$work/sleeper.pid"
set_settings "command=echo \$\$ >$sleeper_pid_file; exec sleep 60"
start_daemon
check "a custom command that sleeps for a minute is running" wait_until 10 test -s "$sleeper_pid_file"
sleeper_pid=$(cat "$sleeper_pid_file")
stop_within INT
check "SIGINT while it runs stops the program within 2 s (took $took ms, status $status)" \
  test "$took" -lt 2000 -a "$status" -eq 0
check "... and ends the command" wait_until 2 bash -c "! kill -0 $sleeper_pid 2>/dev/null"

# --- What it logs of each answer ------------------------------------------------------------
# One start per row, one pass (the poll interval is ten minutes): the IP-check server's answer,
# the update API's, what is configured, and the line that must reach syslog (whole, or its start
# when it ends in "...").
line_starting() { messages | awk -v p="$1" 'index($0, p) == 1 {found = 1} END {exit !found}'; }
while IFS='|' read -r ip_answer update_answer names expected; do
  restart_standin "/ipcheck.asp 200 $ip_answer" "/nic/update 200 $update_answer"
  if [[ $names == alias ]]; then
    names=(numofdomainnames=0 numofaliases=1 alias_alias1=www alias_domain_name1=home.example.net)
  elif [[ $names == ipv6 ]]; then  # IPv6 asked for, in a namespace that has none
    names=(numofdomainnames=1 domain_name1=home.example.net updateipv6=1)
  else
    names=(numofdomainnames=1 domain_name1=home.example.net)
  fi
  printf '%s\n' '[Zelquo IP Update Client]' pollinterval=600 'password=n`^m`oI' "${names[@]}" >"$settings"
  start_daemon
  if [[ $expected == *... ]]; then
    check "\"$update_answer\" is logged: ${expected:0:90}" wait_until 8 line_starting "${expected%...}"
  else
    check "\"$update_answer\" is logged: ${expected:0:90}" wait_message "$expected" 8
  fi
  stop_within TERM
done <<'ROWS'
ip203.0.113.77|good 203.0.113.77|host|30 Update sent: home.example.net with 203.0.113.77, answer "good 203.0.113.77"
ip203.0.113.77|nochg|host|30 Update sent: home.example.net with 203.0.113.77, answer "nochg"
ip203.0.113.77|badauth|host|28 Update not done: home.example.net with 203.0.113.77, answer "badauth": [badauth] Authentication failed for domain name home.example.net. The stored password was cleared; no update is sent until it is entered again.
ip203.0.113.77|nohost|host|28 Update not done: home.example.net with 203.0.113.77, answer "nohost": [nohost] Domain name home.example.net is invalid!...
ip203.0.113.77|abuse|host|28 Update not done: home.example.net with 203.0.113.77, answer "abuse": [abuse]...
ip203.0.113.77|notfqdn|host|28 Update not done: home.example.net with 203.0.113.77, answer "notfqdn": [notfqdn]...
ip203.0.113.77|numhost|host|28 Update not done: home.example.net with 203.0.113.77, answer "numhost": [numhost]...
ip203.0.113.77|!donator|host|28 Update not done: home.example.net with 203.0.113.77, answer "!donator": [!donator]...
ip203.0.113.77|noalias|alias|28 Update not done: www.home.example.net with 203.0.113.77, answer "noalias": [noalias] Alias www.home.example.net does not exist!...
ip203.0.113.77|911|host|28 Updates paused: home.example.net with 203.0.113.77, answer "911"; the provider is in maintenance, updates pause for 10 minutes
ip203.0.113.77|oldversion|host|28 The provider calls this client outdated: home.example.net with 203.0.113.77, answer "oldversion"
ip203.0.113.77|close|host|27 Update failed: home.example.net with 203.0.113.77: Error...
no address here|good 203.0.113.5|host|28 Address detection failed: no address found; the update goes without one and the provider takes the sender's
ip203.0.113.77|good 203.0.113.77|ipv6|28 Address detection failed: no usable IPv6 address found; the update goes without one
ROWS

zq_checks_passed
