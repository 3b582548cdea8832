#include "history_file.h"
#include "sqlite_statement.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

namespace HistoryFile {

namespace {
// Each step brings the schema from its index to the next version; a new file takes them all.
const char *const kSteps[] = {
    "CREATE TABLE harvests(id INTEGER PRIMARY KEY, started INTEGER NOT NULL, ended INTEGER,"
    " site TEXT NOT NULL, first_id INTEGER, last_id INTEGER, program TEXT);"
    // A view rather than a table kept up to date: an update for every visit would cost the
    // harvest a third more of the history's time, for a row that the visits already hold.
    "CREATE VIEW profiles AS SELECT profile AS id, name, user_id, max(harvest) AS last_harvest,"
    " count(*) AS visits FROM visits WHERE name IS NOT NULL GROUP BY profile;"
    "CREATE TABLE visits(profile INTEGER NOT NULL, harvest INTEGER NOT NULL, at INTEGER NOT NULL,"
    " name TEXT, user_id, grade TEXT, plays INTEGER, works INTEGER, shares INTEGER,"
    " follows INTEGER, fans INTEGER, shown TEXT, PRIMARY KEY(profile, harvest DESC)) WITHOUT ROWID;",
    // What a harvest learnt of its site, so that the next one starts with it.
    "CREATE TABLE sites(site TEXT PRIMARY KEY, last_profile INTEGER, absences TEXT);",
    // ...and its pace, so that the next harvest starts at it.
    "ALTER TABLE sites ADD COLUMN pace TEXT;",
};
static_assert(sizeof(kSteps) / sizeof(*kSteps) == kVersion, "one step for each version");

int userVersion(sqlite3 *db, int &code)
{
    SqlStatement read(db, "PRAGMA user_version");
    code = read.ok() ? read.step() : sqlite3_errcode(db);
    return code == SQLITE_ROW ? int(read.integer(0)) : -1;
}

bool hasTable(sqlite3 *db, const char *name)
{
    SqlStatement find(db, "SELECT 1 FROM sqlite_master WHERE type='table' AND name=?");
    find.bind(1, QString::fromLatin1(name));
    return find.ok() && find.step() == SQLITE_ROW;
}

qint64 tableCount(sqlite3 *db)
{
    SqlStatement count(db, "SELECT count(*) FROM sqlite_master");
    return count.ok() && count.step() == SQLITE_ROW ? count.integer(0) : -1;
}

// Brings a file to this version. Returns SQLITE_OK, or the code that stopped it; SQLITE_NOTADB
// for a file that holds something other than a history.
int migrate(sqlite3 *db)
{
    int code = SQLITE_OK;
    int version = userVersion(db, code);
    if (version < 0)
        return code;
    if (version == kVersion)
        return SQLITE_OK;
    if (version > kVersion)
        return SQLITE_READONLY; // a newer program's file: read, never written by this one
    if (!sqlExec(db, "BEGIN IMMEDIATE"))
        return sqlite3_errcode(db);
    version = userVersion(db, code); // another program may have done it meanwhile
    if (version == 0 && tableCount(db) != 0) { // some other program's database
        sqlExec(db, "ROLLBACK");
        return SQLITE_NOTADB;
    }
    for (int step = std::max(version, 0); step < kVersion; ++step) {
        if (!sqlExec(db, kSteps[step])) {
            code = sqlite3_errcode(db);
            sqlExec(db, "ROLLBACK");
            return code;
        }
    }
    const QByteArray set = "PRAGMA user_version=" + QByteArray::number(kVersion);
    if (!sqlExec(db, set.constData()) || !sqlExec(db, "COMMIT")) {
        code = sqlite3_errcode(db);
        sqlExec(db, "ROLLBACK");
        return code;
    }
    return SQLITE_OK;
}

int prepareForWriting(sqlite3 *db)
{
    sqlite3_busy_timeout(db, kBusyWaitMs);
    {
        SqlStatement wal(db, "PRAGMA journal_mode=WAL");
        const int code = wal.ok() ? wal.step() : sqlite3_errcode(db);
        if (code != SQLITE_ROW)
            return code;
    }
    sqlExec(db, "PRAGMA synchronous=NORMAL");
    return migrate(db);
}

} // namespace

QString setAside(const QString &path)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = path + QStringLiteral(".damaged-") + stamp;
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = path + QStringLiteral(".damaged-") + stamp + u'-' + QString::number(n);
    if (!QFile::rename(path, target))
        return {};
    QFile::rename(path + QStringLiteral("-wal"), target + QStringLiteral("-wal"));
    QFile::remove(path + QStringLiteral("-shm"));
    return target;
}

namespace {

QString describe(int code, sqlite3 *db)
{
    return db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(code));
}

bool isDamage(int code)
{
    return code == SQLITE_NOTADB || code == SQLITE_CORRUPT;
}
} // namespace

Opened openForWriting(const QString &path)
{
    Opened opened;
    for (int attempt = 0; attempt < 2; ++attempt) {
        sqlite3 *db = nullptr;
        // One thread uses the connection: SQLite need not lock it around every call.
        int code = sqlite3_open_v2(path.toUtf8().constData(), &db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
        if (code == SQLITE_OK)
            code = prepareForWriting(db);
        if (code == SQLITE_OK) {
            opened.db = db;
            return opened;
        }
        opened.error = code == SQLITE_READONLY && db ? QStringLiteral("written by a newer version") : describe(code, db);
        opened.busy = code == SQLITE_BUSY;
        close(db);
        // A damaged file, or one that is there and cannot be opened at all, makes way for a new one.
        const bool inTheWay = isDamage(code) || (code == SQLITE_CANTOPEN && QFileInfo::exists(path));
        if (!inTheWay || attempt > 0)
            break;
        opened.setAside = setAside(path);
        if (opened.setAside.isEmpty())
            break;
    }
    return opened;
}

Opened openForReading(const QString &path)
{
    Opened opened;
    if (!QFileInfo(path).isFile()) {
        opened.error = QStringLiteral("no such file");
        return opened;
    }
    sqlite3 *db = nullptr;
    int code = sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    if (code == SQLITE_OK) {
        sqlite3_busy_timeout(db, kBusyWaitMs);
        const int version = userVersion(db, code);
        if (version >= 1 && version <= kVersion && hasTable(db, "visits")) {
            opened.db = db;
            return opened;
        }
        if (version > kVersion)
            opened.error = QStringLiteral("written by a newer version of this tool");
        else if (version >= 0 || isDamage(code))
            opened.error = QStringLiteral("not a history database");
    }
    if (opened.error.isEmpty())
        opened.error = describe(code, db);
    close(db);
    return opened;
}

void close(sqlite3 *db)
{
    sqlite3_close_v2(db);
}

} // namespace HistoryFile
