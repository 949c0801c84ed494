// The desktop in a KDE Plasma Wayland session, from KWin.
//
// Supports: KWin 5.27 (Plasma 5) and KWin 6 (Plasma 6), native Wayland and XWayland windows
// alike, at any output scale, and any number of KELTOS in one session. At start it loads a small
// KWin script of its own (keltos_focus.js, beside this file) over D-Bus; the script reports the
// active window (the first five characters of its title, its frame, whether it is minimized) to a
// D-Bus object of this process whenever any of them changes, and GetForegroundWindow and the calls
// after it answer from the latest report. The bar is an X11 window that KWin lets place itself
// and keep above: it is placed by the EWMH provider.
//
// Reports are taken from KWin alone: its unique name on the session bus comes from the bus
// itself (GetNameOwner, then every change of owner), and a report from any other sender is
// refused where it arrives, before it reaches the user-interface thread. When KWin restarts,
// the script is loaded into the new one.
//
// Each KELTOS loads its script under a name of its own, from a file of its own in the runtime
// directory (readable by this user only), both named after its unique bus name
// (script_names.h), and unloads only that one. A script left by a copy that was killed is
// unloaded, and its file removed, at the next start, once its owner is seen to be gone from the
// bus. Does not support: finding a script left behind whose file is gone (the runtime directory
// emptied under a killed copy); it goes with the KWin that holds it.
//
// KWin gives X11 clients its logical pixels times its XWayland scale, which Plasma keeps in
// kwinrc ([Xwayland] Scale; absent: 1) and announces with KConfig's ConfigChanged signal: it is
// read at start and again whenever that signal names the group, and reported frames are answered
// in XWayland's pixels.
//
// If the session bus, KWin or its scripting interface is missing or refuses the script, it says
// so once on stderr; there is then no window in front and the bar stays where it is, counting.
// The script is unloaded and its file removed when the program ends, however that is asked for
// ("X", the window manager, SIGTERM, SIGINT, SIGHUP).
//
// Every call to KWin is asynchronous, so a hung KWin never holds up a tick; only the unloading at
// the end waits, and not for long.
#include "desktop/kwin/kwin_desktop.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDir>
#include <QFile>
#include <QObject>
#include <QSaveFile>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>

#include "desktop/channel_desktop.h"
#include "desktop/kwin/kwin_config.h"
#include "desktop/kwin/kwin_report.h"
#include "desktop/kwin/report_receiver.h"
#include "desktop/kwin/script_names.h"

extern const char kKWinFocusScript[];

namespace desktop::kwin {

namespace {

const QString kKWinService = QStringLiteral("org.kde.KWin");
const QString kScriptingPath = QStringLiteral("/Scripting");
const QString kScripting = QStringLiteral("org.kde.kwin.Scripting");
const QString kBusService = QStringLiteral("org.freedesktop.DBus");
const QString kBusPath = QStringLiteral("/org/freedesktop/DBus");
const QString kKWinrcPath = QStringLiteral("/kwinrc");
const QString kKConfigNotify = QStringLiteral("org.kde.kconfig.notify");
constexpr int kCallTimeoutMs = 5000;
constexpr int kUnloadAtEndTimeoutMs = 500;

class KWinDesktop : public ChannelDesktop {
  public:
    KWinDesktop();

    void End() override { Unload(); }

  private:
    // The script runs in the KWin that owns KWin's name now and reports every change.
    bool Listening() const override { return running_; }
    // A report from KWin, on the user-interface thread.
    void TakeReport(const QString& text);
    void KWinIs(const QString& owner);
    void RemoveLeftovers();
    void Load(bool again);
    void Unload();
    void ReadScale();
    void Say(const QString& what);
    void Call(const QString& service, const QString& path, const QString& interface,
              const QString& method, const QVariantList& arguments,
              std::function<void(const QDBusMessage&)> done);

