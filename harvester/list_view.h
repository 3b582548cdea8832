#pragma once

#include <QElapsedTimer>
#include <QHeaderView>
#include <QTableView>
#include <QTimer>

// The result list's view: a table drawn as a report list. A run appends a row per ID, and
// each append would have the view lay itself out again; that is done at most once per
// interval instead, like the window's repaints.
class ListView : public QTableView
{
    Q_OBJECT
public:
    explicit ListView(QWidget *parent = nullptr);
    void doItemsLayout() override;

private:
    QElapsedTimer m_lastLayout;
    QTimer m_deferred;
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
