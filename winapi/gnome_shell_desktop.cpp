// The window API in a GNOME Wayland session, from KELTOS's GNOME Shell extension
// (winapi/gnome-shell/).
//
// Supports: the window that has the focus in GNOME Shell, native Wayland and X11 alike, as the
// extension reports it on the session bus: the first five characters of its title, its frame
// and whether it is minimized. The extension is asked once at start and then signals every
// change; replies and signals arrive in Qt's event loop between ticks, so no call here ever waits
// on the bus. What it reports is checked by ReportedForeground. The bar itself is an XWayland
// window and places itself, and keeps itself above, over EWMH as on X11. The shell's frame
// rectangles are taken as XWayland's root coordinates, which they are at a display scale of 1.
// Does not support: following anything without the extension. When GNOME Shell does not answer
// for it (not installed, not enabled, or installed after the log-in), there is no foreground
// window, so the bar stays where it is and keeps counting; stderr says once how to enable it.
// Once it is enabled later in the session, its signals are followed from then on.
#include <QDBusConnection>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QTimer>
#include <cstdint>
#include <cstdio>

#include "winapi/desktop.h"
#include "winapi/reporting_desktop.h"

namespace winapi {

namespace {

// The extension's object lives on GNOME Shell's own connection to the session bus.
const QString kService = QStringLiteral("org.gnome.Shell");
const QString kPath = QStringLiteral("/io/github/keltos/Focus");
const QString kInterface = QStringLiteral("io.github.keltos.Focus");
// How long a question waits for the shell, and the pause before it is asked again when the
// shell did not answer in time.
constexpr int kAskTimeoutMs = 3000;
constexpr int kAskAgainMs = 1000;

// Says once per run how to turn the extension on.
void SayHowToEnable(const QString& why) {
    static bool said = false;
    if (said) return;
    said = true;
    std::fprintf(stderr,
                 "keltos: GNOME Shell does not say which window has the focus (%s), so the bar "
                 "stays where it is.\n"
                 "keltos: Enable KELTOS's GNOME Shell extension with:  gnome-extensions enable "
                 "%s\n"
                 "keltos: A new log-in may be needed before GNOME Shell finds a newly installed "
                 "extension.\n",
                 why.toLocal8Bit().constData(), KELTOS_GNOME_EXTENSION_UUID);
}

// The extension's reports, fed to a ReportedForeground as they come.
class FocusChannel : public QObject {
    Q_OBJECT

  public:
    explicit FocusChannel(ReportedForeground& reported)
        : reported_(reported), bus_(QDBusConnection::sessionBus()) {
        if (!bus_.isConnected()) {
            SayHowToEnable(QStringLiteral("no session bus: ") + bus_.lastError().message());
            return;
        }
        // Only signals with the extension's exact arguments reach the slot.
        bus_.connect(kService, kPath, kInterface, QStringLiteral("FocusChanged"), this,
                     SLOT(FocusChanged(qulonglong, QString, QString, int, int, int, int, bool)));
        // A shell that restarts (or goes) takes its reports with it.
        auto* watcher =
            new QDBusServiceWatcher(kService, bus_, QDBusServiceWatcher::WatchForOwnerChange, this);
        connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
                [this](const QString&, const QString&, const QString& newOwner) {
                    reported_.Forget();
                    if (!newOwner.isEmpty()) Ask();
                });
        Ask();
    }

  private slots:
    void FocusChanged(qulonglong serial, const QString& id, const QString& title, int x, int y,
                      int width, int height, bool minimized) {
        Take(serial, id, title, x, y, width, height, minimized);
    }

  private:
    void Ask() {
        QDBusMessage question =
            QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("GetFocus"));
        auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(question, kAskTimeoutMs), this);
        connect(
            watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                // The reply is an error too when its arguments are not the extension's.
                QDBusPendingReply<qulonglong, QString, QString, int, int, int, int, bool> reply =
                    *call;
                if (reply.isError()) {
                    const QDBusError::ErrorType type = reply.error().type();
                    // A shell that is busy (at log-in, say) is asked again a little later.
                    if (type == QDBusError::NoReply || type == QDBusError::Timeout ||
                        type == QDBusError::TimedOut)
                        QTimer::singleShot(kAskAgainMs, this, [this] { Ask(); });
                    else
                        SayHowToEnable(reply.error().message());
                    return;
                }
                Take(reply.argumentAt<0>(), reply.argumentAt<1>(), reply.argumentAt<2>(),
                     reply.argumentAt<3>(), reply.argumentAt<4>(), reply.argumentAt<5>(),
                     reply.argumentAt<6>(), reply.argumentAt<7>());
            });
    }

    void Take(qulonglong serial, const QString& id, const QString& title, int x, int y, int width,
              int height, bool minimized) {
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
        reported_.Accept(report);
    }

    ReportedForeground& reported_;
    QDBusConnection bus_;
};

class GnomeShellDesktop final : public ReportingDesktop {
  public:
    GnomeShellDesktop() : channel_(reported_) {}

  private:
    FocusChannel channel_;
};

}  // namespace

std::unique_ptr<Desktop> MakeGnomeShellDesktop() {
    return std::make_unique<GnomeShellDesktop>();
}

}  // namespace winapi

#include "gnome_shell_desktop.moc"
