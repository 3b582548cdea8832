#include "history_changes.h"
#include "history_file.h"
#include "sqlite_statement.h"

#include "pageutil.h"

#include <sqlite3.h>

namespace {
const char kColumns[] = "profile, harvest, at, name, user_id, grade, plays, works, shares, follows, fans, shown";

VisitValues readVisit(const SqlStatement &row)
{
    VisitValues v;
    v.harvest = row.integer(1);
    v.at = row.integer(2);
    v.found = !row.isNull(3);
    if (!v.found)
        return v;
    v.name = row.text(3);
    const QVariant userId = row.value(4);
    v.userId = userId.isValid() ? userId.toString() : Module1::missingValue();
    v.grade = row.text(5);
    const QStringList shown = row.isNull(11) ? QStringList() : row.text(11).split(u'\t');
    for (int c = 0; c < 5; ++c) {
        if (!row.isNull(6 + c))
            v.counts[size_t(c)] = row.integer(6 + c);
        if (shown.size() == 5)
            v.shown[size_t(c)] = shown[c];
        else
            v.shown[size_t(c)] = v.counts[size_t(c)] ? QString::number(*v.counts[size_t(c)]) : Module1::missingValue();
    }
    return v;
}

// The status of a profile between two visits; nothing when it had no profile either time.
std::optional<ProfileChange::Status> statusOf(const VisitValues &now, const VisitValues &before)
{
    if (!now.found && !before.found)
        return std::nullopt;
    if (!now.found)
        return ProfileChange::Gone;
    if (!before.found)
        return ProfileChange::New;
    const bool same = now.name == before.name && now.userId == before.userId && now.grade == before.grade
                      && now.counts == before.counts && now.shown == before.shown;
    return same ? ProfileChange::Same : ProfileChange::Changed;
}

// The rows come a profile at a time, its latest harvest first: the first is the profile now,
// the first after it from before since (any, without since) the profile before. Only those two
// are read whole; the others are stepped over.
bool stream(SqlStatement &rows, qint64 since, const HistoryReader::Sink &sink)
{
    ProfileChange change;
    bool open = false, haveBefore = false;
    const auto handOn = [&] {
        if (open)
            if (const std::optional<ProfileChange::Status> status = statusOf(change.now, change.before))
                change.status = *status, sink(change);
        open = false;
    };
    int code;
    while ((code = rows.step()) == SQLITE_ROW) {
        const qint64 id = rows.integer(0);
        if (!open || id != change.id) {
            handOn();
            change = ProfileChange();
            change.id = id;
            change.now = readVisit(rows);
            open = true;
            haveBefore = false;
        } else if (!haveBefore && (since == 0 || rows.integer(2) < since)) {
            change.before = readVisit(rows);
            haveBefore = true;
        }
    }
    handOn();
    return code == SQLITE_DONE;
}
} // namespace

HistoryReader::HistoryReader(const QString &path)
{
    const HistoryFile::Opened opened = HistoryFile::openForReading(path);
    m_db = opened.db;
    m_error = opened.error;
}

HistoryReader::~HistoryReader() { HistoryFile::close(m_db); }

bool HistoryReader::changesInRange(qint64 first, qint64 last, qint64 since, const Sink &sink)
{
    const QByteArray sql = QByteArray("SELECT ") + kColumns + " FROM visits WHERE profile BETWEEN ? AND ? ORDER BY profile, harvest DESC";
    SqlStatement rows(m_db, sql.constData());
    rows.bind(1, first);
    rows.bind(2, last);
    return rows.ok() && stream(rows, since, sink);
}

bool HistoryReader::changesOf(const std::vector<qint64> &ascendingIds, qint64 since, const Sink &sink)
{
    const QByteArray sql = QByteArray("SELECT ") + kColumns + " FROM visits WHERE profile = ? ORDER BY harvest DESC";
    SqlStatement rows(m_db, sql.constData());
    for (const qint64 id : ascendingIds) {
        rows.reset();
        rows.bind(1, id);
        if (!rows.ok() || !stream(rows, since, sink))
            return false;
    }
    return true;
}

std::vector<VisitValues> HistoryReader::visitsOf(qint64 id)
{
    const QByteArray sql = QByteArray("SELECT ") + kColumns + " FROM visits WHERE profile = ? ORDER BY harvest";
    SqlStatement rows(m_db, sql.constData());
    rows.bind(1, id);
    std::vector<VisitValues> visits;
    while (rows.ok() && rows.step() == SQLITE_ROW)
        visits.push_back(readVisit(rows));
    return visits;
}

const char *HistoryReader::statusName(ProfileChange::Status status)
{
    static const char *const names[] = {"new", "changed", "same", "gone"};
    return names[status];
}
