#!/usr/bin/env bash
# Real route traces on a line of network namespaces:
#
#   client 192.0.2.2 --- 192.0.2.1 router 203.0.113.1   --- 203.0.113.10  target (answers echoes)
#                                         203.0.113.129 --- 203.0.113.130 mute   (ignores echoes)
#
# The router forwards and answers time-to-live 1 with "time exceeded", so a trace from the client
# has the router at hop 1 and the target at hop 2. The TraceNetnsTest cases of engine_test run in
# the client namespace, natively and (the Windows build) under Wine with a wineserver of their
# own, once for each way the client may send ICMP echoes:
#   raw       root with CAP_NET_RAW, datagram ICMP sockets not allowed (ping_group_range "1 0")
#   datagram  CAP_NET_RAW dropped, datagram ICMP sockets allowed for every group
#   noicmp    neither: the trace fails and the change check asks the IP-check server
#
# Usage: tests/netns/trace-tests.sh <native-build-dir> <windows-build-dir>
# A build folder without engine_test is skipped with a SKIP line. Exits non-zero when a case
# fails; prints a SKIP line and exits 0 where network namespaces cannot be made. With
# TRACE_TESTS_VERBOSE set, the output of passing cases is shown too.
set -uo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 <native-build-dir> <windows-build-dir>" >&2
  exit 2
fi
native_test="$1/tests/engine_test"
windows_test="$2/tests/engine_test.exe"
windows_prefix="$2/wineprefix"
wine_run="$(cd "$(dirname "$0")/../.." && pwd)/cmake/wine-run.sh"

router_near=192.0.2.1
client_address=192.0.2.2
router_far=203.0.113.1
target_address=203.0.113.10
router_mute=203.0.113.129
mute_address=203.0.113.130
target_name=target.trace.test

run_id="zqtr$$"
ns_client="$run_id-client"
ns_router="$run_id-router"
ns_target="$run_id-target"
ns_mute="$run_id-mute"
scratch=""
wine_prefix=""
passed=0
failed=0

skip() {
  echo "SKIP: trace-tests: $*"
  exit 0
}

stop_wine() {
  if [ -n "$wine_prefix" ] && [ -d "$wine_prefix" ]; then
    WINEPREFIX="$wine_prefix" wineserver -k >/dev/null 2>&1
    WINEPREFIX="$wine_prefix" wineserver -w >/dev/null 2>&1
  fi
}

cleanup() {
  stop_wine
  for ns in "$ns_client" "$ns_router" "$ns_target" "$ns_mute"; do
    ip netns del "$ns" >/dev/null 2>&1
  done
  rm -rf "/etc/netns/$ns_client"
  [ -n "$scratch" ] && rm -rf "$scratch"
}

[ "$(id -u)" -eq 0 ] || skip "network namespaces need root"
command -v ip >/dev/null || skip "no ip command"
ip netns add "$ns_client" >/dev/null 2>&1 || skip "network namespaces are not allowed here"
trap cleanup EXIT
trap 'exit 1' INT TERM

set -e
for ns in "$ns_router" "$ns_target" "$ns_mute"; do ip netns add "$ns"; done
in_ns() { local ns="$1"; shift; ip netns exec "$ns" "$@"; }

ip link add c0 netns "$ns_client" type veth peer name r0 netns "$ns_router"
ip link add t0 netns "$ns_target" type veth peer name r1 netns "$ns_router"
ip link add m0 netns "$ns_mute" type veth peer name r2 netns "$ns_router"
for ns in "$ns_client" "$ns_router" "$ns_target" "$ns_mute"; do in_ns "$ns" ip link set lo up; done

in_ns "$ns_client" ip addr add "$client_address/24" dev c0
in_ns "$ns_router" ip addr add "$router_near/24" dev r0
in_ns "$ns_router" ip addr add "$router_far/25" dev r1
in_ns "$ns_router" ip addr add "$router_mute/25" dev r2
in_ns "$ns_target" ip addr add "$target_address/25" dev t0
in_ns "$ns_mute" ip addr add "$mute_address/25" dev m0
in_ns "$ns_client" ip link set c0 up
for dev in r0 r1 r2; do in_ns "$ns_router" ip link set "$dev" up; done
in_ns "$ns_target" ip link set t0 up
in_ns "$ns_mute" ip link set m0 up
in_ns "$ns_client" ip route add default via "$router_near"
in_ns "$ns_target" ip route add default via "$router_far"
in_ns "$ns_mute" ip route add default via "$router_mute"

