#!/usr/bin/env bash
# One-shot update latency and peak memory of the console utility zelquoipupdate, side by side with
# inadyn and ddclient doing the same work, for 1 and for 50 host names. A benchmark: it prints
# figures and is not part of the test command.
#
#   bench/cli-update-bench.sh [NATIVE_BUILD_DIR] [RUNS] [HOST_COUNTS] [https]
#     NATIVE_BUILD_DIR  default build/native; needs the targets zelquoipupdate and standin-provider
#                       (cmake --build DIR --target zelquoipupdate standin-provider)
#     RUNS              measured runs per client and host count, default 9
#     HOST_COUNTS       quoted list, default "1 50"
#     https             the updates over HTTPS instead: zelquoipupdate with usehttps=1 and inadyn
#                       with ssl = true and a ca-trust-file, both to stunnel on 443 in front of
#                       the stand-in, with a certificate of an authority made for the run and
#                       trusted only in the namespace (ddclient is left out)
#
# Root only (Debian 12): installs inadyn, ddclient and GNU time with apt-get when they are missing,
# with their services kept from starting. Everything runs inside a network namespace of its own
# with only lo up; its /etc/hosts sends dynupdate.zelquo.net, ip1.zelquo.net and ip2.zelquo.net to
# 127.0.0.1, where the project's stand-in provider listens on ports 80 and 8245 (and 8081, below).
# Nothing leaves the machine.
#
# The same work, for N host names, plain HTTP, one pass, nothing cached from an earlier run:
#   zelquoipupdate  its own settings file beside a copy of the binary (user name, scrambled
#                   password, N domain_nameI, server-side detection): one GET /ipcheck.asp on
#                   ip1.zelquo.net:8245, then one GET /nic/update?hostname=NAME&myip=... per name
#                   on port 80.
#   inadyn          a "custom" provider with the same IP-check server and path, ddns-path
#                   /nic/update?hostname=%h&myip=%i on port 80 and the same N names: one IP check,
#                   then one request per name. Run with --once --force and its cache folder emptied
#                   before every run, or it would skip names whose address it already sent.
#   ddclient        protocol dyndns2 with use=web on the same IP-check URL (web-skip=ip), script
#                   /nic/update on port 8081 and the same N names: one IP check, then ONE request
#                   whose hostname= lists all N names (dyndns2 batches names sharing an account),
#                   answered with N "good" lines as a dyndns2 server does. Run with -force and its
#                   cache file removed before every run.
# Every run is checked against what the stand-in recorded: each of the N names sent exactly once,
# each update carrying myip=203.0.113.77, at least one IP check, nothing else, and exit status 0.
# A client that fails the check gets no figures, and the script then exits with status 1.
#
# How it measures: the clients take turns, one warm-up run each (checked, not counted), then RUNS
# rounds. In each round every client runs twice: once timed (wall time from bash's EPOCHREALTIME
# around a plain fork and exec, in the namespace) and once under GNU time for its peak resident set
# (%M). The table shows medians and the ratios to zelquoipupdate.
set -euo pipefail
export LC_ALL=C

BENCH_ROOT=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=bench/bench-common.sh
source "$BENCH_ROOT/bench/bench-common.sh"
if [[ "${BENCH_HTTPS:-}" == 1 || "${4:-}" == https ]]; then
  export BENCH_HTTPS=1
  readonly CLIENTS=(zelquoipupdate inadyn)
else
  readonly CLIENTS=(zelquoipupdate inadyn ddclient)
fi

# --- inside the namespace ------------------------------------------------------------------------

