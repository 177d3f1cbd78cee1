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
