#!/bin/bash
# A long run of the Linux daemon against the stand-in provider with a fault in every round, in
# turn. After each round it checks that the daemon's threads, open descriptors and resident
# memory stay flat, that its passes went on within their time-outs, and that the settings file
# is still whole; it prints the figures at the end.
#
#   tests/soak/daemon-soak.sh NATIVE_BUILD_DIR [PASSES [ROTATIONS]]
#
# It runs until PASSES passes (default 10000) have reached the stand-in provider and every fault
# has had ROTATIONS rounds (default 30, the first of them the warm-up; about 13 s each). A round
# that counts passes waits for 20 of them (6 for the slow answers); the daemon makes hundreds a
# second, so most rounds see more. The test command runs a short form: 1000 passes, 3 rotations.
# Every pass asks the IP-check server and sends one host update, which the provider answers
# "dnserr" (a fault on its side, which settles nothing), so that the next pass, at once
# (pollinterval=0), does the same.
#
# The faults, one per round: none; a resolver that never answers (the provider's names are taken
# out of the hosts file, and queries go to an address that swallows them); refused connects (no
# provider); connections closed without an answer; answers cut off mid-way; answers that
# trickle in a byte at a time; endless answers; "badauth", which empties the password (the
# script puts it back); the settings file replaced by a new copy; the settings file unreadable
# (a folder in its place for a second, then SIGHUP to end the default 60-s wait it leads to); a
# full file system (the program's folder is a small tmpfs, filled up, so every write fails).
# A "911" answer, which pauses the loop for 10 minutes that only a stop ends, comes once, after
# the last round: the pause holds, and SIGTERM during it ends the daemon within 2 s.
#
# Limits: after the first round of every fault (the warm-up), threads at most the warm-up's
# figure + 4 (the name look-ups a silent resolver may hold), open descriptors at most its figure
# + 4, resident memory at most 1 MiB above it; each round's passes within 30 s + 5 s a pass, and
# after a fault that stops the passes, the next pass reaches the provider within 30 s; the
# settings file is a regular file with every key it had, after every round.
#
# It runs in a network namespace of its own (loopback and one veth pair with no peer beyond it)
# and a private /dev, so nothing leaves the namespace and nothing reaches the machine's log.
set -u

