#!/bin/bash
# How soon the Linux daemon sends a new address: with a ten-minute poll interval and this
# machine's own addresses as the detection method, an address changed on an interface must
# reach the stand-in provider within 5 s (the daemon hears of it from netlink); and a link
# that flaps every 100 ms must make no more than one extra pass per 30 s after the first.
#
#   tests/service/daemon-wake-tests.sh NATIVE_BUILD_DIR [CHANGES [FLAP_SECONDS]]
#
# CHANGES (5 by default) address changes are timed, each with a fresh start of the daemon, so
# that the 30-second limit on extra passes never delays one; FLAP_SECONDS (10 by default) of
# flapping are counted. The figures of a by-hand run are `... 100 60`, where a minute of flapping
# may make at most 3 extra passes.
#
# Everything runs in a network namespace of its own with a veth pair (the only interface with
# an address beyond loopback) and the stand-in provider on 127.0.0.1; a private /dev keeps the
# daemon's syslog lines from the machine's log.
set -u

if [[ $# -lt 1 || $# -gt 3 ]]; then
  echo "usage: $0 NATIVE_BUILD_DIR [CHANGES [FLAP_SECONDS]]" >&2
  exit 2
fi
build_dir=$(realpath "$1")
changes=${2:-5}
flap_seconds=${3:-10}
. "$(dirname "$(readlink -f "$0")")/service-script-lib.sh"
zq_require_root
zq_noon_clock
zq_enter_namespace "zelquo-wake-$$" "$0" "$build_dir" "$changes" "$flap_seconds"

program="$build_dir/service/zelquoiucsvc"
standin="$build_dir/tests/support/standin-provider"
zq_require_files "$program" "$standin"

work=$(mktemp -d /tmp/zelquo-wake.XXXXXX)
daemon_pid=
standin_pid=
flapper_pid=
cleanup() {
  [[ -n "$flapper_pid" ]] && kill "$flapper_pid" 2>/dev/null
  [[ -n "$daemon_pid" ]] && kill -KILL "$daemon_pid" 2>/dev/null
  [[ -n "$standin_pid" ]] && kill "$standin_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM
zq_private_dev

ip link add zq0 type veth peer name zq1
ip link set zq1 up
ip link set zq0 up
ip addr add 203.0.113.10/24 dev zq0
# The link-local IPv6 addresses that new links get a moment later are news too; let them come
# before the daemon starts, so that its first wake-up is the timed change's.
sleep 3

install_dir="$work/opt"
mkdir -p "$install_dir"
cp "$program" "$install_dir/"
settings="$install_dir/ZelquoIUC.ini"
record="$work/provider.record"
printf '%s\n' '/nic/update 200 good 198.51.100.1' >"$work/provider.script"
zq_start_standin "$standin" "$work/provider.script" "$record" "$work/provider.ready"
check "the stand-in provider listens" test -s "$work/provider.ready"

# ipmethod 0: the interfaces' own addresses. The provider's "good" names another address, so
# every pass finds the address changed and sends: the stand-in's record counts the passes.
write_settings() {
  printf '%s\n' '[Zelquo IP Update Client]' pollinterval=600 ipmethod=0 'password=n`^m`oI' \
    numofdomainnames=1 domain_name1=home.example.net >"$settings"
}
# The record only grows (the stand-in appends); a phase looks at what came after its baseline.
base=0
baseline() { base=$(wc -l <"$record"); }
new_lines() { tail -n +$((base + 1)) "$record"; }
updates() { new_lines | grep -c $'\t/nic/update'; }
sent_address() { new_lines | cut -f3 | grep -q "myip=$1\($\|&\)"; }
start_daemon() {
  "$install_dir/zelquoiucsvc" &
  daemon_pid=$!
}
stop_daemon() {
  kill -TERM "$daemon_pid" 2>/dev/null
  wait "$daemon_pid" 2>/dev/null
  daemon_pid=
}
now_ms() { echo $(($(date +%s%N) / 1000000)); }

# --- An address change, timed ---------------------------------------------------------------
times="$work/times"
: >"$times"
late=0
address=10
for ((i = 1; i <= changes; i++)); do
  baseline
  write_settings
  start_daemon
  if ! wait_until 5 sent_address "203.0.113.$address"; then
    echo "# change $i: the first pass did not send 203.0.113.$address"
    late=$((late + 1))
    stop_daemon
    continue
  fi
  sleep 0.3
  next=$((address == 10 ? 11 : 10))
  baseline
  # Removed first: removing a subnet's primary address removes its secondaries with it.
  changed=$(now_ms)
  ip addr del "203.0.113.$address/24" dev zq0
  ip addr add "203.0.113.$next/24" dev zq0
  address=$next
  if wait_until 6 sent_address "203.0.113.$address"; then
    echo $(($(now_ms) - changed)) >>"$times"
  else
    echo "# change $i: 203.0.113.$address not sent within 6 s"
    late=$((late + 1))
  fi
  stop_daemon
done
summary=$(sort -n "$times" | awk '{v[NR] = $1} END {if (NR) printf "min %d ms, median %d ms, max %d ms", v[1], v[int((NR + 1) / 2)], v[NR]}')
echo "# $changes address changes: $summary"
check "every one of $changes address changes reached the stand-in ($summary)" test "$late" -eq 0
check "... each within 5 s" test "$(sort -n "$times" | tail -n 1)" -lt 5000 2>/dev/null

# --- A flapping link, counted ---------------------------------------------------------------
baseline
write_settings
start_daemon
first_sent() { [[ $(updates) -ge 1 ]]; }
check "the daemon sends its first pass's update" wait_until 5 first_sent
sleep 3
before=$(updates)
( while :; do ip link set zq1 down; sleep 0.05; ip link set zq1 up; sleep 0.05; done ) &
flapper_pid=$!
sleep "$flap_seconds"
kill "$flapper_pid"
wait "$flapper_pid" 2>/dev/null
flapper_pid=
# A wake-up may still be due up to 30 s after the one before, plus the settling time.
sleep $((flap_seconds < 30 ? 35 - flap_seconds : 5))
extra=$(($(updates) - before))
allowed=$(((flap_seconds + 29) / 30 + 1))
echo "# $flap_seconds s of flapping every 100 ms: $extra extra passes"
check "a link flapping every 100 ms for $flap_seconds s made $extra extra passes, at most $allowed" \
  test "$extra" -le "$allowed"
stop_daemon

zq_checks_passed
