#pragma once

#include <QElapsedTimer>
#include <QString>

#include <deque>

// The recent pace of a run, pauses and retries included, and the time its rest will take.
class Pace
{
public:
    Pace();
    // done of total IDs are finished now.
    void record(qint64 done, qint64 total);
    double idsPerSecond() const; // over the last minute; 0 before a second has passed
    qint64 secondsLeft() const;  // -1 while there is no pace yet
    double share() const;        // 0 to 1
    qint64 elapsedMs() const;

    // "12分钟", "45秒", "2小时5分钟": the time left as the window's title says it.
    static QString chineseDuration(qint64 seconds);

private:
    struct Sample
    {
        qint64 ms;
        qint64 done;
    };
    QElapsedTimer m_clock;
    std::deque<Sample> m_samples;
    qint64 m_done = 0, m_total = 0;
};
