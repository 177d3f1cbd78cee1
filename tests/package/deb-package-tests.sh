#!/bin/bash
# Builds the Debian package twice (4.43-1 and a rebuilt 4.43-2), runs lintian on it, and takes it
# through its life on this machine: install, account set-up, the daemon's first update reaching a
# stand-in provider, upgrade, remove and purge. The machine gets back what it had: the package is
# purged on every way out.
#
#   tests/package/deb-package-tests.sh NATIVE_BUILD_DIR     (as root; hold /tmp/zq-netns.lock)
#
# Everything runs in a network namespace of its own whose provider names lead to the stand-in on
# loopback (see service-script-lib.sh). systemd is not running here, so the maintainer scripts
# must work without it; the test starts the daemon itself as the unit's ExecStart would. For the
# upgrade and the removal it plays the service manager: a private /run with /run/systemd/system
# and a systemctl of its own on PATH, which starts, restarts and stops the unit's ExecStart, so the
# maintainer scripts' restart and stop are seen to act.
set -u

if [[ $# -ne 1 ]]; then
  echo "usage: $0 NATIVE_BUILD_DIR" >&2
  exit 2
fi
build_dir=$(realpath "$1")
here=$(dirname "$(readlink -f "$0")")
root=$(readlink -f "$here/../..")
. "$root/tests/service/service-script-lib.sh"
package=zelquoiuc
zq_require_root

purge_package() {
  if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'installed\|config-files'; then
    dpkg --purge "$package" >/dev/null 2>&1 || echo "could not purge $package: remove it by hand" >&2
  fi
}

if [[ "${ZELQUO_IN_SERVICE_NETNS:-}" != 1 ]]; then
  if [[ "$(ps -p 1 -o comm=)" == systemd ]]; then
    echo "skipped: systemd runs this machine; the test plays the service manager itself" >&2
    exit 77
  fi
  if dpkg-query -W "$package" >/dev/null 2>&1 || [[ -e /etc/zelquoiuc ]]; then
    echo "$package or /etc/zelquoiuc is already on this machine; the test would replace it" >&2
    exit 2
  fi
  # Whatever the namespace's side did or failed to do, nothing of the package stays.
  zq_outside_cleanup() { purge_package; }
fi
zq_enter_namespace "zelquo-package-$$" "$0" "$build_dir"

standin="$build_dir/tests/support/standin-provider"
[[ -x "$standin" ]] || { echo "missing $standin" >&2; exit 2; }

# deb-systemd-helper's state folders that this machine did not have before go at the end.
new_folders=()
for folder in /etc/systemd/system/multi-user.target.wants /var/lib/systemd/deb-systemd-helper-enabled; do
  [[ -d "$folder" ]] || new_folders+=("$folder")
done
work=$(mktemp -d /tmp/zelquo-package.XXXXXX)
standin_pid=
cleanup() {
  [[ -x "$work/bin/systemctl" ]] && "$work/bin/systemctl" stop zelquoiucsvc.service
  purge_package
  for folder in "${new_folders[@]}"; do find "$folder" -depth -type d -empty -delete 2>/dev/null; done
  [[ -n "$standin_pid" ]] && kill "$standin_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# --- The packages ---------------------------------------------------------------------------
first=$("$root/packaging/deb/build-deb.sh" "$build_dir" "$work/1") || exit 1
second=$("$root/packaging/deb/build-deb.sh" "$build_dir" "$work/2" 2) || exit 1
check "the packages are built as 4.43-1 and 4.43-2" \
  test "$(dpkg-deb -f "$first" Version) $(dpkg-deb -f "$second" Version)" == "4.43-1 4.43-2"
check "it depends on the distribution's reply parser, not a copy of its own" \
  grep -q 'libhttp-parser2\.9 (>= ' <<<"$(dpkg-deb -f "$first" Depends)"
lintian --fail-on error "$first" >"$work/lintian.txt" 2>&1
check "lintian finds no errors" test $? -eq 0
grep -v '^running with root privileges' "$work/lintian.txt" | sed 's/^/     /'

# --- The service manager the upgrade and removal see ------------------------------------------
mkdir -p "$work/bin" "$work/state"
unit=/lib/systemd/system/zelquoiucsvc.service
cat >"$work/bin/systemctl" <<SCRIPT
#!/bin/bash
# systemctl for the one unit, as deb-systemd-invoke and the maintainer scripts call it. What
# needs no running manager (deb-systemd-helper's preset) goes to the real one where there is one.
state=$work/state
echo "\$*" >>"\$state/calls"
words=()
for word; do [[ "\$word" == -* ]] || words+=("\$word"); done
alive() { [[ -s "\$state/pid" ]] && [[ "\$(awk '{print \$3}' "/proc/\$(cat "\$state/pid")/stat" 2>/dev/null)" =~ ^[RSD]\$ ]]; }
stop() {
  alive || return 0
  kill -TERM "\$(cat "\$state/pid")"
  for _ in \$(seq 100); do alive || break; sleep 0.1; done
  rm -f "\$state/pid"
}
start() {
  alive && return 0
  setsid \$(sed -n 's/^ExecStart=//p' $unit) </dev/null >>"\$state/daemon.out" 2>&1 &
  echo \$! >"\$state/pid"
}
case "\${words[0]:-}" in
  daemon-reload) ;;
  is-enabled) [[ -L /etc/systemd/system/multi-user.target.wants/zelquoiucsvc.service ]] && echo enabled || { echo disabled; exit 1; } ;;
  is-active) alive || exit 3 ;;
  start) start ;;
  stop) stop ;;
  restart) stop; start ;;
  *) for real in /bin/systemctl /usr/bin/systemctl; do [[ -x "\$real" ]] && exec "\$real" "\$@"; done; exit 1 ;;
