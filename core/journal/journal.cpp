#include "journal.h"
#include "journal_reader.h"
#include "journal_state.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QLockFile>
#include <QSaveFile>

#include "pageutil.h"

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {
constexpr int kSyncEveryMs = 1000;

// Hands what the system holds of the file to the disk.
bool syncToDisk(QFile &file)
{
    if (!file.flush())
        return false;
#ifdef Q_OS_WIN
    return _commit(file.handle()) == 0;
#else
    return ::fsync(file.handle()) == 0;
#endif
}

} // namespace

Journal::Journal(const QString &dir, const QString &name) : m_dir(dir), m_name(name) {}

Journal::~Journal()
{
    if (m_rows.isOpen())
        syncToDisk(m_rows);
}

QString Journal::rowsPath() const { return QDir(m_dir).filePath(m_name + QStringLiteral(".csv")); }
QString Journal::statePath() const { return QDir(m_dir).filePath(m_name + QStringLiteral(".run")); }

void Journal::setReporter(std::function<void(const QString &)> report) { m_report = std::move(report); }

bool Journal::lock()
{
    // The lock lives in the temporary folder, keyed by the journal's path: it holds no file
    // open on the program's own device, and it works where that device cannot be written.
    const QByteArray key = QCryptographicHash::hash(QDir::cleanPath(QDir(m_dir).absoluteFilePath(m_name)).toUtf8(),
                                                    QCryptographicHash::Sha1)
                               .toHex()
                               .left(20);
    m_lock = std::make_unique<QLockFile>(QDir::temp().filePath(QStringLiteral("vqlirra-%1.lock").arg(QLatin1String(key))));
    // A lock left by a killed program is stale at once: its process is gone.
    if (m_lock->tryLock(0))
        return true;
    // Only another program's lock keeps us out; where no lock can be made at all, the
    // journal goes on unguarded rather than not at all.
    return m_lock->error() != QLockFile::LockFailedError;
}

Journal::Recovery Journal::recover(bool keepRows)
{
    Recovery out;
    JournalState::State state;
    const bool stateRead = JournalState::read(statePath(), state);
    const bool haveState = stateRead && state.finished < state.last;
    if (stateRead) {
        m_absences = state.absences;
        m_pace = state.pace;
    }
    const qint64 rowsAtState = haveState ? qMax<qint64>(0, state.rows) : 0;
    qint64 done = state.finished;
    QFile file(rowsPath());
    JournalReader::Reading reading;
    if (file.open(QIODevice::ReadOnly)) {
        reading = JournalReader::read(file, [&](const ResultModel::Row &row) {
            // Rows journaled after the last state write belong to that run: their IDs are done.
            if (out.rowCount++ >= rowsAtState) {
                bool isId = false;
                const qint64 id = row[Column::HomepageId].toLongLong(&isId);
                if (isId && id >= state.first && id <= state.last)
                    done = qMax(done, id);
            }
            if (keepRows)
                out.rows.append(row);
        });
        file.close();
    }
    if (!reading.ok) {
        const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
        out = Recovery();
        out.setAside = QDir(m_dir).filePath(m_name + QStringLiteral("-damaged-%1.csv").arg(stamp));
        if (!QFile::rename(rowsPath(), out.setAside))
            QFile::remove(rowsPath());
        QFile::remove(statePath());
        return out;
    }
    // A torn last line is dropped for good.
    if (reading.headerSeen && reading.torn)
        QFile(rowsPath()).resize(reading.wholeBytes);
    if (haveState && done < state.last) {
        out.unfinished = true;
        out.resumeFrom = done + 1;
        out.end = state.last;
        // The IDs finished after the last state write: the rows journaled since are kept,
        // the others had no row to keep (a killed program leaves no finer account).
        RunSummary &earlier = out.earlier;
        earlier = state.counts;
        const qint64 rowsSince = out.rowCount - qMin(rowsAtState, out.rowCount);
        const qint64 idsSince = done - state.finished;
        earlier.visited += idsSince;
        earlier.kept += rowsSince;
        earlier.absent += qMax<qint64>(0, idsSince - rowsSince);
    }
    m_rowCount = out.rowCount;
    out.absences = m_absences;
    out.pace = m_pace;
    return out;
}

void Journal::failed(const QString &path)
{
    if (m_reported)
        return;
    m_reported = true;
    if (m_report)
        m_report(QDir::toNativeSeparators(path));
}

bool Journal::openRows()
{
    if (m_rows.isOpen())
        return true;
    QDir().mkpath(m_dir);
    m_rows.setFileName(rowsPath());
    if (!m_rows.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    if (m_rows.size() == 0) {
        const QByteArray header = Module1::encodeText(JournalReader::headerLine());
        if (m_rows.write(header) != header.size() || !m_rows.flush()) {
            m_rows.close();
            m_rows.remove();
            return false;
        }
        m_rowCount = 0;
    }
    return true;
}

void Journal::rowKept(const std::array<QString, 10> &cells)
{
    QString line;
    Module1::appendCsvRow(line, cells.data(), int(cells.size()));
    writeRow(line);
}

void Journal::learnt(const AbsentPages::Look &look)
{
    if (m_absences.contains(look))
        return;
    m_absences << look;
    m_nextState.setRemainingTime(0); // in the state with the next ID finished
}

void Journal::writeRow(const QString &line)
{
    m_removed = false;
    if (!openRows()) {
        failed(rowsPath());
        return;
    }
    const QByteArray bytes = Module1::encodeText(line);
    // Each row reaches the system at once: a killed process loses nothing it kept.
    const qint64 whole = m_rows.pos(); // appended so far, without asking the system
    if (m_rows.write(bytes) != bytes.size() || !m_rows.flush()) {
        // Half a row would make every row after it unreadable: back to the last whole one.
        m_rows.close();
        QFile(rowsPath()).resize(whole);
        failed(rowsPath());
        return;
    }
    ++m_rowCount;
    m_unsynced = true;
    if (m_nextSync.hasExpired())
        sync();
}

void Journal::sync()
{
    if (m_unsynced && m_rows.isOpen() && !syncToDisk(m_rows))
        failed(rowsPath());
    m_unsynced = false;
    m_nextSync.setRemainingTime(kSyncEveryMs);
}

void Journal::writeState(qint64 first, qint64 last, qint64 lastFinished, const RunSummary &counts)
{
    if (m_removed)
        return;
    m_nextState.setRemainingTime(kSyncEveryMs);
    QDir().mkpath(m_dir);
    QSaveFile file(statePath());
    const QByteArray text = JournalState::text({first, last, lastFinished, m_rowCount, counts, m_absences, m_pace});
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        failed(statePath());
}

void Journal::progress(qint64 first, qint64 last, qint64 lastFinished, const RunSummary &counts)
{
    if (!m_nextState.hasExpired())
        return;
    sync();
    writeState(first, last, lastFinished, counts);
}

void Journal::endRun(qint64 first, qint64 last, qint64 lastFinished, const RunSummary &counts)
{
    if (m_removed)
        return;
    sync();
    writeState(first, last, lastFinished, counts);
}

void Journal::clear()
{
    m_rows.close();
    QFile::remove(rowsPath());
    m_rowCount = 0;
    m_unsynced = false;
}

void Journal::remove()
{
    clear();
    QFile::remove(statePath());
    m_removed = true;
}
