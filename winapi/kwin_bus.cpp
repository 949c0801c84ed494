// The KWin provider's D-Bus objects (see kwin_bus.h).
#include "winapi/kwin_bus.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include "winapi/kwin_session.h"

namespace winapi::kwin {

const QString kReportPath = QStringLiteral("/org/keltos/Focus");
const QString kReportInterface = QStringLiteral("org.keltos.Focus");
const QString kXwaylandGroup = QStringLiteral("Xwayland");

namespace {

constexpr qint64 kLongestKWinrc = 1 << 20;  // far more than any kwinrc; a larger one is cut

}  // namespace

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

void KConfigWatch::Changed(const QDBusMessage& message) {
    const QVariantList arguments = message.arguments();
    if (message.signature() != QLatin1String("a{saay}") || arguments.size() != 1 ||
        !arguments[0].canConvert<QDBusArgument>())
        return;
    const QDBusArgument groups = arguments[0].value<QDBusArgument>();
    bool named = false;
    groups.beginMap();
    while (!groups.atEnd()) {
        QString group;
        QList<QByteArray> keys;
        groups.beginMapEntry();
        groups >> group >> keys;
        groups.endMapEntry();
        named = named || group == kXwaylandGroup;
    }
    groups.endMap();
    if (named) xwaylandChanged_();
}

double ReadXwaylandScale() {
    const QString path =
        QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
            .filePath(QStringLiteral("kwinrc"));
    QFile file(path);
    const QByteArray text =
        file.open(QIODevice::ReadOnly) ? file.read(kLongestKWinrc) : QByteArray();
    return winapi::KWinXwaylandScale({text.constData(), static_cast<std::size_t>(text.size())})
        .value_or(1);
}

}  // namespace winapi::kwin

#include "moc_kwin_bus.cpp"
