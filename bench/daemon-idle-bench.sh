#!/usr/bin/env bash
# What the update daemon zelquoiucsvc costs while it idles between passes (resident memory,
# wake-ups per minute, processor time), side by side with inadyn and ddclient in daemon mode
# against the same stand-in provider. A benchmark: it prints figures and is not part of the test
# command.
#
#   bench/daemon-idle-bench.sh [NATIVE_BUILD_DIR] [IDLE_SECONDS] [POLL_SECONDS] [HOST_COUNT]
#     NATIVE_BUILD_DIR  default build/native; needs standin-provider, and zelquoiucsvc for our row
#                       (cmake --build DIR --target zelquoiucsvc standin-provider); without
#                       zelquoiucsvc only inadyn and ddclient are measured
#     IDLE_SECONDS      length of the measured idle window, default 120
#     POLL_SECONDS      poll interval given to every daemon, default 30 (ddclient raises anything
#                       under 60 to 60; the table shows the interval each one really uses)
#     HOST_COUNT        host names configured, default 1
#
# Root only (Debian 12): installs inadyn, ddclient and GNU time with apt-get when they are missing,
# with their services kept from starting. The three daemons run at the same time in one network
# namespace with only lo up, whose /etc/hosts sends the provider's names to 127.0.0.1, where the
# project's stand-in provider listens (ports 80, 8245 and 8081). Nothing leaves the machine.
#
# The daemons (same account, same host names, same IP-check server ip1.zelquo.net:8245/ipcheck.asp):
#   zelquoiucsvc  a copy of the binary beside its settings file (pollinterval=POLL_SECONDS), run in
#                 the foreground as systemd would; one update per name at start, then each pass
#                 runs the change check (IP check or route trace) and sleeps.
#   inadyn        --foreground with "period = POLL_SECONDS" and a "custom" dyndns2-style provider
#                 (/nic/update?hostname=%h&myip=%i): one update per name at start, then one IP
#                 check per period.
#   ddclient      -foreground -daemon=POLL_SECONDS, protocol dyndns2 (one batched request for all
#                 names at start), use=web on the same IP-check URL: then one IP check per interval.
# Before any figure: each daemon's first pass must have sent every configured name exactly once,
# with myip=203.0.113.77 (counted from the stand-in's record, told apart by User-Agent). A daemon
# that did not, or that died, gets no figures and the script exits with status 1.
#
# What is measured, per process, after a settling pause following the first pass:
#   RSS         VmRSS at the end of the idle window and VmHWM (peak), from /proc/PID/status
#   wake-ups    voluntary_ctxt_switches summed over /proc/PID/task/*/status, end minus start of the
#               window, per minute (a thread that starts and ends inside the window is missed)
#   ctx sw      perf stat -e context-switches -p PID over the window, per minute (counts every
#               thread, also short-lived ones, voluntary and involuntary), when perf works here
#   CPU ms      utime+stime from /proc/PID/stat (10 ms ticks) since start and within the window,
#               and perf's task-clock over the window (microsecond resolution) when perf works
#   requests    what it asked the stand-in during the window
set -euo pipefail
export LC_ALL=C

BENCH_ROOT=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=bench/bench-common.sh
source "$BENCH_ROOT/bench/bench-common.sh"

declare -A PID=() INTERVAL=() AGENT=()

