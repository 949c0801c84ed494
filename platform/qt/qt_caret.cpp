// The time box's caret stops blinking after 10 s without input, as GTK's does, and stays shown;
// it blinks again at the next key, click or focus. A blinking caret wakes the program twice a
// second for as long as the bar keeps the focus, which can be all day; a still one costs nothing.
//
// Qt's line edit follows the application's cursor flash time while it has the focus (a change
// restarts its blink, with the caret shown; 0 stops it), so stopping is setting that time to 0,
// and blinking again is setting it back to what the desktop gave at start.
#include <QEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QStyleHints>
#include <QTimer>

#include "platform/qt/qt_platform.h"

namespace platform::qt {

namespace {

constexpr int kStillAfterMs = 10000;

class CaretBlink : public QObject {
  public:
    explicit CaretBlink(QLineEdit* edit)
        : QObject(edit), blinkMs_(QGuiApplication::styleHints()->cursorFlashTime()) {
        still_.setSingleShot(true);
        still_.setInterval(kStillAfterMs);
        QObject::connect(&still_, &QTimer::timeout,
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
                Blink();
                still_.start();
                break;
            case QEvent::FocusOut:
                still_.stop();
                Blink();  // so that the next focus starts blinking
                break;
            default:
                break;
        }
        return false;
    }

  private:
    void Blink() {
        QStyleHints* hints = QGuiApplication::styleHints();
        if (blinkMs_ > 0 && hints->cursorFlashTime() != blinkMs_)
            hints->setCursorFlashTime(blinkMs_);
    }

    int blinkMs_;   // the desktop's flash time; 0 when the user has switched blinking off
    QTimer still_;  // stops the blinking when it times out
};

}  // namespace

void StopBlinkingWhenIdle(QLineEdit* edit) {
    new CaretBlink(edit);  // owned by the line edit
}

}  // namespace platform::qt
