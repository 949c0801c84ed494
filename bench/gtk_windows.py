"""Many plain GTK 3 windows from one process, like the Wayland suites' test window
(tests/wayland/gtk_window.py), for a desktop with many windows open:
    python3 gtk_windows.py PREFIX FIRST LAST
opens windows titled "PREFIX FIRST" to "PREFIX LAST". GDK_BACKEND picks native Wayland or X11."""

import sys

import gi

gi.require_version("Gtk", "3.0")
from gi.repository import Gtk  # noqa: E402

prefix, first, last = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
for number in range(first, last + 1):
    window = Gtk.Window(title=f"{prefix} {number}")
    window.set_default_size(640, 400)
    window.connect("destroy", Gtk.main_quit)
    window.show_all()
Gtk.main()
