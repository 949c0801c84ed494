"""The Hyprland suites in a small VM: Hyprland needs a DRM device, which these machines lack.

    python3 hyprland_vm.py [SUITE ...]     (default: test_wayland.Hyprland test_wayland.HyprlandScaled)

It runs in the system the guest boots from, with its packages: make test runs it (ctest
wayland_hyprland) in its Debian unstable root, whose hyprland use installs hyprland,
qemu-system-x86, linux-image-amd64, virtiofsd and kmod. KELTOS_BIN is the KELTOS built there;
it and KELTOS_ARTIFACTS lie inside this source tree.

The guest is QEMU (software emulation, two CPUs, a virtio GPU, no network) booted from the
system's kernel with the system's root folder as its file system over virtiofs, this tree bound
at its own path in it. Its first process is this module (--guest): it mounts what a system
needs, loads the GPU's driver, runs the suites (the compositor, the windows and KELTOS as the
ordinary user the session makes), prints their status and powers off. The output streams back
here. Everything runs in a mount namespace of its own that vanishes with its last process, and
every process is ended with this one (a timeout, Ctrl+C, or this one killed), so nothing stays
mounted or running; the only trace is the empty folder of the tree's path in the guest's view.
"""

import ctypes
import glob
import os
import signal
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from xsession import mount_namespace  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
TREE = os.path.dirname(os.path.dirname(HERE))
SUITES = ["test_wayland.Hyprland", "test_wayland.HyprlandScaled"]
STATUS = "keltos-vm-status:"
TIMEOUT = int(os.environ.get("KELTOS_HYPRLAND_VM_TIMEOUT", "1500"))
BOOTED = "keltos-vm-booted"
NEEDED = ["/usr/bin/Hyprland", "/usr/bin/Xwayland", "/usr/bin/qemu-system-x86_64",
          "/usr/libexec/virtiofsd", "/usr/sbin/modprobe", "/usr/bin/grim", "/usr/bin/python3"]
PACKAGES = "hyprland xwayland qemu-system-x86 linux-image-amd64 virtiofsd kmod grim python3"

# In the namespace: the guest's root (this system's root folder without /proc, /sys, /dev) with
# the tree at its own path, then virtiofsd and QEMU, each ended with this shell.
NAMESPACE = r"""
set -eu
tree=$1 vm=$2 kernel=$3 append=$4
mkdir -p "$vm/guest"
mount --bind / "$vm/guest"
mount --bind "$tree" "$vm/guest$tree"
setpriv --pdeathsig KILL /usr/libexec/virtiofsd --socket-path="$vm/fs.sock" \
  --shared-dir="$vm/guest" --sandbox=none --log-level=error &
for _ in $(seq 100); do [ -S "$vm/fs.sock" ] && break; sleep 0.1; done
setpriv --pdeathsig KILL qemu-system-x86_64 -machine q35,accel=tcg -cpu max -smp 2 -m 3G \
  -object memory-backend-memfd,id=mem,size=3G,share=on -numa node,memdev=mem \
  -chardev socket,id=fs,path="$vm/fs.sock" -device vhost-user-fs-pci,chardev=fs,tag=rootfs \
  -vga none -device virtio-gpu-pci,xres=1600,yres=900 -display none -monitor none \
  -serial stdio -no-reboot -nic none -kernel "$kernel" -append "$append" </dev/null
"""


def fail(message):
    print(f"hyprland_vm: {message}", file=sys.stderr)
    sys.exit(1)


def inputs():
    missing = [path for path in NEEDED if not os.path.exists(path)]
    kernels = sorted(glob.glob("/boot/vmlinuz-*"))
    if missing or not kernels:
        fail(f"{', '.join(missing + ([] if kernels else ['a kernel in /boot']))} missing: "
             f"install them with apt-get install {PACKAGES} (make test's Debian unstable root "
             f"has them: its hyprland use in scripts/packages.list)")
    keltos = os.path.abspath(os.environ.get("KELTOS_BIN", ""))
    if not os.access(keltos, os.X_OK):
        fail(f"KELTOS_BIN ({keltos}) is no program: build KELTOS here first")
    artifacts = os.path.abspath(os.environ.get("KELTOS_ARTIFACTS",
                                               os.path.join(TREE, "build", "artifacts")))
    for path in (keltos, artifacts):
        if not path.startswith(TREE + os.sep):
            fail(f"{path} is outside {TREE}, which is all the guest sees of it")
    return kernels[-1], keltos, artifacts


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
    kernel, keltos, artifacts = inputs()
    os.makedirs(artifacts, exist_ok=True)
    vm = f"/run/keltos-vm-{os.getpid()}"
    append = (f"console=ttyS0 rootfstype=virtiofs root=rootfs rw quiet loglevel=3 "
              f"init=/usr/bin/python3 -- -u {os.path.abspath(__file__)} --guest {keltos} "
              f"{artifacts} {' '.join(suites)}")
    started, status = time.monotonic(), None
    process = subprocess.Popen(
        [*mount_namespace(), "--", "bash", "-c", NAMESPACE,
         "namespace", TREE, vm, kernel, append],
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
            elif line.startswith(BOOTED):
                print(f"hyprland_vm: the guest booted in {time.monotonic() - started:.0f} s",
                      flush=True)
        process.wait()
    finally:
        timer.cancel()
        end(process)
        for folder in (f"{vm}/guest", vm):
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
    print(BOOTED, flush=True)
    os.environ["PATH"] = "/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin"
    try:
        for kind, target, options in [("proc", "/proc", ""), ("sysfs", "/sys", ""),
                                      ("devtmpfs", "/dev", ""), ("devpts", "/dev/pts", ""),
                                      ("tmpfs", "/dev/shm", "mode=1777"), ("tmpfs", "/run", ""),
                                      ("tmpfs", "/tmp", "mode=1777")]:
            os.makedirs(target, exist_ok=True)
            if target == "/tmp":  # a tree below /tmp (a clone there) is put back over it
                os.makedirs("/run/tree")
                subprocess.run(["mount", "--bind", TREE, "/run/tree"], check=True)
            subprocess.run(["mount", "-t", kind, "-o", options or "defaults", kind, target],
                           check=True)
        os.makedirs(TREE, exist_ok=True)
        subprocess.run(["mount", "--move", "/run/tree", TREE], check=True)
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
        status = subprocess.run([sys.executable, "-m", "unittest", "-v", "--durations", "0",
                                 *suites], cwd=HERE, env=env).returncode
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
