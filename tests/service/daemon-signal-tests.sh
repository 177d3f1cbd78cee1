#!/bin/bash
# Runs the Linux service program as systemd would, in the foreground, and drives it with signals:
# SIGUSR1 pauses, SIGUSR2 continues, SIGTERM and SIGINT stop it between passes. Checks the
# life-cycle messages that reach syslog.
#
#   tests/service/daemon-signal-tests.sh NATIVE_BUILD_DIR
#
# The program runs in private mount and network namespaces: /dev there is a small tmpfs whose
# /dev/log is a datagram socket this script listens on, so the program's syslog(3) calls are
# received exactly as a syslog daemon would receive them, and the network has loopback only.
set -u

if [[ $# -ne 1 ]]; then
  echo "usage: $0 NATIVE_BUILD_DIR" >&2
  exit 2
fi
build_dir=$(realpath "$1")
# Namespaces need root; ctest reads 77 as "skipped".
if [[ $(id -u) -ne 0 ]]; then
  echo "skipped: needs root for its namespaces" >&2
  exit 77
fi
if [[ "${ZELQUO_IN_TEST_NS:-}" != 1 ]]; then
  exec unshare --mount --net --propagation private -- env ZELQUO_IN_TEST_NS=1 "$0" "$build_dir"
fi
ip link set lo up

program="$build_dir/service/zelquoiucsvc"
[[ -x "$program" ]] || { echo "missing $program" >&2; exit 2; }

work=$(mktemp -d /tmp/zelquo-daemon.XXXXXX)
listener_pid=
daemon_pid=
cleanup() {
  [[ -n "$daemon_pid" ]] && kill -KILL "$daemon_pid" 2>/dev/null
  [[ -n "$listener_pid" ]] && kill "$listener_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# A /dev of our own with the nodes a program needs, and our socket as /dev/log.
mount -t tmpfs -o mode=0755 zelquo-dev /dev
mknod -m 666 /dev/null c 1 3
mknod -m 666 /dev/zero c 1 5
mknod -m 666 /dev/urandom c 1 9
mknod -m 666 /dev/random c 1 8
ln -s /proc/self/fd /dev/fd
syslog_file="$work/syslog.txt"
python3 - "$syslog_file" <<'PY' &
import os, socket, sys
sock = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
sock.bind("/dev/log")
os.chmod("/dev/log", 0o666)
with open(sys.argv[1], "ab", buffering=0) as out:
    out.write(b"#ready\n")
    while True:
        out.write(sock.recv(65536) + b"\n")
PY
listener_pid=$!
for _ in $(seq 50); do grep -q '#ready' "$syslog_file" 2>/dev/null && break; sleep 0.1; done

failures=0
checks=0
pass() { checks=$((checks + 1)); echo "ok   $*"; }
fail() { checks=$((checks + 1)); failures=$((failures + 1)); echo "FAIL $*"; }
check() {
  local description=$1
  shift
  if "$@"; then pass "$description"; else fail "$description"; fi
}
# Messages arrive as "<PRI>Mon dd hh:mm:ss zelquoiucsvc[PID]: text"; daemon facility (3 << 3)
# with info (6) is 30, with error (3) is 27.
messages() { sed -n 's/^<\([0-9]*\)>.* zelquoiucsvc\[[0-9]*\]: /\1 /p' "$syslog_file"; }
wait_message() {  # wait_message "PRI text" SECONDS
  local deadline=$((SECONDS + $2))
  while ((SECONDS <= deadline)); do
    messages | grep -qxF "$1" && return 0
    sleep 0.1
  done
  return 1
}
count_messages() { messages | grep -cxF "$1"; }
wait_count() {  # wait_count "PRI text" COUNT SECONDS
  local deadline=$((SECONDS + $3))
  while ((SECONDS <= deadline)); do
    [[ $(count_messages "$1") -ge $2 ]] && return 0
    sleep 0.1
  done
  return 1
}

# The program and its settings, as installed: root's, not writable by others.
install_dir="$work/opt"
mkdir -p "$install_dir"
chmod 755 "$work" "$install_dir"
cp "$program" "$install_dir/"
printf '[Zelquo IP Update Client]\npollinterval=2\n' >"$install_dir/ZelquoIUC.ini"

start_daemon() {
  "$install_dir/zelquoiucsvc" &
  daemon_pid=$!
}
stop_and_time() {  # stop_and_time SIGNAL: sends it; sets took (ms until the end) and status
  local started
  started=$(date +%s%N)
  kill -"$1" "$daemon_pid"
  wait "$daemon_pid"
  status=$?
  took=$((($(date +%s%N) - started) / 1000000))
  daemon_pid=
}

started='30 "Zelquo IP Update Service" started successfully.'
paused='30 "Zelquo IP Update Service" paused successfully.'
continued='30 "Zelquo IP Update Service" continued successfully.'
stopped='30 "Zelquo IP Update Service" stopped successfully.'

start_daemon
check "the program starts and logs the started message" wait_message "$started" 3
check "it empties updatedip at start" grep -qx 'updatedip=' "$install_dir/ZelquoIUC.ini"
kill -USR1 "$daemon_pid"
check "SIGUSR1 pauses it after the current wait" wait_message "$paused" 4
kill -USR2 "$daemon_pid"
check "SIGUSR2 continues it" wait_message "$continued" 3
sleep 0.5
stop_and_time TERM
check "SIGTERM during the wait stops it within 2 s (took $took ms)" test "$took" -lt 2000
check "... with exit status 0" test "$status" -eq 0
check "... and the stopped message" wait_message "$stopped" 1

start_daemon
check "started again" wait_count "$started" 2 3
kill -USR1 "$daemon_pid"
check "paused again" test "$(sleep 3; count_messages "$paused")" -eq 2
stop_and_time INT
check "SIGINT stops a paused program (took $took ms, status $status)" test "$status" -eq 0
check "... with a second stopped message" test "$(sleep 0.2; count_messages "$stopped")" -eq 2
check "... and no continued message for the stop" test "$(count_messages "$continued")" -eq 1

check "nothing but life-cycle messages reached syslog" \
  test "$(messages | grep -cvxF -e "$started" -e "$paused" -e "$continued" -e "$stopped")" -eq 0

# The usage text goes to standard output; install is the unit file's job.
check "-help prints the usage text" test "$("$install_dir/zelquoiucsvc" -HELP)" == \
  "$(printf 'Zelquo IP Update Service v4.43\nUsage: ZelquoIUCSvc [-install | -uninstall | -help]')"
"$install_dir/zelquoiucsvc" -install 2>/dev/null
check "-install fails and points to the unit file" test $? -eq 1

echo "# $checks checks, $failures failed"
[[ $failures -eq 0 ]]
