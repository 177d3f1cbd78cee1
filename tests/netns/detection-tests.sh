#!/usr/bin/env bash
# Client-side and server-side detection on real network cards, in network namespaces of their
# own. The DetectionNetnsTest cases of engine_test run inside each namespace, natively and (the
# Windows build) under Wine with a wineserver of their own, with ZELQUO_NETNS naming the scenario:
#
#   detection-cards     vc0 02:5a:00:00:00:01  203.0.113.9/24 and 192.168.1.20/24 (two on one card)
#                       vc1 44:45:53:54:00:00  198.18.0.99/24 (the MAC of the bytes "DEST")
#                       vc2 02:5a:00:00:00:02  172.15.0.1 172.16.0.1 172.31.255.1 172.32.0.1
#                                              169.254.3.4, all /16
#                       tn0 (tun, no MAC)      100.64.0.1/32
#                       host name zqd-cards, which the hosts file maps to 127.0.1.1 as a stock
#                       Debian or Ubuntu install does; no IP-check server is reachable
#   detection-loopback  loopback only; host name zqd-lo, mapped to 127.0.0.1 (with no card to
#                       answer from, Wine resolves the machine's own name through the hosts
#                       file, where Windows would answer with loopback)
#   detection-servers-fallback, detection-servers-primary
#                       standin-provider programs serve /ipcheck.asp at the production IP-check
#                       endpoints: ip1.zelquo.net and ip2.zelquo.net (198.51.100.31 and .32 by
#                       the hosts file) and the literal fallbacks 198.51.100.41 and .42, all on
#                       the namespace's loopback. Their records are checked after each run.
#
# The kernel refuses an all-zero MAC on a veth card; the loopback card (whose hardware address is
# all zero) stands for it. The veth peers live in a namespace of their own, so they stay out of
# the tables.
#
# Usage: tests/netns/detection-tests.sh <native-build-dir> <windows-build-dir>
# A build folder without engine_test is skipped with a SKIP line. Exits non-zero when a case
# fails; prints a SKIP line and exits 0 where network namespaces cannot be made. With
# DETECTION_TESTS_VERBOSE set, the output of passing cases is shown too.
set -uo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 <native-build-dir> <windows-build-dir>" >&2
  exit 2
fi
native_test="$1/tests/engine_test"
windows_test="$2/tests/engine_test.exe"
windows_prefix="$2/wineprefix"
provider="$1/tests/support/standin-provider"
wine_run="$(cd "$(dirname "$0")/../.." && pwd)/cmake/wine-run.sh"

run_id="zqdt$$"
ns_cards="$run_id-cards"
ns_loopback="$run_id-lo"
ns_fallback="$run_id-fallback"
ns_primary="$run_id-primary"
ns_peers="$run_id-peers"
all_namespaces=("$ns_cards" "$ns_loopback" "$ns_fallback" "$ns_primary" "$ns_peers")
scratch=""
wine_prefix=""
provider_pids=()
passed=0
failed=0

skip() {
  echo "SKIP: detection-tests: $*"
  exit 0
}

stop_wine() {
  if [ -n "$wine_prefix" ] && [ -d "$wine_prefix" ]; then
    WINEPREFIX="$wine_prefix" wineserver -k >/dev/null 2>&1
    WINEPREFIX="$wine_prefix" wineserver -w >/dev/null 2>&1
  fi
}

stop_providers() {
  local pid
  for pid in "${provider_pids[@]}"; do
    kill "$pid" >/dev/null 2>&1
    wait "$pid" >/dev/null 2>&1
  done
  provider_pids=()
}

cleanup() {
  stop_providers
  stop_wine
  local ns
  for ns in "${all_namespaces[@]}"; do
    ip netns del "$ns" >/dev/null 2>&1
    rm -rf "/etc/netns/$ns"
  done
  [ -n "$scratch" ] && rm -rf "$scratch"
}

[ "$(id -u)" -eq 0 ] || skip "network namespaces need root"
command -v ip >/dev/null || skip "no ip command"
command -v unshare >/dev/null || skip "no unshare command (needed for a host name per namespace)"
ip netns add "$ns_cards" >/dev/null 2>&1 || skip "network namespaces are not allowed here"
trap cleanup EXIT
trap 'exit 1' INT TERM
scratch="$(mktemp -d /tmp/zelquo-detection-XXXXXX)"

set -e
for ns in "$ns_loopback" "$ns_fallback" "$ns_primary" "$ns_peers"; do ip netns add "$ns"; done
in_ns() { local ns="$1"; shift; ip netns exec "$ns" "$@"; }
for ns in "${all_namespaces[@]}"; do in_ns "$ns" ip link set lo up; done