in_ns "$ns_router" sysctl -qw net.ipv4.ip_forward=1
# Every trace asks the router for three "time exceeded" answers; the kernel's ICMP rate limit
# would start dropping them after a few traces.
in_ns "$ns_router" sysctl -qw net.ipv4.icmp_ratelimit=0
in_ns "$ns_mute" sysctl -qw net.ipv4.icmp_echo_ignore_all=1

# Names inside the client namespace: the target by name, and no reachable name server, so that
# an unknown name fails at once.
mkdir -p "/etc/netns/$ns_client"
printf '127.0.0.1 localhost\n%s %s\n' "$target_address" "$target_name" >"/etc/netns/$ns_client/hosts"
printf 'nameserver 127.0.0.1\n' >"/etc/netns/$ns_client/resolv.conf"
set +e

trace_env=(ZELQUO_TRACE_ROUTER="$router_near" ZELQUO_TRACE_TARGET="$target_address"
           ZELQUO_TRACE_SILENT="$mute_address" ZELQUO_TRACE_TARGET_NAME="$target_name")

# run_case LABEL MODE FILTER CAPS-DROP COMMAND...: runs the gtest command in the client namespace
# with ZELQUO_NETNS=MODE; every selected case must pass, none may be skipped.
run_case() {
  local label="$1" mode="$2" filter="$3" drop="$4"
  shift 4
  local output
  local -a command=(env ZELQUO_NETNS="$mode" "${trace_env[@]}" "$@" --gtest_filter="$filter")
  if [ -n "$drop" ]; then
    command=(capsh --drop="$drop" -- -c 'exec "$@"' trace-case "${command[@]}")
  fi
  output="$(ip netns exec "$ns_client" "${command[@]}" 2>&1)"
  local status=$?
  if [ $status -eq 0 ] && grep -q '^\[  PASSED  \]' <<<"$output" && ! grep -q '^\[  SKIPPED \]' <<<"$output"; then
    echo "PASS: $label"
    [ -n "${TRACE_TESTS_VERBOSE:-}" ] && echo "$output" | sed 's/^/    /'
    passed=$((passed + 1))
  else
    echo "FAIL: $label (exit $status)"
    echo "$output" | sed 's/^/    /'
    failed=$((failed + 1))
  fi
}

reachable_cases='TraceNetnsTest.*-TraceNetnsTest.NoIcmp*'
noicmp_cases='TraceNetnsTest.NoIcmp*'

# Phase settings of the client namespace (the sysctl is per namespace).
allow_datagram_icmp() { in_ns "$ns_client" sysctl -qw net.ipv4.ping_group_range="0 2147483647"; }
forbid_datagram_icmp() { in_ns "$ns_client" sysctl -qw net.ipv4.ping_group_range="1 0"; }

if [ -x "$native_test" ]; then
  forbid_datagram_icmp
  run_case "native, raw socket" trace "$reachable_cases" "" "$native_test"
  run_case "native, no ICMP service" trace-noicmp "$noicmp_cases" cap_net_raw "$native_test"
  allow_datagram_icmp
  run_case "native, datagram socket" trace "$reachable_cases" cap_net_raw "$native_test"
else
  echo "SKIP: trace-tests: no $native_test"
fi

if [ -f "$windows_test" ] && command -v wine >/dev/null; then
  # A prefix of this run's own, so that its wineserver (which makes the sockets) starts inside
  # the client namespace. The build's prefix is linked rather than copied; the registry files,
  # which the wineserver rewrites, are copied.
  scratch="$(mktemp -d /tmp/zelquo-trace-XXXXXX)"
  wine_prefix="$scratch/wineprefix"
  if [ -d "$windows_prefix" ]; then
    cp -al "$windows_prefix" "$wine_prefix"
    for reg in "$windows_prefix"/*.reg; do cp --remove-destination "$reg" "$wine_prefix/"; done
  fi
  # Each phase needs a fresh wineserver: the ICMP sockets are made by Wine's device service,
  # which keeps the capabilities it started with.
  forbid_datagram_icmp
  run_case "wine, raw socket" trace "$reachable_cases" "" "$wine_run" "$wine_prefix" "$windows_test"
  stop_wine
  run_case "wine, no ICMP service" trace-noicmp "$noicmp_cases" cap_net_raw "$wine_run" "$wine_prefix" \
    "$windows_test"
  stop_wine
else
  echo "SKIP: trace-tests: no $windows_test (or no wine)"
fi

echo "trace-tests: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
