#!/usr/bin/env bash
# HTTP exchanges that need a namespace: a host name that does not resolve, looked up with a
# resolver that answers nobody, so the look-up sends nothing beyond the namespace.
set -euo pipefail
here=$(dirname "$(readlink -f "$0")")
native=$(readlink -f "$1")
ZQ_WINDOWS_BUILD=$(readlink -f "$2")
source "$here/netns-lib.sh"

ns=zq-http-$$
zq_netns_add "$ns"

zq_in_ns "$ns" ZELQUO_NETNS=http "$native/tests/engine_test" --gtest_filter='HttpGetLineNetnsTest.*'
ZQ_WINE_ENV="ZELQUO_NETNS=http" zq_run_wine "$ns" "$ZQ_WINDOWS_BUILD/tests/engine_test.exe" \
  --gtest_filter='HttpGetLineNetnsTest.*'

# A resolver that never answers: its queries go out of a veth card to a hardware address that no
# card holds, and the far end, which has no address, drops them without a word; the C library
# would wait a minute for each name. The hosts file still names ip1.zelquo.net.
ns_silent=zq-http-silent-$$
zq_netns_add "$ns_silent"
ip -n "$ns_silent" link add zq-void type veth peer name zq-void-end
ip -n "$ns_silent" addr add 192.0.2.1/24 dev zq-void
ip -n "$ns_silent" link set zq-void up
ip -n "$ns_silent" link set zq-void-end up
ip -n "$ns_silent" neigh add 192.0.2.53 lladdr 02:5a:00:00:00:53 dev zq-void nud permanent
printf 'nameserver 192.0.2.53\noptions timeout:30 attempts:2\n' >"/etc/netns/$ns_silent/resolv.conf"
printf '127.0.0.1 localhost ip1.zelquo.net\n' >"/etc/netns/$ns_silent/hosts"
zq_in_ns "$ns_silent" ZELQUO_NETNS=silent-resolver "$native/tests/engine_test" --gtest_filter='NameLookupNetnsTest.*'
