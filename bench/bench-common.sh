# shellcheck shell=bash
# Helpers shared by the benchmark scripts in this folder (sourced, not run): the other clients'
# packages, the network namespace in which every measured program runs, the stand-in provider's
# script, and the settings files of this system's programs and of the clients compared with them.
#
# Nothing here sends traffic anywhere but the loopback interface of a namespace the caller created:
# the namespace has no other link, and its /etc/hosts sends the provider's names to 127.0.0.1.

# The address the stand-in's IP-check server reports and the update API confirms.
readonly BENCH_ADDRESS=203.0.113.77
# "demo-secret", stored scrambled as the tray program saves it.
# shellcheck disable=SC2016  # backquotes belong to the stored text
readonly BENCH_SCRAMBLED_PASSWORD='_`hj(n`^m`oI'
readonly BENCH_CLEAR_PASSWORD=demo-secret
readonly BENCH_USERNAME=demo
# The update API port of the dyndns2-style client that batches host names: the stand-in answers
# there with one "good" line per name, as a dyndns2 server answers a batched request.
readonly BENCH_BATCH_PORT=8081

# bench_start_tls_front WORK: inside the namespace, a certificate authority and a certificate for
# dynupdate.zelquo.net made for the run, the authority alone in a bind-mounted /etc/ssl/certs,
# and stunnel on 127.0.0.1:443 in front of the stand-in's port 80. Sets BENCH_CA_FILE.
bench_start_tls_front() {
  local work=$1 dir=$1/tls
  mkdir -p "$dir/trust"
  openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout "$dir/ca.key" -out "$dir/ca.pem" \
    -days 2 -subj "/CN=Zelquo bench authority" 2>/dev/null
  openssl req -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout "$dir/server.key" -out "$dir/server.csr" \
    -subj /CN=dynupdate.zelquo.net 2>/dev/null
  openssl x509 -req -in "$dir/server.csr" -CA "$dir/ca.pem" -CAkey "$dir/ca.key" -CAcreateserial -days 2 \
    -extfile <(echo subjectAltName=DNS:dynupdate.zelquo.net) -out "$dir/server.pem" 2>/dev/null
  cp "$dir/ca.pem" "$dir/trust/zelquo-bench.pem"
  openssl rehash "$dir/trust" 2>/dev/null
  mount --bind "$dir/trust" /etc/ssl/certs
  printf '%s\n' foreground=yes pid= debug=0 '[provider]' accept=127.0.0.1:443 connect=127.0.0.1:80 \
    "cert=$dir/server.pem" "key=$dir/server.key" >"$dir/stunnel.conf"
  stunnel4 "$dir/stunnel.conf" >"$dir/stunnel.log" 2>&1 &
  BENCH_TLS_PID=$!
  local _
  for _ in $(seq 100); do (: </dev/tcp/127.0.0.1/443) 2>/dev/null && break; sleep 0.05; done
  BENCH_CA_FILE=$dir/ca.pem
}

bench_die() {
  echo "error: $*" >&2
  exit 2
}

# Resolves the native build folder (first argument of every bench script) to an absolute path.
bench_build_dir() {
  local dir=${1:-}
  [[ -n "$dir" ]] || dir="$BENCH_ROOT/build/native"
  [[ -d "$dir" ]] || bench_die "no build folder $dir (configure it: cmake --preset native)"
  (cd "$dir" && pwd)
}

bench_require_root() {
  [[ $EUID -eq 0 ]] || bench_die "run as root: the benchmark creates a network namespace"
  command -v ip >/dev/null || bench_die "ip (iproute2) is missing"
}

