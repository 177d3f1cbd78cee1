#!/usr/bin/env bash
# The main job: builds the console utility and shows one real update pass of it against the
# project's stand-in provider, inside a network namespace whose /etc/hosts sends the provider's
# host names to the stand-in. Nothing leaves this machine. Debian 12, as root.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

scripts/install-deps.sh
cmake --preset native >/dev/null
cmake --build --preset native --target zelquoipupdate standin-provider

ns=zq-demo-$$
work=$(mktemp -d /tmp/zq-demo.XXXXXX)
server_pid=
cleanup() {
  [[ -n "$server_pid" ]] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  ip netns delete "$ns" 2>/dev/null || true
  rm -rf "/etc/netns/$ns" "$work"
}
trap cleanup EXIT

ip netns add "$ns"
ip -n "$ns" link set lo up
mkdir -p "/etc/netns/$ns"
echo "nameserver 127.0.0.1" > "/etc/netns/$ns/resolv.conf"
printf '127.0.0.1 localhost\n127.0.0.1 dynupdate.zelquo.net ip1.zelquo.net ip2.zelquo.net\n' \
  > "/etc/netns/$ns/hosts"

# The stand-in provider: its IP-check server sees this machine as 203.0.113.77, and its update
# API accepts the update.
cat > "$work/script" <<'SCRIPT'
/ipcheck.asp 200 ip203.0.113.77
/nic/update 200 good 203.0.113.77
SCRIPT
ip netns exec "$ns" "$root/build/native/tests/support/standin-provider" \
  --listen 127.0.0.1:80 --listen 127.0.0.1:8245 \
  --script "$work/script" --record "$work/record" --ready "$work/ready" &
server_pid=$!
for _ in $(seq 100); do [[ -f "$work/ready" ]] && break; sleep 0.05; done

# The program and its settings file, side by side as a user installs them. The password is
# stored scrambled, as the tray program saves it ("demo-secret").
mkdir "$work/zelquo"
cp build/native/cli/zelquoipupdate "$work/zelquo/"
cat > "$work/zelquo/ZelquoIUC.ini" <<'SETTINGS'
[Zelquo IP Update Client]
username=demo
password=_`hj(n`^m`oI
numofdomainnames=1
domain_name1=myhost.zelquo.net
SETTINGS

echo "== zelquoipupdate (settings: $work/zelquo/ZelquoIUC.ini)"
ip netns exec "$ns" "$work/zelquo/zelquoipupdate"
echo "== exit code $?; requests the provider received:"
cut -f1-3 "$work/record" | sed 's/^/   port /'
