#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <atomic>
#include <functional>
#include <thread>

// A save that runs beside the window, on a thread of its own: what it writes is taken as it
// stood when the save began (the caller's snapshot); its share done is told every tenth of a
// second and its outcome once, on the window's thread.
class BackgroundSave : public QObject
{
    Q_OBJECT
public:
    // Writes, counting the rows written in rowsDone; true when the file is in place.
    using Write = std::function<bool(std::atomic<int> &rowsDone)>;

    explicit BackgroundSave(QObject *parent = nullptr);
    ~BackgroundSave() override; // waits for a save under way

    bool busy() const { return m_thread.joinable(); }
    // finishing: after its rows the file is finished (a workbook compressed), which takes
    // about twice as long as the rows did.
    void start(Write write, int rows, bool finishing);
    // Returns once the save under way is done and its outcome told; events flow meanwhile.
    void wait();

Q_SIGNALS:
    void progressed(double share); // 0 to 1
    void done(bool ok);

private:
    void look();
    double share();

    std::thread m_thread;
    std::atomic<int> m_rowsDone{0};
    std::atomic<bool> m_finished{false};
    bool m_ok = false; // written by the thread before m_finished
    int m_rows = 0;
    bool m_finishing = false;
    qint64 m_rowsMs = -1; // when the rows were all written
    QElapsedTimer m_clock;
    QTimer m_tick;
};
