#!/usr/bin/env bash
# Runs a command as root inside a root of another Debian release, in this very source tree:
#   scripts/debian-root.sh ROOT COMMAND [ARGS...]    (make test runs `make test-linux` in each)
#   scripts/debian-root.sh ROOT --prepare            (only makes the root, if need be)
#   scripts/debian-root.sh --prepare-while DIR ROOT... -- COMMAND [ARGS...]
#       makes the roots, side by side, while COMMAND runs (make test: while it builds);
#       each root's log and exit status land in DIR/ROOT.log and DIR/ROOT.status
#   scripts/debian-root.sh --test DIR BUILD ROOT...
#       runs the Linux suites in each root made by --prepare-while (build folder BUILD/ROOT),
#       then says for each root whether it could not be made, its suites failed, or they passed
#
# The roots, each a line below: debian13 (Debian 13, trixie) and unstable (Debian unstable, sid).
# A root is made once with debootstrap, from the Debian mirror apt uses here
# (scripts/debian_mirror.py), with the packages of its uses (scripts/packages.list), and reused by
# every later run and every clone. It lives outside the clone, in $KELTOS_<ROOT>_ROOT (default
# /var/cache/keltos/ROOT), and is made anew when its package list changes.
#
# The command runs in a mount namespace of its own: /proc, /sys, /dev and the source tree are
# bound into the root for the command only and vanish with it, however it ends, so nothing stays
# mounted in the root afterwards. Runs may share a root; making it anew waits until none uses it
# (a lock beside the root).
set -euo pipefail
tree="$(cd "$(dirname "$0")/.." && pwd)"
self="$tree/scripts/debian-root.sh"
# Making one root may take this long at most; past it the root counts as not made.
PREPARE_LIMIT=${KELTOS_ROOT_TIME_LIMIT:-40m}

# name: suite, the column of packages.list (KELTOS_RELEASE), what it is called, its uses, and
# what its commands find in their environment (unstable has Hyprland: its suites run there).
describe() {
  vars=()
  case "$1" in
    debian13) suite=trixie release=13       title="Debian 13"       uses=(build testbuild test) ;;
    unstable) suite=sid    release=unstable title="Debian unstable" uses=(build testbuild test hyprland)
              vars=(KELTOS_HYPRLAND_VM=ON) ;;
    *) echo "debian-root.sh: no root named '$1' (debian13, unstable)" >&2; exit 2 ;;
  esac
}

