"""Which Windows build the Wine suites run, under which Wine loader, and why.

KELTOS.exe as it ships (build/win32, PE32) runs under 32-bit Wine wherever the machine runs 32-bit
x86 programs. Some virtual machines give processes no 32-bit mode: every 32-bit program fails
there with "Exec format error", and nothing installed changes that. There the same sources built
for x86_64 (build/win64, `make win64`) run under Debian's 64-bit loader, called directly: the
`wine` wrapper always picks the 32-bit loader while wine32 is installed.

KELTOS_WINE=win32 or KELTOS_WINE=win64 chooses one; a choice this machine cannot run fails the
suites, saying so. `python3 wine_build.py` prints the choice (make test does, before the suites).
"""

import errno
import os
import subprocess
import sys
from dataclasses import dataclass

LOADER_32 = "/lib/ld-linux.so.2"  # from libc6:i386, which 32-bit Wine brings
WINE64 = "/usr/lib/wine/wine64"   # from wine64
CHOICES = ("win32", "win64")


def runs_32bit_programs():
    """False when the kernel refuses 32-bit x86 programs. Without the 32-bit loader nothing can be
    told: the PE32 path is kept, and its missing Wine says what to install."""
    try:
        subprocess.run([LOADER_32, "--version"], capture_output=True, timeout=30)
    except FileNotFoundError:
        return True
    except OSError as error:
        if error.errno == errno.ENOEXEC:
            return False
        raise
    return True


@dataclass
class WineBuild:
    name: str     # win32 or win64
    reason: str   # why this one

    def folder(self):
        variable = f"KELTOS_{self.name.upper()}_DIR"
        path = os.environ.get(variable)
        if not path:
            raise RuntimeError(f"{variable} must name the {self.name} build folder (ctest sets it)")
        return path

    def loader(self):
        """The Wine program that starts a Windows program of this build."""
        return "wine" if self.name == "win32" else WINE64

    def env(self):
        return {} if self.name == "win32" else {"WINELOADER": WINE64, "WINEARCH": "win64"}

    def describe(self):
        what = ("KELTOS.exe (PE32, build/win32) under 32-bit Wine" if self.name == "win32" else
                "the x86_64 build of the same sources (build/win64) under 64-bit Wine "
                f"({WINE64})")
        return f"Wine suites: {what}: {self.reason}"


def choose():
    wanted = os.environ.get("KELTOS_WINE", "")
    if wanted and wanted not in CHOICES:
        raise RuntimeError(f"KELTOS_WINE={wanted}: say win32 or win64, or leave it unset")
    can_32 = runs_32bit_programs()
    if wanted == "win32" and not can_32:
        raise RuntimeError("KELTOS_WINE=win32, but this machine cannot run 32-bit x86 programs "
                           f"({LOADER_32}: Exec format error): run the suites with "
                           "KELTOS_WINE=win64 or unset")
    if wanted:
        return WineBuild(wanted, f"KELTOS_WINE={wanted}")
    if can_32:
        return WineBuild("win32", "this machine runs 32-bit x86 programs "
                         "(KELTOS_WINE=win64 runs the x86_64 build instead)")
    return WineBuild("win64", "this machine cannot run 32-bit x86 programs "
                     f"({LOADER_32}: Exec format error)")


if __name__ == "__main__":
    try:
        print(choose().describe())
    except RuntimeError as error:
        sys.exit(f"Wine suites: {error}")