# Sum of one field over all threads of process $1.
thread_sum() {
  local pid=$1 field=$2
  cat "/proc/$pid"/task/*/status 2>/dev/null | awk -v f="$field:" '$1 == f { s += $2 } END { print s + 0 }'
}

status_kib() { awk -v f="$2:" '$1 == f { print $2 }' "/proc/$1/status"; }

# utime+stime of process $1 (threads that ended included), in milliseconds.
cpu_ms() {
  local ticks
  ticks=$(sed 's/.*) //' "/proc/$1/stat" | awk '{ print $12 + $13 }')
  echo $((ticks * 1000 / CLOCK_TICKS))
}

# Stand-in record lines of one daemon (by User-Agent) from line $2 on; $1 is the agent's word.
agent_lines() {
  tail -n +$(($2 + 1)) "$WORK/record" | awk -F'\t' -v agent="$1" '{
      a = "zelquo"
      for (i = 4; i <= NF; i++) if ($i ~ /^User-Agent: /) {
        if ($i ~ /inadyn/) a = "inadyn"; else if ($i ~ /ddclient/) a = "ddclient"
      }
      if (a == agent) print }'
}

alive() { [[ -d "/proc/$1" ]] && [[ "$(awk '$1 == "State:" { print $2 }' "/proc/$1/status" 2>/dev/null)" != Z ]]; }

start_daemons() {
  local count=$1 poll=$2
  if [[ -n "$SVC" ]]; then
    mkdir "$WORK/svc"
    cp "$SVC" "$WORK/svc/"
    bench_write_zelquo_settings "$WORK/svc" "$count" "pollinterval=$poll"
    ip netns exec "$NS" "$WORK/svc/zelquoiucsvc" > "$WORK/log/zelquoiucsvc.log" 2>&1 &
    PID[zelquoiucsvc]=$! INTERVAL[zelquoiucsvc]=$poll AGENT[zelquoiucsvc]=zelquo
  fi
  bench_write_inadyn_conf "$WORK/inadyn.conf" "$count" "$poll"
  mkdir "$WORK/inadyn-cache"
  ip netns exec "$NS" inadyn --foreground --no-pidfile "--cache-dir=$WORK/inadyn-cache" \
    -f "$WORK/inadyn.conf" > "$WORK/log/inadyn.log" 2>&1 &
  PID[inadyn]=$! INTERVAL[inadyn]=$poll AGENT[inadyn]=inadyn
  bench_write_ddclient_conf "$WORK/ddclient.conf" "$count" "$poll"
  ip netns exec "$NS" ddclient -foreground "-daemon=$poll" -file "$WORK/ddclient.conf" \
    -cache "$WORK/ddclient.cache" > "$WORK/log/ddclient.log" 2>&1 &
  PID[ddclient]=$! INTERVAL[ddclient]=$((poll < 60 ? 60 : poll)) AGENT[ddclient]=ddclient
}

# Waits (at most 60 s) until every daemon's first pass has named all hosts; marks the others.
verify_first_passes() {
  local count=$1 client deadline=$((SECONDS + 60)) pending
  local updates ipchecks other sent missing repeated unknown wrong
  while :; do
    pending=0
    for client in "${CLIENTS[@]}"; do
      [[ -n "${FAILED[$client]:-}" || -n "${VERIFIED[$client]:-}" ]] && continue
      read -r updates ipchecks other sent missing repeated unknown wrong < <(
        agent_lines "${AGENT[$client]}" 0 | bench_count_requests "$WORK/names")
      if ((sent >= count && missing == 0)); then
        if ((repeated || unknown || wrong || other || sent != count)); then
          FAILED[$client]="first pass sent $updates update requests naming $sent host names for $count ($repeated twice, $unknown unknown, $wrong without myip=$BENCH_ADDRESS, $other other requests)"
        else
          VERIFIED[$client]="$updates update request(s) for $sent name(s), $ipchecks IP check(s)"
        fi
      elif ! alive "${PID[$client]}"; then
        FAILED[$client]="ended before its first pass was done"
      elif ((SECONDS >= deadline)); then
        FAILED[$client]="first pass named only $sent of $count host names within 60 s"
      else
        pending=1
      fi
    done
    ((pending)) || break
    sleep 0.5
  done
  for client in "${CLIENTS[@]}"; do
    if [[ -n "${FAILED[$client]:-}" ]]; then
      echo "VERIFICATION FAILED: $client: ${FAILED[$client]}" >&2
      echo "  its requests:" >&2
      agent_lines "${AGENT[$client]}" 0 | cut -f1-3 | head -n 6 | sed 's/^/    /' >&2
      echo "  last lines of its output:" >&2
      tail -n 6 "$WORK/log/$client.log" | sed 's/^/    /' >&2
    else
      echo "  $client first pass: ${VERIFIED[$client]}"
    fi
  done
}

# Ends daemon $1 with SIGTERM and prints how long it took, in milliseconds (or "killed").
stop_daemon() {
  local pid=$1 start end _
  kill -TERM "$pid" 2>/dev/null || { echo gone; return; }
  start=${EPOCHREALTIME/./}
  for _ in $(seq 300); do
    alive "$pid" || break
    sleep 0.05
  done
  end=${EPOCHREALTIME/./}
  if alive "$pid"; then
    kill -KILL "$pid" 2>/dev/null || true
    echo killed
  else
    echo $(((end - start) / 1000))
  fi
  wait "$pid" 2>/dev/null || true
}

main() {
  local build idle=${2:-120} poll=${3:-30} count=${4:-1}
  build=$(bench_build_dir "${1:-}")
  [[ "$idle" =~ ^[1-9][0-9]*$ ]] || bench_die "IDLE_SECONDS must be a positive number"
  [[ "$poll" =~ ^[1-9][0-9]*$ ]] || bench_die "POLL_SECONDS must be a positive number"
  [[ "$count" =~ ^[1-9][0-9]*$ ]] || bench_die "HOST_COUNT must be a positive number"
  bench_require_root
  [[ -x "$build/tests/support/standin-provider" ]] ||
    bench_die "$build/tests/support/standin-provider is not built (cmake --build $build --target standin-provider)"
  SVC=
  if [[ -x "$build/service/zelquoiucsvc" ]]; then
    SVC="$build/service/zelquoiucsvc"
    CLIENTS=(zelquoiucsvc inadyn ddclient)
  else
    echo "zelquoiucsvc: not built yet ($build/service/zelquoiucsvc is missing; cmake --build $build --target zelquoiucsvc); measuring inadyn and ddclient only"
    CLIENTS=(inadyn ddclient)
  fi
  bench_install_packages
  CLOCK_TICKS=$(getconf CLK_TCK)
  local perf=
  if command -v perf >/dev/null && perf stat -x, -e context-switches,task-clock true >/dev/null 2>&1; then
    perf=1
  fi

  WORK=$(mktemp -d /tmp/zq-daemon-bench.XXXXXX)
  NS=zq-daemon-bench-$$
  # shellcheck disable=SC2154  # p is the trap's own loop variable
  trap 'rc=$?; for p in "${PID[@]}"; do kill "$p" 2>/dev/null || true; done; bench_stop_standin;
        bench_exit_cleanup $rc' EXIT
  trap 'exit 130' INT TERM
  mkdir "$WORK/log"
  bench_make_namespace "$NS"
  bench_host_names "$count" > "$WORK/names"
  bench_write_standin_script "$WORK/script" "$count"
  bench_start_standin "$NS" "$build" "$WORK/script" "$WORK/record" "$WORK/ready"

  echo "Idle daemons: ${CLIENTS[*]} (inadyn $(dpkg-query -W -f='${Version}' inadyn), ddclient $(dpkg-query -W -f='${Version}' ddclient))"
  echo "build: $build ($(git -C "$BENCH_ROOT" rev-parse --short HEAD 2>/dev/null || echo '?'))"
  echo "machine: $(nproc) cores, $(uname -r), load average $(cut -d' ' -f1-3 /proc/loadavg)"
  echo "namespace $NS; $count host name(s); poll interval $poll s; idle window $idle s"
  if [[ -n "$perf" ]]; then
    echo "perf stat: context-switches and task-clock per process"
  else
    echo "perf stat: not usable here, /proc figures only"
  fi

  declare -gA FAILED=() VERIFIED=()
  start_daemons "$count" "$poll"
  echo "waiting for every daemon's first pass..."
  verify_first_passes "$count"
  # Let the start-up settle: the first pass's last answer, the first sleep.
  sleep 5

  local client pid
  declare -A vol0=() cs0=() cpu0=() perf_out=() perf_pid=()
  local line0
  for client in "${CLIENTS[@]}"; do
    [[ -n "${FAILED[$client]:-}" ]] && continue
    pid=${PID[$client]}
    vol0[$client]=$(thread_sum "$pid" voluntary_ctxt_switches)
    cs0[$client]=$(($(thread_sum "$pid" nonvoluntary_ctxt_switches) + vol0[$client]))
    cpu0[$client]=$(cpu_ms "$pid")
    if [[ -n "$perf" ]]; then
      perf_out[$client]="$WORK/perf-$client.csv"
      perf stat -x, -e context-switches,task-clock -o "${perf_out[$client]}" -p "$pid" -- sleep "$idle" &
      perf_pid[$client]=$!
    fi
  done
  line0=$(wc -l < "$WORK/record")
  echo "idle window: $idle s..."
  sleep "$idle"
  for client in "${!perf_pid[@]}"; do wait "${perf_pid[$client]}" 2>/dev/null || true; done

  local status=0 rows=() vol cs cpu rss hwm threads window_cpu perf_cs perf_cpu ipchecks updates
  for client in "${CLIENTS[@]}"; do
    if [[ -z "${FAILED[$client]:-}" ]] && ! alive "${PID[$client]}"; then
      FAILED[$client]="ended during the idle window"
      echo "VERIFICATION FAILED: $client ended during the idle window" >&2
      tail -n 6 "$WORK/log/$client.log" | sed 's/^/    /' >&2
    fi
    if [[ -n "${FAILED[$client]:-}" ]]; then
      rows+=("$(printf '%-13s NOT VERIFIED, no figures: %s' "$client" "${FAILED[$client]}")")
      status=1
      continue
    fi
    pid=${PID[$client]}
    vol=$(($(thread_sum "$pid" voluntary_ctxt_switches) - vol0[$client]))
    cs=$(($(thread_sum "$pid" nonvoluntary_ctxt_switches) + $(thread_sum "$pid" voluntary_ctxt_switches) - cs0[$client]))
    cpu=$(cpu_ms "$pid")
    window_cpu=$((cpu - cpu0[$client]))
    rss=$(status_kib "$pid" VmRSS)
    hwm=$(status_kib "$pid" VmHWM)
    threads=$(status_kib "$pid" Threads)
    perf_cs=- perf_cpu=-
    if [[ -n "${perf_out[$client]:-}" && -s "${perf_out[$client]}" ]]; then
      perf_cs=$(awk -F, -v s="$idle" '$3 == "context-switches" { printf "%.1f", $1 * 60 / s }' "${perf_out[$client]}")
      perf_cpu=$(awk -F, '$3 == "task-clock" { printf "%.2f", $1 }' "${perf_out[$client]}")
    fi
    ipchecks=$(agent_lines "${AGENT[$client]}" "$line0" | awk -F'\t' '$3 ~ /^\/ipcheck\.asp/' | wc -l)
    updates=$(agent_lines "${AGENT[$client]}" "$line0" | awk -F'\t' '$3 ~ /^\/nic\/update/' | wc -l)
    rows+=("$(awk -v c="$client" -v iv="${INTERVAL[$client]}" -v th="$threads" -v rss="$rss" -v hwm="$hwm" \
      -v vol="$vol" -v cs="$cs" -v s="$idle" -v pcs="$perf_cs" -v cpu="$cpu" -v wcpu="$window_cpu" \
      -v pcpu="$perf_cpu" -v req="$ipchecks+$updates" 'BEGIN {
        printf "%-13s %5d %4d %8d %8d %9.1f %9.1f %9s %8d %8d %9s %8s\n",
          c, iv, th, rss, hwm, vol * 60 / s, cs * 60 / s, pcs, cpu, wcpu, pcpu, req }')")
  done

  echo
  printf '%-13s %5s %4s %8s %8s %9s %9s %9s %8s %8s %9s %8s\n' "" interval "" "VmRSS" "VmHWM" \
    "wake-ups" "ctx sw" "ctx sw" "CPU ms" "CPU ms" "CPU ms" requests
  printf '%-13s %5s %4s %8s %8s %9s %9s %9s %8s %8s %9s %8s\n' daemon "s" thr KiB KiB "/min" "/min" \
    "/min perf" total window "win perf" "chk+upd"
  printf '%s\n' "${rows[@]}"
  echo
  echo "interval: poll interval the daemon uses; thr: threads at the end; wake-ups: voluntary context switches of all threads;"
  echo "ctx sw: voluntary + involuntary (/proc, then perf stat -p with every thread it started); CPU ms total: utime+stime"
  echo "since start (first pass included, 10 ms ticks); window: the idle ${idle} s only; chk+upd: IP checks + update requests in the window"

  local stops=
  for client in "${CLIENTS[@]}"; do
    if alive "${PID[$client]}"; then stops+="${stops:+, }$client $(stop_daemon "${PID[$client]}") ms"; fi
  done
  PID=()
  echo "time from SIGTERM to exit: $stops"
  return $status
}

main "$@"