# Prepares and runs client $1 for $2 names once; $3 is "timed" or "rss". Sets RUN_VALUE (µs or
# KiB) and RUN_COUNTS, or returns 1 with RUN_FAILURE set.
run_client_once() {
  local client=$1 count=$2 mode=$3 work=$WORK
  local -a command
  case "$client" in
    zelquoipupdate) command=("$work/zq-$count/zelquoipupdate") ;;
    inadyn)
      rm -rf "$work/inadyn-cache"
      mkdir "$work/inadyn-cache"
      command=(inadyn --once --force --foreground --no-pidfile "--cache-dir=$work/inadyn-cache"
        -f "$work/inadyn-$count.conf")
      ;;
    ddclient)
      rm -f "$work/ddclient.cache"
      command=(ddclient -foreground -daemon=0 -force -file "$work/ddclient-$count.conf"
        -cache "$work/ddclient.cache")
      ;;
  esac
  local log="$work/log/$client-$count.log" before rc=0 start end
  before=$(wc -l < "$work/record")
  if [[ "$mode" == timed ]]; then
    start=${EPOCHREALTIME/./}
    "${command[@]}" > "$log" 2>&1 || rc=$?
    end=${EPOCHREALTIME/./}
    RUN_VALUE=$((end - start))
  else
    /usr/bin/time -f %M -o "$work/rss" "${command[@]}" > "$log" 2>&1 || rc=$?
    RUN_VALUE=$(tail -n 1 "$work/rss")
  fi
  local updates ipchecks other sent missing repeated unknown wrong
  read -r updates ipchecks other sent missing repeated unknown wrong < <(
    tail -n +$((before + 1)) "$work/record" | bench_count_requests "$work/names-$count")
  RUN_COUNTS="$updates $ipchecks"
  RUN_FAILURE=
  if ((rc != 0)); then
    RUN_FAILURE="exit status $rc"
  elif ((sent != count || missing || repeated || unknown)); then
    RUN_FAILURE="$updates update requests naming $sent host names for $count configured ($missing missing, $repeated sent twice, $unknown unknown)"
  elif ((wrong)); then
    RUN_FAILURE="$wrong update requests without myip=$BENCH_ADDRESS"
  elif ((ipchecks < 1)); then
    RUN_FAILURE="no IP check"
  elif ((other)); then
    RUN_FAILURE="$other requests for other paths"
  fi
  if [[ -n "$RUN_FAILURE" ]]; then
    {
      echo "VERIFICATION FAILED: $client, $count names ($mode run): $RUN_FAILURE"
      echo "  requests recorded in this run:"
      tail -n +$((before + 1)) "$work/record" | cut -f1-3 | head -n 8 | sed 's/^/    /'
      echo "  last lines of its output:"
      tail -n 8 "$log" | sed 's/^/    /'
    } >&2
    return 1
  fi
}

# Runs in the namespace, with WORK and BENCH_BUILD from the caller's environment.
measure_inside() {
  local runs=$1 counts=$2 count client round
  mkdir -p "$WORK/log" "$WORK/result"
  trap 'bench_stop_standin; [[ -n "${BENCH_TLS_PID:-}" ]] && kill "$BENCH_TLS_PID"' EXIT
  if [[ "${BENCH_HTTPS:-}" == 1 ]]; then
    bench_start_tls_front "$WORK"
    for count in $counts; do
      bench_write_zelquo_settings "$WORK/zq-$count" "$count" usehttps=1
      bench_write_inadyn_conf "$WORK/inadyn-$count.conf" "$count" "" "$BENCH_CA_FILE"
    done
  fi
  for count in $counts; do
    bench_write_standin_script "$WORK/script-$count" "$count"
    bench_start_standin "" "$BENCH_BUILD" "$WORK/script-$count" "$WORK/record" "$WORK/ready"
    declare -A failed=()
    for client in "${CLIENTS[@]}"; do
      : > "$WORK/result/$client-$count.wall"
      : > "$WORK/result/$client-$count.rss"
      if run_client_once "$client" "$count" timed; then
        echo "$RUN_COUNTS" > "$WORK/result/$client-$count.counts"
      else
        failed[$client]=1
        echo "$RUN_FAILURE" > "$WORK/result/$client-$count.failed"
      fi
    done
    printf 'N=%s: ' "$count"
    for ((round = 1; round <= runs; round++)); do
      for client in "${CLIENTS[@]}"; do
        [[ -n "${failed[$client]:-}" ]] && continue
        if run_client_once "$client" "$count" timed; then
          echo "$RUN_VALUE" >> "$WORK/result/$client-$count.wall"
        else
          failed[$client]=1
          echo "$RUN_FAILURE" > "$WORK/result/$client-$count.failed"
          continue
        fi
        if run_client_once "$client" "$count" rss; then
          echo "$RUN_VALUE" >> "$WORK/result/$client-$count.rss"
        else
          failed[$client]=1
          echo "$RUN_FAILURE" > "$WORK/result/$client-$count.failed"
        fi
      done
      printf '.'
    done
    echo
    unset failed
    bench_stop_standin
  done
}

# --- outside: setup, table ----------------------------------------------------------------------

