#!/usr/bin/env bash
# Writes screenshots of the tray program under Wine for a look by eye: the tray menu open, the
# settings window, its Activity page after a few update cycles, a message dialog, every page with
# stored content (each Connection Type choice, then the HTTPS box set) and the two small dialogs
# of the Domain Names page. Uses the GUI test bed's set-up (Xvfb, private prefix, network
# namespace with the stand-in provider).
# Everything is taken twice: at 96 DPI, and at 144 DPI (150 %) in the subfolder 144dpi.
#   gui-screenshots.sh [NATIVE_BUILD WINDOWS_BUILD]   (as root; PNGs in WINDOWS_BUILD/gui-screenshots)
# Like tests/gui/run.sh, run it under `flock /tmp/zq-netns.lock` where others run namespace tests.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
native_build=${1:-$root/build/native}
windows_build=${2:-$root/build/windows}
screenshots="$windows_build/gui-screenshots"
rm -rf "$screenshots" && mkdir -p "$screenshots/144dpi"

GUI_LIBRARY_ONLY=1 source "$root/tests/gui/run.sh" "$native_build" "$windows_build"
scenario=screenshots
shot() { import -window "$1" "$out/$2.png" 2>/dev/null && echo "wrote $out/$2.png"; }
window_id() { xdotool search --onlyvisible --name "^$1\$" | head -1; }

take_shots() {
out=$1
dir="$work/$scenario-$2"
set_dpi "$2"
# Two answers that do not settle, then one that does: three cycles two seconds apart.
start_server "$kIpRule" '/nic/update 200 dnserr' '/nic/update 200 dnserr' \
  '/nic/update 200 good 203.0.113.77' '/authcheck.asp 200 false'
start_program "$(account_settings 2)" || return 1

tray_click 3
drv menukeys >/dev/null || fail "no menu"
sleep 0.5
shot root tray-menu
drv menukeys 0x1b >/dev/null

drv tray 0x203
drv wait "$kSettingsCaption" 10000 || fail "no settings window"
wait_requests /nic/update 3 20 || fail "fewer than three update requests"
sleep 2
shot "$(window_id "$kSettingsCaption")" settings-activity
shot root settings-activity-root

drv settext "$kSettingsCaption" 1074 alice
drv settext "$kSettingsCaption" 1075 secret
drv click "$kSettingsCaption" 1
drv wait "$kMessageCaption" 10000 || fail "no message dialog"
sleep 0.5
shot "$(window_id "$kMessageCaption")" message
shot root message-root
drv click "$kMessageCaption" 1
stop_program

# The pages, with three names, two aliases and an ignore list stored.
dir="$work/pages-$2"
start_server "$kIpRule" '/nic/update 200 nochg'
start_program "$(account_settings)
numofdomainnames=3
domain_name1=home.example
domain_name2=office.example
domain_name3=lab.example
numofaliases=2
alias_alias1=www
alias_domain_name1=home.example
alias_alias2=mail
alias_domain_name2=office.example
numofignoreip=2
ignoreip1=192.168.
ignoreip2=10.0.0.1
ipmethod=1
signoffmethod=3
signoffone=192
signofftwo=0
signoffthree=2
signofffour=9
" || return 1
drv tray 0x203
drv wait "$kSettingsCaption" 10000 || fail "no settings window"
settings_window=$(window_id "$kSettingsCaption")
show_page 1 && shot "$settings_window" page-domain-names
drv click "$kSettingsCaption" 1052
drv wait "New Domain Name" 5000 && sleep 0.5 && shot "$(window_id "New Domain Name")" dialog-new-domain
drv click "New Domain Name" 2
drv gone "New Domain Name" 5000
drv click "$kSettingsCaption" 1049
drv wait "New Alias" 5000 && sleep 0.5 && shot "$(window_id "New Alias")" dialog-new-alias
drv click "New Alias" 2
drv gone "New Alias" 5000
show_page 2
# Each choice as a reopened window would show it: clicked and saved.
drv setip "$kSettingsCaption" 1019 192 0 2 44
for radio in 1020 1021 1022 1023; do
  drv click "$kSettingsCaption" "$radio"
  [[ $radio == 1023 ]] && drv click "$kSettingsCaption" 1037
  save_page "$radio"
  sleep 0.5
  shot "$settings_window" "page-connection-type-$((radio - 1020))"
done
# The HTTPS box set, unsaved: the port box greyed out.
drv click "$kSettingsCaption" 1062
sleep 0.3
shot "$settings_window" page-connection-type-https
show_page 3 && sleep 0.3 && shot "$settings_window" page-ignore-ip-list
show_page 4 && sleep 0.3 && shot "$settings_window" page-sign-off
show_page 5 && sleep 0.3 && shot "$settings_window" page-misc
stop_program
}

take_shots "$screenshots" 96
take_shots "$screenshots/144dpi" 144
set_dpi 96
((scenario_failed == 0))
