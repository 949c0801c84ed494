"""The Hyprland suites in a small VM: Hyprland needs a DRM device, which these machines lack.

    python3 hyprland_vm.py [SUITE ...]     (default: test_wayland.Hyprland test_wayland.HyprlandScaled)

Inputs: KELTOS_SID_ROOT, a Debian unstable root with hyprland, xwayland, qemu-system-x86,
linux-image-amd64, virtiofsd, kmod and the test tools; the KELTOS built inside that root,
$KELTOS_SID_BUILD/linux/keltos (or, run inside the root itself with KELTOS_SID_ROOT=/,
KELTOS_BIN); both it and KELTOS_ARTIFACTS inside this source tree.

The guest is QEMU (software emulation, one CPU, a virtio GPU, no network) booted from the root's
kernel with the root itself as its file system over virtiofs, this tree bound at its own path in
it. Its first process is this module (--guest): it mounts what a system needs, loads the GPU's
driver, runs the suites (the compositor, the windows and KELTOS as the ordinary user the session
makes), prints their status and powers off. The output streams back here. Everything runs in a
mount namespace of its own that vanishes with its last process, and every process is ended with
this one (a timeout, Ctrl+C, or this one killed), so nothing stays mounted or running; the only
trace in the root is the empty folder of the tree's path and the user the session adds.
"""

import ctypes
import glob
import os
import signal
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
TREE = os.path.dirname(os.path.dirname(HERE))
SUITES = ["test_wayland.Hyprland", "test_wayland.HyprlandScaled"]
STATUS = "keltos-vm-status:"
TIMEOUT = int(os.environ.get("KELTOS_HYPRLAND_VM_TIMEOUT", "1500"))
IN_ROOT = ["usr/bin/Hyprland", "usr/bin/Xwayland", "usr/bin/qemu-system-x86_64",
           "usr/libexec/virtiofsd", "usr/sbin/modprobe", "usr/bin/grim", "usr/bin/python3"]

# In the namespace: the guest's root (the root without /proc, /sys, /dev) with the tree at its
# own path, the root made ready for the chroot, then virtiofsd and QEMU from the root's packages.
NAMESPACE = r"""
set -eu
root=$1 tree=$2 vm=$3 kernel=$4 append=$5
mkdir -p "$root$vm/guest" "$root$tree"
mount --bind "$root" "$root$vm/guest"
mount --bind "$tree" "$root$vm/guest$tree"
if [ "$root" != / ]; then
  mount -t proc proc "$root/proc"; mount --rbind /sys "$root/sys"; mount --rbind /dev "$root/dev"
fi
in_root() { chroot "$root" setpriv --pdeathsig KILL "$@"; }
in_root /usr/libexec/virtiofsd --socket-path="$vm/fs.sock" --shared-dir="$vm/guest" \
  --sandbox=none --log-level=error &
for _ in $(seq 100); do [ -S "$root$vm/fs.sock" ] && break; sleep 0.1; done
in_root qemu-system-x86_64 -machine q35,accel=tcg -cpu max -smp 2 -m 3G \
  -object memory-backend-memfd,id=mem,size=3G,share=on -numa node,memdev=mem \
  -chardev socket,id=fs,path="$vm/fs.sock" -device vhost-user-fs-pci,chardev=fs,tag=rootfs \
  -vga none -device virtio-gpu-pci,xres=1600,yres=900 -display none -monitor none \
  -serial stdio -no-reboot -nic none -kernel "$kernel" -append "$append" </dev/null
"""


def fail(message):
    print(f"hyprland_vm: {message}", file=sys.stderr)
    sys.exit(1)


def inputs():
    root = os.environ.get("KELTOS_SID_ROOT")
    if not root:
        fail("KELTOS_SID_ROOT is not set: it names a Debian unstable root (debootstrap "
             "--variant=minbase sid ROOT) holding hyprland xwayland qemu-system-x86 "
             "linux-image-amd64 virtiofsd kmod grim imagemagick x11-utils x11-xserver-utils "
             "xdotool dbus-daemon python3-gi gir1.2-gtk-3.0 passwd")
    root = os.path.abspath(root)
    for path in IN_ROOT:
        if not os.path.exists(os.path.join(root, path)):
            fail(f"{root} has no /{path}: install it there (chroot {root} apt-get install "
                 f"hyprland xwayland qemu-system-x86 virtiofsd kmod grim python3)")
    kernels = sorted(glob.glob(os.path.join(root, "boot/vmlinuz-*")))
    if not kernels:
        fail(f"{root} has no kernel: chroot {root} apt-get install linux-image-amd64")
    build = os.environ.get("KELTOS_SID_BUILD")
    keltos = os.path.join(build, "linux", "keltos") if build else (
        os.environ.get("KELTOS_BIN") if root == "/" else None)
    if not keltos or not os.access(keltos, os.X_OK):
        fail(f"no KELTOS built in {root}: build it there (in the root, in this tree: make "
             f"linux-only BUILD=build/sid) and set KELTOS_SID_BUILD=build/sid's full path")
    artifacts = os.environ.get("KELTOS_ARTIFACTS", os.path.join(TREE, "build", "artifacts"))
    for path in (keltos, artifacts):
        if not os.path.abspath(path).startswith(TREE + os.sep):
            fail(f"{path} is outside {TREE}, which is all the guest sees")
    return root, "/" + os.path.relpath(kernels[-1], root), os.path.abspath(keltos), artifacts


