#!/bin/bash
# The Debian package's unit under a real systemd, sandbox and all: a container booted from this
# machine's own file system through an overlay on a tmpfs, so that nothing done inside stays. In
# it the package is installed (its postinst starts the unit), given an account, reloaded,
# stopped and purged by systemctl, while a stand-in provider on the container's loopback answers.
#
#   tests/package/systemd-unit-tests.sh NATIVE_BUILD_DIR     (as root; hold /tmp/zq-netns.lock)
#
# The container has a network of its own (loopback only), whose /etc/hosts leads the provider's
# names to the stand-in. A machine where no container can boot (no systemd-nspawn, or systemd
# does not come up in it) skips the test and says so.
set -u

if [[ $# -ne 1 ]]; then
  echo "usage: $0 NATIVE_BUILD_DIR" >&2
  exit 2
fi
build_dir=$(realpath "$1")
here=$(dirname "$(readlink -f "$0")")
root=$(readlink -f "$here/../..")
. "$root/tests/service/service-script-lib.sh"
zq_require_root
zq_require_files "$build_dir/tests/support/standin-provider" "$build_dir/service/zelquoiucsvc"
command -v systemd-nspawn >/dev/null || { echo "skipped: no systemd-nspawn" >&2; exit 77; }

overlay=$(mktemp -d /tmp/zelquo-unit.XXXXXX)
container=
nspawn_pid=
leader=
cleanup() {
  # Nothing in the container is to be kept: its init killed, the kernel ends all the rest.
  [[ -n "$leader" ]] && kill -KILL "$leader" 2>/dev/null
  if [[ -n "$nspawn_pid" ]]; then
    for _ in $(seq 100); do kill -0 "$nspawn_pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$nspawn_pid" 2>/dev/null
    wait "$nspawn_pid" 2>/dev/null
  fi
  umount "$overlay/root" 2>/dev/null
  umount "$overlay" 2>/dev/null
  rmdir "$overlay"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# --- The container ----------------------------------------------------------------------------
mount -t tmpfs -o mode=0700 zelquo-unit "$overlay"
mkdir "$overlay"/{upper,work,root}
mount -t overlay zelquo-unit -o "lowerdir=/,upperdir=$overlay/upper,workdir=$overlay/work" "$overlay/root"
container="$overlay/root"
# What the test needs goes into the container itself: the checkout may be on another mount.
stage="$container/root/zq-unit"
mkdir -p "$stage"
deb=$("$root/packaging/deb/build-deb.sh" "$build_dir" "$stage") || exit 1
cp "$build_dir/tests/support/standin-provider" "$stage/"
printf '127.0.0.1\tlocalhost\n127.0.0.1\tdynupdate.zelquo.net ip1.zelquo.net ip2.zelquo.net\n' >"$container/etc/hosts"
# This machine may forbid starting services, as containers often do; the container allows it.
rm -f "$container/usr/sbin/policy-rc.d"

setsid systemd-nspawn --quiet --directory="$container" --boot --private-network --register=no --keep-unit \
  --machine="zelquo-unit-$$" --console=pipe </dev/null >"$overlay/nspawn.log" 2>&1 &
nspawn_pid=$!
for _ in $(seq 100); do
  leader=$(pgrep -P "$nspawn_pid" | head -n 1)
  [[ -n "$leader" && "$(cat "/proc/$leader/comm" 2>/dev/null)" == systemd ]] && break
  leader=
  sleep 0.1
done
inside() { nsenter -t "$leader" -a "$@"; }
# Until its manager listens, systemctl answers nothing; then "starting", until every unit is up.
booted=
for _ in $(seq 120); do
  [[ -n "$leader" ]] || break
  booted=$(inside systemctl is-system-running 2>/dev/null)
  [[ "$booted" == running || "$booted" == degraded ]] && break
  sleep 0.5
done
if [[ "$booted" != running && "$booted" != degraded ]]; then
  echo "skipped: systemd did not come up in a container here (${booted:-no answer from it})" >&2
  sed 's/^/     /' "$overlay/nspawn.log" >&2
  exit 77
fi
inside ip link set lo up
# The address the provider is told: on loopback, so that the change check's route trace reaches it.
inside ip addr add 203.0.113.77/32 dev lo

# --- Install: postinst starts the unit --------------------------------------------------------
unit=zelquoiucsvc.service
settings=/etc/zelquoiuc/ZelquoIUC.ini
in_stage=/root/zq-unit
record="$stage/provider.record"
printf '%s\n' '/ipcheck.asp 200 ip203.0.113.77' '/nic/update 200 good 203.0.113.77' >"$stage/provider.script"
inside setsid "$in_stage/standin-provider" --listen 127.0.0.1:80 --listen 127.0.0.1:8245 \
  --script "$in_stage/provider.script" --record "$in_stage/provider.record" --ready "$in_stage/provider.ready" \
  </dev/null >/dev/null 2>&1 &
wait_until 5 test -s "$stage/provider.ready"

dpkg_inside() {  # dpkg_inside ARGS...: dpkg in the container, its output kept for a failure
  inside dpkg "$@" >"$stage/dpkg.txt" 2>&1 || { sed 's/^/     /' "$stage/dpkg.txt"; return 1; }
}
check "dpkg installs it under systemd" dpkg_inside -i "$in_stage/$(basename "$deb")"
check "... enabled, and its postinst started it" test "$(inside systemctl is-enabled "$unit") $(inside systemctl is-active "$unit")" == "enabled active"
exposure=$(inside systemd-analyze security "$unit" 2>/dev/null | sed -n 's/.*Overall exposure level for [^:]*: \([0-9.]*\).*/\1/p')
check "systemd rates the running unit's exposure 2.0 or lower (${exposure:-no figure})" \
  awk -v e="${exposure:-99}" 'BEGIN { exit !(e <= 2.0) }'

# --- An account, a reload, an update ----------------------------------------------------------
updates() { awk -F'\t' '$2 == "GET" && index($3, "/nic/update") == 1 {n++} END {print n + 0}' "$record"; }
ip_checks() { awk -F'\t' '$2 == "GET" && $3 == "/ipcheck.asp" {n++} END {print n + 0}' "$record"; }
updates_are() { (($(updates) == $1)); }
hook_out=/etc/zelquoiuc/hook.out
write_account() {  # write_account EXTRA_LINE...: the account, one name, a pass a second
  printf '%s\n' '[Zelquo IP Update Client]' username=alice 'password=n`^m`oI' numofdomainnames=1 \
    domain_name1=home.example.net pollinterval=0 executecommand=1 "command=echo ran >>$hook_out" "$@" |
    inside tee "$settings" >/dev/null
}
write_account
inside systemctl reload "$unit"
check "after systemctl reload the update reaches the provider" wait_until 10 updates_are 1
check "... the custom command ran inside the sandbox, writing to the settings folder" \
  wait_until 5 inside grep -qx ran "$hook_out"
written_back() {
  test "$(inside sed -n 's/^updatedip=//p' "$settings") $(inside stat -c '%U %a' "$settings")" == "203.0.113.77 root 600"
}
check "... and the daemon wrote the address back, the file still root's alone" wait_until 5 written_back
# Passes follow at once; within 5 minutes of the confirmation the route trace (a raw ICMP socket,
# CAP_NET_RAW being the one capability the unit keeps) confirms the address without a server.
checks_before=$(ip_checks)
sleep 3
check "the route trace works in the sandbox: no IP-check server asked in 3 s ($(($(ip_checks) - checks_before)) asked)" \
  test "$(ip_checks)" -eq "$checks_before"

started=$(date +%s%N)
inside systemctl stop "$unit"
took=$((($(date +%s%N) - started) / 1000000))
check "systemctl stop ends it within 2 s (took $took ms), not as a failure" \
  test "$took" -lt 2000 -a "$(inside systemctl show -p Result --value "$unit")" == success
check "its life cycle reached the journal through syslog" \
  grep -q 'started successfully' <<<"$(inside journalctl -q -u "$unit")"

# The same passes without the capability: the trace fails, and every pass asks a server.
dropin=/etc/systemd/system/$unit.d
inside mkdir -p "$dropin"
printf '[Service]\nCapabilityBoundingSet=\n' | inside tee "$dropin/no-raw.conf" >/dev/null
inside systemctl daemon-reload
checks_before=$(ip_checks)
inside systemctl start "$unit"
sleep 3
check "... as without CAP_NET_RAW, when every pass asks one ($(($(ip_checks) - checks_before)) in 3 s)" \
  test $(($(ip_checks) - checks_before)) -gt 10
inside systemctl stop "$unit"
inside rm -r "$dropin"
inside systemctl daemon-reload

# --- Purge --------------------------------------------------------------------------------------
check "dpkg purges it" dpkg_inside --purge zelquoiuc
check "... leaving no unit and no settings file" \
  test "$(inside systemctl list-unit-files "$unit" --no-legend | wc -l)" -eq 0 -a ! -e "$container$settings"
zq_checks_passed