# Installs the clients compared with ours and GNU time, once, without starting their services.
bench_install_packages() {
  local missing=() package status
  for package in inadyn ddclient time; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$package")
  done
  ((${#missing[@]} == 0)) && return 0
  echo "Installing: ${missing[*]}"
  # Both packages ship a service that would start at once and talk to its default provider out on
  # the internet; a policy file that refuses every start keeps them quiet while they install.
  local own_policy=
  if [[ ! -e /usr/sbin/policy-rc.d ]]; then
    printf '#!/bin/sh\nexit 101\n' > /usr/sbin/policy-rc.d
    chmod 755 /usr/sbin/policy-rc.d
    own_policy=1
  fi
  local rc=0
  DEBIAN_FRONTEND=noninteractive apt-get update >/dev/null || rc=$?
  if ((rc == 0)); then DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}" >/dev/null || rc=$?; fi
  if [[ -n "$own_policy" ]]; then rm -f /usr/sbin/policy-rc.d; fi
  ((rc == 0)) || bench_die "apt-get failed to install ${missing[*]}"
  # Keep their services from starting at the next boot as well.
  if command -v systemctl >/dev/null && [[ -d /run/systemd/system ]]; then
    systemctl disable --now inadyn.service ddclient.service >/dev/null 2>&1 || true
  fi
}

# Creates network namespace $1 with only lo up, and the provider's names mapped to 127.0.0.1.
bench_make_namespace() {
  local ns=$1
  ip netns add "$ns"
  ip -n "$ns" link set lo up
  mkdir -p "/etc/netns/$ns"
  echo "nameserver 127.0.0.1" > "/etc/netns/$ns/resolv.conf"
  printf '127.0.0.1 localhost\n127.0.0.1 dynupdate.zelquo.net ip1.zelquo.net ip2.zelquo.net\n' \
    > "/etc/netns/$ns/hosts"
}

# Ends every process left in namespace $1 (all of them started by this benchmark), by process id,
# then removes the namespace and its files.
bench_remove_namespace() {
  local ns=$1 pid
  [[ -n "$ns" ]] || return 0
  if ip netns list 2>/dev/null | grep -qw -- "$ns"; then
    for pid in $(ip netns pids "$ns" 2>/dev/null); do kill "$pid" 2>/dev/null || true; done
    sleep 0.2
    for pid in $(ip netns pids "$ns" 2>/dev/null); do kill -9 "$pid" 2>/dev/null || true; done
    ip netns delete "$ns" 2>/dev/null || true
  fi
  rm -rf "/etc/netns/$ns"
}

# The EXIT trap's work: removes namespace $NS, and folder $WORK unless the script failed (status
# $1), when its logs and the stand-in's record are kept for a look.
bench_exit_cleanup() {
  bench_remove_namespace "${NS:-}"
  [[ -n "${WORK:-}" && -d "$WORK" ]] || return 0
  if (($1 == 0)); then
    rm -rf "$WORK"
  else
    echo "logs and the stand-in's record kept in $WORK" >&2
  fi
}

# Host names h01.bench.zelquo.net ... for a count $1, one a line.
bench_host_names() {
  local i
  for ((i = 1; i <= $1; i++)); do printf 'h%02d.bench.zelquo.net\n' "$i"; done
}

# The stand-in provider's script for $1 host names: IP-check servers on every port, the update API
# answering one "good" line per request, and N lines on the batch port.
bench_write_standin_script() {
  local file=$1 count=$2 i body=
  for ((i = 0; i < count; i++)); do body+="good $BENCH_ADDRESS\\n"; done
  cat > "$file" <<SCRIPT
/ipcheck.asp 200 ip$BENCH_ADDRESS
/nic/update 200 good $BENCH_ADDRESS
/nic/update 200 port=$BENCH_BATCH_PORT $body
SCRIPT
}

# Starts the stand-in provider inside namespace $1 (call with "" when already inside one) and waits
# until it listens. Sets BENCH_SERVER_PID.
bench_start_standin() {
  local ns=$1 build=$2 script=$3 record=$4 ready=$5
  local -a prefix=()
  if [[ -n "$ns" ]]; then prefix=(ip netns exec "$ns"); fi
  rm -f "$ready"
  "${prefix[@]}" "$build/tests/support/standin-provider" \
    --listen 127.0.0.1:80 --listen 127.0.0.1:8245 --listen "127.0.0.1:$BENCH_BATCH_PORT" \
    --script "$script" --record "$record" --ready "$ready" > "$record.log" 2>&1 &
  BENCH_SERVER_PID=$!
  local _
  for _ in $(seq 200); do
    [[ -s "$ready" ]] && return 0
    kill -0 "$BENCH_SERVER_PID" 2>/dev/null || break
    sleep 0.05
  done
  cat "$record.log" >&2
  bench_die "the stand-in provider did not start"
}

bench_stop_standin() {
  [[ -n "${BENCH_SERVER_PID:-}" ]] || return 0
  kill "$BENCH_SERVER_PID" 2>/dev/null || true
  wait "$BENCH_SERVER_PID" 2>/dev/null || true
  BENCH_SERVER_PID=
}

# This system's settings file for $2 host names in folder $1; more lines may follow in $3.
bench_write_zelquo_settings() {
  local dir=$1 count=$2 extra=${3:-} i=1 name
  {
    echo "[Zelquo IP Update Client]"
    echo "username=$BENCH_USERNAME"
    echo "password=$BENCH_SCRAMBLED_PASSWORD"
    echo "numofdomainnames=$count"
    while read -r name; do echo "domain_name$i=$name"; i=$((i + 1)); done < <(bench_host_names "$count")
    if [[ -n "$extra" ]]; then printf '%s\n' "$extra"; fi
  } > "$dir/ZelquoIUC.ini"
}

# inadyn's settings for $2 host names in file $1, checking every $3 seconds in daemon mode. It asks
# the same IP-check server as ours (port 8245) and sends one dyndns2-style request per name.
# bench_write_inadyn_conf FILE COUNT [PERIOD [CA_FILE]]: with CA_FILE, the updates go over
# HTTPS (port 443), trusting that authority; the IP check stays plain, as this system's does.
bench_write_inadyn_conf() {
  local file=$1 count=$2 period=${3:-} ca_file=${4:-} names
  names=$(bench_host_names "$count" | sed 's/.*/"&"/' | paste -sd, | sed 's/,/, /g')
  {
    if [[ -n "$period" ]]; then echo "period = $period"; fi
    if [[ -n "$ca_file" ]]; then echo "ca-trust-file = $ca_file"; fi
    cat <<CONF
custom zqbench {
    ssl            = $([[ -n "$ca_file" ]] && echo true || echo false)
    username       = $BENCH_USERNAME
    password       = $BENCH_CLEAR_PASSWORD
    checkip-server = ip1.zelquo.net:8245
    checkip-path   = /ipcheck.asp
    checkip-ssl    = false
    ddns-server    = dynupdate.zelquo.net
    ddns-path      = "/nic/update?hostname=%h&myip=%i"
    hostname       = { $names }
}
CONF
  } > "$file"
  chmod 600 "$file"
}

# ddclient's settings for $2 host names in file $1 (daemon interval $3 seconds, 0 for one pass).
# Same IP-check server as ours; its dyndns2 protocol batches all names into one request.
# "web-skip=ip" lets it find the address behind the "ip" that prefixes the IP-check answer.
bench_write_ddclient_conf() {
  local file=$1 count=$2 daemon=${3:-0}
  cat > "$file" <<CONF
daemon=$daemon
ssl=no
use=web
web=http://ip1.zelquo.net:8245/ipcheck.asp
web-skip=ip
protocol=dyndns2
server=dynupdate.zelquo.net:$BENCH_BATCH_PORT
login=$BENCH_USERNAME
password=$BENCH_CLEAR_PASSWORD
$(bench_host_names "$count" | paste -sd,)
CONF
  chmod 600 "$file"
}

# Reads stand-in record lines on standard input and prints, for the update requests among them,
# "UPDATES IPCHECKS OTHER NAMES_SENT NAMES_MISSING NAMES_REPEATED NAMES_UNKNOWN WRONG_ADDRESS" against
# the expected host names in file $1. A batched request counts once and names every host it lists.
bench_count_requests() {
  awk -F'\t' -v expected_file="$1" -v address="$BENCH_ADDRESS" '
    BEGIN { while ((getline name < expected_file) > 0) expected[name] = 0 }
    {
      target = $3; path = target; sub(/\?.*/, "", path)
      if (path == "/ipcheck.asp") { ipchecks++; next }
      if (path != "/nic/update") { other++; next }
      updates++
      query = target; sub(/^[^?]*\?/, "", query)
      n = split(query, params, "&"); hosts = ""; ip = ""
      for (i = 1; i <= n; i++) {
        if (params[i] ~ /^hostname=/) hosts = substr(params[i], 10)
        if (params[i] ~ /^myip=/) ip = substr(params[i], 6)
      }
      if (ip != address) wrong_address++
      gsub(/%2[Cc]/, ",", hosts)
      m = split(hosts, list, ",")
      for (i = 1; i <= m; i++) {
        sent++
        if (list[i] in expected) expected[list[i]]++; else unknown++
      }
    }
    END {
      for (name in expected) { if (expected[name] == 0) missing++; if (expected[name] > 1) repeated++ }
      printf "%d %d %d %d %d %d %d %d\n", updates, ipchecks, other, sent, missing, repeated, unknown, wrong_address
    }'
}

bench_median() {
  sort -n | awk '{ v[NR] = $1 } END { if (NR == 0) { print "nan"; exit } ;
    if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