if [[ $# -lt 1 || $# -gt 3 ]]; then
  echo "usage: $0 NATIVE_BUILD_DIR [PASSES [ROTATIONS]]" >&2
  exit 2
fi
build_dir=$(realpath "$1")
target_passes=${2:-10000}
target_rotations=${3:-30}
round_passes=20
. "$(dirname "$(readlink -f "$0")")/../service/service-script-lib.sh"
zq_require_root
zq_noon_clock
zq_enter_namespace "zelquo-soak-$$" "$0" "$build_dir" "$target_passes" "$target_rotations"

program="$build_dir/service/zelquoiucsvc"
standin="$build_dir/tests/support/standin-provider"
zq_require_files "$program" "$standin"

work=$(mktemp -d /tmp/zelquo-soak.XXXXXX)
install_dir="$work/opt"
daemon_pid=
standin_pid=
cleanup() {
  [[ -n "$daemon_pid" ]] && kill -KILL "$daemon_pid" 2>/dev/null
  [[ -n "$standin_pid" ]] && kill "$standin_pid" 2>/dev/null
  wait 2>/dev/null
  umount "$install_dir" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# A /dev of our own without /dev/log: the daemon's syslog messages go nowhere.
zq_private_dev

# The silent resolver: queries leave a veth card for a hardware address no card holds, and the
# far end, without an address, drops them. The C library gives up on each name after a second.
ip link add zq-void type veth peer name zq-void-end
ip addr add 192.0.2.1/24 dev zq-void
ip link set zq-void up
ip link set zq-void-end up
ip neigh add 192.0.2.53 lladdr 02:5a:00:00:00:53 dev zq-void nud permanent
# Written in place: they are the files `ip netns exec` mounted over /etc's own.
printf 'nameserver 192.0.2.53\noptions timeout:1 attempts:1\n' >/etc/resolv.conf
hosts_with_provider=$(cat /etc/hosts)

# The program's folder: a tmpfs with 128 KiB to spare beside the program.
mkdir -p "$install_dir"
chmod 755 "$work"
mount -t tmpfs -o "size=$(($(stat -c %s "$program") / 1024 + 128))k,mode=0755" zelquo-soak "$install_dir"
cp "$program" "$install_dir/"
settings="$install_dir/ZelquoIUC.ini"
password='n`^m`oI'  # "secret", scrambled
write_settings() {  # write_settings FILE: the run's settings, before the daemon's own keys
  printf '%s\n' '[Zelquo IP Update Client]' pollinterval=0 "password=$password" numofdomainnames=1 \
    domain_name1=home.example.net >"$1"
}
write_settings "$settings"
chmod 644 "$settings"
expected_keys=$(sort "$settings")
volatile='^(updatedip|updatedminutes|checkminutes)='

record="$work/provider.record"
provider_rules=
start_provider() {  # start_provider RULE...: the stand-in answering by the rules
  stop_provider
  printf '%s\n' "$@" >"$work/provider.script"
  zq_start_standin "$standin" "$work/provider.script" "$record" "$work/provider.ready"
}
# Each start empties the record: what the last provider recorded is counted first.
stop_provider() {
  [[ -n "$standin_pid" ]] || return 0
  kill "$standin_pid" 2>/dev/null
  wait "$standin_pid" 2>/dev/null
  standin_pid=
  counted=$((counted + $(updates)))
  : >"$record"
}
# The host updates the running provider recorded: one a pass.
updates() { awk -F'\t' '$2 == "GET" && index($3, "/nic/update") == 1 {n++} END {print n + 0}' "$record"; }
updates_reach() { (($(updates) >= $1)); }
counted=0
: >"$record"
passes() { echo $((counted + $(updates))); }  # passes that reached the provider, in all

# locked COMMAND...: runs it under the lock that the programs take for their own writes (the
# daemon's next write removes the lock file again).
locked() { with_settings_lock "$settings" "$@"; }
set_settings() { locked sed -i "s|^${1%%=*}=.*|$1|" "$settings"; }
setting() { sed -n "s/^$1=//p" "$settings"; }
password_forgotten() { grep -qx 'password=' "$settings"; }

sample() {  # sets threads, fds and rss_kb from the daemon's /proc entries
  threads=$(awk '/^Threads:/ {print $2}' "/proc/$daemon_pid/status")
  rss_kb=$(awk '/^VmRSS:/ {print $2}' "/proc/$daemon_pid/status")
  fds=$(ls "/proc/$daemon_pid/fd" | wc -l)
}
settings_whole() {
  [[ -f "$settings" && ! -L "$settings" ]] &&
    [[ "$(head -n 1 "$settings")" == '[Zelquo IP Update Client]' ]] &&
    [[ "$(grep -Ev "$volatile" "$settings" | sort)" == "$expected_keys" ]]
}

# run_passes COUNT: waits until COUNT more passes reached the provider; false when they took
# longer than 30 s + 5 s each.
run_passes() {
  local goal=$(($(updates) + $1)) deadline=$((SECONDS + 30 + 5 * $1))
  while (($(updates) < goal)); do
    ((SECONDS > deadline)) && return 1
    sleep 0.05
  done
}
# hold SECONDS: a fault that stops the passes from reaching the provider lasts this long.
hold() { sleep "$1"; }

normal_rules=('/ipcheck.asp 200 ip203.0.113.77' '/nic/update 200 dnserr')
faults=(none resolver refused closed cut trickle endless badauth replaced unreadable full)
# inject FAULT: one round of it; false when the passes did not go on as they should.
inject() {
  local before
  before=$(updates)
  case $1 in
    none) start_provider "${normal_rules[@]}" && run_passes "$round_passes" ;;
    resolver)
      start_provider "${normal_rules[@]}"
      printf '127.0.0.1\tlocalhost\n' >/etc/hosts
      hold 6
      note_figures
      printf '%s\n' "$hosts_with_provider" >/etc/hosts ;;
    refused) stop_provider && hold 1 ;;
    closed) start_provider '/ipcheck.asp 200 close' '/nic/update 200 close' && run_passes "$round_passes" ;;
    cut)
      start_provider '/ipcheck.asp 200 header=Content-Length:400 ip203.0.113.77' \
        '/nic/update 200 header=Content-Length:400 dnserr' && run_passes "$round_passes" ;;
    trickle)
      start_provider '/ipcheck.asp 200 trickle=20 ip203.0.113.77' '/nic/update 200 trickle=20 dnserr' &&
        run_passes $((round_passes / 4 + 1)) ;;
    endless)
      start_provider '/ipcheck.asp 200 endless ip203.0.113.77' '/nic/update 200 endless dnserr' &&
        run_passes $((round_passes / 4 + 1)) ;;
    badauth)
      start_provider '/ipcheck.asp 200 ip203.0.113.77' '/nic/update 200 badauth'
      wait_until 30 password_forgotten || return 1
      start_provider "${normal_rules[@]}"  # before the password is back, or it goes again
      set_settings "password=$password" ;;
    replaced)
      start_provider "${normal_rules[@]}"
      run_passes $((round_passes / 2)) || return 1
      write_settings "$install_dir/.replacement"
      locked mv "$install_dir/.replacement" "$settings"
      run_passes $((round_passes / 2)) ;;
    unreadable)
      locked bash -c 'mv "$1" "$1.away" && mkdir "$1"' _ "$settings"
      hold 1
      locked bash -c 'rmdir "$1" && mv "$1.away" "$1"' _ "$settings"
      # Without its settings the daemon waits the default 60 s; the signal a settings change
      # sends ends that wait.
      kill -HUP "$daemon_pid" ;;
    full)
      start_provider "${normal_rules[@]}"
      dd if=/dev/zero of="$install_dir/filler" bs=4k 2>/dev/null
      run_passes "$round_passes"
      local status=$?
      rm -f "$install_dir/filler"
      return $status ;;
  esac || return 1
  # Whatever the fault, the daemon goes on: a pass reaches a working provider within 30 s.
  if [[ $1 == refused || $1 == resolver || $1 == unreadable || $1 == badauth ]]; then
    start_provider "${normal_rules[@]}"
    wait_until 30 updates_reach 1 || return 1
  fi
}

