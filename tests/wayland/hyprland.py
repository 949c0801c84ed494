"""Hyprland for the Wayland docking cases: headless (one output made through its socket), with
XWayland, asked through its request socket directly (hyprctl gives up after 5 s, which a guest
under emulation can take). It needs a DRM device, so these cases run in a small VM
(hyprland_vm.py), not on the machine itself.
"""

import glob
import json
import os
import shutil
import socket
import sys
import tempfile
import time

from session import Desktop, artifacts, require, wait_for
from sway import read_line, same_pixels

# One output of 1600 x 900 logical pixels at every scale; the virtual GPU's own output off.
# Hyprland's own log is on: kept with each session's artifacts, it says what became of each X11
# surface (the bar's among them).
CONFIG = """\
hl.monitor({{ output = "HEADLESS-1", mode = "{width}x{height}@60", position = "0x0", scale = {scale} }})
hl.monitor({{ output = "", disabled = true }})
hl.config({{
    xwayland = {{ enabled = true, force_zero_scaling = {zero}, use_nearest_neighbor = true }},
    general = {{ gaps_in = 0, gaps_out = 0, border_size = 0 }},
    decoration = {{ blur = {{ enabled = false }}, shadow = {{ enabled = false }} }},
    animations = {{ enabled = false }},
    misc = {{ disable_hyprland_logo = true, disable_splash_rendering = true }},
    ecosystem = {{ no_update_news = true, no_donation_nag = true }},
    debug = {{ disable_time = false, disable_logs = false }},
}})
hl.on("hyprland.start", function()
    hl.dispatch(hl.dsp.exec_cmd("echo $DISPLAY > $XDG_RUNTIME_DIR/xdisplay"))
end)
"""


