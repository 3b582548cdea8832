#include "failed_ids.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

FailedIds::FailedIds(const QString &path) : m_path(path) {}

QList<qint64> FailedIds::read() const
{
    QList<qint64> ids;
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return ids;
    while (!file.atEnd()) {
        bool ok = false;
        const qint64 id = file.readLine().trimmed().toLongLong(&ok);
        if (ok)
            ids << id;
    }
    return ids;
}

void FailedIds::start(bool resumed, qint64 resumeFrom)
{
    QByteArray kept;
    if (resumed) {
        for (qint64 id : read()) {
            if (id < resumeFrom)
                kept += QByteArray::number(id) + '\n';
        }
    }
    if (kept.isEmpty()) {
        QFile::remove(m_path);
        return;
    }
    QSaveFile file(m_path);
    if (file.open(QIODevice::WriteOnly) && file.write(kept) == kept.size())
        file.commit();
}

void FailedIds::add(qint64 id)
{
    // Opened for each ID: it is on disk at once, whatever ends the program after.
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QFile file(m_path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Append))
        file.write(QByteArray::number(id) + '\n');
}

QList<qint64> FailedIds::first(int most, qint64 *count) const
{
    const QList<qint64> ids = read();
    *count = ids.size();
    return ids.mid(0, most);
}

void FailedIds::finish()
{
    if (read().isEmpty())
        remove();
}

void FailedIds::remove() { QFile::remove(m_path); }
