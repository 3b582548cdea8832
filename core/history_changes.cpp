#include "history_changes.h"
#include "history_file.h"
#include "sqlite_statement.h"

#include "pageutil.h"

#include <sqlite3.h>

#include <algorithm>

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
    const QStringList shown = row.text(11).split(u'\t');
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

bool later(const VisitValues &a, const VisitValues &b)
{
    return a.at != b.at ? a.at > b.at : a.harvest > b.harvest;
}

// The change of one ID from its visits (in any order); nothing when it had no profile either time.
std::optional<ProfileChange> changeOf(qint64 id, const std::vector<VisitValues> &visits, qint64 since)
{
    if (visits.empty())
        return std::nullopt;
    ProfileChange change;
    change.id = id;
    change.now = *std::max_element(visits.begin(), visits.end(), [](auto &a, auto &b) { return later(b, a); });
    for (const VisitValues &v : visits) {
        if (later(change.now, v) && (since == 0 || v.at < since) && (change.before.at == 0 || later(v, change.before)))
            change.before = v;
    }
    const VisitValues &a = change.now, &b = change.before;
    if (!a.found && !b.found)
        return std::nullopt;
    if (!a.found)
        change.status = ProfileChange::Gone;
    else if (!b.found)
        change.status = ProfileChange::New;
    else
        change.status = a.name == b.name && a.userId == b.userId && a.grade == b.grade && a.shown == b.shown
                            ? ProfileChange::Same
                            : ProfileChange::Changed;
    return change;
}

// Hands on the change of each run of visits of one profile, the rows coming in profile order.
bool stream(SqlStatement &rows, qint64 since, const HistoryReader::Sink &sink)
{
    std::vector<VisitValues> visits;
    qint64 id = 0;
    const auto handOn = [&] {
        if (const std::optional<ProfileChange> change = changeOf(id, visits, since))
            sink(*change);
        visits.clear();
    };
    int code;
    while ((code = rows.step()) == SQLITE_ROW) {
        if (rows.integer(0) != id && !visits.empty())
            handOn();
        id = rows.integer(0);
        visits.push_back(readVisit(rows));
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
    const QByteArray sql = QByteArray("SELECT ") + kColumns + " FROM visits WHERE profile BETWEEN ? AND ? ORDER BY profile, harvest";
    SqlStatement rows(m_db, sql.constData());
    rows.bind(1, first);
    rows.bind(2, last);
    return rows.ok() && stream(rows, since, sink);
}

bool HistoryReader::changesOf(const std::vector<qint64> &ascendingIds, qint64 since, const Sink &sink)
{
    const QByteArray sql = QByteArray("SELECT ") + kColumns + " FROM visits WHERE profile = ? ORDER BY harvest";
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
    const QByteArray sql = QByteArray("SELECT ") + kColumns + " FROM visits WHERE profile = ?";
    SqlStatement rows(m_db, sql.constData());
    rows.bind(1, id);
    std::vector<VisitValues> visits;
    while (rows.ok() && rows.step() == SQLITE_ROW)
        visits.push_back(readVisit(rows));
    std::sort(visits.begin(), visits.end(), [](auto &a, auto &b) { return later(b, a); });
    return visits;
}

const char *HistoryReader::statusName(ProfileChange::Status status)
{
    static const char *const names[] = {"new", "changed", "same", "gone"};
    return names[status];
}
