// The desktop KELTOS runs in on Linux, as one provider answers for it: which window is in front,
// its title, frame and state, and the placing of this program's own window.
//
// An X11 client sees other programs' windows only where the desktop lets it: any EWMH window
// manager on X11 tells it everything, while a Wayland compositor hides its native windows from
// XWayland and tells about them only through a channel of its own (a KWin script, a GNOME Shell
// extension, sway's IPC). One provider per desktop, one folder each (ewmh/, kwin/, gnome-shell/,
// sway/); which one is chosen from the session (choice.h) and made once at start-up
// (selection.h), then handed to the window API (winapi/linux_user32.h) and to the toolkit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace desktop {

// A window: its X11 id, or, where a desktop reports the window in front over a channel of its
// own, a number above every X11 id (reported_foreground.h). 0 stands for no window.
using WindowId = std::uint64_t;

// In X11 pixels (the coordinates this program's window is placed in); right and bottom
// exclusive.
struct Rect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

// What a placing of this program's window changes: each part that is given, and nothing else.
struct Placement {
    std::optional<bool> topmost;       // into the topmost band, or back into the ordinary one
    std::optional<std::int32_t> x, y;  // the outer top-left corner (both or neither)
    std::optional<std::int32_t> width, height;  // the outer size (both or neither)
    bool show = false;
    bool activate = false;  // with show: made the active window too
};

// What the toolkit asks of the desktop about its own window and its timers.
class Host {
  public:
    virtual ~Host() = default;
    // Whether the toolkit is to make its top-level window unmanaged (override-redirect on X11),
    // so that it places itself and keeps its size: true where the desktop would do neither for a
    // managed window (sway). Asked before the window is made.
    virtual bool OwnWindowUnmanaged() const { return false; }
    // Asks that this program's window show on every workspace (virtual desktop), where the
    // desktop lets a window say so; asked before the window is first shown.
    virtual void KeepOnEveryWorkspace(WindowId ownWindow) { (void)ownWindow; }
    // How many X11 pixels one of the desktop's logical pixels spans now (1 on X11).
    virtual double Scale() { return 1; }
    // Where the desktop tells of every change to the window in front: reads what it has told so
    // far and, if nothing changed what was last said of that window, returns a descriptor that
    // becomes readable when it tells of the next change. Else -1: ask again at the next tick.
    virtual int NextChangeDescriptor() { return -1; }
    // The program is ending (without unwinding): let go of what is held outside this process.
    virtual void End() {}
};

// The window questions, each as the window API asks it (winapi/mdlAPI.h); a window that cannot be
// asked (gone, never there, not the one reported last) answers nothing.
class Desktop : public Host {
  public:
    virtual WindowId Foreground() = 0;
    // The title as well-formed UTF-8 of at most `maxBytes` bytes, never cut inside a character.
    virtual std::optional<std::string> Title(WindowId window, std::size_t maxBytes) = 0;
    // The rectangle the user sees: the frame the desktop draws included, an invisible shadow not.
    virtual std::optional<Rect> Frame(WindowId window) = 0;
    virtual bool Minimized(WindowId window) = 0;
    // Places one of this program's windows; false when any part of it failed.
    virtual bool Place(WindowId window, const Placement& placement) = 0;
};

}  // namespace desktop
