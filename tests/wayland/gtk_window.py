"""A plain GTK 3 test window with a server- or compositor-drawn title bar: python3 gtk_window.py TITLE.
GDK_BACKEND picks a native Wayland window or an X11 one."""

import sys

import gi

gi.require_version("Gtk", "3.0")
from gi.repository import Gtk  # noqa: E402

window = Gtk.Window(title=sys.argv[1])
window.set_default_size(640, 400)
window.connect("destroy", Gtk.main_quit)
window.show_all()
Gtk.main()
