#include "repaint_throttle.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

RepaintThrottle::RepaintThrottle(QWidget *window, int intervalMs)
    : QObject(window), m_window(window), m_intervalMs(intervalMs)
{
    m_deferred.setSingleShot(true);
    connect(&m_deferred, &QTimer::timeout, this, [this] {
        QCoreApplication::postEvent(m_window, new QEvent(QEvent::UpdateRequest), Qt::LowEventPriority);
    });
    window->installEventFilter(this);
}

bool RepaintThrottle::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_window || event->type() != QEvent::UpdateRequest)
        return false;
    const qint64 since = m_lastPaint.isValid() ? m_lastPaint.elapsed() : m_intervalMs;
    if (since >= m_intervalMs) {
        m_lastPaint.start();
        return false; // paint now
    }
    // The dirty regions stay marked; the one deferred request paints them all.
    if (!m_deferred.isActive())
        m_deferred.start(int(m_intervalMs - since));
    return true;
}