    QDBusConnection bus_ = QDBusConnection::sessionBus();
    ReportReceiver* receiver_ = nullptr;
    QString kwin_;  // KWin's unique name on the bus; empty: none known
    // Counts the KWins seen, so that a reply meant for an earlier one is not acted on.
    std::uint64_t generation_ = 0;
    QString runtimeDir_;
    QString scriptName_;
    QString scriptPath_;  // empty once the script has been let go of
    bool running_ = false;
    bool said_ = false;
    // The parent of this provider's Qt objects, and the context of its connections: they go with
    // it.
    std::unique_ptr<QObject> context_ = std::make_unique<QObject>();
};

KWinDesktop::KWinDesktop() {
    if (!bus_.isConnected()) {
        Say(QStringLiteral("there is no session bus"));
        return;
    }
    ReadScale();
    auto* watch = new KConfigWatch([this] { ReadScale(); }, context_.get());
    bus_.connect(QString(), kKWinrcPath, kKConfigNotify, QStringLiteral("ConfigChanged"), watch,
                 SLOT(Changed(QDBusMessage)));

    receiver_ =
        new ReportReceiver([this](const QString& text) { TakeReport(text); }, context_.get());
    if (!bus_.registerVirtualObject(kReportPath, receiver_)) {
        Say(QStringLiteral("the path %1 is taken on the session bus").arg(kReportPath));
        return;
    }
    // The script is written where only this user can read it: KWin runs as the same user.
    runtimeDir_ = qEnvironmentVariable("XDG_RUNTIME_DIR", QDir::tempPath());
    scriptName_ = QString::fromStdString(ScriptName(bus_.baseService().toStdString()));
    scriptPath_ = QDir(runtimeDir_).filePath(scriptName_ + QStringLiteral(".js"));
    QSaveFile file(scriptPath_);
    QByteArray text(kKWinFocusScript);
    text.replace("KELTOS_SERVICE", bus_.baseService().toUtf8());
    if (!file.open(QIODevice::WriteOnly) ||
        !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) ||
        file.write(text) != text.size() || !file.commit()) {
        Say(QStringLiteral("cannot write %1").arg(scriptPath_));
        scriptPath_.clear();
        return;
    }
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, context_.get(),
                     [this] { Unload(); });  // End() is not called when the event loop ends
    RemoveLeftovers();
    // KWin as the bus knows it now, and whoever owns its name after.
    auto* watcher = new QDBusServiceWatcher(
        kKWinService, bus_, QDBusServiceWatcher::WatchForOwnerChange, context_.get());
    QObject::connect(
        watcher, &QDBusServiceWatcher::serviceOwnerChanged, context_.get(),
        [this](const QString&, const QString&, const QString& owner) { KWinIs(owner); });
    Call(kBusService, kBusPath, kBusService, QStringLiteral("GetNameOwner"), {kKWinService},
         [this](const QDBusMessage& reply) {
             const QVariantList values = reply.arguments();
             if (reply.type() == QDBusMessage::ErrorMessage || values.isEmpty())
                 Say(QStringLiteral("KWin is not on the session bus"));
             else
                 KWinIs(values[0].toString());
         });
}

// A new owner of KWin's name (empty: none): its reports alone count from now on, and it gets
// the script.
void KWinDesktop::KWinIs(const QString& owner) {
    if (owner == kwin_ || scriptPath_.isEmpty()) return;
    kwin_ = owner;
    ++generation_;
    receiver_->SetKWin(owner);
    running_ = false;
    Lose();
    if (!owner.isEmpty()) Load(false);
}

// Scripts of copies that are gone: each file in the runtime directory named after a unique bus
// name that has no owner any more.
void KWinDesktop::RemoveLeftovers() {
    const QStringList files =
        QDir(runtimeDir_)
            .entryList({QStringLiteral("keltos_focus_*.js")}, QDir::Files | QDir::NoDotAndDotDot);
    for (const QString& file : files) {
        const auto owner = ScriptOwner(file.toStdString());
        if (!owner || QString::fromStdString(*owner) == bus_.baseService()) continue;
        const QString path = QDir(runtimeDir_).filePath(file);
        const QString name = QString::fromStdString(ScriptName(*owner));
        Call(kBusService, kBusPath, kBusService, QStringLiteral("NameHasOwner"),
             {QString::fromStdString(*owner)}, [this, path, name](const QDBusMessage& reply) {
                 const QVariantList values = reply.arguments();
                 if (reply.type() == QDBusMessage::ErrorMessage || values.isEmpty() ||
                     values[0].toBool())
                     return;
                 Call(kKWinService, kScriptingPath, kScripting, QStringLiteral("unloadScript"),
                      {name}, [path](const QDBusMessage&) { QFile::remove(path); });
             });
    }
}