esac
SCRIPT
chmod 755 "$work/bin/systemctl"
export PATH="$work/bin:$PATH"
daemon_pid() { cat "$work/state/pid" 2>/dev/null; }
systemctl_calls() { cat "$work/state/calls" 2>/dev/null; }
pretend_systemd() {
  mount -t tmpfs -o mode=0755 zelquo-run /run
  mkdir -p /run/systemd/system
  # A container's policy forbids starting services; this "machine" allows it.
  if [[ -e /usr/sbin/policy-rc.d ]]; then
    printf '#!/bin/sh\nexit 0\n' >"$work/policy-rc.d"
    chmod 755 "$work/policy-rc.d"
    mount --bind "$work/policy-rc.d" /usr/sbin/policy-rc.d
  fi
}

dpkg_run() {  # dpkg_run ARGS...: dpkg, its output kept for a failure
  dpkg "$@" >"$work/dpkg.txt" 2>&1 || { sed 's/^/     /' "$work/dpkg.txt"; return 1; }
}

# --- Install, without systemd -----------------------------------------------------------------
settings=/etc/zelquoiuc/ZelquoIUC.ini
lib=/usr/lib/zelquoiuc
check "dpkg installs it" dpkg_run -i "$first"
check "the programs share a folder whose ZelquoIUC.ini leads to $settings" \
  test "$(readlink "$lib/ZelquoIUC.ini")" == "$settings" -a -x "$lib/zelquoiucsvc" -a -x "$lib/zelquoipupdate"
check "zelquoipupdate and zelquoiuc are on PATH" test "$(readlink -f /usr/bin/zelquoipupdate) $(readlink -f /usr/bin/zelquoiuc)" \
  == "$lib/zelquoipupdate $lib/zelquoiuc"
check "postinst made the settings file, root's alone" test "$(stat -c '%U:%G %a' "$settings")" == "root:root 600"
check "... in a folder root's alone" test "$(stat -c '%U:%G %a' /etc/zelquoiuc)" == "root:root 700"
check "the unit is enabled" \
  test "$(readlink -f /etc/systemd/system/multi-user.target.wants/zelquoiucsvc.service)" == "$(readlink -f "$unit")"
check "the unit starts the installed daemon" test -x "$(sed -n 's/^ExecStart=//p' "$unit")"
if command -v systemd-analyze >/dev/null; then
  exposure=$(systemd-analyze security --offline=true "$unit" 2>/dev/null | sed -n 's/^→ Overall exposure level for .*: \([0-9.]*\) .*/\1/p')
  check "the unit's sandbox rates an exposure of 2.0 or lower (${exposure:-none})" \
    awk -v level="${exposure:-99}" 'BEGIN { exit !(level <= 2.0) }'
fi
check "without systemd nothing was started" bash -c "! grep -qE 'start|stop' \"$work/state/calls\" 2>/dev/null"
check "the manual pages are there" test -f /usr/share/man/man1/zelquoipupdate.1.gz -a -f /usr/share/man/man8/zelquoiucsvc.8.gz

# --- The provider, the account, the daemon -----------------------------------------------------
printf '%s\n' '/ipcheck.asp 200 ip203.0.113.77' '/authcheck.asp 200 true' '/nic/update 200 good 203.0.113.77' \
  >"$work/provider.script"
