#!/usr/bin/env bash
# The IPv6 update end to end: real interface addresses of every kind on a veth pair inside a
# namespace, and what the console utility (native, and the .exe under Wine), the Linux daemon and
# the Windows service under Wine send to the stand-in provider. One stand-in on 127.0.0.1 takes the updates and the IPv4 checks;
# a second on ::1 answers the IPv6 checks, so each side's answer is known.
#   ipv6-tests.sh NATIVE_BUILD WINDOWS_BUILD
set -uo pipefail
here=$(dirname "$(readlink -f "$0")")
native=$(readlink -f "$1")
ZQ_WINDOWS_BUILD=$(readlink -f "$2")
source "$here/netns-lib.sh"

ns=zq-v6-$$
zq_netns_add "$ns" || exit 1
cat > "/etc/netns/$ns/hosts" <<HOSTS
127.0.0.1 localhost
127.0.0.1 dynupdate.zelquo.net ip1.zelquo.net ip2.zelquo.net
::1 ip1.zelquo.net ip2.zelquo.net
HOSTS
ip -n "$ns" link add zq0 type veth peer name zq1
ip -n "$ns" link set zq0 up
ip -n "$ns" link set zq1 up
ip -n "$ns" addr add 192.0.2.10/24 dev zq0
# Duplicate detection on zq1 runs for 100 s, so an address added there with "dad" stays tentative.
ip netns exec "$ns" sysctl -qw net.ipv6.conf.zq1.dad_transmits=100
# The interface with the lower index wins among equal stable addresses.
if [[ $(ip -n "$ns" -o link show zq0 | cut -d: -f1) -lt $(ip -n "$ns" -o link show zq1 | cut -d: -f1) ]]; then
  low=zq0 high=zq1
else
  low=zq1 high=zq0
fi

work=$(mktemp -d /tmp/zq-v6.XXXXXX)
pids=()
svc_installed=
cleanup_v6() {
  local pid
  # The prefix is shared with the other Windows tests: no service may stay behind in it.
  if [[ -n "$svc_installed" ]]; then
    ip netns exec "$ns" env WINEPREFIX="$ZQ_WINDOWS_BUILD/wineprefix" WINEDEBUG=-all wine net stop ZelquoIUCSvc
    ip netns exec "$ns" env WINEPREFIX="$ZQ_WINDOWS_BUILD/wineprefix" WINEDEBUG=-all wine "$svc_installed" -uninstall
  fi >/dev/null 2>&1
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
  rm -rf "$work"
  zq_cleanup
}
trap cleanup_v6 EXIT

passed=0
failed=0
fail() {
  echo "FAIL [$flavour] $case_name: $*"
  failed=$((failed + 1))
  case_failed=1
}

# start_servers V6-CHECK-ANSWER [UPDATE-ANSWER]: fresh stand-ins; updates are answered nochg
# unless said otherwise.
start_servers() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
  pids=()
  printf '%s\n' '/ipcheck.asp 200 ip203.0.113.77' "/nic/update 200 ${2:-nochg}" > "$work/script4"
  printf '%s\n' "/ipcheck.asp 200 $1" > "$work/script6"
  rm -f "$work/ready4" "$work/ready6"
  ip netns exec "$ns" "$native/tests/support/standin-provider" --listen 127.0.0.1:80 --listen 127.0.0.1:8245 \
    --script "$work/script4" --record "$work/record4" --ready "$work/ready4" &
  pids+=($!)
  ip netns exec "$ns" "$native/tests/support/standin-provider" --listen '[::1]:80' --listen '[::1]:8245' \
    --script "$work/script6" --record "$work/record6" --ready "$work/ready6" &
  pids+=($!)
  for _ in $(seq 100); do [[ -f "$work/ready4" && -f "$work/ready6" ]] && return 0; sleep 0.05; done
  echo "the stand-in providers did not start"
  exit 1
}

