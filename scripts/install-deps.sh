#!/usr/bin/env bash
# Installs the Debian packages KELTOS needs to build and test, when any is missing.
# As root it runs apt-get; otherwise it prints the apt-get line to run and stops.
set -euo pipefail

packages=(
  build-essential cmake pkg-config python3
  qt6-base-dev libxcb1-dev libxcb-ewmh-dev
  libgtest-dev
  xvfb openbox x11-utils x11-xserver-utils x11-apps xdotool wmctrl imagemagick
  dbus at-spi2-core python3-pyatspi desktop-file-utils
  libx11-dev libxcb-xtest0-dev clang libclang-rt-14-dev
  # Docking under KDE Plasma's Wayland compositor (KWin headless, its title bars, qdbus to load
  # test scripts, GTK 3 test windows) and under xfwm4's compositor on X11.
  kwin-wayland kwin-style-breeze qdbus-qt5 python3-gi gir1.2-gtk-3.0 xfwm4
)
if [[ "${KELTOS_WINDOWS:-1}" == 1 ]]; then
  # KELTOS.exe is cross-built, and tested under 32-bit Wine.
  packages+=(g++-mingw-w64-i686 wine wine32:i386)
fi

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

if [[ $(id -u) -ne 0 ]]; then
  echo "KELTOS needs these Debian packages: ${missing[*]}" >&2
  if [[ " ${missing[*]}" == *:i386* ]]; then
    echo "First add the i386 architecture:  sudo dpkg --add-architecture i386" >&2
  fi
  echo "Install them with:  sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# wine32 is an i386 package: the architecture must be known to dpkg before apt-get update.
for p in "${missing[@]}"; do
  if [[ "$p" == *:i386 ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
done
apt-get update -qq
apt-get install -y -qq "${missing[@]}"