class Hyprland(Desktop):
    name = "hyprland"
    patience = 16  # under emulation, windows take seconds to start and to be told of

    def __init__(self, output_scale=1, zero_scaling=False):
        # X11 clients get Hyprland's logical pixels (and are drawn scaled up), unless
        # force_zero_scaling gives them the output's physical pixels and Xft.dpi to match.
        self.output_scale, self.zero_scaling = output_scale, zero_scaling
        self.scale = output_scale if zero_scaling else 1
        if output_scale != 1 or zero_scaling:
            self.name = f"hyprland-{round(output_scale * 100)}{'-zero' if zero_scaling else ''}"

    def start(self, session):
        hyprland = require("Hyprland", "hyprland")
        require("Xwayland", "xwayland")
        self.grim = require("grim", "grim")
        self.import_ = require("import", "imagemagick")
        # Hyprland's sockets lie two names deep in the runtime directory, the second one 62
        # characters long: the session's runtime directory goes by a short name, or the event
        # socket's path would pass the 107 bytes a UNIX socket's may have.
        self.short = tempfile.mktemp(prefix="h", dir="/tmp")
        os.symlink(session.runtime, self.short)
        session.env["XDG_RUNTIME_DIR"] = self.short
        config = os.path.join(session.runtime, "hyprland.lua")
        with open(config, "w") as f:
            f.write(CONFIG.format(width=round(1600 * self.output_scale),
                                  height=round(900 * self.output_scale),
                                  scale=self.output_scale, zero=str(self.zero_scaling).lower()))
        session.spawn([hyprland, "--config", config], "compositor",
                      env={"LIBSEAT_BACKEND": "noop", "LIBGL_ALWAYS_SOFTWARE": "1",
                           "HYPRLAND_NO_SD_NOTIFY": "1"})
        folder = wait_for(lambda: glob.glob(f"{self.short}/hypr/*/.socket.sock"), 60,
                          "Hyprland's request socket")[0]
        self.sock = folder
        # Under emulation Hyprland takes a minute or two to set up its renderer before it
        # answers.
        wait_for(lambda: self.answers(session), 240, f"Hyprland to answer (see {folder})")
        self.ask(session, "output create headless HEADLESS-1")
        wait_for(lambda: self.monitors(session), 60, "Hyprland's headless output")
        display = wait_for(lambda: read_line(os.path.join(session.runtime, "xdisplay")), 60,
                           "Hyprland to start XWayland")
        wayland = wait_for(lambda: glob.glob(f"{session.runtime}/wayland-*[0-9]"), 10,
                           "Hyprland's Wayland socket")[0]
        session.env["DISPLAY"] = display
        session.env["WAYLAND_DISPLAY"] = os.path.basename(wayland)
        self.session_env = {"XDG_CURRENT_DESKTOP": "Hyprland", "XDG_SESSION_TYPE": "wayland",
                            "HYPRLAND_INSTANCE_SIGNATURE": os.path.basename(os.path.dirname(folder))}
        if self.zero_scaling:
            resources = os.path.join(session.runtime, "xresources")
            with open(resources, "w") as f:
                f.write(f"Xft.dpi:\t{round(96 * self.scale)}\n")
            session.run(require("xrdb", "x11-xserver-utils"), "-merge", resources, timeout=60)

    def stop(self, session):
        for log in glob.glob(f"{session.runtime}/hypr/*/hyprland.log"):
            shutil.copy(log, os.path.join(artifacts(), f"{self.name}-hyprland.log"))
        if getattr(self, "short", None):
            os.unlink(self.short)
            self.short = None

    def ask(self, session, request, timeout=90, tries=3):
        """Hyprland's answer to one request on its request socket. Under emulation Hyprland
        now and then drops a connection it was too busy to serve: asked again, a second apart;
        and right after it first maps the bar at 200 % it answered nothing for 36 s (its log)."""
        for attempt in range(tries):
            try:
                with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as s:
                    s.settimeout(timeout)
                    s.connect(self.sock)
                    s.sendall(request.encode())
                    answer = b""
                    while data := s.recv(65536):
                        answer += data
                return answer.decode(errors="replace")
            except ConnectionResetError:
                if attempt + 1 == tries:
                    raise
                time.sleep(1)

    def answers(self, session):
        try:
            return self.ask(session, "j/version", timeout=5)
        except OSError:
            return None

    def dispatch(self, session, call):
        answer = self.ask(session, f"dispatch {call}")
        if not answer.startswith("ok"):
            raise AssertionError(f"Hyprland refused {call}: {answer}")

    def monitors(self, session):
        return [m for m in json.loads(self.ask(session, "j/monitors")) if not m["disabled"]]

    def client(self, session, title):
        return next((c for c in json.loads(self.ask(session, "j/clients"))
                     if c["title"] == title), None)

    @staticmethod
    def window(title):
        return json.dumps(f"title:{title}")

    def focus(self, session, title):
        client = self.client(session, title)
        if client and client["workspace"]["name"].startswith("special:"):  # brought back
            self.dispatch(session, f'hl.dsp.window.move({{ workspace = "1", follow = false, '
                          f'window = {self.window(title)} }})')
        self.dispatch(session, f"hl.dsp.focus({{ window = {self.window(title)} }})")

    def minimize(self, session, title):
        # Hyprland has no minimized windows; a special workspace not shown is what comes closest.
        self.dispatch(session, f'hl.dsp.window.move({{ workspace = "special:hidden", '
                      f'follow = false, window = {self.window(title)} }})')

    def floating(self, session, title, enable):
        action = "enable" if enable else "disable"
        self.dispatch(session, f'hl.dsp.window.float({{ action = "{action}", '
                      f'window = {self.window(title)} }})')

    def move(self, session, title, x, y):
        self.floating(session, title, True)
        self.dispatch(session, f"hl.dsp.window.move({{ x = {x}, y = {y}, "
                      f"window = {self.window(title)} }})")

    def retile(self, session, title):
        self.floating(session, title, False)

    def frame(self, session, title):
        client = self.client(session, title)
        return (*client["at"], *client["size"]) if client else None

    def bar_above(self, session, title):
        """Whether what Hyprland shows where the bar is is the bar itself: nothing covers it.
        Under emulation Hyprland may show a frame drawn before the bar's last move: a few
        looks, a second apart; what is covered stays covered. When it is not shown, the whole
        output and Hyprland's list of clients are kept beside the two pictures."""
        bar = session.bar()
        x, y, width, height = (v / self.scale for v in session.bar_geometry(bar))
        own, shown = (os.path.join(session.runtime, name) for name in ("own.ppm", "shown.ppm"))
        for _ in range(3):
            session.run(self.import_, "-depth", "8", "-window", str(bar), f"ppm:{own}",
                        timeout=60)
            session.run(self.grim, "-t", "ppm", "-g", f"{x:g},{y:g} {width:g}x{height:g}",
                        shown, timeout=60)
            alike = same_pixels(own, shown, round(self.output_scale / self.scale))
            if alike >= 0.9:
                return True
            time.sleep(1)
        screen = os.path.join(session.runtime, "screen.png")
        session.run(self.grim, screen, timeout=60)
        for path in (own, shown, screen):
            shutil.copy(path, os.path.join(artifacts(), f"{self.name}-{os.path.basename(path)}"))
        with open(os.path.join(artifacts(), f"{self.name}-clients.json"), "w") as f:
            f.write(self.ask(session, "j/clients"))
        print(f"{self.name}: {alike:.0%} of the bar's pixels shown", file=sys.stderr)
        return False


SCALED = [Hyprland(output_scale=2), Hyprland(output_scale=2, zero_scaling=True)]
