// The KWin provider's two D-Bus objects on this process's connection: the receiver of its
// script's reports, which takes them from KWin alone, and the watch on KConfig's signal that
// kwinrc changed. Internal to the KWin provider (kwin_desktop.cpp).
#pragma once

#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QObject>
#include <QString>
#include <functional>
#include <mutex>

namespace winapi::kwin {

extern const QString kReportPath;       // where the script reports
extern const QString kReportInterface;  // the interface it calls there
extern const QString kXwaylandGroup;    // kwinrc's group of the XWayland scale

// The object the script reports to. Qt may hand it messages on its D-Bus thread; each report
// from KWin goes to `take` on the user-interface thread, between ticks.
class ReportReceiver : public QDBusVirtualObject {
  public:
    ReportReceiver(std::function<void(const QString&)> take, QObject* parent)
        : QDBusVirtualObject(parent), take_(std::move(take)) {}
    QString introspect(const QString&) const override;
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

    // KWin's unique name on the bus; empty while there is no KWin. Set on the user-interface
    // thread.
    void SetKWin(const QString& name);

  private:
    bool FromKWin(const QDBusMessage& message) const;

    std::function<void(const QString&)> take_;
    mutable std::mutex mutex_;
    QString kwin_;
};

// KConfig's signal that a configuration file has changed, for kwinrc: calls `xwaylandChanged`
// when the XWayland group was written.
class KConfigWatch : public QObject {
    Q_OBJECT

  public:
    KConfigWatch(std::function<void()> xwaylandChanged, QObject* parent)
        : QObject(parent), xwaylandChanged_(std::move(xwaylandChanged)) {}

  public slots:
    // ConfigChanged(a{saay}): the groups written, each with the keys written in it.
    void Changed(const QDBusMessage& message);

  private:
    std::function<void()> xwaylandChanged_;
};

// The XWayland scale kwinrc holds now; 1, as KWin takes it, where it holds no number. Whether
// the number is believable is left to the caller.
double ReadXwaylandScale();

}  // namespace winapi::kwin
