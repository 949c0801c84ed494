// USER32's calls on Linux: each goes to the desktop provider chosen for this session.
#include <QDBusConnection>
#include <QDBusMessage>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "winapi/desktop.h"

namespace winapi {

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// Whether each of `names` has an owner on the session bus. One short round trip: a bus that does
// not answer at once counts as one where nobody answers.
std::vector<bool> OnSessionBus(const QStringList& names) {
    std::vector<bool> owned(static_cast<std::size_t>(names.size()), false);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return owned;
    const QDBusMessage reply = bus.call(
        QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("ListNames")),
        QDBus::Block, 100);
    const QStringList listed =
        reply.arguments().isEmpty() ? QStringList() : reply.arguments()[0].toStringList();
    for (qsizetype i = 0; i < names.size(); ++i)
        owned[static_cast<std::size_t>(i)] = listed.contains(names[i]);
    return owned;
}

SessionFacts SessionFromEnvironment() {
    SessionFacts facts;
    facts.sessionType = Env("XDG_SESSION_TYPE");
    facts.currentDesktop = Env("XDG_CURRENT_DESKTOP");
    facts.waylandDisplay = Env("WAYLAND_DISPLAY");
    facts.swaySock = Env("SWAYSOCK");
    facts.swayAnswers = SwayAnswers(facts.swaySock);
    // Only a Wayland session needs to know which compositor answers on the session bus.
    if (facts.sessionType == "wayland" || !facts.waylandDisplay.empty()) {
        const std::vector<bool> owned =
            OnSessionBus({QStringLiteral("org.kde.KWin"), QStringLiteral("org.gnome.Shell")});
        facts.kwinOnBus = owned[0];
        facts.gnomeShellOnBus = owned[1];
    }
    return facts;
}

std::unique_ptr<Desktop> MakeDesktop(DesktopKind kind) {
    switch (kind) {
        case DesktopKind::Ewmh:
            return MakeEwmhDesktop();
        case DesktopKind::KWin:
            return MakeKWinDesktop();
        case DesktopKind::GnomeShell:
            return MakeGnomeShellDesktop();
        case DesktopKind::Sway:
            return MakeSwayDesktop();
    }
    return MakeEwmhDesktop();
}

DesktopKind Kind() {
    static const DesktopKind kind = ChooseDesktop(SessionFromEnvironment());
    return kind;
}

std::unique_ptr<Desktop>& Provider() {
    static std::unique_ptr<Desktop> desktop;
    return desktop;
}

Desktop& Current() {
    std::unique_ptr<Desktop>& desktop = Provider();
    if (!desktop) desktop = MakeDesktop(Kind());
    return *desktop;
}

}  // namespace

void EndDesktop() {
    if (const std::unique_ptr<Desktop>& desktop = Provider()) desktop->End();
}

int ForegroundQuietUntilReadable() {
    return Current().QuietUntilReadable();
}

double DesktopScale() {
    return Current().Scale();
}

bool OwnWindowUnmanaged() {
    return Kind() == DesktopKind::Sway;
}

}  // namespace winapi

HWND GetForegroundWindow() {
    return winapi::Current().GetForegroundWindow();
}

int GetWindowTextA(HWND hWnd, LPSTR buffer, int capacity) {
    return winapi::Current().GetWindowTextA(hWnd, buffer, capacity);
}

BOOL GetWindowRect(HWND hWnd, RECT* rect) {
    return winapi::Current().GetWindowRect(hWnd, rect);
}

BOOL IsIconic(HWND hWnd) {
    return winapi::Current().IsIconic(hWnd);
}

BOOL SetWindowPos(HWND hWnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    return winapi::Current().SetWindowPos(hWnd, insertAfter, x, y, cx, cy, flags);
}
