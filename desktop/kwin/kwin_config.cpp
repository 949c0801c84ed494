// kwinrc's XWayland scale, read and watched (see kwin_config.h).
#include "desktop/kwin/kwin_config.h"

#include <QDBusArgument>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include "desktop/kwin/kwinrc.h"

namespace desktop::kwin {

namespace {

const QString kXwaylandGroup = QStringLiteral("Xwayland");
constexpr qint64 kLongestKWinrc = 1 << 20;  // far more than any kwinrc; a larger one is cut

}  // namespace

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
    return XwaylandScale({text.constData(), static_cast<std::size_t>(text.size())}).value_or(1);
}

}  // namespace desktop::kwin

#include "moc_kwin_config.cpp"
