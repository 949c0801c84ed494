"""Which Windows build the Wine suites run, and why: KELTOS.exe as it ships (win32: PE32, under
32-bit Wine) where the machine runs 32-bit x86 programs; elsewhere (every 32-bit program fails
with "Exec format error", whatever is installed) the same sources built for x86_64 (win64),
under Debian's 64-bit loader called directly, as the `wine` command picks the 32-bit one while
wine32 is installed. KELTOS_WINE=win32 or win64 chooses; a choice this machine cannot run fails.
`python3 wine_build.py` prints the choice (make test does, before the suites)."""

import errno
import os
import subprocess
import sys

LOADER_32 = "/lib/ld-linux.so.2"  # from libc6:i386, which 32-bit Wine brings
WINE64 = "/usr/lib/wine/wine64"   # from wine64
NO_32BIT = f"this machine cannot run 32-bit x86 programs ({LOADER_32}: Exec format error)"


def runs_32bit_programs():
    """Without the 32-bit loader nothing can be told: the PE32 is chosen, and its missing Wine
    says what to install."""
    try:
        subprocess.run([LOADER_32, "--version"], capture_output=True, timeout=30)
    except OSError as error:
        if error.errno == errno.ENOEXEC:
            return False
        if error.errno != errno.ENOENT:
            raise
    return True


def choose():
    """(win32 or win64, why)."""
    wanted = os.environ.get("KELTOS_WINE", "")
    if wanted not in ("", "win32", "win64"):
        raise RuntimeError(f"KELTOS_WINE={wanted}: say win32 or win64, or leave it unset")
    can_32 = runs_32bit_programs()
    if wanted == "win32" and not can_32:
        raise RuntimeError(f"KELTOS_WINE=win32, but {NO_32BIT}: unset it or say win64")
    if wanted:
        return wanted, f"KELTOS_WINE={wanted}"
    if can_32:
        return "win32", "this machine runs 32-bit x86 programs (KELTOS_WINE=win64 runs the other)"
    return "win64", NO_32BIT


def describe(name, why):
    what = ("KELTOS.exe (PE32, build/win32) under 32-bit Wine" if name == "win32" else
            f"the x86_64 build of the same sources (build/win64) under {WINE64}")
    return f"Wine suites: {what}: {why}"


if __name__ == "__main__":
    try:
        print(describe(*choose()))
    except RuntimeError as error:
        sys.exit(f"Wine suites: {error}")
