#!/usr/bin/env bash
# Runs a command as root inside a Debian 13 (trixie) root on this Debian 12 machine, in this very
# source tree:   scripts/debian13.sh COMMAND [ARGS...]      (make test runs `make test-linux`)
#   scripts/debian13.sh --prepare                          (only makes the root, if need be)
#
# The root is made once with debootstrap, from the Debian mirror apt uses here, with the packages
# that building and testing KELTOS need there (scripts/packages.list), and reused by every later
# run and every clone. It lives outside the clone, in $KELTOS_DEBIAN13_ROOT (default
# /var/cache/keltos/debian13), and is made anew when its package list changes.
#
# The command runs in a mount namespace of its own: /proc, /sys, /dev and the source tree are
# bound into the root for the command only and vanish with it, however it ends, so nothing stays
# mounted in the root afterwards. Runs may share the root; making it anew waits until none uses
# it (a lock beside the root).
set -euo pipefail
tree="$(cd "$(dirname "$0")/.." && pwd)"
root="${KELTOS_DEBIAN13_ROOT:-/var/cache/keltos/debian13}"
uses=(build test)

[[ $# -gt 0 ]] || { echo "usage: $0 COMMAND [ARGS...] | --prepare" >&2; exit 2; }
if [[ $(id -u) -ne 0 ]]; then
  echo "debian13.sh: the Debian 13 root is made and entered as root (debootstrap, chroot)" >&2
  exit 1
fi
for tool in debootstrap unshare chroot flock; do
  command -v "$tool" >/dev/null || {
    echo "debian13.sh: '$tool' is missing: install it with 'apt-get install debootstrap util-linux coreutils'" >&2
    exit 1
  }
done

# The mirror apt uses here (deb822 sources first, then the one-line format).
mirror() {
  local uri
  uri=$(awk '/^URIs:/ {print $2; exit}' /etc/apt/sources.list.d/*.sources 2>/dev/null || true)
  [[ -n "$uri" ]] || uri=$(awk '$1 == "deb" && $3 !~ /security/ {print $2; exit}' \
    /etc/apt/sources.list 2>/dev/null || true)
  echo "${uri:-http://deb.debian.org/debian}"
}

# Anything mounted at or below the root in this namespace.
mounted_inside() {
  awk -v r="$root" '$2 == r || index($2, r "/") == 1 {print $2}' /proc/mounts
}

# Runs "$@" inside the root, with the tree bound at its own path there.
enter() {
  unshare --mount --propagation private -- bash -euo pipefail -c '
    root=$1 tree=$2; shift 2
    # /dev with what is mounted below it: pts, and shm, where compositors share their buffers.
    mount --bind /proc "$root/proc"
    mount --rbind /sys "$root/sys"
    mount --rbind /dev "$root/dev"
    mkdir -p "$root$tree"
    mount --bind "$tree" "$root$tree"
    cp /etc/resolv.conf "$root/etc/resolv.conf"
    exec chroot "$root" env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
      HOME=/root LANG=C.UTF-8 TERM="${TERM:-dumb}" CI="${CI:-}" "$@"
  ' enter "$root" "$tree" "$@"
}

wanted=$(KELTOS_RELEASE=13 "$tree/scripts/install-deps.sh" --list "${uses[@]}" | sha256sum | cut -d' ' -f1)
stamp="$root/var/lib/keltos-packages"

current() { [[ -f "$stamp" && "$(cat "$stamp")" == "$wanted" ]]; }

# Runs share the root (each in its own mount namespace); making it anew waits for them all.
mkdir -p "$(dirname "$root")"
exec 9>"$root.lock"
flock -s 9
if ! current; then
  flock -u 9
  flock -x 9
fi
if ! current; then
  if [[ -e "$root" ]]; then
    if [[ -n "$(mounted_inside)" ]]; then
      echo "debian13.sh: $root still has mounts inside it; not touching it:" >&2
      mounted_inside >&2
      exit 1
    fi
    echo "debian13.sh: the Debian 13 root's packages have changed: making it anew"
    rm -rf --one-file-system "$root"
  fi
  echo "debian13.sh: making a Debian 13 root in $root from $(mirror) (a few minutes, once)"
  started=$SECONDS
  rm -rf --one-file-system "$root.part"
  debootstrap --variant=minbase trixie "$root.part" "$(mirror)" >"$root.debootstrap.log" 2>&1 || {
    tail -20 "$root.debootstrap.log" >&2
    echo "debian13.sh: debootstrap failed; its log is $root.debootstrap.log" >&2
    exit 1
  }
  mv "$root.part" "$root"
  mkdir -p "$root/tmp/.X11-unix"
  chmod 1777 "$root/tmp" "$root/tmp/.X11-unix"
  enter apt-get update -qq
  enter "$tree/scripts/install-deps.sh" "${uses[@]}"
  echo "$wanted" >"$stamp"
  echo "debian13.sh: the Debian 13 root is ready ($((SECONDS - started)) s)"
fi
flock -s 9

[[ "$1" == --prepare ]] && exit 0
enter bash -c 'cd "$0" && exec "$@"' "$tree" "$@"
