#pragma once

#include <QList>
#include <QString>

// The IDs a harvest gave up, in a file one a line in ID order, written as each is given up: the
// list to try again. A resumed harvest goes on appending; a harvest that ends with none removes it.
class FailedIds
{
public:
    explicit FailedIds(const QString &path);

    // A fresh harvest starts an empty list; a resumed one keeps the IDs given up before
    // resumeFrom (those after it are fetched again).
    void start(bool resumed, qint64 resumeFrom);
    void add(qint64 id);
    // The first `most` IDs of the whole harvest, and how many there are in all.
    QList<qint64> first(int most, qint64 *count) const;
    // Removes the list when it holds none.
    void finish();
    void remove();
    QString path() const { return m_path; }

private:
    QList<qint64> read() const;
    QString m_path;
};
