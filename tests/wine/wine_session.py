"""KELTOS.exe and its probe under Wine, on a private Xvfb (tests/e2e/xsession.py) without a
window manager: the bar is a WS_POPUP window, and the foreground and the window rectangles that
the tests read are Wine's own bookkeeping, which a window manager would only make asynchronous.

The Wine prefix lives in the Windows build folder (wineprefix/, or wineprefix-LOCALE/ and
wineprefix-DPIdpi/ for a session in another locale or at another resolution); it is made once
with `wineboot --init` and reused. Tools, locales, fonts or files that are missing fail the test
with what to install or build; nothing is skipped.
"""

import os
import shutil
import subprocess
import sys
import tempfile

import wine_build

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from xsession import XSession, end  # noqa: E402

WINE_PACKAGES = ("dpkg --add-architecture i386 && apt-get update && "
                 "apt-get install wine wine32:i386 wine64")


def require_file(path, how):
    if not os.path.isfile(path):
        raise RuntimeError(f"{path} is missing: {how}")
    return path


def build_dir(name):
    """The folder of the win32 or win64 build (ctest names both)."""
    variable = f"KELTOS_{name.upper()}_DIR"
    if not os.environ.get(variable):
        raise RuntimeError(f"{variable} must name the {name} build folder (ctest sets it)")
    return os.environ[variable]


def shipped_exe():
    """KELTOS.exe as it ships (the PE32 of build/win32), named as Windows programs under Wine see
    it: the drive Z: is the root of the file system."""
    path = require_file(os.path.join(build_dir("win32"), "KELTOS.exe"),
                        "build it with 'make win32'")
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def require_locale(name):
    """A Unix locale such as ja_JP.UTF-8, which Wine turns into its user locale and code page."""
    listed = subprocess.run(["locale", "-a"], capture_output=True, text=True).stdout.split()
    wanted = name.lower().replace("-", "")
    if wanted not in (entry.lower().replace("-", "") for entry in listed):
        raise RuntimeError(f"the locale {name} is missing: enable it in /etc/locale.gen and run "
                           "locale-gen (make test does this)")


def require_wine(tool):
    path = shutil.which(tool)
    if not path:
        raise RuntimeError(f"'{tool}' is missing: install Wine with '{WINE_PACKAGES}' "
                           "(make test does this)")
    return path


class WineSession:
    """An X session with a Wine prefix in it; start() and stop(), or use as a context.
    `locale` (a Unix locale name) sets the Windows user locale and code page; `dpi` the system
    resolution (LogPixels)."""

    # Fonts that must be there for a locale's texts (the face Wine shows them in).
    LOCALE_FONTS = {"ja_JP.UTF-8": ("/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf",
                                    "fonts-ipafont-gothic")}

    def __init__(self, locale=None, dpi=96):
        build, why = wine_build.choose()
        print(wine_build.describe(build, why), flush=True)
        self.dir = build_dir(build)
        built = f"build it with 'make {build}'"
        self.exe = require_file(os.path.join(self.dir, "KELTOS.exe"), built)
        self.probe_exe = require_file(os.path.join(self.dir, "keltos_probe.exe"), built)
        require_file(os.path.join(self.dir, "keltos_probe_hook.dll"), built)
        self.wine = require_wine("wine" if build == "win32" else wine_build.WINE64)
        # The 64-bit loader starts Wine's own programs too (wineboot, reg) in a 64-bit prefix.
        self.loader = {} if build == "win32" else {"WINELOADER": self.wine, "WINEARCH": "win64"}
        self.wineserver = require_wine("wineserver")
        self.locale = locale
        self.dpi = dpi
        if locale:
            require_locale(locale)
            font, package = self.LOCALE_FONTS.get(locale, (None, None))
            if font:
                require_file(font, f"install it with 'apt-get install {package}' "
                             "(make test does this)")
        name = "wineprefix" + (f"-{locale}" if locale else "") + (f"-{dpi}dpi" if dpi != 96 else "")
        self.prefix = os.path.join(self.dir, name)
        self.x = XSession(wm="none")
        self.processes = []

    def env(self):
        extra = {"LANG": self.locale, "LC_ALL": self.locale} if self.locale else {}
        return self.x.env(WINEPREFIX=self.prefix, WINEDEBUG="-all",
                          WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d",
                          **self.loader, **extra)

    def _run(self, *args, timeout=120):
        done = subprocess.run([self.wine, *args], env=self.env(), capture_output=True,
                              text=True, errors="replace", timeout=timeout)
        if done.returncode != 0:
            hint = ""
            if "wine32" in done.stderr:
                hint = f" (32-bit Wine is missing: '{WINE_PACKAGES}')"
            raise RuntimeError(f"wine {' '.join(args)} failed with {done.returncode}{hint}: "
                               f"{done.stderr.strip()[-2000:]}")
        return done

    def start(self):
        self.x.start()
        try:
            self._run("wineboot", "--init", timeout=300)
            # A crash ends the program instead of waiting for someone to close a dialog.
            self._run("reg", "add", r"HKCU\Software\Wine\WineDbg", "/v", "ShowCrashDialog",
                      "/t", "REG_DWORD", "/d", "0", "/f")
            self._run("reg", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels",
                      "/t", "REG_DWORD", "/d", str(self.dpi), "/f")
        except BaseException:
            self.stop()
            raise
        return self

    def start_keltos(self):
        """KELTOS.exe, running; its unix process ends with the program's exit status."""
        log = open(os.path.join(self.dir, "keltos-wine.log"), "ab")
        process = subprocess.Popen([self.wine, self.exe], env=self.env(), stdout=log,
                                   stderr=log)
        log.close()
        self.processes.append(process)
        return process

    def probe(self, *args, timeout=120):
        """Runs `keltos_probe ARGS...`; returns (exit status, what it printed). A probe that
        hangs is ended after `timeout` seconds and reported with what it had printed."""
        with tempfile.TemporaryFile("w+", errors="replace") as out:
            process = subprocess.Popen([self.wine, self.probe_exe, *args], env=self.env(),
                                       stdout=out, stderr=subprocess.STDOUT, text=True)
            try:
                status = process.wait(timeout)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait(10)
                status = f"timed out after {timeout} s"
            out.seek(0)
            return status, out.read()

    def stop(self):
        """Ends Wine's processes and the X session, whatever fails on the way."""
        try:
            for flag in ("-k", "-w"):  # kill every Wine process of the prefix, then wait for it
                try:
                    subprocess.run([self.wineserver, flag], env=self.env(), capture_output=True,
                                   timeout=30)
                except subprocess.TimeoutExpired:
                    pass  # the processes are killed below
            for process in self.processes:
                end(process, timeout=1)
        finally:
            self.x.stop()

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()
