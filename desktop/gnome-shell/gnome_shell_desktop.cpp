// The desktop in a GNOME Wayland session, from KELTOS's GNOME Shell extension (beside this file).
//
// Supports: the window that has the focus in GNOME Shell, native Wayland and X11 alike, as the
// extension reports it on the session bus: the first five characters of its title, its frame,
// whether it is minimized, and the scale mutter gives X11 clients. This process registers with
// the extension (Register on io.github.keltos.Focus, answered with the report of the moment) and
// from then on the extension addresses a FocusChanged signal to this process's bus name alone
// at every change; it answers no other program. Replies and signals arrive in Qt's event loop
// between ticks, so no call here ever waits on the bus. What it reports is checked by
// ReportedForeground, which answers frames in XWayland's pixels (the shell's logical pixels
// times the scale). The bar itself is an XWayland window and places itself, and keeps itself
// above, over EWMH as on X11.
// Does not support: following anything without the extension. When it is not there (not
// installed, not enabled, or installed after the log-in), there is no foreground window, so the
// bar stays where it is and keeps counting; stderr and one desktop notification say once how to
// enable it. The extension holds its bus name while it is enabled: when the name appears later
// in the session (enabled then, or a shell that restarted) this process registers again, and
// when it goes the reports go with it.
#include "desktop/gnome-shell/gnome_shell_desktop.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>
#include <cstdint>
#include <cstdio>
#include <functional>

#include "desktop/channel_desktop.h"

namespace desktop {

namespace {

// The extension holds this name on GNOME Shell's connection to the session bus while it is
// enabled.
const QString kService = QStringLiteral("io.github.keltos.Focus");
const QString kPath = QStringLiteral("/io/github/keltos/Focus");
const QString kInterface = QStringLiteral("io.github.keltos.Focus");
// How long a question waits for the shell, and the pause before it is asked again when the
// shell did not answer in time.
constexpr int kAskTimeoutMs = 3000;
constexpr int kAskAgainMs = 1000;

// A desktop notification, for a user who started KELTOS from the menu and sees no stderr. Sent
// without waiting: nobody may be there to show it.
void Notify(QDBusConnection& bus, const QString& summary, const QString& body) {
    QDBusMessage notify = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("keltos")}};
    notify << QStringLiteral("KELTOS") << 0u << QStringLiteral("keltos") << summary << body
           << QStringList() << hints << -1;
    bus.send(notify);
}

// Says how to turn the extension on: on stderr and as a desktop notification.
void SayHowToEnable(QDBusConnection& bus, const QString& why) {
    std::fprintf(stderr,
                 "keltos: GNOME Shell does not say which window has the focus (%s), so the bar "
                 "stays where it is.\n"
                 "keltos: Enable KELTOS's GNOME Shell extension with:  gnome-extensions enable "
                 "%s\n"
                 "keltos: A new log-in may be needed before GNOME Shell finds a newly installed "
                 "extension.\n",
                 why.toLocal8Bit().constData(), KELTOS_GNOME_EXTENSION_UUID);
    if (bus.isConnected())
        Notify(bus, QStringLiteral("KELTOS stays where it is"),
               QStringLiteral("To follow the window you work in, KELTOS needs its GNOME Shell "
                              "extension. Enable it with:  gnome-extensions enable %1  (a new "
                              "log-in may be needed first).")
                   .arg(QStringLiteral(KELTOS_GNOME_EXTENSION_UUID)));
}

// The extension's reports, fed to a ReportedForeground as they come.
class FocusChannel : public QObject {
    Q_OBJECT

