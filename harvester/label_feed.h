#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

class QLabel;

// Sets a label's text at most once per interval, the newest text winning: a run changes its
// status for every ID, thousands of times a second, and the window paints 20 times a second.
class LabelFeed : public QObject
{
    Q_OBJECT
public:
    LabelFeed(QLabel *label, int intervalMs);

    void set(const QString &text);
    // Shows the newest text now (a run has ended).
    void flush();

private:
    QLabel *m_label;
    qint64 m_intervalMs;
    QElapsedTimer m_lastSet;
    QTimer m_deferred;
    QString m_pending;
    bool m_dirty = false;
};
