// The D-Bus object on this process's connection that KELTOS's KWin script reports to; it takes
// reports from KWin alone. Internal to the KWin provider.
#pragma once

#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QString>
#include <functional>
#include <mutex>

namespace desktop::kwin {

extern const QString kReportPath;       // where the script reports
extern const QString kReportInterface;  // the interface it calls there

// Qt may hand it messages on its D-Bus thread; each report from KWin goes to `take` on the
// user-interface thread, between ticks.
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

}  // namespace desktop::kwin
