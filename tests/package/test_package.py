"""Installing KELTOS as a user would: `make install` into a staging root, and the Debian package,
unpacked into a throw-away root, checked for its files and dependencies, checked by Debian's own
tools (lintian, appstreamcli, man, desktop-file-validate) and started from its desktop entry under
Xvfb."""

import configparser
import glob
import gzip
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from xsession import XSession, require  # noqa: E402

BUILD = os.environ.get("KELTOS_BUILD_DIR", "")
SOURCE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
METAINFO = "usr/share/metainfo/org.keltos.keltos.metainfo.xml"
MANUAL = "usr/share/man/man1/keltos.1.gz"
FILES = ["usr/bin/keltos", "usr/share/applications/keltos.desktop",
         "usr/share/icons/hicolor/16x16/apps/keltos.png",
         "usr/share/icons/hicolor/32x32/apps/keltos.png", METAINFO, MANUAL,
         "usr/share/doc/keltos/copyright", "usr/share/doc/keltos/changelog.gz"]
# KELTOS's GNOME Shell extension; users turn it on by this folder's name.
FILES += [f"usr/share/gnome-shell/extensions/keltos-focus@keltos.github.io/{name}"
          for name in ("extension.js", "extension/__init__.js", "metadata.json")]


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    assert head[:8] == b"\x89PNG\r\n\x1a\n", f"{path} is not a PNG"
    return struct.unpack(">II", head[16:24])


def project_version():
    with open(os.path.join(BUILD, "CMakeCache.txt")) as cache:
        for line in cache:
            if line.startswith("CMAKE_PROJECT_VERSION:"):
                return line.split("=", 1)[1].strip()
    raise RuntimeError(f"no project version in {BUILD}/CMakeCache.txt")


def run(*args, **kw):
    done = subprocess.run(list(args), capture_output=True, text=True, **kw)
    if done.returncode != 0:
        raise AssertionError(f"{' '.join(args)} failed ({done.returncode}): "
                             f"{done.stderr}{done.stdout}")
    return done.stdout