record="$work/provider.record"
zq_start_standin "$standin" "$work/provider.script" "$record" "$work/provider.ready"
requests() { cat "$record" 2>/dev/null | wc -l; }
updates() { cut -f3 "$record" 2>/dev/null | grep -c '^/nic/update?'; }
updates_are() { [[ $(updates) -ge $1 ]]; }

# A short poll interval, so that the account is taken up within seconds.
printf 'pollinterval=2\n' >>"$settings"
"$work/bin/systemctl" start zelquoiucsvc.service
first_pid=$(daemon_pid)
check "the daemon runs as the unit's ExecStart starts it" wait_until 3 test -n "$first_pid" -a -e "/proc/$first_pid"
check "... and sends nothing without an account" test "$(sleep 2.5; requests)" -eq 0

digest=5ebe2294ecd0e0f08eab7690d2a6ee69  # MD5 of "secret"
echo secret | zelquoiuc account --user pkguser --password-stdin >"$work/account.txt" 2>&1
check "zelquoiuc account sets the account (status $?)" grep -qx username=pkguser "$settings"
check "the daemon's first update reaches the provider" wait_until 10 updates_are 1
update=$(cut -f3 "$record" | grep '^/nic/update?' | head -1)
check "... for the account, as a first update ($update)" \
  test "$update" == "/nic/update?ver=4.43&username=pkguser&password=$digest&myip=203.0.113.77&uin=1"
check "the settings file is still root's alone" test "$(stat -c '%U:%G %a' "$settings")" == "root:root 600"
account=$(grep -E '^(username|password)=' "$settings")

# --- Upgrade, with a service manager --------------------------------------------------------
# Opened up by hand since: the upgrade closes both again.
chmod 0644 "$settings"
chmod 0755 /etc/zelquoiuc
pretend_systemd
check "dpkg upgrades it to 4.43-2" dpkg_run -i "$second"
check "... which took back what other users could do with the settings and their folder" \
  test "$(stat -c %a "$settings" /etc/zelquoiuc | tr '\n' ' ')" == "600 700 "
check "... and said so" grep -qF "zelquoiuc: $settings was open to users other than its owner; its mode is now 0600." "$work/dpkg.txt"
check "... installed as 4.43-2" test "$(dpkg-query -W -f='${Version}' "$package")" == 4.43-2
check "... which restarted the daemon" grep -qx -- '--quiet --system restart zelquoiucsvc.service' <(systemctl_calls)
second_pid=$(daemon_pid)
check "... a new process ($first_pid, then $second_pid)" test -n "$second_pid" -a "$second_pid" != "$first_pid"
check "... running the new program" test "$(readlink "/proc/$second_pid/exe")" == "$lib/zelquoiucsvc"
check "the account is kept" test "$(grep -E '^(username|password)=' "$settings")" == "$account"
check "... in a file still root's alone" test "$(stat -c '%U:%G %a' "$settings")" == "root:root 600"
check "the restarted daemon updates again, as a first update" wait_until 10 updates_are 2
check "... with the same account" test "$(cut -f3 "$record" | grep '^/nic/update?' | sed -n 2p)" == "$update"

# --- Remove, then purge ----------------------------------------------------------------------
check "dpkg removes it" dpkg_run --remove "$package"
check "... which stopped the daemon" test -z "$(daemon_pid)" -a ! -e "/proc/$second_pid/exe"
check "... and took the programs, links and unit" \
  test ! -e "$lib" -a ! -L /usr/bin/zelquoipupdate -a ! -L /usr/bin/zelquoiuc -a ! -e "$unit"
check "... but kept the settings" test "$(grep -E '^(username|password)=' "$settings")" == "$account"
check "dpkg purges it" dpkg_run --purge "$package"
check "... which deleted the settings and their folder" test ! -e /etc/zelquoiuc
check "... and the unit's enablement" \
  test -z "$(find /etc/systemd/system /var/lib/systemd/deb-systemd-helper-enabled -name 'zelquoiucsvc*' 2>/dev/null)"
check "dpkg no longer knows the package" bash -c "! dpkg-query -W $package >/dev/null 2>&1"

# Purge deletes what a cut-short write left, never an administrator's own copy.
dpkg_run -i "$first"
cp "$settings" /etc/zelquoiuc/ZelquoIUC.ini.bak
printf 'x\n' >/etc/zelquoiuc/ZelquoIUC.ini.4242.1f3a9c.0
check "a purge beside a backup of the settings and a cut-short write's file" dpkg_run --purge "$package"
check "... deletes the settings and that file but keeps the backup, and its folder" \
  test "$(ls -A /etc/zelquoiuc 2>/dev/null)" == ZelquoIUC.ini.bak
rm -rf /etc/zelquoiuc

zq_checks_passed
