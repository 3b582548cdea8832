#pragma once

#include <QElapsedTimer>
#include <QHeaderView>
#include <QTableView>
#include <QTimer>

// The result list's view: a table drawn as a report list. A run appends a row per ID, and
// each append would have the view lay itself out and repaint every visible row. Instead the
// layout is done at most once per interval, and after appends only the new rows are
// repainted: their cells were set one by one, and nothing above them moved.
class ListView : public QTableView
{
    Q_OBJECT
public:
    explicit ListView(QWidget *parent = nullptr);
    void doItemsLayout() override;
    void reset() override;

protected:
    // Home and End go to the first and last row, as in a list, not along the columns.
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void rowsInserted(const QModelIndex &parent, int start, int end) override;
    void rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end) override;

private:
    QElapsedTimer m_lastLayout;
    QTimer m_deferred;
    int m_firstAppended = -1; // the first row appended since the last layout
    bool m_fullLayout = true; // anything but appends happened since the last layout
};

// The list's column header. Its texts and font do not change during a run, so its size hint
// is worked out once; the table asks for it after every appended row.
class ListHeader : public QHeaderView
{
    Q_OBJECT
public:
    explicit ListHeader(QWidget *parent = nullptr);
    QSize sizeHint() const override;

protected:
    bool event(QEvent *event) override;

private:
    mutable QSize m_sizeHint;
};
