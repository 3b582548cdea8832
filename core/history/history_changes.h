#pragma once

#include <QString>

#include <array>
#include <functional>
#include <optional>
#include <vector>

struct sqlite3;

// A profile's values as one harvest read them.
struct VisitValues
{
    qint64 harvest = 0;
    qint64 at = 0;      // Unix seconds; 0: no such visit
    bool found = false; // a profile was there
    QString name, userId, grade;
    std::array<std::optional<qint64>, 5> counts; // plays, works, shares, follows, fans
    std::array<QString, 5> shown;                // the same as the page showed them
};

// What became of a profile between two harvests that read its ID.
struct ProfileChange
{
    enum Status { New, Changed, Same, Gone };
    qint64 id = 0;
    Status status = Same;
    VisitValues now, before; // before.at is 0 when no earlier harvest read the ID
};

// Reads the history file: the changes of profiles, and a profile's values over time.
class HistoryReader
{
public:
    explicit HistoryReader(const QString &path);
    ~HistoryReader();
    HistoryReader(const HistoryReader &) = delete;
    HistoryReader &operator=(const HistoryReader &) = delete;

    bool ok() const { return m_db != nullptr; }
    QString error() const { return m_error; }

    using Sink = std::function<void(const ProfileChange &)>;
    // Each ID's visit by its latest harvest against the one by the harvest before (harvests in
    // the order they started), or with since (Unix seconds, 0: not given) against the latest
    // before that time; in ID order, one at a time. IDs without a profile either time are left
    // out. False when the file could not be read to its end.
    bool changesInRange(qint64 first, qint64 last, qint64 since, const Sink &sink);
    bool changesOf(const std::vector<qint64> &ascendingIds, qint64 since, const Sink &sink);
    // Every visit of id, oldest first.
    std::vector<VisitValues> visitsOf(qint64 id);

    static const char *statusName(ProfileChange::Status status); // new, changed, same, gone

private:
    sqlite3 *m_db = nullptr;
    QString m_error;
};