  public:
    // `take` gets each report with the scale it carries; `lose` is called when the extension goes.
    FocusChannel(std::function<void(const WindowReport&, double)> take, std::function<void()> lose)
        : take_(std::move(take)), lose_(std::move(lose)), bus_(QDBusConnection::sessionBus()) {
        if (!bus_.isConnected()) {
            SayOnce(QStringLiteral("no session bus: ") + bus_.lastError().message());
            return;
        }
        // Only signals with the extension's exact arguments reach the slot; the extension
        // addresses them to this process alone.
        bus_.connect(
            kService, kPath, kInterface, QStringLiteral("FocusChanged"), this,
            SLOT(FocusChanged(qulonglong, QString, QString, int, int, int, int, bool, double)));
        // The extension enabled, disabled or restarted with the shell: it takes its reports
        // with it, and a new one is asked again.
        auto* watcher =
            new QDBusServiceWatcher(kService, bus_, QDBusServiceWatcher::WatchForOwnerChange, this);
        connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
                [this](const QString&, const QString&, const QString& newOwner) {
                    registered_ = false;
                    lose_();
                    if (!newOwner.isEmpty()) Register();
                });
        Register();
    }

    // Whether the extension has taken this process: it then reports every change.
    bool Registered() const { return registered_; }

  private slots:
    void FocusChanged(qulonglong serial, const QString& id, const QString& title, int x, int y,
                      int width, int height, bool minimized, double scale) {
        Take(serial, id, title, x, y, width, height, minimized, scale);
    }

  private:
    // How to turn the extension on is said once per run, however often the extension is missed.
    void SayOnce(const QString& why) {
        if (said_) return;
        said_ = true;
        SayHowToEnable(bus_, why);
    }

    void Register() {
        QDBusMessage question =
            QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Register"));
        auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(question, kAskTimeoutMs), this);
        connect(
            watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                // The reply is an error too when its arguments are not the extension's.
                QDBusPendingReply<qulonglong, QString, QString, int, int, int, int, bool, double>
                    reply = *call;
                if (reply.isError()) {
                    const QDBusError::ErrorType type = reply.error().type();
                    // A shell that is busy (at log-in, say) is asked again a little later.
                    if (type == QDBusError::NoReply || type == QDBusError::Timeout ||
                        type == QDBusError::TimedOut)
                        QTimer::singleShot(kAskAgainMs, this, [this] { Register(); });
                    else
                        SayOnce(reply.error().message());
                    return;
                }
                registered_ = true;
                Take(reply.argumentAt<0>(), reply.argumentAt<1>(), reply.argumentAt<2>(),
                     reply.argumentAt<3>(), reply.argumentAt<4>(), reply.argumentAt<5>(),
                     reply.argumentAt<6>(), reply.argumentAt<7>(), reply.argumentAt<8>());
            });
    }

    void Take(qulonglong serial, const QString& id, const QString& title, int x, int y, int width,
              int height, bool minimized, double scale) {
        WindowReport report;
        // Serial 0 would mean "not counted"; the extension never sends it.
        report.serial = serial == 0 ? 1 : serial;
        report.id = id.toStdString();
        report.title = title.toStdString();
        report.x = x;
        report.y = y;
        report.width = width;
        report.height = height;
        report.minimized = minimized;
        take_(report, scale);
    }

    std::function<void(const WindowReport&, double)> take_;
    std::function<void()> lose_;
    QDBusConnection bus_;
    bool registered_ = false;
    bool said_ = false;
};

class GnomeShellDesktop final : public ChannelDesktop {
  public:
    GnomeShellDesktop()
        : channel_(
              [this](const WindowReport& report, double scale) {
                  // The scale of a report that is taken (not one older than the last): a scale
                  // that is no number of pixels is not believed, and the one before stays.
                  if (Take(report)) Rescale(scale);
              },
              [this] { Lose(); }) {}

  private:
    bool Listening() const override { return channel_.Registered(); }

    FocusChannel channel_;
};

}  // namespace

std::unique_ptr<Desktop> MakeGnomeShellDesktop() {
    return std::make_unique<GnomeShellDesktop>();
}

}  // namespace desktop

#include "gnome_shell_desktop.moc"
