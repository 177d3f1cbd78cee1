#!/usr/bin/env bash
# End-to-end tests of the tray program zelquoiuc.exe under Wine, on a private Xvfb display with
# no window manager, inside a network namespace whose /etc/hosts points the provider's host names
# at the stand-in provider. The UI driver (uidriver.exe) works the windows from outside; xdotool
# gives real X input where the path through X matters (the tray icon, typing).
#   run.sh NATIVE_BUILD WINDOWS_BUILD [SCENARIO...]     (as root; default: every scenario)
# It makes a network namespace: where others may run namespace tests too, run it under
# `flock /tmp/zq-netns.lock`.
# Prints one PASS or FAIL line per scenario; a failed one leaves a screenshot, the settings file
# and the stand-in's record under WINDOWS_BUILD/gui-tests/. Sourced by scripts/gui-screenshots.sh
# with GUI_LIBRARY_ONLY=1, which uses the set-up and the helpers but runs no scenario.
set -uo pipefail
here=$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")
native=$(readlink -f "$1")
windows=$(readlink -f "$2")
shift 2
source "$here/../netns/netns-lib.sh"

program="$windows/gui/zelquoiuc.exe"
uidriver="$windows/tests/gui/uidriver.exe"
standin="$native/tests/support/standin-provider"
service_program="$windows/service/zelquoiucsvc.exe"
service_control="$windows/tests/service/zelquo-service-control.exe"
for needed in "$program" "$uidriver" "$standin" "$service_program" "$service_control"; do
  [[ -x "$needed" ]] || { echo "FAIL gui set-up: $needed is missing"; exit 1; }
done

artifacts="$windows/gui-tests"
rm -rf "$artifacts" && mkdir -p "$artifacts"
work=$(mktemp -d /tmp/zq-gui.XXXXXX)
export WINEPREFIX="$windows/gui-wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY no_proxy NO_PROXY

readonly kSettingsCaption="Zelquo IP Update Client v4.43"
readonly kMessageCaption="Zelquo IP Update Client Message"
readonly kTrayCaption="Wine System Tray"
readonly kFrame="class:ZelquoIucFrame"
readonly kSection="[Zelquo IP Update Client]"
# Where the tray window is moved: Wine puts it at the top left, where a dialog may cover it
# (without a window manager nothing else moves windows apart).
readonly kTrayX=700 kTrayY=700

xvfb_pid= server_pid= program_pid= keeper_pid= ns=
cleanup_gui() {
  [[ -n "$program_pid" ]] && kill -9 "$program_pid" 2>/dev/null
  [[ -n "$ns" ]] && ip netns exec "$ns" wineserver -k 2>/dev/null
  [[ -n "$keeper_pid" ]] && kill "$keeper_pid" 2>/dev/null
  [[ -n "$server_pid" ]] && kill "$server_pid" 2>/dev/null
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null
  exec 9>&- 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
  zq_cleanup
}
trap cleanup_gui EXIT

# --- display, prefix and namespace -----------------------------------------------------------

# Xvfb picks a free display itself and writes its number, so two runs at once cannot collide.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$artifacts/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [[ -s "$work/display" ]] && break; sleep 0.1; done
export DISPLAY=":$(head -1 "$work/display" 2>/dev/null)"
xdpyinfo >/dev/null 2>&1 || { echo "FAIL gui set-up: Xvfb did not start"; exit 1; }

# A prefix whose first start was cut short lacks the user's environment: make it anew. The
# server that made it must be gone before one starts inside the namespace.
if ! grep -q '"TEMP"' "$WINEPREFIX/user.reg" 2>/dev/null; then
  wineserver -k 2>/dev/null
  rm -rf "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1
fi
wineserver -k 2>/dev/null
wineserver -w

ns=zq-gui-$$
if ! zq_netns_add "$ns"; then
  echo "SKIP gui: this machine does not allow network namespaces; the GUI tests did not run"
  exit 0
fi
cat > "/etc/netns/$ns/hosts" <<HOSTS
127.0.0.1 localhost
127.0.0.1 dynupdate.zelquo.net ip1.zelquo.net ip2.zelquo.net
198.51.100.41 $(hostname)
198.51.100.42 $(hostname)
HOSTS
ip -n "$ns" addr add 198.51.100.41/32 dev lo
ip -n "$ns" addr add 198.51.100.42/32 dev lo
# One global IPv6 address on a card that is up, for the IPv6 option.
ip -n "$ns" link add zqv6a type veth peer name zqv6b
ip -n "$ns" link set zqv6a up
ip -n "$ns" link set zqv6b up
ip -n "$ns" -6 addr add 2001:db8:77::1/64 dev zqv6a nodad

# One server and one idle Windows process for the whole run, inside the namespace (the server
# owns the sockets): Wine's own services start once, not inside a scenario.
ip netns exec "$ns" wineserver -p
rm -f "$work/keeper.fifo" && mkfifo "$work/keeper.fifo"
ip netns exec "$ns" wine cmd /k <"$work/keeper.fifo" >/dev/null 2>&1 &
keeper_pid=$!
exec 9>"$work/keeper.fifo"

# Web addresses that the program hands to the shell are written to a file instead of opening a
# browser: the prefix's handler for http runs cmd's echo.
urls="$work/opened-urls"
ip netns exec "$ns" wine reg add 'HKLM\Software\Classes\http\shell\open\command' /ve /f \
  /d "C:\\windows\\system32\\cmd.exe /c echo %1>>Z:${urls//\//\\}" >/dev/null 2>&1

# --- helpers -----------------------------------------------------------------------------------

# drv COMMAND ARGS...: one UI driver call (output without Wine's carriage returns).
drv() {
  ip netns exec "$ns" wine "$uidriver" "$@" 2>>"$work/driver.log" | tr -d '\r'
  return "${PIPESTATUS[0]}"
}

# start_server RULE...: a fresh stand-in with these rules and an empty record.
start_server() {
  [[ -n "$server_pid" ]] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  printf '%s\n' "$@" > "$work/script"
  rm -f "$work/ready"
  ip netns exec "$ns" "$standin" --listen 127.0.0.1:80 --listen 127.0.0.1:8245 \
    --script "$work/script" --record "$work/record" --ready "$work/ready" &
  server_pid=$!
  for _ in $(seq 100); do [[ -f "$work/ready" ]] && return 0; sleep 0.05; done
  echo "FAIL gui set-up: the stand-in provider did not start"
  exit 1
}

# requests PATHS: the targets of the recorded requests whose path matches PATHS (an extended
# regular expression such as "/a|/b"), one per line, in arrival order.
requests() { cut -f3 "$work/record" | grep -E "^($1)"; }

# wait_requests PATHS N [SECONDS]: until at least N requests for PATHS were recorded.
wait_requests() {
  local deadline=$((SECONDS + ${3:-15}))
  while (($(requests "$1" | wc -l) < $2)); do
    ((SECONDS < deadline)) || return 1
    sleep 0.2
  done
}

