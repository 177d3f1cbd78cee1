# Scenarios of the tray program that a real desktop brings: a shell that loses the icon, Enter
# pressed in the pages, a slow or absent provider during Save, and an exit in the middle of a
# request. Sourced by run.sh, whose helpers they use.

readonly kInternetSettingsKey='HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings'
readonly kCheckRunningText="Checking the account with the provider..."

# autodial: the user's EnableAutodial value as a number ("absent" when there is none).
autodial() {
  local line
  line=$(ip netns exec "$ns" wine reg query "$kInternetSettingsKey" /v EnableAutodial 2>/dev/null | tr -d '\r' |
    grep -F EnableAutodial)
  [[ -n "$line" ]] || { echo absent; return; }
  printf '%d\n' "$(sed -n 's/.*REG_DWORD[[:space:]]*//p' <<<"$line")"
}

# The shell loses the icon (as when Explorer restarts) and then announces a new notification
# area: the icon comes back and its menu works. Lost without that news, it comes back when the
# next change of the icon fails (the busy icon of the update that a page's Save asks for).
scenario_icon_after_shell_restart() {
  start_server "$kIpRule" '/nic/update 200 nochg'
  start_program "$(account_settings)" || return
  drv traylost || { fail "the icon could not be taken out of the tray"; return; }
  tray_hidden 5 || { fail "the tray still shows an icon"; return; }
  drv taskbarcreated || { fail "TaskbarCreated could not be broadcast"; return; }
  drv wait "$kTrayCaption" 10000 || { fail "the icon did not come back"; return; }
  place_tray
  tray_click 3
  drv menukeys 0x28 0x0d || { fail "no menu on the icon that came back"; return; }
  drv wait "$kSettingsCaption" 10000 || { fail "the menu of the icon that came back opened nothing"; return; }
  drv traylost && tray_hidden 5 || { fail "the icon could not be taken out again"; return; }
  show_page 1 && save_page 1021
  drv wait "$kTrayCaption" 15000 || fail "the icon did not come back after a failed change"
}

# Enter in a page field presses that page's Save, or nothing where the page has none; only Enter
# in an account field runs the account Save (and its check). Real keys, typed through X.
scenario_enter_keys() {
  start_server "$kIpRule" '/nic/update 200 nochg' '/authcheck.asp 200 true'
  start_program "$(account_settings 60)" || return
  open_settings || return
  show_page 2 || return
  type_into "$kSettingsCaption" 1032 10.0.
  xdotool key Return
  show_page 4 || return
  type_into "$kSettingsCaption" 1033 45
  xdotool key Return
  wait_settings pollinterval 45 || fail "Enter in the poll interval did not save the Misc page"
  expect_settings numofignoreip=
  [[ -z "$(requests /authcheck.asp)" ]] || fail "Enter on a page ran the account check"
  no_message
  expect_settings password="$(printf 'n`^m`oI')"
  drv settext "$kSettingsCaption" 1075 secret
  type_into "$kSettingsCaption" 1074 alice
  xdotool key Return
  wait_requests /authcheck.asp 1 || fail "Enter in the username field did not run Save"
}

# A check that takes its time: the window keeps answering, says that the check runs and takes no
# new input meanwhile; afterwards it is as after any Save.
scenario_save_responsive() {
  start_server "$kIpRule" '/nic/update 200 nochg' '/authcheck.asp 200 delay=4000 true'
  start_at_prompt || return
  drv settext "$kSettingsCaption" 1074 alice
  drv settext "$kSettingsCaption" 1075 secret
  drv click "$kSettingsCaption" 1
  wait_requests /authcheck.asp 1 || { fail "no account check"; return; }
  # The driver's reads give up on a window whose thread does not answer.
  wait_text "$kSettingsCaption" 1076 "^$kCheckRunningText\$" 2 || fail "status during the check: $(cat "$work/text")"
  drv enabled "$kSettingsCaption" 1074 && fail "the username field takes input during the check"
  drv enabled "$kSettingsCaption" 1 && fail "Save can be pressed again during the check"
  local deadline=$((SECONDS + 10))
  until [[ "$(unscramble "$(settings_value password)")" == secret ]]; do
    ((SECONDS < deadline)) || { fail "password stored as '$(settings_value password)'"; break; }
    sleep 0.2
  done
  deadline=$((SECONDS + 5))
  until drv enabled "$kSettingsCaption" 1074; do
    ((SECONDS < deadline)) || { fail "the fields stayed disabled after the check"; break; }
    sleep 0.2
  done
  wait_text "$kSettingsCaption" 1076 "^$kCheckRunningText\$" 0 && fail "the status line still shows the check"
  no_message
}

