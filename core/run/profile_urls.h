#pragma once

#include <QString>

// Where a run asks for profiles: the base URL followed by the ID in decimal. A profile moved for
// good to the same path under another scheme or host takes the rest of the IDs there at once,
// rather than each through the redirect.
class ProfileUrls
{
public:
    explicit ProfileUrls(const QString &base) : m_base(base) {}

    QString of(qint64 id) const { return m_base + QString::number(id); }
    // The profile of id answered with a permanent redirect to movedTo: true when the run
    // follows it from now on (base() is then the new one).
    bool follow(const QString &movedTo, qint64 id);
    const QString &base() const { return m_base; }

private:
    QString m_base;
    bool m_moved = false;
};