# start_program SETTINGS: the program in a fresh folder with this settings file ("-" for none).
start_program() {
  mkdir -p "$dir"
  cp "$program" "$dir/"
  [[ "$1" == - ]] || printf '%s' "$1" > "$dir/ZelquoIUC.ini"
  ip netns exec "$ns" wine "$dir/zelquoiuc.exe" >"$dir/program.log" 2>&1 &
  program_pid=$!
  drv wait "$kTrayCaption" 20000 || { fail "no tray icon appeared"; return 1; }
  place_tray
}

# The tray window's X id, moved (once per showing) where no dialog covers it.
place_tray() {
  tray=$(xdotool search --onlyvisible --name "^$kTrayCaption\$" | head -1)
  [[ -n "$tray" ]] || return 1
  xdotool windowmove --sync "$tray" "$kTrayX" "$kTrayY" 2>/dev/null
  return 0
}

# stop_program: closes the frame window and waits for the program to end; kills it otherwise.
stop_program() {
  [[ -n "$program_pid" ]] || return 0
  drv close "$kFrame" >/dev/null
  if ! drv gone "$kFrame" 10000 || ! timeout 10 tail --pid="$program_pid" -f /dev/null; then
    fail "the program did not end after WM_CLOSE to its frame"
    kill -9 "$program_pid" 2>/dev/null
    reset_wine
  fi
  wait "$program_pid" 2>/dev/null
  program_pid=
  # The next scenario's icon must find the tray window hidden.
  tray_hidden 5 || reset_wine
}

# tray_hidden SECONDS: until Wine hides its tray window, which it does when no icon is left.
tray_hidden() {
  local deadline=$((SECONDS + $1))
  while xdotool search --onlyvisible --name "^$kTrayCaption\$" >/dev/null 2>&1; do
    ((SECONDS < deadline)) || return 1
    sleep 0.1
  done
}

# Exit, the seventh entry of the tray menu: the program ends and its icon goes.
exit_through_menu() {
  drv tray 0x205
  drv menukeys 0x28 0x28 0x28 0x28 0x28 0x28 0x28 0x0d || { fail "no menu for Exit"; return 1; }
  drv gone "$kFrame" 15000 || { fail "Exit did not end the program"; return 1; }
  tray_hidden 5 || { fail "the icon stayed in the tray after Exit"; return 1; }
}

