// The toolkit floor: a bare Qt 6 window of the bar's shape (306 x 19 pixels, frameless) that does
// the visible work of a stopwatch and nothing else. Idle, it rewrites a label every second with
// the date and time; from the first second after SIGUSR1 it also runs: a line edit and the window
// title rewritten every 200 ms with the elapsed time. The writes are unconditional, as the
// simplest program would make them.
#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QWidget>
#include <csignal>
#include <cstdlib>

namespace {

volatile std::sig_atomic_t running = 0;

QString ElapsedText(qint64 ms) {
    const qint64 s = ms / 1000;
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600 % 24, 2, 10, QLatin1Char('0'))
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    setenv("QT_ENABLE_HIGHDPI_SCALING", "0", 1);
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    window.setFixedSize(306, 19);
    window.setWindowTitle(QStringLiteral("floor-qt - 00:00:00"));
    auto* label = new QLabel(&window);
    label->setGeometry(4, 4, 67, 13);
    auto* edit = new QLineEdit(QStringLiteral("00:00:00"), &window);
    edit->setGeometry(74, 0, 69, 19);

    QElapsedTimer clock;
    QTimer fast;
    QObject::connect(&fast, &QTimer::timeout, [&] {
        const QString text = ElapsedText(clock.elapsed());
        edit->setText(text);
        window.setWindowTitle(QStringLiteral("floor-qt - ") + text);
    });
    QTimer slow;
    QObject::connect(&slow, &QTimer::timeout, [&] {
        if (running && !fast.isActive()) {
            clock.start();
            fast.start(200);
        }
        label->setText(QDateTime::currentDateTime().toString(QStringLiteral(" MM/dd hh:mm")));
    });
    label->setText(QDateTime::currentDateTime().toString(QStringLiteral(" MM/dd hh:mm")));
    std::signal(SIGUSR1, [](int) { running = 1; });
    slow.start(1000);
    window.show();
    return app.exec();
}
