# Helpers for the namespace test scripts; source it. Every namespace made through zq_netns_add is
# removed, with its /etc/netns folder, when the sourcing script exits.
zq_namespaces=()

zq_cleanup() {
  local ns
  for ns in "${zq_namespaces[@]}"; do
    if [[ -n "${ZQ_WINDOWS_BUILD:-}" ]]; then
      ip netns exec "$ns" env WINEPREFIX="$ZQ_WINDOWS_BUILD/wineprefix" wineserver -k 2>/dev/null || true
    fi
    ip netns pids "$ns" 2>/dev/null | xargs -r kill -9 2>/dev/null || true
    ip netns delete "$ns" 2>/dev/null || true
    rm -rf "/etc/netns/$ns"
  done
}
trap zq_cleanup EXIT

# zq_netns_add NAME: a namespace with loopback up and an /etc/netns folder of its own whose
# resolver is a closed loopback port, so no name look-up leaves the namespace.
zq_netns_add() {
  local ns=$1
  ip netns add "$ns"
  zq_namespaces+=("$ns")
  ip -n "$ns" link set lo up
  mkdir -p "/etc/netns/$ns"
  echo "nameserver 127.0.0.1" > "/etc/netns/$ns/resolv.conf"
  printf '127.0.0.1 localhost\n' > "/etc/netns/$ns/hosts"
}

# zq_run_native NS ENV... -- PROGRAM ARGS...
zq_in_ns() {
  local ns=$1
  shift
  ip netns exec "$ns" env "$@"
}

# zq_run_wine NS PROGRAM ARGS...: the Windows program under Wine with a wineserver inside the
# namespace (the wineserver owns the sockets), ended afterwards.
zq_run_wine() {
  local ns=$1
  shift
  local prefix="$ZQ_WINDOWS_BUILD/wineprefix" status=0
  ip netns exec "$ns" env WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
    ${ZQ_WINE_ENV:-} wine "$@" || status=$?
  ip netns exec "$ns" env WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
  return $status
}