class Installed(unittest.TestCase):
    def setUp(self):
        if not os.path.isdir(BUILD):
            raise RuntimeError("KELTOS_BUILD_DIR must name the Linux build folder (ctest sets it)")
        self.root = tempfile.mkdtemp(prefix="keltos-root-")
        self.version = project_version()

    def tearDown(self):
        shutil.rmtree(self.root, ignore_errors=True)

    def check_tree(self, root):
        for name in FILES:
            self.assertTrue(os.path.isfile(os.path.join(root, name)), f"{name} is missing")
        self.assertTrue(os.access(os.path.join(root, FILES[0]), os.X_OK))
        for size in (16, 32):
            icon = os.path.join(root, f"usr/share/icons/hicolor/{size}x{size}/apps/keltos.png")
            self.assertEqual(png_size(icon), (size, size))
        desktop = os.path.join(root, "usr/share/applications/keltos.desktop")
        run(require_tool("desktop-file-validate", "desktop-file-utils"), desktop)
        entry = configparser.ConfigParser(interpolation=None)
        entry.read(desktop)
        self.assertEqual(entry["Desktop Entry"]["Icon"], "keltos")
        # The manual page renders with no complaint from groff, and names the program.
        page = subprocess.run([require_tool("man", "man-db"), "--warnings", "-l",
                               os.path.join(root, MANUAL)], capture_output=True, text=True,
                              env=dict(os.environ, MANWIDTH="80", MAN_KEEP_FORMATTING=""))
        self.assertEqual((page.returncode, page.stderr), (0, ""), page.stderr)
        self.assertRegex(page.stdout, r"NAME\s+keltos\s+-\s")
        # The AppStream metadata is valid and launches the desktop entry installed beside it.
        metainfo = os.path.join(root, METAINFO)
        run(require_tool("appstreamcli", "appstream"), "validate", "--no-net", metainfo)
        component = ElementTree.parse(metainfo).getroot()
        launchable = component.find("launchable[@type='desktop-id']").text
        self.assertTrue(os.path.isfile(os.path.join(root, "usr/share/applications", launchable)),
                        f"the AppStream launchable {launchable} is not installed")
        # The changelog, the newest AppStream release and the manual page name this version.
        with gzip.open(os.path.join(root, "usr/share/doc/keltos/changelog.gz"), "rt") as f:
            newest = f.readline()
        releases = [newest.split()[1], component.find("releases/release").get("version")]
        self.assertEqual(releases, [f"({self.version})", self.version])
        self.assertIn(f"KELTOS {self.version}", page.stdout.strip().splitlines()[-1])
        return entry["Desktop Entry"]["Exec"]

    def test_make_install_honours_prefix_and_destdir(self):
        run("cmake", "--install", BUILD, "--prefix", "/usr",
            env=dict(os.environ, DESTDIR=self.root))
        self.check_tree(self.root)

    def test_debian_package_files_dependencies_and_start_from_its_desktop_entry(self):
        out = tempfile.mkdtemp(prefix="keltos-deb-")
        try:
            run("cpack", "-B", out, cwd=BUILD)
            debs = glob.glob(os.path.join(out, "keltos_*.deb"))
            self.assertEqual(len(debs), 1, debs)
            deb = debs[0]
            control = run("dpkg-deb", "-f", deb, "Package", "Version", "Architecture", "Depends")
            self.assertIn("Package: keltos", control)
            for library in ("libqt6widgets6", "libxcb-ewmh2", "libxcb1"):
                self.assertIn(library, control)
            # Every dependency can be met by Debian's own packages (apt's dry run).
            run("apt-get", "install", "--simulate", "--no-install-recommends", deb)
            # Debian's checks of a package: no error and no warning (lintian's notes may stay).
            lintian = subprocess.run([require_tool("lintian", "lintian"), "--fail-on",
                                      "error,warning", deb], capture_output=True, text=True)
            self.assertEqual(lintian.returncode, 0, lintian.stdout + lintian.stderr)
            run("dpkg", "-x", deb, self.root)
            self.assertEqual(run("dpkg-deb", "-f", deb, "Version").strip(), self.version)
            command = self.check_tree(self.root).split()[0]
            program = os.path.join(self.root, "usr/bin", command)
            with XSession() as session:
                process = subprocess.Popen([program], env=session.env(),
                                           stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
                try:
                    found = session.wait_for(lambda: session.run(
                        "xdotool", "search", "--onlyvisible", "--name", "^KELTOS - 00:00:00$",
                        check=False).strip(), 10, "the installed KELTOS window")
                    self.assertTrue(found)
                finally:
                    process.terminate()
                    process.wait(5)
        finally:
            shutil.rmtree(out, ignore_errors=True)


class WindowsZip(unittest.TestCase):
    def test_zip_holds_the_exe_and_its_read_me(self):
        win32 = os.environ.get("KELTOS_WIN32_DIR", "")
        exe = os.path.join(win32, "KELTOS.exe")
        if not os.path.isfile(exe):
            raise RuntimeError(f"{exe} is missing: build it with 'make win32'")
        out = tempfile.mkdtemp(prefix="keltos-zip-")
        try:
            archive = os.path.join(out, "KELTOS-1.00-win32.zip")
            script = os.path.join(SOURCE, "packaging", "windows_zip.cmake")
            run("cmake", f"-DWIN32_DIR={win32}", f"-DOUT={archive}", "-P", script)
            self.check_pe32(exe)
            with zipfile.ZipFile(archive) as z:
                self.assertEqual(sorted(z.namelist()), ["KELTOS.exe", "README.txt"])
                with open(exe, "rb") as f:
                    self.assertEqual(z.read("KELTOS.exe"), f.read())
                readme = z.read("README.txt").decode().replace("\r\n", "\n")
                self.assertIn("KELTOS.exe", readme)
                # The read-me carries KELTOS's licence and those of the runtime linked in.
                for name in ("LICENSE", "packaging/windows-runtime-licences.txt"):
                    with open(os.path.join(SOURCE, name)) as f:
                        self.assertTrue(f.read().strip() in readme, f"{name} is not in README.txt")
        finally:
            shutil.rmtree(out, ignore_errors=True)

    def check_pe32(self, exe):
        """The executable that ships, read from its headers and never run (the machine may not
        run 32-bit programs): a PE32 for i386, a GUI program, importing no MinGW runtime DLL
        (those are all named lib*.dll), so that it runs alone."""
        objdump = require_tool("i686-w64-mingw32-objdump", "binutils-mingw-w64-i686")
        headers = run(objdump, "-p", exe)
        found = {"format": re.findall(r"file format (\S+)", headers),
                 "header": re.findall(r"^(Magic\s.*|Subsystem\s.*)$", headers, re.M)}
        self.assertEqual(found, {"format": ["pei-i386"],
                                 "header": ["Magic\t\t\t010b\t(PE32)",
                                            "Subsystem\t\t00000002\t(Windows GUI)"]})
        dlls = re.findall(r"DLL Name: (\S+)", headers)
        self.assertIn("KERNEL32.dll", dlls)
        self.assertEqual([d for d in dlls if d.lower().startswith("lib")], [],
                         f"KELTOS.exe imports {dlls}")


def require_tool(tool, package):
    if not shutil.which(tool):
        raise RuntimeError(f"'{tool}' is missing: install it with 'apt-get install {package}'")
    return tool


if __name__ == "__main__":
    require("xdotool")
    unittest.main()
