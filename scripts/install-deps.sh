#!/usr/bin/env bash
# Installs the Debian packages KELTOS needs for the given uses, when any is missing:
#   scripts/install-deps.sh build [win32 test wine root bench]
# The packages of each use, with each release's names, are in scripts/packages.list; the release
# is read from /etc/os-release. As root it runs apt-get; otherwise it prints the apt-get line to
# run and stops. `scripts/install-deps.sh --list USE...` prints the names only.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"

list_only=0
if [[ "${1:-}" == --list ]]; then
  list_only=1
  shift
fi
uses=("$@")
[[ ${#uses[@]} -gt 0 ]] || uses=(build)

# The column of packages.list for this release: 2 for Debian 12, 3 for Debian 13 and later.
# KELTOS_RELEASE names another release's (for the Debian 13 root, from outside it).
release=${KELTOS_RELEASE:-$(. /etc/os-release && echo "${VERSION_ID:-}")}
case "$release" in
  12) column=2 ;;
  13 | 14 | "") column=3 ;;  # testing and unstable have no VERSION_ID: newest names
  *) column=3 ;;
esac

packages=()
while read -r use bookworm newer; do
  [[ -z "$use" || "$use" == \#* ]] && continue
  for wanted in "${uses[@]}"; do
    [[ "$use" == "$wanted" ]] || continue
    name=$bookworm
    if [[ $column == 3 && "$newer" != "=" ]]; then name=$newer; fi
    [[ " ${packages[*]-} " == *" $name "* ]] || packages+=("$name")
  done
done <"$here/packages.list"

if [[ $list_only == 1 ]]; then
  printf '%s\n' "${packages[@]}"
  exit 0
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
wants_wine() { [[ " ${uses[*]} " == *" wine "* ]]; }

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
if [[ ${#missing[@]} -eq 0 ]]; then
  if wants_wine; then japanese_locale; fi
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
if wants_wine; then japanese_locale; fi
