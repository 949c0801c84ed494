#!/usr/bin/env python3
"""Prints the Debian mirror apt uses here for the running release, which the roots of other
Debian releases are made from:   scripts/debian_mirror.py

The mirror is the first entry, in the order apt reads its sources (sources.list, then each file
of sources.list.d by name), that fetches packages (type deb) of Debian's archive for this release:
a suite named after the release (not its -updates, -security or -backports pockets), the
component main, and no signing key other than Debian's own. Entries of other repositories
(their own suites or components, or their own keys) are passed over. A mirror list
(mirror+file:) gives its first mirror. With KELTOS_DEBIAN_MIRROR set, that is the mirror.
Without a mirror it says which one is needed and how to name it, and exits with status 1.
"""

import glob
import os
import sys

# Names of Debian's suites that stand for a release rather than one of its pockets.
SUITE_ALIASES = {"stable", "testing", "unstable", "sid", "oldstable"}
FETCHABLE = ("http://", "https://", "ftp://", "file:/")


def deb822(text):
    """The entries of a deb822 .sources file: one dict of fields per stanza."""
    entries, fields, key = [], {}, None
    for line in text.splitlines() + [""]:
        if line.startswith("#"):
            continue
        if not line.strip():
            if fields:
                entries.append(fields)
            fields, key = {}, None
        elif line[0] in " \t" and key:
            fields[key] += "\n" + line.strip()
        else:
            key, _, value = line.partition(":")
            key = key.strip().lower()
            fields[key] = value.strip()
    return [{"types": e.get("types", "").split(), "uris": e.get("uris", "").split(),
             "suites": e.get("suites", "").split(), "components": e.get("components", "").split(),
             "signed-by": e.get("signed-by", ""),
             "enabled": e.get("enabled", "yes").lower() != "no"} for e in entries]


def one_line(text):
    """The entries of a one-line-format sources file (sources.list, *.list)."""
    entries = []
    for line in text.splitlines():
        words = line.split("#", 1)[0].split()
        options = {}
        if len(words) > 1 and words[1].startswith("["):
            end = next(i for i, w in enumerate(words) if w.endswith("]"))
            for option in " ".join(words[1:end + 1]).strip("[]").split():
                name, _, value = option.partition("=")
                options[name.lower()] = value
            words = words[:1] + words[end + 1:]
        if len(words) >= 3:
            entries.append({"types": [words[0]], "uris": [words[1]], "suites": [words[2]],
                            "components": words[3:], "signed-by": options.get("signed-by", ""),
                            "enabled": True})
    return entries


def entries(etc):
    """Every sources entry under `etc` (/etc/apt), in the order apt reads them."""
    found = []
    main = os.path.join(etc, "sources.list")
    if os.path.isfile(main):
        found += one_line(open(main).read())
    for path in sorted(glob.glob(os.path.join(etc, "sources.list.d", "*"))):
        if path.endswith(".list"):
            found += one_line(open(path).read())
        elif path.endswith(".sources"):
            found += deb822(open(path).read())
    return found


def resolve(uri):
    """A URI debootstrap can fetch from: a mirror list's first mirror; None when there is none."""
    if uri.startswith("mirror+file:"):
        try:
            lines = open(uri[len("mirror+file:"):]).read().splitlines()
        except OSError:
            return None
        mirrors = [line.split()[0] for line in lines if line.strip() and not line.startswith("#")]
        return resolve(mirrors[0]) if mirrors else None
    return uri.rstrip("/") if uri.startswith(FETCHABLE) else None


def debian_mirror(etc, release):
    """The mirror of Debian's archive for `release` (a codename) among apt's sources, or None."""
    for entry in entries(etc):
        debian = (entry["enabled"] and "deb" in entry["types"] and "main" in entry["components"]
                  and any(s == release or s in SUITE_ALIASES for s in entry["suites"])
                  and (not entry["signed-by"] or "debian-archive-keyring" in entry["signed-by"]))
        if debian:
            for uri in entry["uris"]:
                if resolve(uri):
                    return resolve(uri)
    return None


def release_codename():
    with open("/etc/os-release") as f:
        fields = dict(line.rstrip("\n").partition("=")[::2] for line in f if "=" in line)
    return fields.get("VERSION_CODENAME", "").strip('"')


if __name__ == "__main__":
    named = os.environ.get("KELTOS_DEBIAN_MIRROR")
    codename = release_codename()
    mirror = named or debian_mirror("/etc/apt", codename)
    if not mirror:
        sys.exit(f"No Debian mirror for {codename or 'this release'} found in apt's sources "
                 "(/etc/apt/sources.list, /etc/apt/sources.list.d): the roots of other Debian "
                 "releases are made from one that serves Debian's archive over http(s). Name it, "
                 "e.g.:  make test KELTOS_DEBIAN_MIRROR=http://deb.debian.org/debian")
    print(mirror)