void KWinDesktop::Load(bool again) {
    const std::uint64_t generation = generation_;
    Call(kKWinService, kScriptingPath, kScripting, QStringLiteral("loadScript"),
         {scriptPath_, scriptName_}, [this, again, generation](const QDBusMessage& reply) {
             if (generation != generation_ || scriptPath_.isEmpty()) return;
             const QVariantList values = reply.arguments();
             bool number = false;
             const qlonglong id = values.isEmpty() ? -1 : values[0].toLongLong(&number);
             if (reply.type() == QDBusMessage::ErrorMessage) {
                 Say(reply.errorMessage());
             } else if (number && id == -1 && !again) {
                 // KWin already holds a script of this name: this run's, loaded before. It is
                 // replaced, so that exactly one runs.
                 Call(kKWinService, kScriptingPath, kScripting, QStringLiteral("unloadScript"),
                      {scriptName_}, [this, generation](const QDBusMessage&) {
                          if (generation == generation_) Load(true);
                      });
             } else if (!number || id < 0) {
                 Say(QStringLiteral("KWin refused the script"));
             } else {
                 // Every loaded script numbers its reports from 1.
                 reported_.Renumber();
                 // Runs every script that is loaded and not yet running: this one. Running it
                 // through its own D-Bus object could start another: KWin numbers scripts by how
                 // many are loaded, so a number can belong to two after one was unloaded.
                 Call(kKWinService, kScriptingPath, kScripting, QStringLiteral("start"), {},
                      [this, generation](const QDBusMessage& started) {
                          if (started.type() == QDBusMessage::ErrorMessage)
                              Say(started.errorMessage());
                          else if (generation == generation_)
                              running_ = true;
                      });
             }
         });
}

void KWinDesktop::Unload() {
    if (scriptPath_.isEmpty()) return;
    ++generation_;
    if (receiver_) receiver_->SetKWin(QString());
    QDBusMessage call = QDBusMessage::createMethodCall(kKWinService, kScriptingPath, kScripting,
                                                       QStringLiteral("unloadScript"));
    call.setArguments({scriptName_});
    bus_.call(call, QDBus::Block, kUnloadAtEndTimeoutMs);
    bus_.unregisterObject(kReportPath);
    QFile::remove(scriptPath_);
    scriptPath_.clear();
    running_ = false;
    Lose();
}

void KWinDesktop::ReadScale() {
    Rescale(ReadXwaylandScale());  // a number that is no scale leaves the last
}

void KWinDesktop::TakeReport(const QString& text) {
    if (scriptPath_.isEmpty()) return;
    const QByteArray utf8 = text.toUtf8();
    const auto report = ParseReport({utf8.constData(), size_t(utf8.size())});
    if (report)
        Take(*report);
    else
        Lose();
}

void KWinDesktop::Say(const QString& what) {
    if (said_) return;
    said_ = true;
    std::fprintf(stderr,
                 "keltos: cannot follow windows in this KDE Plasma session (%s); the bar stays "
                 "where it is\n",
                 qPrintable(what));
}

void KWinDesktop::Call(const QString& service, const QString& path, const QString& interface,
                       const QString& method, const QVariantList& arguments,
                       std::function<void(const QDBusMessage&)> done) {
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, method);
    call.setArguments(arguments);
    auto* watcher =
        new QDBusPendingCallWatcher(bus_.asyncCall(call, kCallTimeoutMs), context_.get());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context_.get(),
                     [watcher, done = std::move(done)] {
                         watcher->deleteLater();
                         done(watcher->reply());
                     });
}

}  // namespace

}  // namespace desktop::kwin

std::unique_ptr<desktop::Desktop> desktop::MakeKWinDesktop() {
    return std::make_unique<kwin::KWinDesktop>();
}
