"""sway for the Wayland docking cases: headless, with XWayland, asked through its IPC (swaymsg).

KELTOS reaches sway's IPC through a relay of the test's own (`IpcRelay`), so that a test can take
the IPC away from it, or make it hang, and give it back while sway runs on. Everything else (the
test's own questions and commands) goes to sway's socket directly.
"""

import glob
import json
import os
import re
import socket
import threading

from session import Desktop, require, wait_for

# A desktop of 1600 x 900 logical pixels at every output scale.
CONFIG = """\
xwayland enable
output HEADLESS-1 mode --custom {width}x{height} position 0 0 scale {scale} scale_filter nearest
exec sh -c 'echo "$DISPLAY" > "$XDG_RUNTIME_DIR/xdisplay"'
"""


class IpcRelay:
    """A UNIX socket that passes everything through to sway's IPC socket, until told otherwise:
    gone() closes every connection and removes the socket (connections are then refused),
    hang() takes connections and never answers, back() relays again."""

    def __init__(self, path, upstream, uid, gid):
        self.path, self.upstream, self.uid, self.gid = path, upstream, uid, gid
        self.mode = "relay"
        self._listener = None
        self._open = []
        self._lock = threading.Lock()
        self._listen()

    def _listen(self):
        self._listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self._listener.bind(self.path)
        os.chown(self.path, self.uid, self.gid)
        self._listener.listen(8)
        self._listener.settimeout(0.1)  # so that the loop below sees the listener go
        threading.Thread(target=self._accept, args=(self._listener,), daemon=True).start()

    def _accept(self, listener):
        while self._listener is listener:
            try:
                client, _ = listener.accept()
            except socket.timeout:
                continue
            except OSError:
                return  # the listener was closed
            client.settimeout(None)
            with self._lock:
                self._open.append(client)
            if self.mode == "hang":
                threading.Thread(target=self._pump, args=(client, None), daemon=True).start()
                continue
            server = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            server.connect(self.upstream)
            with self._lock:
                self._open.append(server)
            for a, b in ((client, server), (server, client)):
                threading.Thread(target=self._pump, args=(a, b), daemon=True).start()

    @staticmethod
    def _pump(source, sink):
        try:
            while data := source.recv(65536):
                if sink:
                    sink.sendall(data)
        except OSError:
            pass
        for end in (source, sink):
            if end:
                try:
                    end.shutdown(socket.SHUT_RDWR)
                except OSError:
                    pass

    def _close_all(self):
        with self._lock:
            for s in self._open:
                try:
                    s.shutdown(socket.SHUT_RDWR)
                except OSError:
                    pass
                s.close()
            self._open.clear()

    def gone(self):
        listener, self._listener = self._listener, None
        if listener:
            listener.close()
            os.unlink(self.path)
        self._close_all()

    def hang(self):
        self.gone()
        self.mode = "hang"
        self._listen()

    def back(self):
        self.gone()
        self.mode = "relay"
        self._listen()


