// KWin's scale for X11 clients as kwinrc holds it, and KConfig's signal that kwinrc changed.
// Internal to the KWin provider.
#pragma once

#include <QDBusMessage>
#include <QObject>
#include <functional>

namespace desktop::kwin {

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

// The XWayland scale the user's kwinrc holds now; 1, as KWin takes it, where it holds no number.
// Whether the number is believable is left to the caller.
double ReadXwaylandScale();

}  // namespace desktop::kwin
