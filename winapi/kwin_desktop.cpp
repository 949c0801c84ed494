// The window API in a KDE Plasma Wayland session, from KWin.
//
// Supports: KWin 5.27 (Plasma 5) and KWin 6 (Plasma 6), native Wayland and XWayland windows
// alike. At start it loads a small KWin script of its own (winapi/kwin/keltos_focus.js) over
// D-Bus; the script reports the active window (the first five characters of its title, its
// frame, whether it is minimized) to a D-Bus object of this process whenever any of them changes,
// and GetForegroundWindow and the calls after it answer from the latest report. The bar is an X11
// window that KWin lets place itself and keep above: SetWindowPos goes to the EWMH provider.
// Does not support: output scaling (KWin's coordinates then differ from XWayland's); two KELTOS
// in one session (the script has one name, so the later one takes it over).
//
// If the session bus, KWin or its scripting interface is missing or refuses the script, it says
// so once on stderr; there is then no foreground window and the bar stays where it is, counting.
// The script is unloaded when the program ends. One left behind by a run that was killed is
// unloaded before this run loads its own, so KWin never holds two.
//
// Every call to KWin is asynchronous, so a hung KWin never holds up a tick; only the unloading at
// the end waits, and not for long.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVirtualObject>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <cstdio>
#include <functional>
#include <memory>

#include "winapi/desktop.h"
#include "winapi/kwin_report.h"
#include "winapi/reporting_desktop.h"

extern const char kKWinFocusScript[];

namespace {

const QString kKWinService = QStringLiteral("org.kde.KWin");
const QString kScripting = QStringLiteral("org.kde.kwin.Scripting");
const QString kScriptName = QStringLiteral("keltos_focus");
const QString kReportPath = QStringLiteral("/org/keltos/Focus");
const QString kReportInterface = QStringLiteral("org.keltos.Focus");
constexpr int kCallTimeoutMs = 5000;
constexpr int kUnloadAtEndTimeoutMs = 500;

class KWinDesktop;

// The D-Bus object the script reports to, on this process's own connection.
class ReportReceiver : public QDBusVirtualObject {
  public:
    ReportReceiver(KWinDesktop& desktop, QObject* parent)
        : QDBusVirtualObject(parent), desktop_(desktop) {}
    QString introspect(const QString&) const override {
        return QStringLiteral(
            "<interface name=\"org.keltos.Focus\"><method name=\"Report\">"
            "<arg name=\"report\" type=\"s\" direction=\"in\"/></method></interface>");
    }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

  private:
    KWinDesktop& desktop_;
};

class KWinDesktop : public winapi::ReportingDesktop {
  public:
    KWinDesktop();

    void End() override { Unload(); }

    // A report from `sender`, on the UI thread.
    void Take(const QString& sender, const QString& text);

  private:
    void Load();
    void Run(qlonglong number, bool plasma6Path);
    void Unload();
    void Say(const QString& what);
    void Call(const QString& path, const QString& interface, const QString& method,
              const QVariantList& arguments, std::function<void(const QDBusMessage&)> done);

    QDBusConnection bus_ = QDBusConnection::sessionBus();
    QString kwin_;  // KWin's unique name on the bus: reports from anyone else are ignored
    QString scriptPath_;
    bool said_ = false;
    // Qt objects belong to the application, so they go with it, before this object does.
    QObject* context_ = new QObject(QCoreApplication::instance());
};

bool ReportReceiver::handleMessage(const QDBusMessage& message, const QDBusConnection& connection) {
    // Anything but this interface (introspection above all) is left to Qt.
    if (message.type() != QDBusMessage::MethodCallMessage ||
        message.interface() != kReportInterface)
        return false;
    const QVariantList arguments = message.arguments();
    if (message.member() != QLatin1String("Report") || arguments.size() != 1 ||
        arguments[0].typeId() != QMetaType::QString) {
        connection.send(message.createErrorReply(QDBusError::InvalidArgs,
                                                 QStringLiteral("expected Report(s)")));
        return true;
    }
    connection.send(message.createReply());
    // Handled on the UI thread, between ticks, whichever thread this runs on.
    const QString sender = message.service();
    const QString text = arguments[0].toString();
    QMetaObject::invokeMethod(
        this, [this, sender, text] { desktop_.Take(sender, text); }, Qt::QueuedConnection);
    return true;
}

KWinDesktop::KWinDesktop() {
    if (!bus_.isConnected()) {
        Say(QStringLiteral("there is no session bus"));
        return;
    }
    auto* receiver = new ReportReceiver(*this, context_);
    if (!bus_.registerVirtualObject(kReportPath, receiver)) {
        Say(QStringLiteral("the path %1 is taken on the session bus").arg(kReportPath));
        return;
    }
    // The script is written where only this user can read it: KWin runs as the same user.
    const QString dir = qEnvironmentVariable("XDG_RUNTIME_DIR", QDir::tempPath());
    scriptPath_ = QDir(dir).filePath(QStringLiteral("keltos-kwin-focus.js"));
    QSaveFile file(scriptPath_);
    QByteArray text(kKWinFocusScript);
    text.replace("KELTOS_SERVICE", bus_.baseService().toUtf8());
    if (!file.open(QIODevice::WriteOnly) ||
        !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) ||
        file.write(text) != text.size() || !file.commit()) {
        Say(QStringLiteral("cannot write %1").arg(scriptPath_));
        return;
    }
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, context_,
                     [this] { Unload(); });  // End() is not called when the event loop ends
    // A script left by an earlier run that was killed goes first, so there is never two.
    Call(QStringLiteral("/Scripting"), kScripting, QStringLiteral("unloadScript"), {kScriptName},
         [this](const QDBusMessage& reply) {
             if (reply.type() == QDBusMessage::ErrorMessage)
                 Say(reply.errorMessage());
             else
                 Load();
         });
}

