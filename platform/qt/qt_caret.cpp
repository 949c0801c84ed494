// The time box's caret rests after 10 s without input, as GTK's does: it stops blinking and stays
// shown, and blinks again at the next key, click or focus. A blinking caret wakes the program
// twice a second for as long as the bar keeps the focus, which can be all day; a resting one
// costs nothing.
//
// Qt's line edit follows the application's cursor flash time while it has the focus (a change
// restarts its blink, with the caret shown; 0 stops it), so resting is setting that time to 0,
// and waking is setting it back to what the desktop gave at start.
#include <QEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QStyleHints>
#include <QTimer>

#include "platform/qt/qt_platform.h"

namespace platform::qt {

namespace {

constexpr int kRestAfterMs = 10000;

class CaretRest : public QObject {
  public:
    explicit CaretRest(QLineEdit* edit)
        : QObject(edit), blinkMs_(QGuiApplication::styleHints()->cursorFlashTime()) {
        rest_.setSingleShot(true);
        rest_.setInterval(kRestAfterMs);
        QObject::connect(&rest_, &QTimer::timeout,
                         [] { QGuiApplication::styleHints()->setCursorFlashTime(0); });
        edit->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
            case QEvent::FocusIn:
            case QEvent::KeyPress:
            case QEvent::MouseButtonPress:
            case QEvent::InputMethod:
                Wake();
                rest_.start();
                break;
            case QEvent::FocusOut:
                rest_.stop();
                Wake();  // so that the next focus starts blinking
                break;
            default:
                break;
        }
        return false;
    }

  private:
    void Wake() {
        QStyleHints* hints = QGuiApplication::styleHints();
        if (blinkMs_ > 0 && hints->cursorFlashTime() != blinkMs_)
            hints->setCursorFlashTime(blinkMs_);
    }

    int blinkMs_;  // the desktop's flash time; 0 when the user has switched blinking off
    QTimer rest_;
};

}  // namespace

void RestCaretWhenIdle(QLineEdit* edit) {
    new CaretRest(edit);  // owned by the line edit
}

}  // namespace platform::qt
