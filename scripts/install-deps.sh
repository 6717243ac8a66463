#!/usr/bin/env bash
# Installs the Debian packages Zorvane builds and runs with, and only those still missing.
# Packages given as arguments are wanted too (the fuzz target adds its compiler this way).
set -euo pipefail

# Real package names only: a name that another package merely provides never shows as
# installed, so listing one would run apt-get on every build.
packages=(
  cmake g++ make pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev qt6-svg-dev
  libgl-dev
  # Compression of the terminal's older lines.
  libzstd-dev
  libxml2-utils
  poppler-utils
  xvfb xauth
  # End-to-end tests: a window manager, typed keys and the accessibility bus.
  openbox xdotool python3-pyatspi at-spi2-core dbus-x11
  # Network ports: the servers their tests start (ser2net, pyserial's RFC 2217 server).
  ser2net python3-serial
  # Sending files: ZMODEM through lrzsz's sz; lrzsz's and python3-xmodem's receivers in tests.
  lrzsz python3-xmodem
  # make screenshots: a screen dump, the windows' frames, and the font the pictures show.
  x11-apps x11-utils fonts-dejavu-core
  dpkg-dev desktop-file-utils appstream
  # Scripts: Lua 5.4, linked as its C++ build.
  liblua5.4-dev
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
