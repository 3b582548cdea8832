#include "history_sink.h"
#include "harvest_run.h"
#include "history_file.h"
#include "history_writer.h"
#include "sqlite_statement.h"

#include <sqlite3.h>

void HistorySink::settled(const SettledId &id)
{
    if (id.kind == SettledId::GivenUp)
        return;
    HistoryVisit visit;
    visit.id = id.id;
    if (ProfileRead *read = id.profile) {
        // A cell that cannot be read goes in as missing: the history never ends a harvest.
        visit.found = true;
        visit.name = read->name();
        visit.userId = read->cellOrMissing(Column::UserId);
        visit.grade = read->grade();
        for (size_t c = 0; c < Column::kCounters.size(); ++c)
            visit.counters[c] = read->cellOrMissing(Column::kCounters[c]);
    }
    m_writer.record(std::move(visit));
}

void HistorySink::learnt(const AbsentPages::Look &look) { m_writer.learnt(SiteFacts::line(look)); }

void HistorySink::paced(const KeptPace &pace) { m_writer.paced(pace.line()); }

QString SiteFacts::line(const AbsentPages::Look &look) { return QString::number(look.status) + u'\t' + look.key; }

SiteFacts SiteFacts::read(const QString &historyPath, const QString &site)
{
    SiteFacts facts;
    const HistoryFile::Opened opened = HistoryFile::openForReading(historyPath);
    if (!opened.db)
        return facts;
    SqlStatement query(opened.db, "SELECT last_profile, absences FROM sites WHERE site=?");
    query.bind(1, site);
    if (query.ok() && query.step() == SQLITE_ROW) {
        if (!query.isNull(0))
            facts.lastProfile = query.integer(0);
        for (const QString &line : query.text(1).split(u'\n', Qt::SkipEmptyParts)) {
            const qsizetype tab = line.indexOf(u'\t');
            bool ok = false;
            const int status = line.left(tab).toInt(&ok);
            if (tab > 0 && ok)
                facts.absences.append({status, line.mid(tab + 1)});
        }
    }
    // A file of an older version has no pace yet; the rest is read all the same.
    SqlStatement pace(opened.db, "SELECT pace FROM sites WHERE site=? AND pace IS NOT NULL");
    pace.bind(1, site);
    if (pace.ok() && pace.step() == SQLITE_ROW)
        facts.pace = KeptPace::fromLine(pace.text(0));
    HistoryFile::close(opened.db);
    return facts;
}

void SiteFacts::teach(HarvestRun &run) const
{
    for (const AbsentPages::Look &look : absences)
        run.knowAbsence(look);
    if (lastProfile >= 0)
        run.knowProfile(lastProfile);
}
