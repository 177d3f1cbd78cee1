# Shared by the scripts that run the service program for real (the Linux daemon driven by
# signals, the Windows service under Wine's manager); source it.

# Namespaces need root; ctest reads 77 as "skipped".
zq_require_root() {
  if [[ $(id -u) -ne 0 ]]; then
    echo "skipped: needs root for its namespaces" >&2
    exit 77
  fi
}

# The local clock at noon, far from midnight, where the minute of the day (what the programs
# record) wraps and every recorded update would look 1439 minutes old. Wine takes the zone from
# TZ as the C library does.
zq_noon_clock() {
  local utc_hour
  utc_hour=$(date -u +%-H)
  export TZ="ZQT$((utc_hour - 12))"
}

# zq_enter_namespace NAME COMMAND...: outside, runs COMMAND (the calling script again) in a new
# network namespace, loopback only, whose /etc/hosts maps the provider's names to 127.0.0.1 and
# whose resolver is a closed loopback port, so no request and no name look-up leaves it; then
# exits with its status, removing the namespace and its /etc/netns folder, then running the
# calling script's zq_outside_cleanup when it defines one. Inside, brings loopback up and returns.
zq_enter_namespace() {
  local name=$1
  shift
  if [[ "${ZELQUO_IN_SERVICE_NETNS:-}" == 1 ]]; then
    ip link set lo up
    return 0
  fi
  zq_netns=$name
  trap zq_remove_namespace EXIT
  trap 'exit 1' INT TERM
  mkdir -p "/etc/netns/$zq_netns"
  printf '127.0.0.1\tlocalhost\n127.0.0.1\tdynupdate.zelquo.net ip1.zelquo.net ip2.zelquo.net\n' \
    >"/etc/netns/$zq_netns/hosts"
  printf 'nameserver 127.0.0.1\n' >"/etc/netns/$zq_netns/resolv.conf"
  ip netns add "$zq_netns" || { echo "cannot create network namespace $zq_netns" >&2; exit 2; }
  ip netns exec "$zq_netns" env ZELQUO_IN_SERVICE_NETNS=1 "$@"
  exit $?
}
zq_remove_namespace() {
  ip netns pids "$zq_netns" 2>/dev/null | xargs -r kill -KILL 2>/dev/null
  ip netns delete "$zq_netns" 2>/dev/null
  rm -rf "/etc/netns/$zq_netns"
  if declare -F zq_outside_cleanup >/dev/null; then zq_outside_cleanup; fi
}

# Windows service manager and registry queries, through Wine's own tools.
state() { wine sc query ZelquoIUCSvc 2>/dev/null | tr -d '\r' | awk '/STATE/ {print $3}'; }
# reg_value KEY NAME: the value's data. Wine's reg prints "    NAME    TYPE    DATA"; names may
# hold single spaces.
reg_value() {
  local line
  while IFS= read -r line; do
    line=${line%$'\r'}
    [[ "$line" == "    $2    "* ]] || continue
    line=${line#"    $2    "}
    echo "${line#*    }"
  done < <(wine reg query "$1" /v "$2" 2>/dev/null)
}
key_missing() { ! wine reg query "$1" >/dev/null 2>&1; }

# Checks: each prints one line; zq_checks_passed prints the count and is true when none failed.
failures=0
checks=0
pass() { checks=$((checks + 1)); echo "ok   $*"; }
fail() { checks=$((checks + 1)); failures=$((failures + 1)); echo "FAIL $*"; }
check() {  # check DESCRIPTION COMMAND...
  local description=$1
  shift
  if "$@"; then pass "$description"; else fail "$description"; fi
}
zq_checks_passed() {
  echo "# $checks checks, $failures failed"
  [[ $failures -eq 0 ]]
}

# zq_require_files FILE...: stops the script (status 2) when one of the files it needs is not built.
zq_require_files() {
  local file
  for file in "$@"; do
    [[ -f "$file" ]] || { echo "missing $file" >&2; exit 2; }
  done
}

# zq_start_standin STANDIN SCRIPT RECORD READY: the native stand-in provider on 127.0.0.1:80 and
# :8245 in the background (its process id in standin_pid), waited for until it listens (at most 5 s).
zq_start_standin() {
  rm -f "$4"
  "$1" --listen 127.0.0.1:80 --listen 127.0.0.1:8245 --script "$2" --record "$3" --ready "$4" &
  standin_pid=$!
  local _
  for _ in $(seq 50); do [[ -s "$4" ]] && break; sleep 0.1; done
}

# wait_until SECONDS COMMAND...: true as soon as COMMAND is, false once SECONDS have passed.
wait_until() {
  local deadline=$((SECONDS + $1))
  shift
  while ((SECONDS <= deadline)); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

# with_settings_lock SETTINGS COMMAND...: runs the command under the lock that the programs take
# for their own writes of SETTINGS (its ".lock" file). A writer removes that file while it holds
# it, so a lock had on a file that is no longer there (or no longer that file) is no lock: try
# again, as the programs do.
with_settings_lock() {
  local settings=$1 fd status
  shift
  while :; do
    exec {fd}>>"$settings.lock" || return 1
    chmod 600 "$settings.lock" 2>/dev/null
    flock "$fd"
    [[ "$settings.lock" -ef "/proc/$BASHPID/fd/$fd" ]] && break
    exec {fd}>&-
  done
  "$@"
  status=$?
  exec {fd}>&-
  return $status
}

# zq_private_dev: a /dev of this mount namespace's own with the nodes a program needs and no
# /dev/log, so that nothing the programs log reaches the machine's (a caller may bind its own).
zq_private_dev() {
  mount -t tmpfs -o mode=0755 zelquo-dev /dev
  mknod -m 666 /dev/null c 1 3
  mknod -m 666 /dev/zero c 1 5
  mknod -m 666 /dev/urandom c 1 9
  mknod -m 666 /dev/random c 1 8
  ln -s /proc/self/fd /dev/fd
}
