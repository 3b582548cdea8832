#include "list_view.h"

#include <QEvent>

namespace {
constexpr int kLayoutIntervalMs = 33;
}

ListView::ListView(QWidget *parent) : QTableView(parent)
{
    setHorizontalHeader(new ListHeader(this));
    m_deferred.setSingleShot(true);
    connect(&m_deferred, &QTimer::timeout, this, [this] { doItemsLayout(); });
}

void ListView::doItemsLayout()
{
    if (m_lastLayout.isValid() && m_lastLayout.elapsed() < kLayoutIntervalMs) {
        if (!m_deferred.isActive())
            m_deferred.start(int(kLayoutIntervalMs - m_lastLayout.elapsed()));
        return;
    }
    m_deferred.stop();
    m_lastLayout.start();
    QTableView::doItemsLayout();
}

ListHeader::ListHeader(QWidget *parent) : QHeaderView(Qt::Horizontal, parent) {}

QSize ListHeader::sizeHint() const
{
    if (!m_sizeHint.isValid())
        m_sizeHint = QHeaderView::sizeHint();
    return m_sizeHint;
}

bool ListHeader::event(QEvent *event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        m_sizeHint = QSize();
    return QHeaderView::event(event);
}
