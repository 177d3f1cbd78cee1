#!/usr/bin/env bash
# End-to-end tests of the real zelquoipupdate programs (native, and the .exe under Wine) inside a
# network namespace whose /etc/hosts points the provider's host names at the stand-in provider.
# Each case writes a settings file beside a copy of the program, runs it, and checks standard
# output byte for byte, the exit code and the exact requests that reached the server.
#   cli-tests.sh NATIVE_BUILD WINDOWS_BUILD
set -uo pipefail
here=$(dirname "$(readlink -f "$0")")
native=$(readlink -f "$1")
ZQ_WINDOWS_BUILD=$(readlink -f "$2")
source "$here/netns-lib.sh"

ns=zq-cli-$$
zq_netns_add "$ns" || exit 1
# The provider's names and literal IP-check addresses all lead to the stand-in on this namespace.
cat > "/etc/netns/$ns/hosts" <<HOSTS
127.0.0.1 localhost
127.0.0.1 dynupdate.zelquo.net ip1.zelquo.net ip2.zelquo.net
HOSTS
ip -n "$ns" addr add 198.51.100.41/32 dev lo
ip -n "$ns" addr add 198.51.100.42/32 dev lo

work=$(mktemp -d /tmp/zq-cli.XXXXXX)
server_pid=
cleanup_cli() {
  [[ -n "$server_pid" ]] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  rm -rf "$work"
  zq_cleanup
}
trap cleanup_cli EXIT

passed=0
failed=0
fail() {
  echo "FAIL [$flavour] $case_name: $*"
  failed=$((failed + 1))
  case_failed=1
}

# start_server SCRIPT-LINES: a fresh stand-in with these rules and an empty record.
start_server() {
  [[ -n "$server_pid" ]] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  printf '%s\n' "$@" > "$work/script"
  rm -f "$work/ready"
  ip netns exec "$ns" "$native/tests/support/standin-provider" \
    --listen 127.0.0.1:80 --listen 127.0.0.1:8245 --script "$work/script" --record "$work/record" \
    --ready "$work/ready" &
  server_pid=$!
  for _ in $(seq 100); do [[ -f "$work/ready" ]] && return 0; sleep 0.05; done
  echo "the stand-in provider did not start"
  exit 1
}

MD5_SECRET=$(printf '%s' secret | md5sum | cut -d' ' -f1)
SCRAMBLED_SECRET='n`^m`oI'  # "secret" with shift 5

# run_case NAME SETTINGS EXPECTED-OUTPUT EXPECTED-TARGETS -- ARGS...
# SETTINGS is the file's content ("-" for no file at all, "dir" for a folder in its place);
# targets are one per line, in order. Standard output must be EXPECTED-OUTPUT and one newline
# (an empty result prints an empty line), or, with golden=FILE set, exactly that file's bytes.
# Under Wine every newline the program writes comes out as CR LF, its own CR bytes included.
run_case() {
  case_name=$1 settings=$2 expected_output=$3 expected_targets=$4
  shift 5
  case_failed=0
  local dir="$work/$flavour-$passed-$failed"
  mkdir -p "$dir"
  cp "$program" "$dir/"
  case "$settings" in
    -) ;;
    dir) mkdir "$dir/ZelquoIUC.ini" ;;
    *) printf '%s' "$settings" > "$dir/ZelquoIUC.ini" ;;
  esac
  # The server keeps the record open, so a case reads only the lines it added.
  local recorded_before
  recorded_before=$(wc -l < "$work/record")
  local status
  if [[ $flavour == wine ]]; then
    ip netns exec "$ns" env WINEPREFIX="$ZQ_WINDOWS_BUILD/wineprefix" WINEDEBUG=-all \
      wine "$dir/$(basename "$program")" "$@" >"$dir/stdout" 2>"$dir/stderr"
  else
    ip netns exec "$ns" "$dir/$(basename "$program")" "$@" >"$dir/stdout" 2>"$dir/stderr"
  fi
  status=$?
  if [[ -n "${golden:-}" ]]; then
    cat "$golden"
  else
    printf '%s\n' "$expected_output"
  fi | if [[ $flavour == wine ]]; then sed 's/$/\r/'; else cat; fi >"$dir/expected"
  [[ $status -eq 0 ]] || fail "exit code $status"
  cmp -s "$dir/expected" "$dir/stdout" || fail "output
  got:      $(printf '%q' "$(cat "$dir/stdout"; printf .)")
  expected: $(printf '%q' "$(cat "$dir/expected"; printf .)")"
  [[ ! -s "$dir/stderr" ]] || fail "standard error: $(cat "$dir/stderr")"
  local requests targets
  requests=$(tail -n +$((recorded_before + 1)) "$work/record" | grep -v $'\t''/ipcheck.asp')
  targets=$(printf '%s' "$requests" | cut -f3)
  [[ "$targets" == "$expected_targets" ]] || fail "requests
  got:      $(printf '%q' "$targets")
  expected: $(printf '%q' "$expected_targets")"
  if [[ -n "$expected_targets" ]]; then
    local header_count
    header_count=$(printf '%s\n' "$requests" | grep -c $'\t''X-Zelquo-Agent: IUC4.43')
    [[ $header_count -eq $(printf '%s\n' "$expected_targets" | wc -l) ]] || fail "client header missing"
  fi
  [[ $case_failed -eq 1 ]] || passed=$((passed + 1))
}

section='[Zelquo IP Update Client]'
account="$section
username=alice
password=$SCRAMBLED_SECRET
"
nic_error='Error: IP based on NIC card cannot be detected! Ensure that port 8245 outbound is open if firewall is active. Please choose a different Connection Type setting so that IP address can be detected properly.'