# menu_closed: until no pop-up menu is on screen (a closed one may linger hidden).
menu_closed() {
  local deadline=$((SECONDS + 5))
  until [[ "$(drv count "class:#32768")" == *" 0" ]]; do
    ((SECONDS < deadline)) || return 1
    sleep 0.1
  done
}

# reset_wine: a clean server after a program that would not end (its icon stays otherwise).
reset_wine() {
  ip netns exec "$ns" wineserver -k 2>/dev/null
  ip netns exec "$ns" wineserver -w 2>/dev/null
  ip netns exec "$ns" wineserver -p
}

# settings_value KEY: the value of KEY in the scenario's settings file.
settings_value() {
  tr -d '\r' < "$dir/ZelquoIUC.ini" | sed -n "s/^$1=//p" | head -1
}

# unscramble TEXT: the clear text of a stored password (each byte raised by the shift that the
# last byte carries as 'D' + shift).
unscramble() {
  local text=$1 clear= i shift_by code
  ((${#text} >= 2)) || { printf ''; return; }
  shift_by=$(($(printf '%d' "'${text: -1}") - 68))
  for ((i = 0; i < ${#text} - 1; i++)); do
    code=$((($(printf '%d' "'${text:i:1}") + shift_by) % 256))
    clear+=$(printf "\\$(printf '%03o' "$code")")
  done
  printf '%s' "$clear"
}

md5() { printf '%s' "$1" | md5sum | cut -d' ' -f1; }

# tray_colour: "blue", "orange" or "other", from the mean colour of the tray window's icons.
tray_colour() {
  place_tray || { echo none; return; }
  import -window "$tray" "$work/tray.png" 2>/dev/null || { echo none; return; }
  # Only the icon's own pixels count: the grey background is taken out by its low saturation.
  convert "$work/tray.png" -colorspace HSL -channel G -separate +channel -threshold 35% \
    "$work/tray-mask.png" 2>/dev/null
  local rgb
  rgb=$(convert "$work/tray.png" "$work/tray-mask.png" -alpha off -compose CopyOpacity \
    -composite -scale 1x1! -alpha off -format '%[fx:int(255*r)] %[fx:int(255*g)] %[fx:int(255*b)]' info:- 2>/dev/null)
  local r g b
  read -r r g b <<<"$rgb"
  if [[ -z "$b" ]]; then echo none
  elif ((b > r + 30)); then echo blue
  elif ((r > b + 30 && g > b)); then echo orange
  else echo "other($rgb)"
  fi
}

# wait_tray_colour COLOUR SECONDS
wait_tray_colour() {
  local deadline=$((SECONDS + $2)) seen
  while :; do
    seen=$(tray_colour)
    [[ "$seen" == "$1" ]] && return 0
    ((SECONDS < deadline)) || { echo "$seen"; return 1; }
    sleep 0.2
  done
}

# wait_text WINDOW ID REGEX SECONDS: until the control's text matches (grep -E, any line).
wait_text() {
  local deadline=$((SECONDS + $4))
  while :; do
    drv gettext "$1" "$2" > "$work/text" 2>/dev/null && grep -Eq -- "$3" "$work/text" && return 0
    ((SECONDS < deadline)) || return 1
    sleep 0.3
  done
}

# expect_count WINDOW "ALL VISIBLE" SECONDS: until the driver counts exactly that.
expect_count() {
  local deadline=$((SECONDS + ${3:-5})) got
  while :; do
    got=$(drv count "$1")
    [[ "$got" == "$2" ]] && return 0
    ((SECONDS < deadline)) || { fail "windows \"$1\": got $got, expected $2"; return 1; }
    sleep 0.2
  done
}

# tray_click BUTTON [REPEAT]: real X clicks on our icon in Wine's tray window.
tray_click() {
  place_tray || { fail "the tray window is not shown"; return 1; }
  xdotool mousemove --window "$tray" 10 10 click --repeat "${2:-1}" --delay 80 "$1"
}

# x_click WINDOW ID: a real X click on the control's centre (its page must be shown).
x_click() {
  local centre
  centre=$(drv center "$1" "$2") || { fail "no control $2 to click"; return 1; }
  # shellcheck disable=SC2086
  xdotool mousemove $centre click 1
}

# type_into WINDOW ID TEXT: real typing after a click on the control.
type_into() {
  local centre
  centre=$(drv center "$1" "$2") || { fail "no control $2 to type into"; return 1; }
  # shellcheck disable=SC2086
  xdotool mousemove $centre click 1
  xdotool key Home shift+End BackSpace
  xdotool type --delay 20 "$3"
}

scenario_failed=0
fail() {
  echo "  $scenario: $*"
  if ((scenario_failed == 0)); then
    import -window root "$artifacts/$scenario.png" 2>/dev/null
  fi
  scenario_failed=1
}

passed=0
failed=0
run_scenario() {
  scenario=$1
  scenario_failed=0
  dir="$work/$scenario"
  : > "$work/driver.log"
  local started=$SECONDS
  "scenario_$scenario"
  stop_program
  if ((scenario_failed)); then
    failed=$((failed + 1))
    cp "$work/record" "$artifacts/$scenario.record" 2>/dev/null
    cp "$dir/ZelquoIUC.ini" "$artifacts/$scenario.ini" 2>/dev/null
    cp "$work/driver.log" "$artifacts/$scenario.driver.log" 2>/dev/null
    echo "FAIL gui $scenario ($((SECONDS - started)) s)"
  else
    passed=$((passed + 1))
    echo "PASS gui $scenario ($((SECONDS - started)) s)"
  fi
}

account_settings() {
  printf '%s\nusername=alice\npassword=%s\npollinterval=%s\n' "$kSection" "$(printf 'n`^m`oI')" "${1:-60}"
}

readonly kIpRule='/ipcheck.asp 200 ip203.0.113.77'
readonly kSecretMd5=$(md5 secret)

readonly kNewDomain="New Domain Name" kNewAlias="New Alias"

# set_dpi DPI: the display resolution that programs started from now on see. Wine reads it from
# the user's desktop settings at each start.
set_dpi() {
  ip netns exec "$ns" wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
}

# set_x11_managed Y|N: whether programs started from now on leave their windows to a window
# manager (Wine's default) or place them themselves.
set_x11_managed() {
  ip netns exec "$ns" wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d "$1" /f >/dev/null 2>&1
}

# start_at_prompt: the program with no password stored, until its settings window is up.
start_at_prompt() {
  start_program "$kSection
password=
" || return 1
  drv wait "$kSettingsCaption" 10000 || { fail "no settings window at start"; return 1; }
}

# start_with_one_name: the program with an account and one host name, its settings window open.
start_with_one_name() {
  start_program "$(account_settings)
numofdomainnames=1
domain_name1=a.example
" || return 1
  open_settings
}

# expect_lines WINDOW ID EXPECTED: the list box's lines, one per line.
expect_lines() {
  local got
  got=$(drv list "$1" "$2")
  [[ "$got" == "$3" ]] || fail "list $2: got $(printf '%q' "$got"), expected $(printf '%q' "$3")"
}

# expect_settings KEY=VALUE...: each key's value in the settings file ("KEY=" for empty).
expect_settings() {
  local pair
  for pair in "$@"; do
    [[ "$(settings_value "${pair%%=*}")" == "${pair#*=}" ]] ||
      fail "${pair%%=*} is '$(settings_value "${pair%%=*}")', expected '${pair#*=}'"
  done
}

# dialog_ok CAPTION: OK on the small dialog, which must close.
dialog_ok() { drv click "$1" 1; drv gone "$1" 5000 || fail "OK did not close \"$1\""; }

# open_settings: the settings window from a double-click on the icon.
open_settings() {
  drv tray 0x203
  drv wait "$kSettingsCaption" 10000 || { fail "a double-click opened no window"; return 1; }
}

# wait_settings KEY VALUE [SECONDS]
wait_settings() {
  local deadline=$((SECONDS + ${3:-5}))
  until [[ "$(settings_value "$1")" == "$2" ]]; do
    ((SECONDS < deadline)) || return 1
    sleep 0.2
  done
}

# show_page INDEX: the page at INDEX brought up by Right keys on the tab control.
show_page() {
  local count selection visible tries
  for ((tries = 0; tries < 8; tries++)); do
    read -r count selection visible <<<"$(drv tab "$kSettingsCaption")"
    [[ "$selection" == "$1" ]] && return 0
    drv key "$kSettingsCaption" 1200 0x27
    sleep 0.2
  done
  fail "page $1 could not be shown (selection $selection)"
  return 1
}

# save_page ID: Save on the page that holds control ID.
save_page() { drv click "$kSettingsCaption" "$1/1"; }

# --- the Misc page -------------------------------------------------------------------------------

readonly kServiceName=ZelquoIUCSvc
readonly kRunKey='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
readonly kRunValue="Zelquo IP Update Client"

# remove_service: no service left in the shared prefix, whatever a scenario left behind.
remove_service() {
  ip netns exec "$ns" wine net stop "$kServiceName" >/dev/null 2>&1
  ip netns exec "$ns" wine sc delete "$kServiceName" >/dev/null 2>&1
  # The manager deletes a service once the last handle to it is closed, maybe after sc returned.
  local deadline=$((SECONDS + 10))
  while ip netns exec "$ns" wine sc query "$kServiceName" >/dev/null 2>&1; do
    ((SECONDS < deadline)) || return 1
    sleep 0.2
  done
}

# misc_state EXPECTED: until the page's state text is EXPECTED (control 1052 looked up on the page
# that holds Start, 1044: the Domain Names page has a 1052 of its own).
misc_state() {
  wait_text "$kSettingsCaption" 1044/1052 "^$1\$" 20 || fail "state '$(cat "$work/text")', expected '$1'"
}

# light_colour: red, green, amber or grey, from the mean colour of the status light's image.
light_colour() {
  local centre x y rgb r g b
  centre=$(drv center "$kSettingsCaption" 1047) || { echo none; return; }
  read -r x y <<<"$centre"
  import -window root "$work/light.png" 2>/dev/null || { echo none; return; }
  rgb=$(convert "$work/light.png" -crop "12x12+$((x - 6))+$((y - 6))" +repage -scale 1x1! \
    -format '%[fx:int(255*r)] %[fx:int(255*g)] %[fx:int(255*b)]' info:- 2>/dev/null)
  read -r r g b <<<"$rgb"
  if [[ -z "$b" ]]; then echo none
  elif ((g > r + 20)); then echo green
  elif ((r > b + 60 && g > b + 50)); then echo amber
  elif ((r > g + 40)); then echo red
  elif ((r - b < 25 && b - r < 25 && r - g < 25 && g - r < 25)); then echo grey
  else echo "other($rgb)"
  fi
}

# expect_light COLOUR
expect_light() {
  local seen
  seen=$(light_colour)
  [[ "$seen" == "$1" ]] || fail "status light $seen, expected $1"
}

# no_message: the program shows no message box.
no_message() { expect_count "$kMessageCaption" "0 0" 1; }

# expect_message TEXT: the program's message box shows TEXT; OK closes it.
expect_message() {
  drv wait "$kMessageCaption" 10000 || { fail "no message \"$1\""; return 1; }
  wait_text "$kMessageCaption" 1001 "^$1\$" 5 || fail "message '$(cat "$work/text")', expected '$1'"
  dialog_ok "$kMessageCaption"
}

# run_value: the start-up entry's data ("absent" when there is none).
run_value() {
  local line
  line=$(ip netns exec "$ns" wine reg query "$kRunKey" /v "$kRunValue" 2>/dev/null | tr -d '\r' | grep -F "$kRunValue")
  [[ -n "$line" ]] || { echo absent; return; }
  sed -n 's/.*REG_SZ[[:space:]]*//p' <<<"$line"
}

[[ -n "${GUI_LIBRARY_ONLY:-}" ]] && return 0

# --- scenarios ---------------------------------------------------------------------------------

# An empty password at start shows the settings window; the tray icon works (real clicks) while
# the window is shown and after Close hid it.
scenario_prompt_at_start() {
  start_server "$kIpRule" '/nic/update 200 nochg'
  start_program "$kSection
username=
password=
" || return
  drv wait "$kSettingsCaption" 10000 || { fail "no settings window at start"; return; }
  tray_click 3
  drv menukeys 0x1b || fail "no menu from a right click while the window is shown"
  drv click "$kSettingsCaption" 2
  expect_count "$kSettingsCaption" "1 0" || return
  tray_click 3
  drv menukeys 0x1b || fail "no menu from a right click while the window is hidden"
  # A click while the menu is still closing would only close it.
  menu_closed
  tray_click 1 2
  expect_count "$kSettingsCaption" "1 1" 10
}

# A stored password: no window at start, even without a username or host names.
scenario_no_prompt_with_password() {
  start_server "$kIpRule" '/nic/update 200 nochg'
  start_program "$kSection
password=n\`^m\`oI
" || return
  # Without a username nothing is sent. The fresh-update request that follows the settings
  # check writes "checkminutes": once it is there, the check has ended without a window.
  local deadline=$((SECONDS + 15))
  until grep -q '^checkminutes=' "$dir/ZelquoIUC.ini"; do
    ((SECONDS < deadline)) || { fail "the start-up did not reach its fresh-update request"; return; }
    sleep 0.2
  done
  sleep 1
  expect_count "$kSettingsCaption" "0 0" 0
}

# The menu's entries, run by keys: the first opens a settings window, the seventh and last exits
# without a sign-off request.
scenario_tray_menu() {
  start_server "$kIpRule" '/nic/update 200 nochg'
  start_program "$(account_settings)" || return
  tray_click 3
  # Texts and the bold default item cannot be read from another process: a screenshot keeps them.
  drv menukeys || { fail "no menu on a right click"; return; }
  import -window root "$artifacts/tray-menu.png" 2>/dev/null
  drv menukeys 0x28 0x0d
  drv wait "$kSettingsCaption" 10000 || fail "Down, Return did not open the main panel"
  drv click "$kSettingsCaption" 2
  expect_count "$kSettingsCaption" "1 0" || return
  wait_requests /nic/update 1 || fail "no update request"
  local before
  before=$(wc -l < "$work/record")
  exit_through_menu || return
  # The stored sign-off choice is the default "no change": Exit sends nothing.
  (($(wc -l < "$work/record") == before)) || fail "Exit sent: $(tail -n +$((before + 1)) "$work/record" | cut -f3)"
}

# Double-click opens the settings window; "Open the main panel" over it brings it forward instead
# of opening a second one; Close and Esc hide it, and the next opening brings a fresh one in its
# place. Two hundred openings later there is still one window, and the menu works.
scenario_second_window() {
  # Wine waits up to 2 s at each hiding of a window it leaves to a window manager, for a
  # WM_STATE that only a window manager writes: unmanaged, the openings take seconds, not minutes.
  set_x11_managed N
  second_window_steps
  set_x11_managed Y
}

second_window_steps() {
  start_server "$kIpRule" '/nic/update 200 nochg'
  start_program "$(account_settings)" || return
  tray_click 1 2
  drv wait "$kSettingsCaption" 10000 || { fail "a double-click opened no window"; return; }
  drv tray 0x205 && drv menukeys 0x28 0x0d || { fail "no menu over the open window"; return; }
  sleep 1
  expect_count "$kSettingsCaption" "1 1" || return
  drv click "$kSettingsCaption" 2
  expect_count "$kSettingsCaption" "1 0" || return
  drv tray 0x203
  expect_count "$kSettingsCaption" "1 1" 10 || return
  # Esc in a field hides it as Close does.
  drv key "$kSettingsCaption" 1074 0x1b
  expect_count "$kSettingsCaption" "1 0" || return
  drv openclose "$kSettingsCaption" "${ZQ_OPENINGS:-200}" || { fail "open and close stopped working: $(tail -1 "$work/driver.log")"; return; }
  expect_count "$kSettingsCaption" "1 0" || return
  drv tray 0x205 && drv menukeys 0x28 0x0d || { fail "no menu after the openings"; return; }
  expect_count "$kSettingsCaption" "1 1" 10
}

# Save with valid fields: both checks, with the exact request lines; the password stored scrambled.
scenario_save_valid() {
  start_server "$kIpRule" '/nic/update 200 nochg' '/authcheck.asp 200 true' '/locationcheck.asp 200 true'
  start_at_prompt || return
  type_into "$kSettingsCaption" 1074 alice
  drv settext "$kSettingsCaption" 1075 secret
  drv settext "$kSettingsCaption" 1077 home1
  drv click "$kSettingsCaption" 1
  wait_requests /locationcheck.asp 1 || { fail "no location check"; return; }
  local expected="/authcheck.asp?username=alice&password=$kSecretMd5
/locationcheck.asp?username=alice&password=$kSecretMd5&location=home1"
  local got
  # The fresh update that Save requests sends a location check of its own soon after.
  got=$(requests '/authcheck.asp|/locationcheck.asp' | head -2)
  [[ "$got" == "$expected" ]] || fail "checks: got $(printf '%q' "$got"), expected $(printf '%q' "$expected")"
  # Save writes the location last.
  wait_settings location home1 || fail "location stored: $(settings_value location)"
  [[ "$(settings_value username)" == alice ]] || fail "username stored: $(settings_value username)"
  local stored
  stored=$(settings_value password)
  [[ ${#stored} -eq 7 && "$(unscramble "$stored")" == secret ]] || fail "password stored as '$stored'"
  expect_count "$kMessageCaption" "0 0" 0
  drv visible "$kSettingsCaption" 1074 || fail "the window did not stay open after Save"
}

# A refused password ("false"): the message, then the field and the stored password emptied.
scenario_save_refused() {
  start_server "$kIpRule" '/nic/update 200 nochg' '/authcheck.asp 200 false'
  start_at_prompt || return
  drv settext "$kSettingsCaption" 1074 alice
  drv settext "$kSettingsCaption" 1075 secret
  # Wine answers WM_GETTEXT on a password edit from another process (Windows does not): the
  # emptied field below is only worth checking if the typed one reads back first.
  [[ "$(drv gettext "$kSettingsCaption" 1075)" == secret ]] || fail "the password field does not read back"
  drv click "$kSettingsCaption" 1
  drv wait "$kMessageCaption" 10000 || { fail "no message"; return; }
  local message
  message=$(drv gettext "$kMessageCaption" 1001)
  [[ "$message" == "Username alice or password is invalid! Please check the settings and try again." ]] ||
    fail "message: $(printf '%q' "$message")"
  drv click "$kMessageCaption" 1
  drv gone "$kMessageCaption" 5000 || fail "OK did not close the message"
  wait_text "$kSettingsCaption" 1075 '^$' 5 || fail "password field kept: $(cat "$work/text")"
  wait_settings password "" || fail "stored password kept: $(settings_value password)"
  [[ "$(requests /authcheck.asp)" == "/authcheck.asp?username=alice&password=$kSecretMd5" ]] ||
    fail "account check: $(requests /authcheck.asp)"
}

# The Activity page fills with time-stamped entries; the status field follows the status text.
scenario_activity_and_status() {
  start_server "$kIpRule" '/nic/update 200 good 203.0.113.77'
  start_program "$(account_settings)" || return
  drv tray 0x203
  drv wait "$kSettingsCaption" 10000 || { fail "a double-click opened no window"; return; }
  wait_requests /nic/update 1 || fail "no update request"
  local stamp='(0[1-9]|1[0-2]):[0-5][0-9]:[0-5][0-9] (AM|PM)>'
  wait_text "$kSettingsCaption" 1000 "^${stamp}IP address update initiated\.\$" 5 ||
    fail "no time-stamped start entry: $(head -c 300 "$work/text")"
  wait_text "$kSettingsCaption" 1000 "^${stamp}\[good\] IP updated with 203\.0\.113\.77 for username alice\$" 5 ||
    fail "no entry for the answer: $(head -c 300 "$work/text")"
  wait_text "$kSettingsCaption" 1076 '^Current IP(v4)? Address: 203\.0\.113\.77$' 5 ||
    fail "status field: $(cat "$work/text")"
}

# The tray icon is the busy one while a request waits for its answer, the idle one after it.
scenario_busy_icon() {
  # Only the first answer is slow: the start-up's fresh-update request brings a second one.
  start_server "$kIpRule" '/nic/update 200 delay=3000 nochg' '/nic/update 200 nochg'
  start_program "$(account_settings)" || return
  local seen
  wait_requests /nic/update 1 || { fail "no update request"; return; }
  seen=$(wait_tray_colour orange 3) || fail "icon during the request: $seen, expected orange"
  cp "$work/tray.png" "$artifacts/tray-busy.png" 2>/dev/null
  seen=$(wait_tray_colour blue 8) || fail "icon after the answer: $seen, expected blue"
  cp "$work/tray.png" "$artifacts/tray-idle.png" 2>/dev/null
}

# Ctrl+PageDown walks the pages and wraps from the last to the first; Ctrl+PageUp from the first
# to the last. The selection, the one visible page and the Activity page's edit must agree.
scenario_tab_keys() {
  start_server "$kIpRule" '/nic/update 200 nochg'
  start_program "$(account_settings)" || return
  drv tray 0x203
  drv wait "$kSettingsCaption" 10000 || { fail "a double-click opened no window"; return; }
  local count selection visible step
  read -r count selection visible <<<"$(drv tab "$kSettingsCaption")"
  [[ "$selection" == 0 && "$visible" == 1 ]] || { fail "tab state at open: $count $selection $visible"; return; }
  drv key "$kSettingsCaption" 1200 0x22
  sleep 0.3
  read -r count selection visible <<<"$(drv tab "$kSettingsCaption")"
  [[ "$selection" == 0 ]] || fail "PageDown without Ctrl turned the page"
  for ((step = 1; step <= count; step++)); do
    drv key "$kSettingsCaption" 1200 0x22 ctrl
    read -r count selection visible <<<"$(drv tab "$kSettingsCaption")"
    [[ "$selection" == $((step % count)) && "$visible" == 1 ]] ||
      fail "after Ctrl+PageDown $step of $count: selection $selection, $visible pages shown"
  done
  drv visible "$kSettingsCaption" 1000 || fail "the Activity page is not shown after the wrap"
  # No names and no aliases stored: the Domain Names page is left out.
  drv visible "$kSettingsCaption" 1055; (($? == 2)) || fail "a Domain Names page without names"
  drv key "$kSettingsCaption" 1200 0x21 ctrl
  read -r count selection visible <<<"$(drv tab "$kSettingsCaption")"
  [[ "$selection" == $((count - 1)) && "$visible" == 1 ]] ||
    fail "after Ctrl+PageUp on the first page: selection $selection of $count"
  # Once through X as well, with the focus in a page's control: back to the first page.
  drv key "$kSettingsCaption" 1200 0x22 ctrl
  local centre
  centre=$(drv center "$kSettingsCaption" 1000) || { fail "no Activity edit"; return; }
  # shellcheck disable=SC2086
  xdotool mousemove $centre click 1 key ctrl+Next
  sleep 0.5
  read -r count selection visible <<<"$(drv tab "$kSettingsCaption")"
  [[ "$selection" == $((1 % count)) && "$visible" == 1 ]] ||
    fail "after a typed Ctrl+PageDown on the Activity edit: selection $selection of $count"
}

# An outdated client: the notice once, not again on the next cycles' "oldversion" answers.
scenario_outdated_notice() {
  start_server "$kIpRule" '/nic/update 200 oldversion'
  start_program "$(account_settings 2)" || return
  drv wait "$kMessageCaption" 10000 || { fail "no outdated notice"; return; }
  wait_text "$kMessageCaption" 1001 '^This version of Zelquo IP Update Client is outdated! ' 1 ||
    fail "notice: $(cat "$work/text")"
  local before
  before=$(requests /nic/update | wc -l)
  drv click "$kMessageCaption" 1
  drv gone "$kMessageCaption" 5000 || fail "OK did not close the notice"
  wait_requests /nic/update $((before + 2)) 15 || fail "no further update cycles"
  expect_count "$kMessageCaption" "0 0" 0
}

# The five website entries, in menu order after the first: each hands its page to the shell.
scenario_website_entries() {
  start_server "$kIpRule" '/nic/update 200 nochg'
  start_program "$(account_settings)" || return
  local pages=(kPurchaseDomainPage kAddHostnamePage kControlPanelPage kSupportPage kDocumentationPage)
  local expected= page downs
  rm -f "$urls"
  for ((downs = 2; downs <= 6; downs++)); do
    page=${pages[downs - 2]}
    expected+=$(sed -n "s/.*$page\[\] = \"\(.*\)\";/\1/p" "$here/../../engine/provider_config.h")$'\n'
    drv tray 0x205
    # shellcheck disable=SC2046
    drv menukeys $(printf '0x28 %.0s' $(seq "$downs")) 0x0d || { fail "no menu for entry $downs"; return; }
    local deadline=$((SECONDS + 10))
    until (($(wc -l 2>/dev/null < "$urls" || echo 0) >= downs - 1)); do
      ((SECONDS < deadline)) || { fail "entry $downs opened nothing"; return; }
      sleep 0.2
    done
  done
  local got
  got=$(tr -d '\r' < "$urls")
  [[ "$got"$'\n' == "$expected" ]] || fail "opened: $(printf '%q' "$got"), expected $(printf '%q' "$expected")"
}

# Names and aliases: invalid entries bring the message and the dialog back, Cancel stores nothing,
# Remove renumbers the keys behind the removed one, Remove All then Add starts again at 1.
scenario_domain_names() {
  start_server "$kIpRule" '/nic/update 200 nochg'
  start_program "$(account_settings)
numofdomainnames=3
domain_name1=c.example
domain_name2=a.example
domain_name3=b.example
" || return
  open_settings || return
  drv visible "$kSettingsCaption" 1055; (($? != 2)) || fail "no Domain Names page with names stored"
  expect_lines "$kSettingsCaption" 1055 $'a.example\nb.example\nc.example'
  drv select "$kSettingsCaption" 1055 0 || fail "could not select the first name"
  drv click "$kSettingsCaption" 1053
  wait_settings numofdomainnames 2 || fail "Remove did not store two names"
  expect_settings domain_name1=c.example domain_name2=b.example
  expect_lines "$kSettingsCaption" 1055 $'b.example\nc.example'

  drv click "$kSettingsCaption" 1052
  drv wait "$kNewDomain" 5000 || { fail "Add opened no dialog"; return; }
  drv settext "$kNewDomain" 1054 "bad name"
  drv click "$kNewDomain" 1
  drv wait "$kMessageCaption" 5000 || { fail "no message for an invalid name"; return; }
  [[ "$(drv gettext "$kMessageCaption" 1001)" == "bad name is not a valid domain name. Please try again." ]] ||
    fail "message: $(drv gettext "$kMessageCaption" 1001)"
  dialog_ok "$kMessageCaption"
  drv wait "$kNewDomain" 5000 || { fail "the dialog did not come back after the message"; return; }
  [[ "$(drv gettext "$kNewDomain" 1054)" == "bad name" ]] || fail "the dialog lost the typed name"
  type_into "$kNewDomain" 1054 d.example
  dialog_ok "$kNewDomain"
  wait_settings numofdomainnames 3 && expect_settings domain_name3=d.example || fail "d.example not stored"
  drv click "$kSettingsCaption" 1052
  drv wait "$kNewDomain" 5000 || { fail "Add opened no dialog"; return; }
  drv settext "$kNewDomain" 1054 e.example
  drv click "$kNewDomain" 2
  drv gone "$kNewDomain" 5000 || fail "Cancel did not close the dialog"
  expect_lines "$kSettingsCaption" 1055 $'b.example\nc.example\nd.example'

  drv click "$kSettingsCaption" 1049
  drv wait "$kNewAlias" 5000 || { fail "Add alias opened no dialog"; return; }
  drv settext "$kNewAlias" 1050 "w w"
  drv settext "$kNewAlias" 1051 b.example
  drv click "$kNewAlias" 1
  drv wait "$kMessageCaption" 5000 || { fail "no message for an invalid alias"; return; }
  [[ "$(drv gettext "$kMessageCaption" 1001)" == "w w.b.example is not a valid hostname. Please try again." ]] ||
    fail "alias message: $(drv gettext "$kMessageCaption" 1001)"
  dialog_ok "$kMessageCaption"
  drv wait "$kNewAlias" 5000 || { fail "the alias dialog did not come back"; return; }
  drv settext "$kNewAlias" 1050 www
  dialog_ok "$kNewAlias"
  wait_settings numofaliases 1 || fail "the alias was not stored"
  expect_settings alias_alias1=www alias_domain_name1=b.example
  expect_lines "$kSettingsCaption" 1048 www.b.example
  drv click "$kSettingsCaption" 1049
  drv wait "$kNewAlias" 5000 && drv click "$kNewAlias" 2
  drv gone "$kNewAlias" 5000 || fail "Cancel did not close the alias dialog"
  expect_settings numofaliases=1

  drv click "$kSettingsCaption" 1054
  wait_settings numofdomainnames 0 || fail "Remove All did not store 0"
  expect_lines "$kSettingsCaption" 1055 ""
  drv click "$kSettingsCaption" 1052
  drv wait "$kNewDomain" 5000 || { fail "Add opened no dialog"; return; }
  drv settext "$kNewDomain" 1054 f.example
  dialog_ok "$kNewDomain"
  wait_settings numofdomainnames 1 && expect_settings domain_name1=f.example || fail "f.example not stored first"
}

# Each connection type saved: the file, then the fresh update's request (its port and address);
# then the HTTPS box and the port box it greys out.
scenario_connection_type() {
  start_server "$kIpRule" '/nic/update 200 nochg'
  start_with_one_name || return
  wait_requests /nic/update 1 || { fail "no first update"; return; }
  local radio method before
  for radio in 1021 1022 1020; do
    method=$((radio - 1020))
    drv click "$kSettingsCaption" "$radio"
    before=$(requests /nic/update | wc -l)
    save_page "$radio"
    wait_settings ipmethod "$method" || fail "ipmethod $(settings_value ipmethod) after saving $radio"
    expect_settings ipaddress= serverport=80
    wait_requests /nic/update $((before + 1)) || fail "no fresh update after saving method $method"
  done
  drv setip "$kSettingsCaption" 1019 192 0 2 44
  drv click "$kSettingsCaption" 1023
  drv click "$kSettingsCaption" 1037
  before=$(requests /nic/update | wc -l)
  save_page 1023
  # Save writes the port last.
  wait_settings serverport 8245 || fail "serverport $(settings_value serverport) after saving the static address"
  expect_settings ipmethod=3 one=192 two=0 three=2 four=44
  wait_requests /nic/update $((before + 1)) || { fail "no fresh update after saving the static address"; return; }
  local last
  last=$(grep -P '\t/nic/update' "$work/record" | tail -1)
  [[ "$last" == 8245* ]] || fail "the update after choosing port 8245 came on $(cut -f1 <<<"$last")"
  [[ "$last" == *myip=192.0.2.44* ]] || fail "the static address was not sent: $(cut -f3 <<<"$last")"
  grep -q '^usehttps=' "$dir/ZelquoIUC.ini" && fail "usehttps written with the HTTPS box never touched"
  # The HTTPS box, clicked through X: the port box greys out while it is set and keeps its state;
  # a window opened afresh shows the stored choice.
  show_page 2 || return
  x_click "$kSettingsCaption" 1062
  sleep 0.3
  drv enabled "$kSettingsCaption" 1037 && fail "the port box stays enabled with HTTPS set"
  save_page 1062
  wait_settings usehttps 1 || fail "usehttps '$(settings_value usehttps)' after saving with HTTPS set"
  expect_settings serverport=8245
  drv click "$kSettingsCaption" 2
  expect_count "$kSettingsCaption" "1 0" || return
  drv tray 0x203
  expect_count "$kSettingsCaption" "1 1" 10 || return
  [[ "$(drv check "$kSettingsCaption" 1062)" == 1 ]] || fail "the HTTPS box is clear in a new window"
  drv enabled "$kSettingsCaption" 1037 && fail "the port box is enabled in a new window with HTTPS stored"
  show_page 2 || return
  x_click "$kSettingsCaption" 1062
  sleep 0.3
  drv enabled "$kSettingsCaption" 1037 || fail "the port box stays greyed with HTTPS cleared"
  save_page 1062
  wait_settings usehttps 0 || fail "usehttps '$(settings_value usehttps)' after clearing the box"
}

# The IPv6 box: its Save stores the flag and asks for a fresh update, which carries the card's
# IPv6 address; the idle pass then shows it, and clearing the box empties it.
scenario_connection_ipv6() {
  start_server "$kIpRule" '/nic/update 200 good 198.51.100.41'
  start_program "$(account_settings 2)
numofdomainnames=1
domain_name1=a.example
ipmethod=0
" || return
  open_settings || return
  wait_requests /nic/update 1 || { fail "no first update"; return; }
  [[ "$(requests /nic/update)" != *myipv6* ]] || fail "IPv6 sent with the box never ticked"
  drv click "$kSettingsCaption" 1061
  save_page 1061
  wait_settings updateipv6 1 || fail "updateipv6 '$(settings_value updateipv6)' after Save"
  wait_requests '/nic/update.*&myipv6=2001:db8:77::1' 1 || fail "no update carried the IPv6 address"
  wait_settings updatedipv6 2001:db8:77::1 || fail "updatedipv6 '$(settings_value updatedipv6)'"
  wait_text "$kSettingsCaption" 1076 '^Current IPv6 Address: 2001:db8:77::1$' 10 ||
    fail "status field: $(cat "$work/text")"
  drv click "$kSettingsCaption" 1061
  save_page 1061
  wait_settings updateipv6 0 || fail "updateipv6 '$(settings_value updateipv6)' after clearing the box"
  expect_settings updatedipv6=
}

# An ignored address: once added, the next client-side detection passes over it; once removed,
# it is sent again. The machine's name resolves to 198.51.100.41 and .42 in the namespace.
scenario_ignore_list() {
  start_server "$kIpRule" '/nic/update 200 nochg'
  start_program "$(account_settings)
numofdomainnames=1
domain_name1=a.example
ipmethod=0
" || return
  open_settings || return
  wait_requests /nic/update 1 || { fail "no first update"; return; }
  local first before
  first=$(requests /nic/update | tail -1 | sed -n 's/.*myip=\([0-9.]*\).*/\1/p')
  [[ "$first" == 198.51.100.4[12] ]] || { fail "first update: $(requests /nic/update | tail -1)"; return; }
  show_page 3 || return
  before=$(requests /nic/update | wc -l)
  type_into "$kSettingsCaption" 1032 "$first"
  drv click "$kSettingsCaption" 1010
  wait_settings numofignoreip 1 && expect_settings "ignoreip1=$first" || fail "the entry was not stored"
  wait_text "$kSettingsCaption" 1001 "^${first//./\\.}\$" 5 || fail "list: $(cat "$work/text")"
  wait_requests /nic/update $((before + 1)) || { fail "no update after the entry was added"; return; }
  [[ "$(requests /nic/update | tail -1)" == *myip=198.51.100.4[12]* && "$(requests /nic/update | tail -1)" != *myip=$first* ]] ||
    fail "after adding $first: $(requests /nic/update | tail -1)"
  before=$(requests /nic/update | wc -l)
  drv click "$kSettingsCaption" 1011
  wait_settings numofignoreip 0 || fail "Remove IP did not store 0"
  wait_text "$kSettingsCaption" 1001 '^$' 5 || fail "list after removal: $(cat "$work/text")"
  wait_requests /nic/update $((before + 1)) || { fail "no update after the entry was removed"; return; }
  [[ "$(requests /nic/update | tail -1)" == *myip=$first* ]] || fail "after removal: $(requests /nic/update | tail -1)"
}

# Each sign-off choice saved, then Exit with "0.0.0.0": one request per name, then per alias, in
# order, and the program ends with its icon gone.
scenario_sign_off() {
  start_server "$kIpRule" '/nic/update 200 nochg'
  start_program "$(account_settings)
numofdomainnames=2
domain_name1=a.example
domain_name2=b.example
numofaliases=1
alias_alias1=www
alias_domain_name1=a.example
" || return
  open_settings || return
  drv setip "$kSettingsCaption" 1024 192 0 2 9
  drv click "$kSettingsCaption" 1025
  save_page 1025
  wait_settings signoffmethod 3 || fail "signoffmethod $(settings_value signoffmethod) for the given address"
  expect_settings signoffone=192 signofftwo=0 signoffthree=2 signofffour=9 ipaddress=
  local radio
  for radio in 1017 1016 1015; do
    drv click "$kSettingsCaption" "$radio"
    save_page "$radio"
    wait_settings signoffmethod $((1017 - radio)) || fail "signoffmethod $(settings_value signoffmethod) for $radio"
  done
  wait_requests /nic/update 1 || fail "no first update"
  sleep 1
  local before
  before=$(wc -l < "$work/record")
  exit_through_menu || return
  local got expected
  got=$(tail -n +$((before + 1)) "$work/record" | cut -f3)
  expected=$(printf '%s\n' "/nic/update?myip=0.0.0.0&password=secret&hostname=a.example" \
    "/nic/update?myip=0.0.0.0&password=secret&hostname=b.example" \
    "/nic/update?myip=0.0.0.0&password=secret&hostname=a.example&alias=www")
  [[ "$got" == "$expected" ]] || fail "sign-off requests: $(printf '%q' "$got")"
}

# The service from the Misc page, with the real service program beside the tray program: Install,
# Install again, Start (the service's own first update arrives), Stop, Restart when stopped, and a
# pause made outside shown after the next action. Every state is checked in text and light.
scenario_misc_service() {
  remove_service
  start_server "$kIpRule" '/nic/update 200 nochg'
  mkdir -p "$dir" && cp "$service_program" "$dir/"
  start_with_one_name || return
  show_page 5 || return
  misc_state "Not installed"
  expect_light grey
  drv click "$kSettingsCaption" 1044/1048
  misc_state Stopped
  expect_light red
  drv click "$kSettingsCaption" 1044/1048
  sleep 2
  misc_state Stopped
  no_message
  drv click "$kSettingsCaption" 1044
  misc_state Running
  expect_light green
  local deadline=$((SECONDS + 20))
  until grep -qiE $'\t/nic/update[^\t]*\t.*user-agent: zelquoiucsvc' "$work/record"; do
    ((SECONDS < deadline)) || { fail "no update from the service"; break; }
    sleep 0.3
  done
  ip netns exec "$ns" wine "$service_control" "$kServiceName" pause >/dev/null 2>&1
  drv click "$kSettingsCaption" 1044
  misc_state Paused
  expect_light amber
  drv click "$kSettingsCaption" 1046
  misc_state Stopped
  # Wine's net stop returns once the service reports stopped, while its process may still be
  # ending; a start before the process is gone fails there.
  local gone_by=$((SECONDS + 15))
  while pgrep -f 'zelquoiucsvc\.exe' >/dev/null; do
    ((SECONDS < gone_by)) || { fail "the stopped service's process did not end"; break; }
    sleep 0.2
  done
  drv click "$kSettingsCaption" 1045
  misc_state Running
  no_message
  remove_service
}

# A tray program under another file name installs nothing, and says nothing.
scenario_misc_renamed() {
  remove_service
  start_server "$kIpRule" '/nic/update 200 nochg'
  mkdir -p "$dir" && cp "$service_program" "$dir/" && cp "$program" "$dir/client.exe"
  account_settings > "$dir/ZelquoIUC.ini"
  ip netns exec "$ns" wine "$dir/client.exe" >"$dir/program.log" 2>&1 &
  program_pid=$!
  drv wait "$kTrayCaption" 20000 || { fail "no tray icon appeared"; return; }
  place_tray
  open_settings || return
  show_page 4 || return
  misc_state "Not installed"
  drv click "$kSettingsCaption" 1044/1048
  sleep 3
  misc_state "Not installed"
  no_message
}

# Save's 30-second rule (the rest is saved either way), and the autorun box writing its flag and
# the start-up entry on each click.
scenario_misc_save() {
  start_server "$kIpRule" '/nic/update 200 nochg'
  start_program "$(account_settings 45)" || return
  open_settings || return
  show_page 4 || return
  drv settext "$kSettingsCaption" 1033 29
  drv settext "$kSettingsCaption" 1058 "notify.cmd"
  drv click "$kSettingsCaption" 1057
  drv click "$kSettingsCaption" 1059
  expect_message "Poll interval should be more than 30 seconds!"
  wait_settings command notify.cmd || fail "the command was not saved"
  expect_settings pollinterval=45 executecommand=1 autorunonstartup=1
  drv settext "$kSettingsCaption" 1033 30
  drv click "$kSettingsCaption" 1059
  wait_settings pollinterval 30 || fail "pollinterval 30 was not saved"
  no_message
  [[ "$(drv check "$kSettingsCaption" 1060)" == 1 ]] || fail "autorun box not set at start"
  drv click "$kSettingsCaption" 1060
  wait_settings autorunonstartup 0 || fail "autorunonstartup not 0 after the box was cleared"
  [[ "$(run_value)" == "" ]] || fail "start-up entry '$(run_value)' after clearing, expected empty"
  drv click "$kSettingsCaption" 1060
  wait_settings autorunonstartup 1 || fail "autorunonstartup not 1 after the box was set"
  local expected
  expected=$(tr '[:upper:]' '[:lower:]' <<<"z:$dir/zelquoiuc.exe" | tr '/' '\\')
  [[ "$(run_value)" == "$expected" ]] || fail "start-up entry '$(run_value)', expected '$expected'"
  no_message
  ip netns exec "$ns" wine reg delete "$kRunKey" /v "$kRunValue" /f >/dev/null 2>&1
}

# expect_field_limit WINDOW ID: a longer text pasted into the edit is cut to what the settings
# store keeps of one value.
readonly kStoredTextLength=254
expect_field_limit() {
  local got
  drv replacesel "$1" "$2" "$(printf 'x%.0s' $(seq $((kStoredTextLength + 46))))" || fail "could not paste into $2"
  got=$(drv gettext "$1" "$2")
  ((${#got} == kStoredTextLength)) || fail "control $2 took ${#got} characters, expected $kStoredTextLength"
}

# Install from folders whose names a command interpreter would split: the service program beside
# the tray program is installed from each. In the first, every edit whose text is stored as one
# value takes no more than the store keeps, and the command is saved as shown.
scenario_misc_install_special_folders() {
  start_server "$kIpRule" '/nic/update 200 nochg'
  local top=$dir folder first=1
  for folder in "Program Files (x86)/Zelquo" "R&D Tools"; do
    remove_service
    dir="$top/$folder"
    mkdir -p "$dir" && cp "$service_program" "$dir/"
    start_with_one_name || return
    if ((first)); then
      show_page 3 && expect_field_limit "$kSettingsCaption" 1032
      drv click "$kSettingsCaption" 1055/1052
      drv wait "$kNewDomain" 5000 && expect_field_limit "$kNewDomain" 1054
      drv click "$kNewDomain" 2 && drv gone "$kNewDomain" 5000 || fail "no New Domain Name dialog to close"
      drv click "$kSettingsCaption" 1055/1049
      drv wait "$kNewAlias" 5000 && expect_field_limit "$kNewAlias" 1050 && expect_field_limit "$kNewAlias" 1051
      drv click "$kNewAlias" 2 && drv gone "$kNewAlias" 5000 || fail "no New Alias dialog to close"
    fi
    show_page 5 || return
    misc_state "Not installed"
    drv click "$kSettingsCaption" 1044/1048
    misc_state Stopped
    no_message
    if ((first)); then
      first=0
      expect_field_limit "$kSettingsCaption" 1058
      drv click "$kSettingsCaption" 1059
      wait_settings command "$(drv gettext "$kSettingsCaption" 1058)" || fail "the command was not saved as shown"
    fi
    stop_program
  done
  remove_service
}

source "$here/desktop-scenarios.sh"

all_scenarios=(prompt_at_start website_entries no_prompt_with_password tray_menu second_window save_valid
  save_refused activity_and_status busy_icon tab_keys outdated_notice domain_names connection_type connection_ipv6
  ignore_list sign_off misc_save misc_renamed misc_service icon_after_shell_restart enter_keys save_responsive
  save_offline exit_restores_autodial tray_tip_length layout_at_144_dpi misc_install_special_folders)
(($# > 0)) && all_scenarios=("$@")
for name in "${all_scenarios[@]}"; do run_scenario "$name"; done
echo "gui-tests: $passed passed, $failed failed"
((failed == 0))
