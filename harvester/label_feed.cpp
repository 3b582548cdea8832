#include "label_feed.h"

#include <QLabel>

LabelFeed::LabelFeed(QLabel *label, int intervalMs) : QObject(label), m_label(label)
{
    m_hold.setSingleShot(true);
    m_hold.setInterval(intervalMs);
    connect(&m_hold, &QTimer::timeout, this, [this] {
        if (m_dirty) {
            m_dirty = false;
            m_label->setText(m_pending);
            m_hold.start();
        }
    });
}

void LabelFeed::set(const QString &text)
{
    if (m_hold.isActive()) {
        m_pending = text;
        m_dirty = true;
        return;
    }
    m_label->setText(text);
    m_hold.start();
}

void LabelFeed::flush()
{
    m_hold.stop();
    if (m_dirty) {
        m_dirty = false;
        m_label->setText(m_pending);
    }
}
