#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QWidget;

// Lets a window repaint at most once per interval. Update requests that come sooner are
// merged into one, sent when the interval is over, so a run that changes the window for
// every ID pays for the pictures a person can see, not for one per ID.
class RepaintThrottle : public QObject
{
    Q_OBJECT
public:
    RepaintThrottle(QWidget *window, int intervalMs);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_window;
    int m_intervalMs;
    QElapsedTimer m_lastPaint;
    QTimer m_deferred;
};