print_table() {
  local runs=$1 counts=$2 count client wall fastest rss base_wall base_rss counts_text updates ipchecks status=0
  echo
  printf '%-4s %-15s %-27s %9s %8s %6s %13s %6s\n' N client "requests per run" "wall ms" "min ms" "x zq" "peak RSS KiB" "x zq"
  for count in $counts; do
    base_wall='' base_rss=''
    for client in "${CLIENTS[@]}"; do
      local result="$WORK/result/$client-$count"
      if [[ -f "$result.failed" ]]; then
        printf '%-4s %-15s NOT VERIFIED, no figures: %s\n' "$count" "$client" "$(cat "$result.failed")"
        status=1
        continue
      fi
      read -r updates ipchecks < "$result.counts"
      counts_text="$ipchecks IP check + $updates update"
      ((updates == 1)) || counts_text+="s"
      wall=$(bench_median < "$result.wall")
      fastest=$(sort -n "$result.wall" | head -n 1)
      rss=$(bench_median < "$result.rss")
      if [[ "$client" == zelquoipupdate ]]; then base_wall=$wall base_rss=$rss; fi
      awk -v n="$count" -v c="$client" -v t="$counts_text" -v w="$wall" -v f="$fastest" -v r="$rss" \
        -v bw="$base_wall" -v br="$base_rss" 'BEGIN {
          rw = (bw > 0) ? sprintf("%.2f", w / bw) : "-"; rr = (br > 0) ? sprintf("%.2f", r / br) : "-"
          printf "%-4s %-15s %-27s %9.2f %8.2f %6s %13d %6s\n", n, c, t, w / 1000, f / 1000, rw, r, rr }'
    done
  done
  echo
  echo "wall ms: median of $runs runs, fork+exec to exit, in the namespace (min ms: the fastest); peak RSS: median of $runs runs of GNU time %M"
  echo "x zq: ratio to zelquoipupdate for the same host count"
  return $status
}

main() {
  local build runs=${2:-9} counts=${3:-"1 50"}
  build=$(bench_build_dir "${1:-}")
  [[ "$runs" =~ ^[1-9][0-9]*$ ]] || bench_die "RUNS must be a positive number"
  bench_require_root
  local binary
  for binary in cli/zelquoipupdate tests/support/standin-provider; do
    [[ -x "$build/$binary" ]] ||
      bench_die "$build/$binary is not built (cmake --build $build --target zelquoipupdate standin-provider)"
  done
  bench_install_packages

  WORK=$(mktemp -d /tmp/zq-cli-bench.XXXXXX)
  NS=zq-cli-bench-$$
  trap 'bench_exit_cleanup $?' EXIT
  trap 'exit 130' INT TERM
  bench_make_namespace "$NS"

  local count
  for count in $counts; do
    bench_host_names "$count" > "$WORK/names-$count"
    mkdir "$WORK/zq-$count"
    cp "$build/cli/zelquoipupdate" "$WORK/zq-$count/"
    bench_write_zelquo_settings "$WORK/zq-$count" "$count"
    bench_write_inadyn_conf "$WORK/inadyn-$count.conf" "$count"
    bench_write_ddclient_conf "$WORK/ddclient-$count.conf" "$count" 0
  done

  [[ "${BENCH_HTTPS:-}" == 1 ]] && echo "Over HTTPS (port 443, certificates checked):"
  echo "One-shot update: zelquoipupdate vs inadyn $(dpkg-query -W -f='${Version}' inadyn) vs ddclient $(dpkg-query -W -f='${Version}' ddclient)"
  echo "build: $build ($(git -C "$BENCH_ROOT" rev-parse --short HEAD 2>/dev/null || echo '?'))"
  echo "machine: $(nproc) cores, $(uname -r), load average $(cut -d' ' -f1-3 /proc/loadavg)"
  echo "namespace $NS: stand-in provider on 127.0.0.1:80, :8245 and :$BENCH_BATCH_PORT; host counts: $counts; $runs runs"
  ip netns exec "$NS" env WORK="$WORK" BENCH_BUILD="$build" BENCH_HTTPS="${BENCH_HTTPS:-}" bash "$0" --inside "$runs" "$counts"
  print_table "$runs" "$counts"
}

if [[ "${1:-}" == --inside ]]; then
  measure_inside "$2" "$3"
else
  main "$@"
fi
