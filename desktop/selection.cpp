// The provider for this session: the facts read, the choice made (choice.cpp), the provider made.
#include "desktop/selection.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <cstdlib>
#include <string>
#include <vector>

#include "desktop/choice.h"
#include "desktop/ewmh/ewmh_desktop.h"
#include "desktop/gnome-shell/gnome_shell_desktop.h"
#include "desktop/hyprland/hyprland_desktop.h"
#include "desktop/kwin/kwin_desktop.h"
#include "desktop/sway/sway_desktop.h"

namespace desktop {

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
    facts.hyprlandSignature = Env("HYPRLAND_INSTANCE_SIGNATURE");
    facts.hyprlandAnswers =
        HyprlandAnswers(HyprlandSocketFolder(Env("XDG_RUNTIME_DIR"), facts.hyprlandSignature));
    // Only a Wayland session needs to know which compositor answers on the session bus.
    if (facts.sessionType == "wayland" || !facts.waylandDisplay.empty()) {
        const std::vector<bool> owned =
            OnSessionBus({QStringLiteral("org.kde.KWin"), QStringLiteral("org.gnome.Shell")});
        facts.kwinOnBus = owned[0];
        facts.gnomeShellOnBus = owned[1];
    }
    return facts;
}

}  // namespace

std::unique_ptr<Desktop> SelectDesktop() {
    const SessionFacts facts = SessionFromEnvironment();
    switch (ChooseDesktop(facts)) {
        case DesktopKind::Ewmh:
            break;
        case DesktopKind::KWin:
            return MakeKWinDesktop();
        case DesktopKind::GnomeShell:
            return MakeGnomeShellDesktop();
        case DesktopKind::Sway:
            return MakeSwayDesktop(facts.swaySock);
        case DesktopKind::Hyprland:
            return MakeHyprlandDesktop(
                HyprlandSocketFolder(Env("XDG_RUNTIME_DIR"), facts.hyprlandSignature));
    }
    return MakeEwmhDesktop();
}

}  // namespace desktop