def die_with_parent():
    ctypes.CDLL(None, use_errno=True).prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG


def end(process):
    for sig in (signal.SIGTERM, signal.SIGKILL):
        try:
            os.killpg(process.pid, sig)
            process.wait(5)
            return
        except ProcessLookupError:
            return
        except subprocess.TimeoutExpired:
            continue


def host(suites):
    root, kernel, keltos, artifacts = inputs()
    os.makedirs(artifacts, exist_ok=True)
    vm = f"/run/keltos-vm-{os.getpid()}"
    append = (f"console=ttyS0 rootfstype=virtiofs root=rootfs rw quiet loglevel=3 "
              f"init=/usr/bin/python3 -- -u {os.path.abspath(__file__)} --guest {keltos} "
              f"{artifacts} {' '.join(suites)}")
    started, status = time.monotonic(), None
    process = subprocess.Popen(
        ["unshare", "--mount", "--propagation", "private", "--", "bash", "-c", NAMESPACE,
         "namespace", root, TREE, vm, kernel, append],
        stdout=subprocess.PIPE, stderr=subprocess.STDOUT, start_new_session=True,
        preexec_fn=die_with_parent)
    timer = threading.Timer(TIMEOUT, end, [process])
    timer.start()
    try:
        for raw in process.stdout:
            line = raw.decode(errors="replace")
            sys.stdout.write(line)
            sys.stdout.flush()
            if line.startswith(STATUS):
                status = int(line.split(":")[1])
        process.wait()
    finally:
        timer.cancel()
        end(process)
        for folder in (f"{root}{vm}/guest", f"{root}{vm}"):
            for entry in glob.glob(folder + "/fs.sock*"):
                os.unlink(entry)
            if os.path.isdir(folder) and not os.path.ismount(folder):
                os.rmdir(folder)
    took = time.monotonic() - started
    if status is None:
        fail(f"the VM ended after {took:.0f} s without the suites' status "
             f"({'timed out' if took >= TIMEOUT else 'see above'})")
    print(f"hyprland_vm: the VM ran {took:.0f} s; the suites ended with status {status}")
    return status


def guest(keltos, artifacts, suites):
    """The guest's first process: a system around the suites, then power off."""
    status = 1
    os.environ["PATH"] = "/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin"
    try:
        for kind, target, options in [("proc", "/proc", ""), ("sysfs", "/sys", ""),
                                      ("devtmpfs", "/dev", ""), ("devpts", "/dev/pts", ""),
                                      ("tmpfs", "/dev/shm", "mode=1777"),
                                      ("tmpfs", "/tmp", "mode=1777"), ("tmpfs", "/run", "")]:
            os.makedirs(target, exist_ok=True)
            subprocess.run(["mount", "-t", kind, "-o", options or "defaults", kind, target],
                           check=True)
        os.symlink("/proc/self/fd", "/dev/fd")
        os.makedirs("/tmp/.X11-unix", mode=0o1777)
        os.chmod("/tmp/.X11-unix", 0o1777)
        subprocess.run(["modprobe", "virtio_gpu"], check=True)
        deadline = time.monotonic() + 60
        while not os.path.exists("/dev/dri/card0") and time.monotonic() < deadline:
            time.sleep(0.2)
        for device in glob.glob("/dev/dri/*"):
            os.chmod(device, 0o666)  # no udev here to give the session's user its seat
        env = {"PATH": os.environ["PATH"], "HOME": "/root",
               "LANG": "C.UTF-8", "KELTOS_BIN": keltos, "KELTOS_ARTIFACTS": artifacts}
        status = subprocess.run([sys.executable, "-m", "unittest", "-v", *suites], cwd=HERE,
                                env=env).returncode
    except Exception as error:  # noqa: BLE001 - the first process must reach the power-off
        print(f"hyprland_vm: the guest failed: {error!r}", flush=True)
    finally:
        print(f"{STATUS}{status}", flush=True)
        os.sync()
        with open("/proc/sysrq-trigger", "w") as trigger:
            trigger.write("o")
        time.sleep(60)


if __name__ == "__main__":
    if sys.argv[1:2] == ["--guest"]:
        guest(sys.argv[2], sys.argv[3], sys.argv[4:])
    sys.exit(host(sys.argv[1:] or SUITES))