class Sway(Desktop):
    name = "sway"
    session_env = {"XDG_CURRENT_DESKTOP": "sway", "XDG_SESSION_TYPE": "wayland"}

    def __init__(self, output_scale=1):
        # sway gives X11 clients its logical coordinates at any output scale (and draws them
        # scaled up): XWayland's pixels are logical pixels.
        self.output_scale = output_scale
        if output_scale != 1:
            self.name = f"sway-{round(output_scale * 100)}"

    def start(self, session):
        sway = require("sway", "sway")
        self.swaymsg = require("swaymsg", "sway")
        require("Xwayland", "xwayland")
        self.grim = require("grim", "grim")
        self.import_ = require("import", "imagemagick")
        config = os.path.join(session.runtime, "sway.conf")
        with open(config, "w") as f:
            f.write(CONFIG.format(width=round(1600 * self.output_scale),
                                  height=round(900 * self.output_scale),
                                  scale=self.output_scale))
        session.spawn([sway, "-c", config], "compositor",
                      env={"WLR_BACKENDS": "headless", "WLR_LIBINPUT_NO_DEVICES": "1",
                           "WLR_RENDERER": "pixman"})
        self.sock = wait_for(lambda: glob.glob(f"{session.runtime}/sway-ipc.*.sock"), 10,
                             "sway's IPC socket")[0]
        display = wait_for(lambda: read_line(os.path.join(session.runtime, "xdisplay")), 10,
                           "sway to start XWayland")
        wayland = wait_for(lambda: glob.glob(f"{session.runtime}/wayland-*[0-9]"), 10,
                           "sway's Wayland socket")[0]
        self.relay = IpcRelay(os.path.join(session.runtime, "keltos-ipc.sock"), self.sock,
                              session.uid, session.gid)
        session.env["DISPLAY"] = display
        session.env["WAYLAND_DISPLAY"] = os.path.basename(wayland)
        session.env["SWAYSOCK"] = self.relay.path

    def stop(self, session):
        if getattr(self, "relay", None):
            self.relay.gone()
            self.relay = None

    def msg(self, session, *args):
        return session.run(self.swaymsg, "-s", self.sock, *args)

    def tree(self, session):
        return json.loads(self.msg(session, "-t", "get_tree", "-r"))

    def _nodes(self, session):
        pending = [self.tree(session)]
        while pending:
            node = pending.pop()
            yield node
            pending += node.get("nodes", []) + node.get("floating_nodes", [])

    def focus(self, session, title):
        self.msg(session, f'[title="^{title}$"] focus')

    # sway announces no window's pixel moves: KELTOS asks about a native window in front every
    # second, and hears of an X11 one's moves from the X server. The resting case takes the latter.
    moved_window = "Terminal C"

    def move(self, session, title, x, y):
        self.msg(session, f'[title="^{title}$"] floating enable, move absolute position {x} {y}')

    def retile(self, session, title):
        self.msg(session, f'[title="^{title}$"] floating disable')

    def minimize(self, session, title):
        # sway has no minimized windows; the scratchpad is what comes closest.
        self.msg(session, f'[title="^{title}$"] move scratchpad')

    def frame(self, session, title):
        for node in self._nodes(session):
            if node.get("name") == title and node["type"] in ("con", "floating_con"):
                rect, title_bar = node["rect"], node["deco_rect"]["height"]
                return (rect["x"], rect["y"] - title_bar, rect["width"],
                        rect["height"] + title_bar)
        return None

    def bar_above(self, session, title):
        """Whether what sway shows where the bar is is the bar itself: nothing covers it. It is
        an unmanaged window, listed in no container of sway's tree."""
        bar = session.bar()
        if any(node.get("window") == bar for node in self._nodes(session)):
            return False
        xwininfo = require("xwininfo", "x11-utils")
        if "Override Redirect State: yes" not in session.run(xwininfo, "-id", str(bar)):
            return False
        x, y, width, height = session.bar_geometry(bar)
        own, shown = (os.path.join(session.runtime, name) for name in ("own.ppm", "shown.ppm"))
        session.run(self.import_, "-depth", "8", "-window", str(bar), f"ppm:{own}")
        session.run(self.grim, "-t", "ppm", "-g", f"{x},{y} {width}x{height}", shown)
        return same_pixels(own, shown, round(self.output_scale)) >= 0.9


def read_line(path):
    """The first line of a file once it is whole; None before."""
    try:
        with open(path) as f:
            text = f.read()
    except FileNotFoundError:
        return None
    return text.split("\n")[0] if "\n" in text else None


def pixels(path):
    """(width, height, RGB bytes) of a binary PPM file with 8-bit samples."""
    with open(path, "rb") as f:
        data = f.read()
    header = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", data)
    if not header:
        raise AssertionError(f"{path} is no 8-bit PPM image")
    return int(header[1]), int(header[2]), data[header.end():]


def same_pixels(a, b, scale=1):
    """The share of pixels of PPM image `a` that image `b`, `scale` times its size (each pixel
    of `a` drawn as scale x scale pixels, as sway's nearest scale filter draws them), shows
    alike."""
    (wa, ha, pa), (wb, hb, pb) = pixels(a), pixels(b)
    if (wa * scale, ha * scale) != (wb, hb):
        raise AssertionError(f"the images differ in size: {wa}x{ha} (x{scale}) and {wb}x{hb}")

    def at(data, width, x, y):
        i = 3 * (y * width + x)
        return data[i:i + 3]

    alike = sum(at(pa, wa, x // scale, y // scale) == at(pb, wb, x, y)
                for y in range(hb) for x in range(wb))
    return alike / (wb * hb)


SCALED = [Sway(output_scale=2)]
