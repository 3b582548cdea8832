#include "history_writer.h"
#include "history_file.h"
#include "short_number.h"
#include "sqlite_statement.h"

#include <QDateTime>

#include "pageutil.h"

#include <sqlite3.h>

#include <chrono>

namespace {
qint64 now() { return QDateTime::currentSecsSinceEpoch(); }

// A text that is a whole number in plain digits goes in as that number, any other as text.
void bindValue(SqlStatement &statement, int at, const QString &text)
{
    if (const std::optional<qint64> number = ShortNumber::plainDigits(text))
        statement.bind(at, *number);
    else if (text == Module1::missingValue())
        statement.bindNull(at);
    else
        statement.bind(at, text);
}

// The counters as numbers, and their texts too when a number alone would not give them back.
void bindCounters(SqlStatement &statement, int from, const std::array<QString, 5> &counters)
{
    bool plain = true;
    for (size_t c = 0; c < counters.size(); ++c) {
        const QString &text = counters[c];
        std::optional<qint64> number = ShortNumber::plainDigits(text);
        if (!number) {
            number = ShortNumber::read(text);
            plain = plain && !number && text == Module1::missingValue();
        }
        if (number)
            statement.bind(from + int(c), *number);
        else
            statement.bindNull(from + int(c));
    }
    if (plain)
        statement.bindNull(from + 5);
    else
        statement.bind(from + 5, QStringList(counters.begin(), counters.end()).join(u'\t'));
}
} // namespace

HistoryWriter::HistoryWriter(const QString &path, const Harvest &harvest, Reporter report)
    : m_path(path), m_harvest(harvest), m_report(std::move(report)), m_thread([this] { loop(); })
{
}

HistoryWriter::~HistoryWriter()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    m_thread.join();
    HistoryFile::close(m_db);
}

void HistoryWriter::record(HistoryVisit &&visit)
{
    visit.at = now();
    std::unique_lock<std::mutex> lock(m_mutex);
    // Visits come faster than the disk takes them: the harvest waits for it. While another
    // program holds the file, those beyond the most held are dropped instead.
    m_room.wait(lock, [this] { return m_pending.size() < size_t(32 * kBatch) || m_held; });
    if (m_pending.size() >= size_t(kMostHeld))
        return;
    if (visit.found) {
        m_lastProfile = visit.id;
        m_siteChanged = true;
    }
    m_pending.push_back(std::move(visit));
    // The first visit starts the flush clock; a full batch goes at once.
    if (m_pending.size() == 1 || m_pending.size() == size_t(kBatch))
        m_wake.notify_one();
}

void HistoryWriter::learnt(const QString &absence)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_learnt.contains(absence)) {
        m_learnt << absence;
        m_siteChanged = true;
    }
}

void HistoryWriter::paced(const QString &pace)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_siteChanged = m_siteChanged || pace != m_pace;
    m_pace = pace;
}

void HistoryWriter::tell(Trouble trouble, const QString &file, const QString &detail)
{
    const int bit = 1 << int(trouble);
    if ((m_told & bit) == 0 && m_report)
        m_report(trouble, file, detail);
    m_told |= bit;
}

void HistoryWriter::loop()
{
    open(); // while the first pages are on their way
    std::vector<HistoryVisit> batch;
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || !m_pending.empty(); });
        // The first visit waits at most the flush time for others to join it.
        m_wake.wait_for(lock, std::chrono::milliseconds(kFlushMs),
                        [this] { return m_stopping || m_pending.size() >= size_t(kBatch); });
        const bool last = m_stopping;
        if (batch.empty())
            batch.swap(m_pending);
        else // visits kept back while the file was busy come first
            batch.insert(batch.end(), std::make_move_iterator(m_pending.begin()), std::make_move_iterator(m_pending.end()));
        m_pending.clear();
        m_room.notify_all();
        lock.unlock();
        const bool written = write(batch, last);
        lock.lock();
        m_held = !written && !m_off;
        if (m_held)
            m_room.notify_all();
        if (written || m_off || last)
            batch.clear();
        if (last)
            return;
    }
}

bool HistoryWriter::open()
{
    const HistoryFile::Opened opened = HistoryFile::openForWriting(m_path);
    if (!opened.setAside.isEmpty())
        tell(Trouble::SetAside, m_path, opened.setAside);
    m_db = opened.db;
    if (!m_db && opened.busy)
        tell(Trouble::Busy, m_path, opened.error);
    else if (!m_db)
        m_off = true, tell(Trouble::CannotOpen, m_path, opened.error);
    m_harvestId = 0;
    return m_db != nullptr;
}

