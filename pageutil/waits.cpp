#include "pageutil.h"
#include "waits_p.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

namespace Module1 {

namespace {
quint64 s_generation = 0;
}

quint64 detail::waitGeneration() { return s_generation; }

void detail::waitForEvents()
{
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void cancelWaits()
{
    ++s_generation;
    if (auto *dispatcher = QAbstractEventDispatcher::instance())
        dispatcher->wakeUp();
}

void pauseMs(int ms)
{
    waitMs(ms, [] { return true; });
}

bool waitMs(int ms, const std::function<bool()> &keepWaiting)
{
    if (ms <= 0)
        return true;
    // A monotonic 64-bit deadline: no overflow however long the machine has been up.
    const QDeadlineTimer deadline(ms, Qt::PreciseTimer);
    const quint64 generation = s_generation;
    // The wake repeats, at least every 100 ms: a wait nested in an event this one dispatched
    // may take its firing, and Windows' event loop then sleeps on until something else comes.
    QTimer wake;
    wake.setTimerType(Qt::PreciseTimer);
    wake.callOnTimeout([] {});
    while (!deadline.hasExpired()) {
        if (generation != s_generation || !keepWaiting())
            return false;
        // Set again only to come sooner: events keep coming while transfers run.
        const qint64 leftMs = qMax(qint64(1), (deadline.remainingTimeNSecs() + 999999) / 1000000);
        if (!wake.isActive() || leftMs < wake.interval())
            wake.start(int(qMin(leftMs, qint64(100))));
        detail::waitForEvents();
    }
    return true;
}

} // namespace Module1
