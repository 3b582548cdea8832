#include "label_feed.h"

#include <QLabel>

LabelFeed::LabelFeed(QLabel *label, int intervalMs) : QObject(label), m_label(label), m_intervalMs(intervalMs)
{
    m_deferred.setSingleShot(true);
    connect(&m_deferred, &QTimer::timeout, this, &LabelFeed::flush);
}

void LabelFeed::set(const QString &text)
{
    // A timer runs only while a text waits, so a run that pauses between IDs wakes for none.
    if (m_lastSet.isValid() && m_lastSet.elapsed() < m_intervalMs) {
        m_pending = text;
        m_dirty = true;
        if (!m_deferred.isActive())
            m_deferred.start(int(m_intervalMs - m_lastSet.elapsed()));
        return;
    }
    m_dirty = false;
    m_deferred.stop();
    m_label->setText(text);
    m_lastSet.start();
}

void LabelFeed::flush()
{
    m_deferred.stop();
    if (m_dirty) {
        m_dirty = false;
        m_label->setText(m_pending);
        m_lastSet.start();
    }
}