# Makes the roots side by side (their time is mostly downloads and dpkg) in a process group of
# its own while "$@" runs; ends them if "$@" fails or this script is interrupted, and waits for
# them otherwise.
prepare_while() {
  local dir=$1 names=() status=0 preparing
  shift
  while [[ $# -gt 0 && "$1" != -- ]]; do names+=("$1"); shift; done
  shift
  mkdir -p "$dir"
  for name in "${names[@]}"; do rm -f "$dir/$name.status" "$dir/$name.log"; done
  if [[ ${#names[@]} -eq 0 ]]; then exec "$@"; fi
  # timeout runs each in a process group of its own, and ends it when it gets TERM itself.
  setsid bash -c 'dir=$1 self=$2 limit=$3; shift 3
    for name; do
      (
        trap "kill -TERM \$making 2>/dev/null; exit 143" TERM
        timeout "$limit" "$self" "$name" --prepare >"$dir/$name.log" 2>&1 & making=$!
        wait $making && s=0 || s=$?
        [[ $s != 124 ]] ||
          echo "debian-root.sh: making the root took longer than $limit" >>"$dir/$name.log"
        echo "$s" >"$dir/$name.status"
      ) &
    done
    wait' prepare "$dir" "$self" "$PREPARE_LIMIT" "${names[@]}" &
  preparing=$!
  trap 'kill -TERM -- "-$preparing" 2>/dev/null || true' EXIT
  trap 'exit 130' INT TERM HUP
  echo "debian-root.sh: making the roots ${names[*]} while the builds run (logs: $dir/*.log)"
  "$@" || status=$?
  if [[ $status == 0 ]]; then
    wait "$preparing" || true
  fi
  for name in "${names[@]}"; do
    echo "debian-root.sh: $name: $(tail -1 "$dir/$name.log" 2>/dev/null)"
  done
  trap - EXIT
  kill -TERM -- "-$preparing" 2>/dev/null || true
  return "$status"
}

# Runs the Linux suites in each root that was made, then reports every root that was not made or
# whose suites failed, and fails if any.
test_roots() {
  local dir=$1 build=$2 failures=()
  shift 2
  for name in "$@"; do
    describe "$name"
    if [[ "$(cat "$dir/$name.status" 2>/dev/null)" != 0 ]]; then
      failures+=("$title ($suite): the root could not be made, so its suites did not run:
$(grep '^debian-root.sh: ' "$dir/$name.log" 2>/dev/null | tail -8 | sed 's/^/    /')
    (the whole log: $dir/$name.log)")
      continue
    fi
    echo "debian-root.sh: the Linux suites in the $title root"
    "$self" "$name" make test-linux "BUILD=$build/$name" ||
      failures+=("$title ($suite): KELTOS's Linux suites failed in the root (ctest's report
    above; build folder $build/$name)")
  done
  if [[ ${#failures[@]} -gt 0 ]]; then
    printf '\nmake test: FAILED in the roots of other Debian releases:\n' >&2
    printf '  %s\n' "${failures[@]}" >&2
    return 1
  fi
  [[ $# -eq 0 ]] || echo "make test: the Linux suites passed in the roots: $*"
}

case "${1:-}" in
  --prepare-while) shift; prepare_while "$@"; exit ;;
  --test) shift; test_roots "$@"; exit ;;
  "" | -*) echo "usage: $0 ROOT COMMAND [ARGS...] | ROOT --prepare" \
      "| --prepare-while DIR ROOT... -- COMMAND... | --test DIR BUILD ROOT..." >&2; exit 2 ;;
esac
name=$1
shift
[[ $# -gt 0 ]] || { echo "usage: $0 $name COMMAND [ARGS...] | $name --prepare" >&2; exit 2; }
describe "$name"
variable="KELTOS_${name^^}_ROOT"
root="${!variable:-/var/cache/keltos/$name}"
say() { echo "debian-root.sh: $*"; }

if [[ $(id -u) -ne 0 ]]; then
  say "the $title root is made and entered as root (debootstrap, chroot)" >&2
  exit 1
fi
for tool in debootstrap unshare chroot flock setsid timeout python3; do
  command -v "$tool" >/dev/null || {
    say "'$tool' is missing: install it with" \
      "'apt-get install debootstrap util-linux coreutils python3'" >&2
    exit 1
  }
done

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
      HOME=/root LANG=C.UTF-8 TERM="${TERM:-dumb}" CI="${CI:-}" DEBIAN_FRONTEND=noninteractive "$@"
  ' enter "$root" "$tree" "$@"
}

mapfile -t packages < <(KELTOS_RELEASE=$release "$tree/scripts/install-deps.sh" --list "${uses[@]}")
wanted=$(printf '%s\n' "$suite" "${packages[@]}" | sha256sum | cut -d' ' -f1)
stamp="$root/var/lib/keltos-packages"

current() { [[ -f "$stamp" && "$(cat "$stamp")" == "$wanted" ]]; }

# Installs the root's packages. When apt fails, says which of them cannot be installed and apt's
# words for it: a fault of the release's packages, not of KELTOS.
install_packages() {
  local out="$root.apt.log" broken=()
  enter apt-get update -qq >"$out" 2>&1 &&
    enter apt-get install -y -q "${packages[@]}" >>"$out" 2>&1 && return 0
  tail -20 "$out"
  for p in "${packages[@]}"; do
    enter apt-get install -s -q "$p" >"$out.one" 2>&1 ||
      broken+=("$p: $(grep -E '^E:|: Depends:|: Breaks:' "$out.one" | tr '\n' ' ')")
  done
  rm -f "$out.one"
  if [[ ${#broken[@]} -eq 0 ]]; then
    broken=("$(grep -E '^E:|^ [a-z0-9.+-]+$' "$out" | tr '\n' ' ')")
  fi
  say "$title's packages failed to install (a fault of $title's packages, not a KELTOS test):"
  for b in "${broken[@]}"; do say "  $b"; done
  say "apt's whole output: $out"
  return 1
}

# Runs share the root (each in its own mount namespace); making it anew waits for them all.
mkdir -p "$(dirname "$root")"
exec 9>"$root.lock"
flock -s 9
if ! current; then
  flock -u 9
  flock -n -x 9 || { say "waiting for the runs that use $root to end"; flock -x 9; }
fi
if ! current; then
  if [[ -e "$root" ]]; then
    if [[ -n "$(mounted_inside)" ]]; then
      say "$root still has mounts inside it; not touching it:" >&2
      mounted_inside >&2
      exit 1
    fi
    say "the $title root's packages have changed: making it anew"
    rm -rf --one-file-system "$root"
  fi
  mirror=$(python3 "$tree/scripts/debian_mirror.py") ||
    { say "the $title root cannot be made"; exit 1; }
  say "making a $title root in $root from $mirror (a few minutes, once)"
  started=$SECONDS
  rm -rf --one-file-system "$root.part"
  debootstrap --variant=minbase "$suite" "$root.part" "$mirror" >"$root.debootstrap.log" 2>&1 || {
    tail -20 "$root.debootstrap.log"
    say "debootstrap of $suite from $mirror failed; its log is $root.debootstrap.log"
    exit 1
  }
  mv "$root.part" "$root"
  mkdir -p "$root/tmp/.X11-unix"
  chmod 1777 "$root/tmp" "$root/tmp/.X11-unix"
  # The archive of a release that changes daily (unstable) may carry a Release file past its
  # Valid-Until date; apt would then refuse it.
  echo 'Acquire::Check-Valid-Until "false";' >"$root/etc/apt/apt.conf.d/99keltos-valid-until"
  # A root that breaks is made anew, never repaired: dpkg need not wait for each file to reach
  # the disk, nor man-db index every manual page it installs.
  echo force-unsafe-io >"$root/etc/dpkg/dpkg.cfg.d/keltos-unsafe-io"
  echo "man-db man-db/auto-update boolean false" | enter debconf-set-selections
  say "debootstrap took $((SECONDS - started)) s; installing ${#packages[@]} packages"
  install_packages || exit 1
  echo "$wanted" >"$stamp"
  say "the $title root is ready: made in $((SECONDS - started)) s"
elif [[ "$1" == --prepare ]]; then
  say "the $title root is ready (made earlier, $root)"
fi
flock -s 9

[[ "$1" == --prepare ]] && exit 0
enter "${vars[@]}" bash -c 'cd "$0" && exec "$@"' "$tree" "$@"
