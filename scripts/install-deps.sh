#!/usr/bin/env bash
# Installs the Debian packages KELTOS needs to build and test, when any is missing.
# As root it runs apt-get; otherwise it prints the apt-get line to run and stops.
set -euo pipefail

packages=(
  build-essential cmake pkg-config python3
  qt6-base-dev libxcb1-dev libxcb-ewmh-dev
  libgtest-dev
  faketime
  xvfb openbox x11-utils x11-xserver-utils x11-apps xdotool wmctrl imagemagick
  dbus at-spi2-core python3-pyatspi desktop-file-utils lintian appstream man-db
  libx11-dev libxcb-xtest0-dev clang libclang-rt-14-dev
  # GNOME Shell on Wayland, headless, for the docking test with KELTOS's extension: the shell,
  # gdbus and gsettings, gjs for the extension's own test, and GTK 3 test windows from Debian's
  # python.
  gnome-shell libglib2.0-bin gjs dbus-daemon python3-gi gir1.2-gtk-3.0
  # Docking under sway: the JSON reader for its IPC; for the test, sway headless with XWayland,
  # grim for what it shows, and GTK 3 test windows from Debian's python.
  nlohmann-json3-dev sway xwayland grim
  # Docking under KDE Plasma's Wayland compositor (KWin headless, its title bars, qdbus to load
  # test scripts, GTK 3 test windows) and under xfwm4's compositor on X11.
  kwin-wayland kwin-style-breeze qdbus-qt5 xfwm4
)
if [[ "${KELTOS_WINDOWS:-1}" == 1 ]]; then
  # KELTOS.exe is cross-built, and tested under 32-bit Wine, also as on a Japanese system.
  packages+=(g++-mingw-w64-i686 wine wine32:i386 locales fonts-ipafont-gothic)
fi

# The Japanese locale of the Wine tests, generated once (needs the locales package).
japanese_locale() {
  locale -a 2>/dev/null | grep -qix 'ja_JP.utf-\?8' && return 0
  [[ -f /etc/locale.gen ]] || return 1
  if [[ $(id -u) -ne 0 ]]; then
    echo "The tests need the ja_JP.UTF-8 locale: as root, enable it in /etc/locale.gen and run locale-gen" >&2
    return 1
  fi
  sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -qx 'ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >>/etc/locale.gen
  locale-gen
}

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
if [[ ${#missing[@]} -eq 0 ]]; then
  if [[ "${KELTOS_WINDOWS:-1}" == 1 ]]; then japanese_locale; fi
  exit 0
fi

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
if [[ "${KELTOS_WINDOWS:-1}" == 1 ]]; then japanese_locale; fi