# names NS HOSTS-LINE...: the namespace's hosts file, and a name server on a closed loopback port
# so that any other name fails at once without leaving the namespace.
names() {
  local ns="$1"
  shift
  mkdir -p "/etc/netns/$ns"
  printf '127.0.0.1 localhost\n' >"/etc/netns/$ns/hosts"
  printf '%s\n' "$@" >>"/etc/netns/$ns/hosts"
  printf 'nameserver 127.0.0.1\n' >"/etc/netns/$ns/resolv.conf"
}

# card NS NAME MAC ADDRESS...: a veth card whose peer lives in the peers namespace.
peers=0
card() {
  local ns="$1" name="$2" mac="$3"
  shift 3
  peers=$((peers + 1))
  ip link add "$name" netns "$ns" type veth peer name "peer$peers" netns "$ns_peers"
  ip -n "$ns_peers" link set "peer$peers" up
  in_ns "$ns" ip link set "$name" address "$mac"
  local address
  for address in "$@"; do in_ns "$ns" ip addr add "$address" dev "$name"; done
  in_ns "$ns" ip link set "$name" up
}

card "$ns_cards" vc0 02:5a:00:00:00:01 203.0.113.9/24 192.168.1.20/24
card "$ns_cards" vc1 44:45:53:54:00:00 198.18.0.99/24
card "$ns_cards" vc2 02:5a:00:00:00:02 172.15.0.1/16 172.16.0.1/16 172.31.255.1/16 172.32.0.1/16 169.254.3.4/16
in_ns "$ns_cards" ip tuntap add mode tun tn0
in_ns "$ns_cards" ip addr add 100.64.0.1/32 dev tn0
in_ns "$ns_cards" ip link set tn0 up
names "$ns_cards" "127.0.1.1 zqd-cards"
names "$ns_loopback" "127.0.0.1 zqd-lo"

for ns in "$ns_fallback" "$ns_primary"; do
  for address in 198.51.100.31 198.51.100.32 198.51.100.41 198.51.100.42; do
    in_ns "$ns" ip addr add "$address/32" dev lo
  done
  names "$ns" "198.51.100.31 ip1.zelquo.net" "198.51.100.32 ip2.zelquo.net"
done
card "$ns_primary" vs0 02:5a:00:00:00:05 10.20.0.2/24
set +e

# serve NS NAME SCRIPT-TEXT LISTEN...: a standin-provider in the namespace, recording to
# $scratch/NAME.record; waits until it listens.
serve() {
  local ns="$1" name="$2" script_text="$3"
  shift 3
  local -a listen=()
  local endpoint
  for endpoint in "$@"; do listen+=(--listen "$endpoint"); done
  printf '%b' "$script_text" >"$scratch/$name.script"
  rm -f "$scratch/$name.ready"
  ip netns exec "$ns" "$provider" "${listen[@]}" --script "$scratch/$name.script" \
    --record "$scratch/$name.record" --ready "$scratch/$name.ready" &
  provider_pids+=($!)
  local tries=0
  until [ -f "$scratch/$name.ready" ]; do
    tries=$((tries + 1))
    if [ $tries -gt 100 ]; then
      echo "FAIL: standin-provider $name did not start"
      failed=$((failed + 1))
      return 1
    fi
    sleep 0.05
  done
}

# ports NAME: the local ports of the requests in the record, in order, on one line.
ports() { [ -f "$scratch/$1.record" ] && cut -f1 "$scratch/$1.record" | tr '\n' ' ' | sed 's/ $//'; }

check() {
  local label="$1" expected="$2" actual="$3"
  if [ "$expected" = "$actual" ]; then
    passed=$((passed + 1))
    [ -n "${DETECTION_TESTS_VERBOSE:-}" ] && echo "PASS: $label"
  else
    echo "FAIL: $label: expected '$expected', got '$actual'"
    failed=$((failed + 1))
  fi
}

start_servers() {
  case "$1" in
    fallback)
      serve "$ns_fallback" ip1 '/ipcheck.asp 404\n' 198.51.100.31:80
      serve "$ns_fallback" ip2 '/ipcheck.asp 200 port=8245 -- Error: overloaded\n/ipcheck.asp 200 port=80\n' \
        198.51.100.32:8245 198.51.100.32:80
      serve "$ns_fallback" fallback1 '/ipcheck.asp 200 port=8245 ip203.0.113.77\n/ipcheck.asp 200 port=80 ip192.0.2.80\n' \
        198.51.100.41:8245 198.51.100.41:80
      serve "$ns_fallback" fallback2 '/ipcheck.asp 200 ip192.0.2.42\n' 198.51.100.42:8245 198.51.100.42:80
      ;;
    primary)
      serve "$ns_primary" ip1 '/ipcheck.asp 200 port=8245 ip203.0.113.9\n/ipcheck.asp 200 port=80 ip192.0.2.80\n' \
        198.51.100.31:8245 198.51.100.31:80
      ;;
  esac
}

