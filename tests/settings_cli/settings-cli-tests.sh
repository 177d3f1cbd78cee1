#!/bin/bash
# Runs the Linux settings command zelquoiuc from a folder of its own against the stand-in
# provider, and checks its exit codes, its messages, the requests of the account checks and the
# exact settings file that results; input it refuses must leave the file byte for byte as it was.
# An interactive account run through a pseudo-terminal must not echo the password and must put
# the terminal back, on Ctrl+C too.
#
#   tests/settings_cli/settings-cli-tests.sh NATIVE_BUILD_DIR
#
# It runs in a network namespace of its own (loopback only; the provider's names map to
# 127.0.0.1 there) with a private /run/systemd, where a stand-in systemctl answers for the unit.
set -u

if [[ $# -ne 1 ]]; then
  echo "usage: $0 NATIVE_BUILD_DIR" >&2
  exit 2
fi
build_dir=$(realpath "$1")
here=$(dirname "$(readlink -f "$0")")
. "$here/../service/service-script-lib.sh"
zq_require_root
zq_enter_namespace "zelquo-settings-cli-$$" "$0" "$build_dir"

program="$build_dir/settings_cli/zelquoiuc"
standin="$build_dir/tests/support/standin-provider"
zq_require_files "$program" "$standin"

work=$(mktemp -d /tmp/zelquo-settings-cli.XXXXXX)
standin_pid=
cleanup() {
  [[ -n "$standin_pid" ]] && kill "$standin_pid" 2>/dev/null
  wait 2>/dev/null
  # The stand-in systemctl (below) cannot be deleted while it is mounted.
  umount /usr/bin/systemctl /bin/systemctl 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

mkdir -p "$work/opt"
cp "$program" "$work/opt/"
zq="$work/opt/zelquoiuc"
settings="$work/opt/ZelquoIUC.ini"

# Account checks: the first answer confirms, the second differs only in case (a refusal), then
# every one confirms. The location check confirms once, then refuses.
record="$work/provider.record"
printf '%s\n' '/authcheck.asp 200 true' '/authcheck.asp 200 True' '/authcheck.asp 200 true' \
  '/locationcheck.asp 200 true' '/locationcheck.asp 200 false' >"$work/provider.script"
zq_start_standin "$standin" "$work/provider.script" "$record" "$work/provider.ready"
check "the stand-in provider listens on ports 80 and 8245" \
  test "$(tr '\n' ' ' <"$work/provider.ready" 2>/dev/null)" == "80 8245 "

# run ARGS...: runs the command with empty input; sets rc, out and err.
run() {
  "$zq" "$@" </dev/null >"$work/out" 2>"$work/err"
  rc=$?
  out=$(cat "$work/out")
  err=$(cat "$work/err")
}
# refused EXPECTED_RC EXPECTED_STDERR ARGS...: the command fails so and leaves the file as it was.
refused() {
  local want_rc=$1 want_err=$2
  shift 2
  cp "$settings" "$work/before" 2>/dev/null || : >"$work/before"
  run "$@"
  [[ $rc -eq $want_rc && "$err" == "$want_err"* ]] && cmp -s "$work/before" "$settings" ||
    { echo "     got $rc: $err" >&2; return 1; }
}
setting() { sed -n "s/^$1=//p" "$settings"; }
# The stored password unscrambled: each character raised by the shift that the last one carries.
unscrambled() {
  python3 -c 'import sys; s = sys.argv[1]; k = ord(s[-1]) - ord("D") if s else 0
print("".join(chr(ord(c) + k) for c in s[:-1]))' "$(setting password)"
}
target() { sed -n "${1}p" "$record" | cut -f3; }
requests() { wc -l <"$record"; }
: >"$settings"

# --- account ------------------------------------------------------------------------------
digest=$(printf %s secret1 | md5sum | cut -d' ' -f1)
printf 'secret1\n' | "$zq" account --user alice --location home --password-stdin >"$work/out" 2>&1
check "account with options, both checks confirmed: exit 0" test $? -eq 0
check "... the account check, exactly ($(target 1))" \
  test "$(target 1)" == "/authcheck.asp?username=alice&password=$digest"
check "... then the location check ($(target 2))" \
  test "$(target 2)" == "/locationcheck.asp?username=alice&password=$digest&location=home"
check "... to the update API by its name on port 80" grep -q $'^80\t.*\tHost: dynupdate.zelquo.net' "$record"
check "... the user name and location as given, the password scrambled" \
  test "$(setting username) $(setting location) $(unscrambled) $(grep -c secret1 "$settings")" == 'alice home secret1 0'
check "... and a fresh update requested" \
  test "$(setting updatedip)|$(setting checkminutes)|$(setting updatedminutes)" == '|0|0'

printf 'secret1\n' | "$zq" account --password-stdin >"$work/out" 2>"$work/err"
check "a password the provider answers \"True\" for is refused: exit 1" test $? -eq 1
check "... with the window's message" test "$(cat "$work/err")" == \
  'Username alice or password is invalid! Please check the settings and try again.'
check "... the stored password emptied, the location neither checked nor changed" \
  test "$(setting password)|$(setting location)|$(requests)" == '|home|3'

# Local rules: the window's messages, nothing sent, nothing written.
check "a 3-character user name is refused" refused 1 \
  'Please enter a valid username - 4-20 characters (0-9, a-z, A-Z)' account --user abc
check "a 21-character one too" refused 1 'Please enter a valid username' account --user abcdefghijklmnopqrstu
check "a user name with an underscore too" refused 1 'Please enter a valid username' account --user ali_ce
check "a 51-character location" refused 1 \
  'Please enter a valid location - 1-50 characters (0-9, a-z, A-Z)' account --location "$(printf 'x%.0s' {1..51})"
check "a password given as an argument is a usage error" refused 2 'zelquoiuc account: the password is never' \
  account --password secret1
check "without a terminal, no options is a usage error" refused 2 'zelquoiuc account: standard input' account
check "none of them sent anything" test "$(requests)" -eq 3

printf 'secret1\n' | "$zq" account --location office --password-stdin >/dev/null 2>"$work/err"
check "a location the provider does not know: exit 1 and the window's message" test $? -eq 1 -a \
  "$(cat "$work/err")" == "Location 'office' could not be found. You can set up locations in the web control panel or leave the field empty if you are not using this feature."
check "... the password stored, the location emptied" \
  test "$(unscrambled)|$(setting location)" == 'secret1|'

cp "$settings" "$work/before"
sent=$(requests)
tr -d '\n' </dev/zero | timeout 10 "$zq" account --password-stdin >/dev/null 2>"$work/err"
check "a password without end on standard input is refused: exit 1, nothing sent or saved" \
  test $? -eq 1 -a "$(cat "$work/err")" == 'A field is longer than 255 bytes; nothing was saved.' -a \
  "$(requests)" -eq "$sent"
check "... the file as it was" cmp -s "$work/before" "$settings"
# No file may grow, as on a full disk; the message comes through a pipe, which has no size.
err=$( (ulimit -f 0 && trap '' XFSZ && exec "$zq" poll-interval 45) 2>&1 </dev/null >/dev/null)
check "a write that fails (no room for the file): exit 1 with the reason" \
  test $? -eq 1 -a "$err" == "Cannot change $settings: File too large"
check "... the file as it was" cmp -s "$work/before" "$settings"

# --- the interactive run, through a pseudo-terminal ---------------------------------------
python3 - "$zq" >"$work/pty.txt" 2>&1 <<'PY'
import os, pty, select, sys, termios, time

def session(answers, interrupt=False):
    pid, fd = pty.fork()
    if pid == 0:
        os.execv(sys.argv[1], [sys.argv[1], "account"])
    seen = b""
    def until(text, timeout=10):
        nonlocal seen
        deadline = time.time() + timeout
        while text not in seen and time.time() < deadline:
            if not select.select([fd], [], [], 0.2)[0]:
                continue
            try:
                chunk = os.read(fd, 4096)
            except OSError:
                break
            if not chunk:
                break
            seen += chunk
        return text in seen
    for prompt, answer in answers:
        if not until(prompt):
            break
        os.write(fd, answer)
    if interrupt:
        time.sleep(0.3)
        os.write(fd, b"\x03")
    until(b"\0", 10)  # reads to the end of the output
    _, status = os.waitpid(pid, 0)
    echo_on = bool(termios.tcgetattr(fd)[3] & termios.ECHO)
    os.close(fd)
    return seen.decode(errors="replace"), status, echo_on

out, status, echo = session([(b"Username [alice]: ", b"carol1\n"),
                             (b"Password (Enter keeps the stored one): ", b"hidden7\n"),
                             (b"Location: ", b"\n")])
print("saved-exit", os.waitstatus_to_exitcode(status))
print("username-echoed", "carol1" in out)
print("password-echoed", "hidden7" in out)
print("echo-after", echo)
out, status, echo = session([(b"Username [carol1]: ", b"\n"), (b"Password", b"hid")], interrupt=True)
print("interrupted-by", os.WTERMSIG(status) if os.WIFSIGNALED(status) else "none")
print("password-echoed-before-ctrl-c", "hid" in out)
print("echo-after-ctrl-c", echo)
PY
pty_says() { grep -qx "$1" "$work/pty.txt"; }
check "interactive: saved with exit 0" pty_says 'saved-exit 0'
check "... the user name echoed as typed" pty_says 'username-echoed True'
check "... the password not echoed" pty_says 'password-echoed False'
check "... the terminal echoes again afterwards" pty_says 'echo-after True'
check "... the new account stored" test "$(setting username) $(unscrambled)" == 'carol1 hidden7'
check "Ctrl+C at the password prompt ends it by SIGINT" pty_says 'interrupted-by 2'
check "... with nothing of the password echoed" pty_says 'password-echoed-before-ctrl-c False'
check "... and the terminal's echo put back" pty_says 'echo-after-ctrl-c True'
check "... and nothing changed" test "$(setting username)" == carol1

python3 - "$zq" >"$work/pty.txt" 2>&1 <<'PY'
import os, pty, sys, time
pid, fd = pty.fork()
if pid == 0:
    os.execv(sys.argv[1], [sys.argv[1], "account", "--password-stdin"])
seen = b""
deadline = time.time() + 10
sent = False
while time.time() < deadline:
    try:
        chunk = os.read(fd, 4096)
    except OSError:
        break
    if not chunk:
        break
    seen += chunk
    if not sent and b"Password: " in seen:
        os.write(fd, b"typed88\n")
        sent = True
_, status = os.waitpid(pid, 0)
print("exit", os.waitstatus_to_exitcode(status))
print("password-echoed", b"typed88" in seen)
PY
check "--password-stdin at a terminal: exit 0" pty_says 'exit 0'
check "... the password not echoed" pty_says 'password-echoed False'
check "... and stored" test "$(unscrambled)" == typed88

# --- names and aliases ----------------------------------------------------------------------
: >"$settings"
for name in Home.Example.net x-1.example.net a; do
  run names add "$name"
  check "names add $name: exit 0" test "$rc" -eq 0
done
for name in bad--name -lead.example.net trail.example.net. a.-b a..b under_score.net 'sp ace.net'; do
  check "names add '$name' is refused, file unchanged" refused 1 \
    "$name is not a valid domain name. Please try again." names add "$name"
done
check "the alias rule is checked on the joined name" refused 1 \
  'w_w.home.example.net is not a valid hostname. Please try again.' aliases add w_w home.example.net
run aliases add www home.example.net
check "aliases add: exit 0" test "$rc" -eq 0
run names remove Home.Example.net
check "names remove the first of three: exit 0" test "$rc" -eq 0
check "names remove a name not in the list: exit 1" refused 1 'nothing.net is not in the list.' names remove nothing.net
check "a missing name is a usage error" refused 2 'zelquoiuc names: expected list' names add
run names list
check "names list shows the two left, in order" test "$out" == $'x-1.example.net\na'
run aliases list
check "aliases list joins alias and host name" test "$out" == 'www.home.example.net'

# --- connection -----------------------------------------------------------------------------
# Each row: the arguments (":" for a blank) and the connection keys in the file afterwards.
keys_now() { grep -E '^(ipmethod|ipaddress|one|two|three|four|serverport)=' "$settings" | paste -sd' '; }
while read -r arguments expected; do
  run connection ${arguments//:/ }
  check "connection ${arguments//:/ }: exit 0, writes ${expected}" test "$rc $(keys_now)" == "0 $expected"
done <<'TABLE'
client               ipmethod=0 ipaddress= serverport=80
both                 ipmethod=2 ipaddress= serverport=80
static:192.0.2.5     ipmethod=3 ipaddress= serverport=80 one=192 two=0 three=2 four=5
--port-8245          ipmethod=3 ipaddress= serverport=8245 one=192 two=0 three=2 four=5
server:--port-80     ipmethod=1 ipaddress= serverport=80 one=192 two=0 three=2 four=5
TABLE
check "static with a bad address is refused" refused 1 \
  '192.0.2.256 is not a valid IP address (A.B.C.D, each 0-255).' connection static 192.0.2.256
check "static with a signed octet is refused" refused 1 \
  '-1.2.3.4 is not a valid IP address (A.B.C.D, each 0-255).' connection static -1.2.3.4
check "two methods are a usage error" refused 2 'zelquoiuc connection: give one detection method' connection client both

# --- ignore list, poll interval, custom command --------------------------------------------
run ignore add 192.168.
run ignore add 10.0.
run ignore remove 192.168.
check "ignore add, add, remove: the list" test "$(run ignore list; echo "$out")" == '10.0.'
check "ignore add '' is refused" refused 1 'An empty entry would match every address' ignore add ''
check "poll-interval 29 is refused with the page's message" refused 1 \
  'Poll interval should be more than 30 seconds!' poll-interval 29
check "poll-interval 'abc' too" refused 1 'Poll interval should be more than 30 seconds!' poll-interval abc
run poll-interval 30
check "poll-interval 30: exit 0" test "$rc" -eq 0
run command 'logger changed' --enable
check "command with --enable: exit 0" test "$rc" -eq 0
check "unknown subcommands are usage errors" refused 2 "zelquoiuc: unknown subcommand 'nmaes'" nmaes list

# The whole file, in the order the pages wrote it. The old third name stays behind the count.
cat >"$work/expected.ini" <<'INI'
[Zelquo IP Update Client]
domain_name1=x-1.example.net
numofdomainnames=2
updatedip=
checkminutes=0
updatedminutes=0
domain_name2=a
domain_name3=a
alias_alias1=www
alias_domain_name1=home.example.net
numofaliases=1
ipmethod=1
ipaddress=
serverport=80
one=192
two=0
three=2
four=5
ignoreip1=10.0.
numofignoreip=1
ignoreip2=10.0.
pollinterval=30
executecommand=1
command=logger changed
autorunonstartup=1
INI
check "the settings file is exactly as expected" diff <(sed -e '$a\' "$settings") "$work/expected.ini"

# The IPv6 option, after the whole-file check: a file that never had it is left without its key.
ipv6_keys() { grep -E '^(updateipv6|updatedipv6)=' "$settings" | paste -sd' '; }
check "no IPv6 key before the option is used" test -z "$(ipv6_keys)"
run connection --ipv6
check "connection --ipv6: exit 0, writes the flag" test "$rc $(ipv6_keys)" == "0 updateipv6=1"
printf 'updatedipv6=2001:db8::1\n' >>"$settings"
run connection
check "connection shows that IPv6 is updated too" grep -qx 'IPv6:        updated too' "$work/out"
run status
check "status shows the last IPv6 address" grep -qx 'Last IPv6:   2001:db8::1' "$work/out"
run connection --no-ipv6
check "connection --no-ipv6: the flag off, the last address emptied" \
  test "$rc $(ipv6_keys)" == "0 updateipv6=0 updatedipv6="
check "two IPv6 options are a usage error" refused 2 'zelquoiuc connection: give one IPv6 option' \
  connection --ipv6 --no-ipv6

# --- the file's mode, its lock and failed writes -------------------------------------------
# Each case in a folder of its own, beside a copy of the program.
beside() {  # beside NAME: a folder with the program in it; sets other
  other="$work/$1"
  mkdir -p "$other" && cp "$program" "$other/"
}
beside fresh
(umask 000 && exec "$other/zelquoiuc" names add fresh.example.net) </dev/null >/dev/null 2>&1
check "a settings file made afresh is 0600 whatever the umask" test "$(stat -c %a "$other/ZelquoIUC.ini")" == 600
python3 -c 'import fcntl, os, sys, time
fcntl.flock(os.open(sys.argv[1], os.O_RDONLY), fcntl.LOCK_EX); print(flush=True); time.sleep(30)' "$other" \
  >"$work/holder.out" &
holder=$!
timeout 10 bash -c 'until [[ -s $0 ]]; do sleep 0.05; done' "$work/holder.out"
timeout 10 "$other/zelquoiuc" names add second.example.net </dev/null >/dev/null 2>&1
check "a lock someone holds on the settings folder stalls no change" test $? -eq 0 -a \
  "$(sed -n 's/^numofdomainnames=//p' "$other/ZelquoIUC.ini")" == 2
kill "$holder"
beside dangling
ln -s "$work/missing/ZelquoIUC.ini" "$other/ZelquoIUC.ini"
"$other/zelquoiuc" names add x.example.net </dev/null >/dev/null 2>"$work/err"
check "a change through a link to a missing folder: exit 1 with the reason" \
  test $? -eq 1 -a "$(cat "$work/err")" == "Cannot change $other/ZelquoIUC.ini: No such file or directory"
beside big
truncate -s 65M "$other/ZelquoIUC.ini"
"$other/zelquoiuc" poll-interval 45 </dev/null >/dev/null 2>"$work/err"
check "a change to a file past the size limit: exit 1 with the reason" \
  test $? -eq 1 -a "$(cat "$work/err")" == "Cannot change $other/ZelquoIUC.ini: File too large"

# --- status ---------------------------------------------------------------------------------
printf 'updatedip=203.0.113.77\nupdatedminutes=754\n' >>"$settings"
sed -i '/^updatedip=$/d; /^updatedminutes=0$/d' "$settings"
run status
check "status without systemd: the program beside it is not there" \
  grep -qx 'Service:     Not installed (program zelquoiucsvc)' <<<"$out"
check "... the last update and its time of day" grep -qx 'Last update: 203.0.113.77 at 12:34' <<<"$out"
check "... the method and the names" grep -qx 'Host names:  x-1.example.net, a' <<<"$out"

# A private /run/systemd marks this namespace as run by systemd; systemctl is a stand-in, put
# over the real one's path, that logs its arguments and what it was given of the environment and
# reports the unit running (after half a minute, once $work/slow exists). A systemctl on PATH
# only logs that it ran.
mount -t tmpfs zelquo-run /run/systemd && mkdir /run/systemd/system
mkdir "$work/bin" "$work/path-bin"
cat >"$work/bin/systemctl" <<SCRIPT
#!/bin/sh
echo "\$*" >>$work/systemctl.log
echo "PATH=\$PATH caller=\${ZQ_CALLER_ONLY:-}" >>$work/systemctl.env
[ -e $work/slow ] && sleep 30
echo LoadState=loaded
echo ActiveState=active
SCRIPT
printf '#!/bin/sh\necho ran >>%s\n' "$work/path-systemctl.log" >"$work/path-bin/systemctl"
chmod +x "$work/bin/systemctl" "$work/path-bin/systemctl"
for real in /usr/bin/systemctl /bin/systemctl; do
  [[ -e "$real" ]] && mount --bind "$work/bin/systemctl" "$real"
done
ZQ_CALLER_ONLY=1 PATH="$work/path-bin:$PATH" run status --update-now
check "status --update-now under systemd: exit 0" test "$rc" -eq 0
check "... the fresh-update keys written" \
  test "$(setting updatedip)|$(setting checkminutes)|$(setting updatedminutes)" == '|0|0'
check "... the daemon's main process woken with SIGHUP through systemd, which may not ask for a password" \
  grep -qx -- '--kill-whom=main --signal=HUP zelquoiucsvc.service' <(sed -n 's/^--no-ask-password kill //p' "$work/systemctl.log")
check "... which says so" grep -q 'woken' <<<"$out"
check "... and the unit's state" grep -qx 'Service:     Running (systemd unit zelquoiucsvc.service)' <<<"$out"
check "... through systemctl by its full path, never the caller's PATH" test ! -e "$work/path-systemctl.log"
check "... with an environment of its own" \
  test "$(sort -u "$work/systemctl.env")" == "PATH=/usr/sbin:/usr/bin:/sbin:/bin caller="
touch "$work/slow"
started=$SECONDS
run status
check "a systemctl that hangs is given up within seconds ($((SECONDS - started)) s, exit $rc)" \
  test $((SECONDS - started)) -le 8
rm "$work/slow"

zq_checks_passed
