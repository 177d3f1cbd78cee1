#!/bin/sh
# Runs a Windows program of the cross build under Wine: wine-run.sh PREFIX PROGRAM [ARGS...]
# PREFIX is the build folder's private Wine prefix; scripts/test-all.sh creates it once per run.
export WINEPREFIX="$1"
shift
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# A proxy meant for the host's own downloads must not catch the tests' loopback traffic.
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY no_proxy NO_PROXY
exec wine "$@"