void KWinDesktop::Load() {
    Call(QStringLiteral("/Scripting"), kScripting, QStringLiteral("loadScript"),
         {scriptPath_, kScriptName}, [this](const QDBusMessage& reply) {
             const QVariantList values = reply.arguments();
             bool number = false;
             const qlonglong id = values.isEmpty() ? -1 : values[0].toLongLong(&number);
             if (reply.type() == QDBusMessage::ErrorMessage)
                 Say(reply.errorMessage());
             else if (!number || id < 0)
                 Say(QStringLiteral("KWin refused the script"));
             else {
                 kwin_ = reply.service();
                 Run(id, false);
             }
         });
}

// Plasma 5 puts a loaded script at /<number>, Plasma 6 at /Scripting/Script<number>.
void KWinDesktop::Run(qlonglong number, bool plasma6Path) {
    const QString path = plasma6Path ? QStringLiteral("/Scripting/Script%1").arg(number)
                                     : QStringLiteral("/%1").arg(number);
    Call(path, QStringLiteral("org.kde.kwin.Script"), QStringLiteral("run"), {},
         [this, number, plasma6Path](const QDBusMessage& reply) {
             if (reply.type() != QDBusMessage::ErrorMessage) return;
             if (plasma6Path)
                 Say(reply.errorMessage());
             else
                 Run(number, true);
         });
}

void KWinDesktop::Unload() {
    if (scriptPath_.isEmpty()) return;
    QDBusMessage call = QDBusMessage::createMethodCall(kKWinService, QStringLiteral("/Scripting"),
                                                       kScripting, QStringLiteral("unloadScript"));
    call.setArguments({kScriptName});
    bus_.call(call, QDBus::Block, kUnloadAtEndTimeoutMs);
    bus_.unregisterObject(kReportPath);
    QFile::remove(scriptPath_);
    scriptPath_.clear();
    reported_.Forget();
}

void KWinDesktop::Take(const QString& sender, const QString& text) {
    if (kwin_.isEmpty() || sender != kwin_) return;
    const QByteArray utf8 = text.toUtf8();
    if (const auto report = winapi::ParseKWinReport({utf8.constData(), size_t(utf8.size())}))
        reported_.Accept(*report);
    else
        reported_.Forget();
}

void KWinDesktop::Say(const QString& what) {
    if (said_) return;
    said_ = true;
    std::fprintf(stderr,
                 "keltos: cannot follow windows in this KDE Plasma session (%s); the bar stays "
                 "where it is\n",
                 qPrintable(what));
}

void KWinDesktop::Call(const QString& path, const QString& interface, const QString& method,
                       const QVariantList& arguments,
                       std::function<void(const QDBusMessage&)> done) {
    QDBusMessage call = QDBusMessage::createMethodCall(kKWinService, path, interface, method);
    call.setArguments(arguments);
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, kCallTimeoutMs), context_);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context_,
                     [watcher, done = std::move(done)] {
                         watcher->deleteLater();
                         done(watcher->reply());
                     });
}

}  // namespace

std::unique_ptr<winapi::Desktop> winapi::MakeKWinDesktop() {
    return std::make_unique<KWinDesktop>();
}
