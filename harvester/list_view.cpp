#include "list_view.h"

#include <QEvent>

namespace {
constexpr int kLayoutIntervalMs = 50;
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
    const int first = m_firstAppended;
    const bool full = m_fullLayout || first < 0;
    m_firstAppended = -1;
    m_fullLayout = false;
    if (full) {
        QTableView::doItemsLayout();
        return;
    }
    updateGeometries();
    const int top = rowViewportPosition(first);
    if (top < viewport()->height())
        viewport()->update(0, qMax(0, top), viewport()->width(), viewport()->height());
}

void ListView::reset()
{
    m_fullLayout = true;
    QTableView::reset();
}

void ListView::rowsInserted(const QModelIndex &parent, int start, int end)
{
    if (parent.isValid() || (model() && end != model()->rowCount() - 1))
        m_fullLayout = true; // not an append at the end
    else if (m_firstAppended < 0 || start < m_firstAppended)
        m_firstAppended = start;
    QTableView::rowsInserted(parent, start, end);
}

void ListView::rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end)
{
    m_fullLayout = true;
    QTableView::rowsAboutToBeRemoved(parent, start, end);
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

QModelIndex ListView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    if (action == MoveHome || action == MoveEnd)
        modifiers |= Qt::ControlModifier;
    return QTableView::moveCursor(action, modifiers);
}
