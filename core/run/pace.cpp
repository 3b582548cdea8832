#include "pace.h"

namespace {
constexpr qint64 kWindowMs = 60000;
constexpr qint64 kSampleEveryMs = 1000;
} // namespace

Pace::Pace()
{
    m_clock.start();
    m_samples.push_back({0, 0});
}

void Pace::record(qint64 done, qint64 total)
{
    m_done = done;
    m_total = total;
    const qint64 now = m_clock.elapsed();
    if (now - m_samples.back().ms >= kSampleEveryMs)
        m_samples.push_back({now, done});
    while (m_samples.size() > 2 && now - m_samples[1].ms > kWindowMs)
        m_samples.pop_front();
}

double Pace::idsPerSecond() const
{
    const qint64 ms = m_clock.elapsed() - m_samples.front().ms;
    if (ms < kSampleEveryMs)
        return 0;
    return double(m_done - m_samples.front().done) * 1000.0 / double(ms);
}

qint64 Pace::secondsLeft() const
{
    const double rate = idsPerSecond();
    if (rate <= 0)
        return -1;
    return qint64(double(m_total - m_done) / rate + 0.5);
}

qint64 Pace::elapsedMs() const { return m_clock.elapsed(); }

double Pace::share() const { return m_total > 0 ? double(m_done) / double(m_total) : 0.0; }

QString Pace::chineseDuration(qint64 seconds)
{
    if (seconds < 60)
        return QStringLiteral("%1秒").arg(seconds);
    if (seconds < 3600)
        return QStringLiteral("%1分钟").arg(seconds / 60);
    return QStringLiteral("%1小时%2分钟").arg(seconds / 3600).arg(seconds / 60 % 60);
}
