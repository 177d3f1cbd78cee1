#!/usr/bin/env bash
# Installs what the builds and tests need on Debian 12 (as root). Does nothing when all of it is
# already there, so it is safe to run again.
set -euo pipefail

packages=(
  cmake ninja-build g++ googletest pkg-config libhttp-parser-dev libssl-dev openssl stunnel4 tinyproxy socat
  clang libclang-rt-14-dev
  g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64
  wine wine64 xvfb xauth
  # The GUI tests: X tools, screenshots, and Wine's fonts (before any Wine prefix is made, or
  # the prefix's dialogs and menus draw no text).
  xdotool imagemagick x11-utils fonts-wine
  iproute2 procps util-linux libcap2-bin
  # The Windows setup program.
  nsis
  # The Debian package: dpkg-shlibdeps for its Depends, and its check; systemd and
  # systemd-nspawn for a container in which the unit runs under a real service manager.
  dpkg-dev lintian systemd systemd-container
)

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done

if ((${#missing[@]} > 0)); then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