warm=0
max_threads=0 max_fds=0 max_rss=0 base_threads=0 base_fds=0 base_rss=0
# After the warm-up, the highest figures so far; false when one is over its limit.
note_figures() {
  sample
  ((warm)) || return 0
  ((threads > max_threads)) && max_threads=$threads
  ((fds > max_fds)) && max_fds=$fds
  ((rss_kb > max_rss)) && max_rss=$rss_kb
  ((threads <= base_threads + 4 && fds <= base_fds + 4 && rss_kb <= base_rss + 1024))
}
show_state() {
  echo "# the settings file:" && cat "$settings"
  echo "# the program's folder: $(ls -A "$install_dir" | tr '\n' ' ')"
  echo "# the provider's last requests:" && tail -n 3 "$record" | cut -f1-3
}
# The daemon's temporary file beside the settings lives a moment in every write: one that stays
# through a second of looks was left behind.
only_ours() {
  local _
  for _ in $(seq 10); do
    [[ "$(ls -A "$install_dir" | tr '\n' ' ')" == "ZelquoIUC.ini zelquoiucsvc " ]] && return 0
    sleep 0.1
  done
  return 1
}

"$install_dir/zelquoiucsvc" &
daemon_pid=$!
started=$SECONDS
rounds=0
rotations=0
longest=0

while (($(passes) < target_passes || rotations < target_rotations)); do
  rotations=$((rotations + 1))
  for fault in "${faults[@]}"; do
    round_started=$SECONDS
    rounds=$((rounds + 1))
    if ! inject "$fault"; then
      fail "round $rounds ($fault): the passes stopped or took too long"
      show_state
      break 2
    fi
    ((SECONDS - round_started > longest)) && longest=$((SECONDS - round_started))
    kill -0 "$daemon_pid" 2>/dev/null || { fail "round $rounds ($fault): the daemon ended"; break 2; }
    settings_whole || { fail "round $rounds ($fault): the settings file was lost or changed"; show_state; break 2; }
    only_ours || { fail "round $rounds ($fault): files left in the folder: $(ls -A "$install_dir")"; break 2; }
    if ! note_figures; then
      fail "round $rounds ($fault): threads $threads, fds $fds, RSS $rss_kb KiB" \
        "(warm-up: $base_threads, $base_fds, $base_rss KiB)"
      break 2
    fi
  done
  if ((!warm)); then
    warm=1
    base_threads=$threads base_fds=$fds base_rss=$rss_kb
    max_threads=$threads max_fds=$fds max_rss=$rss_kb
    echo "# warm-up: $rounds rounds, $(passes) passes; threads $threads, fds $fds, RSS $rss_kb KiB"
  fi
done

passes=$(passes)
echo "# $passes passes reached the provider in $rounds rounds ($rotations of each fault)" \
  "and $((SECONDS - started)) s; the longest round took $longest s"
echo "# threads $base_threads..$max_threads, fds $base_fds..$max_fds, RSS $base_rss..$max_rss KiB"
check "the daemon made $target_passes passes or more, through every fault $target_rotations times" \
  test "$passes" -ge "$target_passes" -a "$rotations" -ge "$target_rotations" -a "$rounds" -eq $((rotations * ${#faults[@]}))
check "... its threads stayed within the warm-up's $base_threads + 4 (at most $max_threads)" \
  test "$max_threads" -le $((base_threads + 4))
check "... its descriptors within $base_fds + 4 (at most $max_fds)" test "$max_fds" -le $((base_fds + 4))
check "... its resident memory within 1 MiB of $base_rss KiB (at most $max_rss KiB)" \
  test "$max_rss" -le $((base_rss + 1024))
check "the settings file is whole" settings_whole

# Last, "911": after the long run the pause still holds (no pass for 3 s), and a stop ends it.
start_provider '/ipcheck.asp 200 ip203.0.113.77' '/nic/update 200 911'
run_passes 1
paused_at=$(updates)
sleep 3
check "a \"911\" answer pauses the passes ($(($(updates) - paused_at)) more in 3 s)" test "$(updates)" -eq "$paused_at"
stop_started=$(date +%s%N)
kill -TERM "$daemon_pid"
(sleep 10 && kill -KILL "$daemon_pid" 2>/dev/null) &
killer=$!
wait "$daemon_pid"
status=$?
took=$((($(date +%s%N) - stop_started) / 1000000))
kill "$killer" 2>/dev/null
check "SIGTERM during the pause stops it within 2 s (took $took ms, status $status)" \
  test "$status" -eq 0 -a "$took" -lt 2000
daemon_pid=
zq_checks_passed