# What the servers saw: each gtest case asks through the production walk twice.
check_servers() {
  local label="$1"
  case "$2" in
    fallback)
      check "$label: ip1.zelquo.net asked on 80 only" "80 80" "$(ports ip1)"
      check "$label: ip2.zelquo.net asked on 8245, then 80" "8245 80 8245 80" "$(ports ip2)"
      check "$label: first fallback asked on 8245 only" "8245 8245" "$(ports fallback1)"
      check "$label: second fallback never asked" "" "$(ports fallback2)"
      ;;
    primary)
      check "$label: ip1.zelquo.net asked on 8245 only" "8245 8245 8245 8245" "$(ports ip1)"
      # The raw request of the check through a card: one lower-case host header and nothing else.
      check "$label: hand-written requests" "2" \
        "$(grep -cxF "$(printf '8245\tGET\t/ipcheck.asp\thost: ip1.zelquo.net')" "$scratch/ip1.record")"
      ;;
  esac
}

# run_case LABEL NS SCENARIO HOST-NAME HOST-ADDRESSES FILTER COMMAND...: runs the gtest command in
# the namespace under its own host name; every selected case must pass, none may be skipped.
run_case() {
  local label="$1" ns="$2" scenario="$3" host="$4" addresses="$5" filter="$6"
  shift 6
  local servers="${scenario#detection-servers-}"
  [ "$servers" = "$scenario" ] && servers=""
  [ -n "$servers" ] && { start_servers "$servers" || { stop_providers; return; }; }
  local output status
  output="$(ip netns exec "$ns" unshare --uts sh -c 'hostname "$0" && exec "$@"' "$host" \
    env ZELQUO_NETNS="$scenario" ZELQUO_NETNS_HOST_ADDRESSES="$addresses" "$@" --gtest_filter="$filter" 2>&1)"
  status=$?
  stop_providers
  if [ $status -eq 0 ] && grep -q '^\[  PASSED  \]' <<<"$output" && ! grep -q '^\[  SKIPPED \]' <<<"$output"; then
    echo "PASS: $label"
    [ -n "${DETECTION_TESTS_VERBOSE:-}" ] && echo "$output" | sed 's/^/    /'
    passed=$((passed + 1))
  else
    echo "FAIL: $label (exit $status)"
    echo "$output" | sed 's/^/    /'
    failed=$((failed + 1))
  fi
  [ -n "$servers" ] && check_servers "$label" "$servers"
}

# run_all BUILD COMMAND...: every scenario with one build's test program. The machine's own
# addresses differ: natively every address of each card that is up, in the kernel's order, while
# Wine (like Windows) resolves the host name to the first address of each card that has a route,
# and without loopback. Neither reads the hosts file's 127.0.1.1.
run_all() {
  local build="$1"
  shift
  local cards_addresses="203.0.113.9&192.168.1.20&198.18.0.99&172.15.0.1&172.16.0.1&172.31.255.1&172.32.0.1&"
  cards_addresses+="169.254.3.4&100.64.0.1&"
  [ "$build" = wine ] && cards_addresses="203.0.113.9&198.18.0.99&172.15.0.1&"
  run_case "$build, cards" "$ns_cards" detection-cards zqd-cards "$cards_addresses" 'DetectionNetnsTest.Cards*' "$@"
  [ "$build" = wine ] && stop_wine
  run_case "$build, loopback only" "$ns_loopback" detection-loopback zqd-lo "127.0.0.1&" \
    'DetectionNetnsTest.OnlyLoopback' "$@"
  [ "$build" = wine ] && stop_wine
  run_case "$build, IP-check fallback" "$ns_fallback" detection-servers-fallback zqd-servers "" \
    'DetectionNetnsTest.ProductionEndpointsFallBackInOrder' "$@"
  [ "$build" = wine ] && stop_wine
  run_case "$build, primary IP-check server" "$ns_primary" detection-servers-primary zqd-servers "" \
    'DetectionNetnsTest.PrimaryServerAndTheCheckThroughACard' "$@"
  [ "$build" = wine ] && stop_wine
}

if [ ! -x "$provider" ]; then
  echo "FAIL: no $provider (build the native tree first)"
  exit 1
fi

if [ -x "$native_test" ]; then
  run_all native "$native_test"
else
  echo "SKIP: detection-tests: no $native_test"
fi

if [ -f "$windows_test" ] && command -v wine >/dev/null; then
  # A prefix of this run's own, so that its wineserver (which makes the sockets and reads the
  # network tables) starts inside each namespace in turn. The build's prefix is linked rather
  # than copied; the registry files, which the wineserver rewrites, are copied.
  wine_prefix="$scratch/wineprefix"
  if [ -d "$windows_prefix" ]; then
    cp -al "$windows_prefix" "$wine_prefix"
    for reg in "$windows_prefix"/*.reg; do cp --remove-destination "$reg" "$wine_prefix/"; done
  fi
  run_all wine "$wine_run" "$wine_prefix" "$windows_test"
else
  echo "SKIP: detection-tests: no $windows_test (or no wine)"
fi

echo "detection-tests: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
