#include "background_save.h"

#include <QEventLoop>

namespace {
constexpr double kRowsShare = 1.0 / 3; // of a finished file's time: its rows; the rest, finishing it
}

BackgroundSave::BackgroundSave(QObject *parent) : QObject(parent)
{
    m_tick.setInterval(100);
    connect(&m_tick, &QTimer::timeout, this, &BackgroundSave::look);
}

BackgroundSave::~BackgroundSave()
{
    if (m_thread.joinable())
        m_thread.join();
}

void BackgroundSave::start(Write write, int rows, bool finishing)
{
    m_rows = qMax(1, rows);
    m_finishing = finishing;
    m_rowsDone = 0;
    m_finished = false;
    m_rowsMs = -1;
    m_clock.start();
    m_thread = std::thread([this, write = std::move(write)] {
        m_ok = write(m_rowsDone);
        m_finished = true;
    });
    m_tick.start();
    Q_EMIT progressed(0);
}

double BackgroundSave::share()
{
    const double rows = qMin(1.0, double(m_rowsDone.load()) / m_rows);
    if (!m_finishing)
        return rows;
    if (rows < 1)
        return rows * kRowsShare;
    if (m_rowsMs < 0)
        m_rowsMs = qMax<qint64>(1, m_clock.elapsed());
    const double finished = double(m_clock.elapsed() - m_rowsMs) / (double(m_rowsMs) * (1 - kRowsShare) / kRowsShare);
    return kRowsShare + (1 - kRowsShare) * qMin(0.99, finished);
}

void BackgroundSave::look()
{
    if (!m_finished) {
        Q_EMIT progressed(share());
        return;
    }
    m_tick.stop();
    m_thread.join();
    Q_EMIT progressed(1);
    Q_EMIT done(m_ok);
}

void BackgroundSave::wait()
{
    if (!busy())
        return;
    QEventLoop loop;
    connect(this, &BackgroundSave::done, &loop, &QEventLoop::quit);
    loop.exec();
}
