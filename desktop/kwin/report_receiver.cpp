// The KWin provider's report receiver (see report_receiver.h).
#include "desktop/kwin/report_receiver.h"

#include <QDBusConnection>

namespace desktop::kwin {

const QString kReportPath = QStringLiteral("/org/keltos/Focus");
const QString kReportInterface = QStringLiteral("org.keltos.Focus");

QString ReportReceiver::introspect(const QString&) const {
    return QStringLiteral(
        "<interface name=\"org.keltos.Focus\"><method name=\"Report\">"
        "<arg name=\"report\" type=\"s\" direction=\"in\"/></method></interface>");
}

void ReportReceiver::SetKWin(const QString& name) {
    const std::lock_guard lock(mutex_);
    kwin_ = name;
}

bool ReportReceiver::FromKWin(const QDBusMessage& message) const {
    const std::lock_guard lock(mutex_);
    return !kwin_.isEmpty() && message.service() == kwin_;
}

bool ReportReceiver::handleMessage(const QDBusMessage& message, const QDBusConnection& connection) {
    // Anything but this interface (introspection above all) is left to Qt.
    if (message.type() != QDBusMessage::MethodCallMessage ||
        message.interface() != kReportInterface)
        return false;
    if (!FromKWin(message)) {
        connection.send(message.createErrorReply(QDBusError::AccessDenied,
                                                 QStringLiteral("only KWin reports here")));
        return true;
    }
    const QVariantList arguments = message.arguments();
    if (message.member() != QLatin1String("Report") || arguments.size() != 1 ||
        arguments[0].typeId() != QMetaType::QString) {
        connection.send(message.createErrorReply(QDBusError::InvalidArgs,
                                                 QStringLiteral("expected Report(s)")));
        return true;
    }
    connection.send(message.createReply());
    // Handled on the user-interface thread, between ticks, whichever thread this runs on.
    const QString text = arguments[0].toString();
    QMetaObject::invokeMethod(
        this, [this, text] { take_(text); }, Qt::QueuedConnection);
    return true;
}

}  // namespace desktop::kwin