# Without a provider to ask, Save keeps the stored password and location and the fields as typed,
# and says that they could not be checked.
scenario_save_offline() {
  start_server "$kIpRule" '/nic/update 200 nochg'
  start_program "$(account_settings)
location=home1
" || return
  kill "$server_pid" && wait "$server_pid" 2>/dev/null
  server_pid=
  open_settings || return
  drv settext "$kSettingsCaption" 1075 newsecret
  drv settext "$kSettingsCaption" 1077 office
  drv click "$kSettingsCaption" 1
  # The second message follows the first at once, in a box of the same caption.
  drv wait "$kMessageCaption" 10000 || { fail "no message"; return; }
  wait_text "$kMessageCaption" 1001 '^Username alice and password could not be checked: Error:Server Error\. The stored password was kept\.$' 5 ||
    fail "first message: $(cat "$work/text")"
  drv click "$kMessageCaption" 1
  wait_text "$kMessageCaption" 1001 "^Location 'office' could not be checked: Error:Server Error\. The stored location was kept\.\$" 5 ||
    fail "second message: $(cat "$work/text")"
  dialog_ok "$kMessageCaption"
  expect_settings password="$(printf 'n`^m`oI')" location=home1
  wait_text "$kSettingsCaption" 1075 '^newsecret$' 5 || fail "password field: $(cat "$work/text")"
  wait_text "$kSettingsCaption" 1077 '^office$' 5 || fail "location field: $(cat "$work/text")"
}

# Exit while a request holds automatic dial-up off: the program puts it back before it ends.
scenario_exit_restores_autodial() {
  ip netns exec "$ns" wine reg add "$kInternetSettingsKey" /v EnableAutodial /t REG_DWORD /d 1 /f >/dev/null 2>&1
  start_server "$kIpRule" '/nic/update 200 delay=20000 nochg'
  start_program "$(account_settings)" || return
  wait_requests /nic/update 1 || { fail "no update request"; return; }
  [[ "$(autodial)" == 0 ]] || fail "auto-dial during the request: $(autodial), expected 0"
  exit_through_menu
  [[ "$(autodial)" == 1 ]] || fail "auto-dial after Exit: $(autodial), expected 1"
  ip netns exec "$ns" wine reg delete "$kInternetSettingsKey" /v EnableAutodial /f >/dev/null 2>&1
}

# A tip longer than the shell's first record layout holds is cut to 63 characters, as Windows
# shows it (Wine would show up to 127). Read from the tooltip that hovering brings up.
scenario_tray_tip_length() {
  local tail=with.a.tail.that.makes.the.tip.longer.than.sixty.three.characters
  start_server "$kIpRule" "/nic/update 200 good 203.0.113.77.$tail"
  start_program "$(account_settings)" || return
  wait_requests /nic/update 1 || { fail "no update request"; return; }
  local expected="Zelquo Dynamic DNS Online! IP Address->203.0.113.77.$tail"
  expected=${expected:0:63}
  local deadline=$((SECONDS + 15)) tip=
  while ((SECONDS < deadline)); do
    place_tray
    xdotool mousemove --window "$tray" 30 10 sleep 0.2 mousemove --window "$tray" 10 10
    sleep 1.5
    tip=$(drv gettext class:tooltips_class32 0)
    [[ "$tip" == Zelquo\ Dynamic* ]] && break
  done
  [[ "$tip" == "$expected" ]] || fail "tip $(printf '%q' "$tip") (${#tip} characters), expected the first 63"
}

# At 144 DPI (150 %) the tab control ends above the account row and Save, and each page lies
# inside the tab control.
scenario_layout_at_144_dpi() {
  set_dpi 144
  start_server "$kIpRule" '/nic/update 200 nochg'
  start_program "$(account_settings)" || { set_dpi 96; return; }
  open_settings || { set_dpi 96; return; }
  local tl tt tr tb sl st sr sb ul ut ur ub al at ar ab
  read -r tl tt tr tb <<<"$(drv rect "$kSettingsCaption" 1200)"
  read -r sl st sr sb <<<"$(drv rect "$kSettingsCaption" 1)"
  read -r ul ut ur ub <<<"$(drv rect "$kSettingsCaption" 1074)"
  read -r al at ar ab <<<"$(drv rect "$kSettingsCaption" 1000)"
  set_dpi 96
  [[ -n "$tb" && -n "$sb" && -n "$ub" && -n "$ab" ]] || { fail "a control could not be measured"; return; }
  # The username field's label stands a line above the field.
  ((tb < st && tb < ut - (ub - ut))) || fail "tab control bottom $tb reaches the account row (Save $st, username $ut)"
  ((al >= tl && at > tt && ar <= tr && ab <= tb)) ||
    fail "Activity page $al,$at-$ar,$ab not inside the tab control $tl,$tt-$tr,$tb"
}
