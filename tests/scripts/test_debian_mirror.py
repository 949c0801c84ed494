"""The mirror the roots of other Debian releases are made from, chosen among apt's sources: one
row each, the files under /etc/apt in, the mirror out (None: none, and make test says how to
name one)."""

import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
from debian_mirror import debian_mirror  # noqa: E402

KEY = "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg"
DEBIAN = f"""Types: deb deb-src
URIs: http://ftp.de.debian.org/debian/
Suites: bookworm bookworm-updates
Components: main contrib
{KEY}

Types: deb
URIs: http://security.debian.org/debian-security
Suites: bookworm-security
Components: main
{KEY}
"""
ROWS = [
    ("deb822, several entries and suites", {
        "sources.list.d/debian.sources": "Types: deb\nURIs: http://deb.debian.org/debian-security"
        f"\nSuites: bookworm-security\nComponents: main\n{KEY}\n\n" + DEBIAN},
     "http://ftp.de.debian.org/debian"),
    ("third-party repositories sorting first", {
        "sources.list.d/00-docker.sources": "Types: deb\nURIs: https://download.docker.com/linux/"
        "debian\nSuites: bookworm\nComponents: stable\n",
        "sources.list.d/a-vendor.list": "deb [signed-by=/usr/share/keyrings/vendor.gpg] "
        "https://packages.example.com/debian/12/prod bookworm main\n",
        "sources.list.d/apt-cacher.sources": "Enabled: no\nTypes: deb\nURIs: http://cache:3142/"
        "debian\nSuites: bookworm\nComponents: main\n",
        "sources.list.d/debian.sources": DEBIAN},
     "http://ftp.de.debian.org/debian"),
    ("mirror+file:", {
        "sources.list.d/debian.sources": "Types: deb\nURIs: mirror+file:{etc}/mirrors/debian.list"
        "\nSuites: bookworm bookworm-updates bookworm-backports\nComponents: main\n",
        "mirrors/debian.list": "# the nearest first\nhttps://cdn.example.org/debian\tpriority:1\n"
        "http://deb.debian.org/debian\n"},
     "https://cdn.example.org/debian"),
    ("one-line format", {
        "sources.list": "deb-src http://src.example.org/debian bookworm main\n"
        "deb http://security.debian.org/ bookworm-security main\n"
        "deb [arch=amd64] http://ftp.fr.debian.org/debian bookworm main non-free-firmware\n"},
     "http://ftp.fr.debian.org/debian"),
    ("none", {"sources.list.d/debian.sources": "# nothing\n"}, None),
]


class DebianMirror(unittest.TestCase):
    def test_rows(self):
        for name, files, mirror in ROWS:
            with self.subTest(name), tempfile.TemporaryDirectory() as etc:
                for path, text in files.items():
                    os.makedirs(os.path.dirname(os.path.join(etc, path)), exist_ok=True)
                    with open(os.path.join(etc, path), "w") as f:
                        f.write(text.replace("{etc}", etc))
                self.assertEqual(mirror, debian_mirror(etc, "bookworm"))


if __name__ == "__main__":
    unittest.main()