# addresses ENTRY...: replaces every address on zq0 and zq1; each ENTRY is "DEV ADDRESS [OPTIONS]"
# as for ip -6 addr add. nodad is added unless the options say dad.
addresses() {
  ip -n "$ns" -6 addr flush dev zq0 scope global
  ip -n "$ns" -6 addr flush dev zq1 scope global
  local entry dev address options
  for entry in "$@"; do
    read -r dev address options <<<"$entry"
    if [[ " $options " == *" dad "* ]]; then
      options=${options/dad/}
    else
      options="$options nodad"
    fi
    # shellcheck disable=SC2086
    ip -n "$ns" -6 addr add "$address" dev "$dev" $options
  done
}

MD5_SECRET=$(printf '%s' secret | md5sum | cut -d' ' -f1)
section='[Zelquo IP Update Client]'
account="$section
username=alice
password=n\`^m\`oI
"
nochg='[nochg] IP address was not updated due to no change.'
none_line='No usable IPv6 address found; updating without one.'
# The account request by method: client side sends the interface's IPv4 address, server side the
# checked one, both none (the server sees an address this machine does not hold).
base_url="/nic/update?ver=4.41&uin=1&username=alice&password=$MD5_SECRET"
client_url="$base_url&myip=192.0.2.10"
server_url="$base_url&myip=203.0.113.77"

# run_case NAME SETTINGS EXPECTED-OUTPUT EXPECTED-TARGET: one console run of the account request.
run_case() {
  case_name=$1
  case_failed=0
  local dir="$work/$flavour-$passed-$failed"
  mkdir -p "$dir"
  cp "$program" "$dir/"
  printf '%s' "$2" > "$dir/ZelquoIUC.ini"
  local before
  before=$(wc -l < "$work/record4")
  if [[ $flavour == wine ]]; then
    ip netns exec "$ns" env WINEPREFIX="$ZQ_WINDOWS_BUILD/wineprefix" WINEDEBUG=-all \
      wine "$dir/$(basename "$program")" >"$dir/stdout" 2>"$dir/stderr"
  else
    ip netns exec "$ns" "$dir/$(basename "$program")" >"$dir/stdout" 2>"$dir/stderr"
  fi
  local got expected targets
  got=$(tr -d '\r' < "$dir/stdout")
  expected=$(printf '%s' "$3" | tr -d '\r')
  [[ "$got" == "$expected" ]] || fail "output
  got:      $(printf '%q' "$got")
  expected: $(printf '%q' "$expected")"
  targets=$(tail -n +$((before + 1)) "$work/record4" | cut -f3 | grep -v '^/ipcheck.asp')
  [[ "$targets" == "$4" ]] || fail "request
  got:      $(printf '%q' "$targets")
  expected: $(printf '%q' "$4")"
  [[ $case_failed -eq 1 ]] || passed=$((passed + 1))
}

client="${account}ipmethod=0
"
on="updateipv6=1
"

console_cases() {
  start_servers 'ip2001:db8:ff::1'
  # Every kind that must never go out, beside one global stable address. Wine reports neither
  # duplicate detection nor lifetimes (every address looks preferred for 60000 s), so under Wine
  # only the kinds of address are told apart.
  if [[ $flavour == wine ]]; then
    addresses "$high 2001:db8:1::10/64" "$high fd00::10/64" "$low fe80::10/64"
  else
    addresses 'zq0 2001:db8:1::10/64' 'zq0 fd00::10/64' 'zq0 fe80::10/64' \
      'zq0 2001:db8:3::1/64 preferred_lft 0' 'zq1 2001:db8:4::1/64 dad'
  fi
  run_case "setting off: the request and the output as before" "$client" "$nochg" "$client_url"
  run_case "client side: the one usable address" "$client$on" "$nochg" "$client_url&myipv6=2001:db8:1::10"
  run_case "the ignore list passes over it" "$client${on}numofignoreip=1
ignoreip1=2001:db8:1::
" "$none_line
$nochg" "$client_url"

  # Several stable addresses: the longest preferred lifetime, then the lowest interface index.
  if [[ $flavour != wine ]]; then
    addresses "$low 2001:db8:20::1/64 preferred_lft 3000 valid_lft 6000" \
      "$low 2001:db8:21::1/64 preferred_lft 600 valid_lft 6000" "$high 2001:db8:22::1/64"
    run_case "several stable: the longest preferred lifetime" "$client$on" "$nochg" "$client_url&myipv6=2001:db8:22::1"
  fi
  addresses "$high 2001:db8:30::1/64" "$low 2001:db8:31::1/64" "$low 2001:db8:32::1/64"
  run_case "several stable: the lowest interface index, then the lowest address" "$client$on" "$nochg" \
    "$client_url&myipv6=2001:db8:31::1"

  server_side="${account}ipmethod=1
"
  run_case "server side: the IPv6 check's answer" "$server_side$on" "$nochg" "$server_url&myipv6=2001:db8:ff::1"
  run_case "both: the server's answer is no address of this machine" "${account}ipmethod=2
$on" "$none_line
$nochg" "$base_url"
  addresses 'zq0 2001:db8:ff::1/64' 'zq0 2001:db8:1::10/64'
  run_case "both: the server's answer is one of this machine's" "${account}ipmethod=2
$on" "$nochg" "$base_url&myipv6=2001:db8:ff::1"
  start_servers '<html>captive portal</html>'
  run_case "server side: a check server answering garbage" "$server_side$on" "$none_line
$nochg" "$server_url"
}

flavour=native
program="$native/cli/zelquoipupdate"
# A privacy address beside its stable base: the kernel makes it for a mngtmpaddr address.
ip netns exec "$ns" sysctl -qw net.ipv6.conf.zq0.use_tempaddr=2
start_servers 'ip2001:db8:ff::1'
addresses 'zq0 2001:db8:2::1/64 mngtmpaddr preferred_lft 3000 valid_lft 6000'
case_name="the kernel made a temporary address"
case_failed=0
if ip -n "$ns" -6 addr show dev zq0 temporary | grep -q 'inet6 2001:db8:2:'; then
  run_case "stable before temporary" "$client$on" "$nochg" "$client_url&myipv6=2001:db8:2::1"
else
  fail "no temporary address beside 2001:db8:2::1"
fi
console_cases

# updates_since LINE: the update targets recorded after that many lines of the record.
updates_since() { tail -n +$(($1 + 1)) "$work/record4" | cut -f3 | grep '^/nic/update'; }
wait_updates() {  # wait_updates LINE COUNT
  for _ in $(seq 150); do [[ $(updates_since "$1" | wc -l) -ge $2 ]] && return 0; sleep 0.1; done
  return 1
}
account_url443="/nic/update?ver=4.43&username=alice&password=$MD5_SECRET&myip=192.0.2.10"

# The Windows service under Wine's service manager: its first cycle sends the IPv6 address, and
# a change of it alone makes a later pass send again.
wine_service_case() {
  flavour=wine-service
  case_name="the service follows an IPv6-only change"
  case_failed=0
  local wine=(ip netns exec "$ns" env WINEPREFIX="$ZQ_WINDOWS_BUILD/wineprefix" WINEDEBUG=-all wine)
  local svc_dir="$work/service" before
  # The manager's state of the service (1 stopped, 4 running), empty once it is gone.
  svc_state() { "${wine[@]}" sc query ZelquoIUCSvc 2>/dev/null | tr -d '\r' | awk '/STATE/ {print $3}'; }
  # A service deleted while its process still ran stays "marked for deletion" until it ends, and
  # a new install fails meanwhile: wait for each stop and removal to be complete.
  wait_svc_state() {  # wait_svc_state STATE ("" for gone)
    for _ in $(seq 100); do [[ "$(svc_state)" == "$1" ]] && return 0; sleep 0.2; done
    return 1
  }
  mkdir -p "$svc_dir"
  cp "$ZQ_WINDOWS_BUILD/service/zelquoiucsvc.exe" "$svc_dir/"
  printf '%s' "${client}${on}pollinterval=2
" | sed 's/$/\r/' > "$svc_dir/ZelquoIUC.ini"
  start_servers 'ip2001:db8:ff::1' 'good 192.0.2.10'
  addresses 'zq0 2001:db8:1::10/64'
  before=$(wc -l < "$work/record4")
  "${wine[@]}" "$svc_dir/zelquoiucsvc.exe" -install >"$work/install.log" 2>&1 || { fail "-install failed"; cat "$work/install.log"; }
  svc_installed="$svc_dir/zelquoiucsvc.exe"
  "${wine[@]}" net start ZelquoIUCSvc >/dev/null 2>&1 || fail "net start failed"
  wait_updates "$before" 1 || fail "no first update"
  [[ "$(updates_since "$before" | sed -n 1p)" == "$account_url443&myipv6=2001:db8:1::10&uin=1" ]] ||
    fail "first update: $(updates_since "$before" | sed -n 1p)"
  sleep 3
  [[ $(updates_since "$before" | wc -l) -eq 1 ]] || fail "an unchanged pass sent: $(updates_since "$before" | tail -1)"
  tr -d '\r' < "$svc_dir/ZelquoIUC.ini" | grep -qx 'updatedipv6=2001:db8:1::10' || fail "updatedipv6 not recorded"
  addresses 'zq0 2001:db8:1::20/64'
  wait_updates "$before" 2 || fail "no update after the IPv6 change"
  [[ "$(updates_since "$before" | sed -n 2p)" == "$account_url443&myipv6=2001:db8:1::20" ]] ||
    fail "second update: $(updates_since "$before" | sed -n 2p)"
  "${wine[@]}" net stop ZelquoIUCSvc >/dev/null 2>&1
  wait_svc_state 1 || fail "the service did not stop"
  "${wine[@]}" "$svc_dir/zelquoiucsvc.exe" -uninstall >/dev/null 2>&1 || fail "-uninstall failed"
  wait_svc_state "" || fail "the service was not removed"
  svc_installed=
  [[ $case_failed -eq 1 ]] || passed=$((passed + 1))
}

if [[ -f "$ZQ_WINDOWS_BUILD/cli/zelquoipupdate.exe" ]]; then
  flavour=wine
  program="$ZQ_WINDOWS_BUILD/cli/zelquoipupdate.exe"
  ip netns exec "$ns" env WINEPREFIX="$ZQ_WINDOWS_BUILD/wineprefix" wineserver -p
  console_cases
  [[ -f "$ZQ_WINDOWS_BUILD/service/zelquoiucsvc.exe" ]] && wine_service_case
  ip netns exec "$ns" env WINEPREFIX="$ZQ_WINDOWS_BUILD/wineprefix" wineserver -k
fi

# The daemon: a change of the IPv6 address alone makes its next pass send an update.
flavour=daemon
case_name="the daemon follows an IPv6-only change"
case_failed=0
start_servers 'ip2001:db8:ff::1' 'good 192.0.2.10'
addresses 'zq0 2001:db8:1::10/64'
install_dir="$work/daemon"
mkdir -p "$install_dir"
cp "$native/service/zelquoiucsvc" "$install_dir/"
printf '%s' "${client}${on}pollinterval=3600
" > "$install_dir/ZelquoIUC.ini"
before=$(wc -l < "$work/record4")
ip netns exec "$ns" "$install_dir/zelquoiucsvc" &
daemon_pid=$!
pids+=("$daemon_pid")
wait_updates "$before" 1 || fail "no first update"
[[ "$(updates_since "$before" | sed -n 1p)" == "$account_url443&myipv6=2001:db8:1::10&uin=1" ]] ||
  fail "first update: $(updates_since "$before" | sed -n 1p)"
sleep 0.3
grep -qx 'updatedipv6=2001:db8:1::10' "$install_dir/ZelquoIUC.ini" || fail "updatedipv6 not recorded"
# The same address: the next pass confirms both and sends nothing.
kill -HUP "$daemon_pid"
sleep 1
[[ $(updates_since "$before" | wc -l) -eq 1 ]] || fail "an unchanged pass sent: $(updates_since "$before" | tail -1)"
addresses 'zq0 2001:db8:1::20/64'
kill -HUP "$daemon_pid"
wait_updates "$before" 2 || fail "no update after the IPv6 change"
[[ "$(updates_since "$before" | sed -n 2p)" == "$account_url443&myipv6=2001:db8:1::20" ]] ||
  fail "second update: $(updates_since "$before" | sed -n 2p)"
kill "$daemon_pid" 2>/dev/null
wait "$daemon_pid" 2>/dev/null
[[ $case_failed -eq 1 ]] || passed=$((passed + 1))

echo "ipv6-tests: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
