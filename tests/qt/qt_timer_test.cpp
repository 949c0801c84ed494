// The Qt toolkit's timers against the contract every toolkit keeps (tests/timer_contract.h), in
// Qt's real event loop. Needs an X display, as the toolkit does (ctest runs it in a private one).
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include "tests/timer_contract.h"

TEST(QtTimers, KeepTheContract) {
    const auto toolkit = platform::CreateToolkit();
    const auto window = toolkit->MakeWindow({"timers", 4590, 285});
    QElapsedTimer clock;
    clock.start();
    const auto pump = [](int ms) {
        QEventLoop loop;
        QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec();
    };
    const auto now = [&] { return static_cast<double>(clock.nsecsElapsed()) / 1e6; };
    for (const std::string& fault : timer_contract::Check(*toolkit, *window, pump, now))
        ADD_FAILURE() << fault;
}