// False when the visits are to be tried again (the file was busy).
bool HistoryWriter::write(std::vector<HistoryVisit> &batch, bool last)
{
    if (m_off || (!m_db && !open()))
        return m_off;
    if (writeBatch(batch, last))
        return true;
    const int code = sqlite3_errcode(m_db);
    const QString detail = QString::fromUtf8(sqlite3_errmsg(m_db));
    sqlExec(m_db, "ROLLBACK");
    if (code == SQLITE_BUSY || code == SQLITE_LOCKED) {
        tell(Trouble::Busy, m_path, detail);
        return false;
    }
    HistoryFile::close(m_db);
    m_db = nullptr;
    // A file damaged under the harvest is set aside, and the visits go to a new one.
    if (code == SQLITE_CORRUPT || code == SQLITE_NOTADB) {
        const QString aside = HistoryFile::setAside(m_path);
        if (!aside.isEmpty())
            tell(Trouble::SetAside, m_path, aside);
        if (!aside.isEmpty() && open() && writeBatch(batch, last))
            return true;
    }
    m_off = true;
    tell(Trouble::CannotWrite, m_path, detail);
    return true;
}

bool HistoryWriter::writeBatch(const std::vector<HistoryVisit> &batch, bool last)
{
    if (batch.empty() && (!last || m_harvestId == 0))
        return true;
    if (!sqlExec(m_db, "BEGIN IMMEDIATE"))
        return false;
    if (m_harvestId == 0) {
        SqlStatement harvest(m_db, "INSERT INTO harvests(started, site, first_id, last_id, program) VALUES(?,?,?,?,?)");
        harvest.bind(1, batch.front().at);
        harvest.bind(2, m_harvest.site);
        harvest.bind(3, m_harvest.first);
        harvest.bind(4, m_harvest.last);
        harvest.bind(5, m_harvest.program);
        if (harvest.step() != SQLITE_DONE)
            return false;
        m_harvestId = sqlite3_last_insert_rowid(m_db);
    }
    SqlStatement visit(m_db, "INSERT OR REPLACE INTO visits VALUES(?1,?2,?3,?4,?5,?6,?7,?8,?9,?10,?11,?12)");
    for (const HistoryVisit &v : batch) {
        visit.reset();
        visit.bind(1, v.id);
        visit.bind(2, m_harvestId);
        visit.bind(3, v.at);
        if (v.found) {
            visit.bind(4, v.name);
            bindValue(visit, 5, v.userId);
            visit.bind(6, v.grade);
            bindCounters(visit, 7, v.counters);
        }
        if (visit.step() != SQLITE_DONE)
            return false;
    }
    if (!writeSite())
        return false;
    if (last) {
        SqlStatement ended(m_db, "UPDATE harvests SET ended=? WHERE id=?");
        ended.bind(1, now());
        ended.bind(2, m_harvestId);
        if (ended.step() != SQLITE_DONE)
            return false;
    }
    return sqlExec(m_db, "COMMIT");
}

// The site's row, merged with what earlier harvests learnt of it, inside the batch's transaction.
bool HistoryWriter::writeSite()
{
    qint64 lastProfile;
    QStringList learnt;
    QString pace;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_siteChanged)
            return true;
        lastProfile = m_lastProfile;
        learnt = m_learnt;
        pace = m_pace;
    }
    SqlStatement read(m_db, "SELECT absences FROM sites WHERE site=?");
    read.bind(1, m_harvest.site);
    QStringList absences;
    if (read.step() == SQLITE_ROW)
        absences = read.text(0).split(u'\n', Qt::SkipEmptyParts);
    for (const QString &absence : learnt) {
        if (!absences.contains(absence))
            absences << absence;
    }
    SqlStatement write(m_db, "INSERT INTO sites(site, last_profile, absences, pace) VALUES(?1, ?2, ?3, ?4)"
                             " ON CONFLICT(site) DO UPDATE SET last_profile=coalesce(?2, last_profile), absences=?3,"
                             " pace=coalesce(?4, pace)");
    write.bind(1, m_harvest.site);
    if (lastProfile >= 0)
        write.bind(2, lastProfile);
    else
        write.bindNull(2);
    write.bind(3, absences.join(u'\n'));
    if (pace.isEmpty())
        write.bindNull(4);
    else
        write.bind(4, pace);
    if (write.step() != SQLITE_DONE)
        return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_siteChanged = m_learnt.size() != learnt.size() || m_lastProfile != lastProfile || m_pace != pace;
    return true;
}
