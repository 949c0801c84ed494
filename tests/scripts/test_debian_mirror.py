"""The mirror the roots of other Debian releases are made from, chosen among apt's sources: a row
each, the files under /etc/apt in (ETC stands for that folder), the mirror out (None: make test
asks for one)."""

import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
from debian_mirror import debian_mirror  # noqa: E402

KEY = "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg\n"
SECURITY = "Types: deb\nURIs: http://deb.debian.org/debian-security\nSuites: bookworm-security\n" \
           "Components: main\n" + KEY
DEBIAN = "Types: deb deb-src\nURIs: http://ftp.de.debian.org/debian/\nSuites: bookworm " \
         "bookworm-updates\nComponents: main contrib\n" + KEY
D = "sources.list.d/"
ROWS = [
    ("deb822, several entries and suites", {D + "debian.sources": f"{SECURITY}\n{DEBIAN}"},
     "http://ftp.de.debian.org/debian"),
    ("third-party repositories sorting first", {
        D + "00-docker.sources": "Types: deb\nURIs: https://download.docker.com/linux/debian\n"
                                 "Suites: bookworm\nComponents: stable\n",
        D + "a-vendor.list": "deb [signed-by=/usr/share/keyrings/vendor.gpg] "
                             "https://packages.example.com/debian/12/prod bookworm main\n",
        D + "apt-cacher.sources": "Enabled: no\nTypes: deb\nURIs: http://cache:3142/debian\n"
                                  "Suites: bookworm\nComponents: main\n",
        D + "debian.sources": DEBIAN}, "http://ftp.de.debian.org/debian"),
    ("mirror+file:", {
        D + "debian.sources": "Types: deb\nURIs: mirror+file:ETC/mirrors/debian.list\n"
                              "Suites: bookworm bookworm-updates\nComponents: main\n",
        "mirrors/debian.list": "# nearest first\nhttps://cdn.example.org/debian\tpriority:1\n"
                               "http://deb.debian.org/debian\n"}, "https://cdn.example.org/debian"),
    ("one-line format", {"sources.list": "deb-src http://src.example.org/debian bookworm main\n"
                         "deb http://security.debian.org/ bookworm-security main\n"
                         "deb [arch=amd64] http://ftp.fr.debian.org/debian bookworm main\n"},
     "http://ftp.fr.debian.org/debian"),
    ("none", {D + "debian.sources": "# nothing\n"}, None),
]


class DebianMirror(unittest.TestCase):
    def test_rows(self):
        for name, files, mirror in ROWS:
            with self.subTest(name), tempfile.TemporaryDirectory() as etc:
                for path, text in files.items():
                    os.makedirs(os.path.dirname(os.path.join(etc, path)), exist_ok=True)
                    with open(os.path.join(etc, path), "w") as f:
                        f.write(text.replace("ETC", etc))
                self.assertEqual(mirror, debian_mirror(etc, "bookworm"))