run_all_cases() {
  start_server '/ipcheck.asp 200 ip203.0.113.77' '/nic/update 200 nochg'
  run_case "no settings file" - "IP address update aborted due to invalid password." "" --
  run_case "a folder in place of the settings file" dir "IP address update aborted due to invalid password." "" --
  run_case "empty password" "$section
username=alice
password=
" "IP address update aborted due to invalid password." "" --
  run_case "account request answered nochg" "$account" "[nochg] IP address was not updated due to no change." \
    "/nic/update?ver=4.41&uin=1&username=alice&password=$MD5_SECRET&myip=203.0.113.77" --
  run_case "two host names, one empty" "${account}numofdomainnames=2
domain_name1=
domain_name2=home.example.org
" $'[nochg] IP address not changed for domain name home.example.org.\r\n' \
    "/nic/update?ver=4.41&uin=1&hostname=home.example.org&password=$MD5_SECRET&myip=203.0.113.77" --
  run_case "network card that is not there" "${account}ipmethod=4
macid=00-00-00-00-00-01
" "$nic_error" "" --
  run_case "third argument is an address" - "[nochg] IP address not changed for hostname example.org." \
    "/nic/update?ver=4.41&uin=1&hostname=example.org&password=$MD5_SECRET&myip=10.0.0.1" -- \
    secret example.org 10.0.0.1 192.0.2.99
  run_case "third argument is an alias" - "[nochg] IP address not changed for hostname example.org." \
    "/nic/update?ver=4.41&uin=1&hostname=example.org&password=$MD5_SECRET&alias=www&myip=192.0.2.99" -- \
    secret example.org www 192.0.2.99
  run_case "third argument with a letter" - "[nochg] IP address not changed for hostname example.org." \
    "/nic/update?ver=4.41&uin=1&hostname=example.org&password=$MD5_SECRET&alias=1a&myip=203.0.113.77" -- \
    secret example.org 1a
  run_case "password and no host name" - "[nochg] IP address not changed for hostname ." \
    "/nic/update?ver=4.41&uin=1&hostname=&password=$MD5_SECRET&myip=203.0.113.77" -- secret
  run_case "-Help is a password" - "[nochg] IP address not changed for hostname ." \
    "/nic/update?ver=4.41&uin=1&hostname=&password=$(printf '%s' -Help | md5sum | cut -d' ' -f1)&myip=203.0.113.77" -- -Help
  local spaced_digest
  spaced_digest=$(printf '%s' 'pass "quoted" word' | md5sum | cut -d' ' -f1)
  run_case "a password with spaces and quotes" - "[nochg] IP address not changed for hostname example.org." \
    "/nic/update?ver=4.41&uin=1&hostname=example.org&password=$spaced_digest&myip=1.2.3.4" -- \
    'pass "quoted" word' example.org 1.2.3.4
  run_case "a host name with a space is sent escaped" - "[nochg] IP address not changed for hostname bad host." \
    "/nic/update?ver=4.41&uin=1&hostname=bad%20host&password=$MD5_SECRET&myip=1.2.3.4" -- secret 'bad host' 1.2.3.4

  for word in -help '/?'; do
    golden="$here/../cli/usage-text.golden" run_case "usage for $word" - "" "" -- "$word"
  done

  start_server '/ipcheck.asp 200 ip203.0.113.77' '/nic/update 200 good 203.0.113.77'
  run_case "host and alias stages answered good" "${account}numofdomainnames=1
domain_name1=home.example.org
numofaliases=1
alias_alias1=www
alias_domain_name1=home.example.org
" $'[good] IP updated with 203.0.113.77 for domain name home.example.org\r\n[good] IP updated with 203.0.113.77 for alias www.home.example.org\r\n' \
    "/nic/update?ver=4.41&uin=1&hostname=home.example.org&password=$MD5_SECRET&myip=203.0.113.77
/nic/update?ver=4.41&uin=1&hostname=home.example.org&alias=www&password=$MD5_SECRET&myip=203.0.113.77" --

  start_server '/ipcheck.asp 200 ip203.0.113.77' '/nic/update 200 delay=3000 good 203.0.113.77'
  run_case "a provider that answers slowly" "$account" "[good] IP updated with 203.0.113.77 for username alice." \
    "/nic/update?ver=4.41&uin=1&username=alice&password=$MD5_SECRET&myip=203.0.113.77" --

  start_server '/ipcheck.asp 200 ip203.0.113.77' '/nic/update 503'
  run_case "HTTP failure, account request" "$account" "" \
    "/nic/update?ver=4.41&uin=1&username=alice&password=$MD5_SECRET&myip=203.0.113.77" --
  run_case "HTTP failure, host request" "${account}numofdomainnames=1
domain_name1=home.example.org
" "" "/nic/update?ver=4.41&uin=1&hostname=home.example.org&password=$MD5_SECRET&myip=203.0.113.77" --
  run_case "HTTP failure, single host" - \
    "[error] Update could not be performed! Are you connected to the internet? If so, are you behind a restricted proxy or firewall?" \
    "/nic/update?ver=4.41&uin=1&hostname=example.org&password=$MD5_SECRET&myip=1.2.3.4" -- secret example.org 1.2.3.4
}

flavour=native
program="$native/cli/zelquoipupdate"
run_all_cases

if [[ -f "$ZQ_WINDOWS_BUILD/cli/zelquoipupdate.exe" ]]; then
  flavour=wine
  program="$ZQ_WINDOWS_BUILD/cli/zelquoipupdate.exe"
  ip netns exec "$ns" env WINEPREFIX="$ZQ_WINDOWS_BUILD/wineprefix" wineserver -p
  run_all_cases
  ip netns exec "$ns" env WINEPREFIX="$ZQ_WINDOWS_BUILD/wineprefix" wineserver -k
fi

echo "cli-tests: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
