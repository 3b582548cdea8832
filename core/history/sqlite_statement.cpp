#include "sqlite_statement.h"

#include <sqlite3.h>

SqlStatement::SqlStatement(sqlite3 *db, const char *sql)
{
    if (sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &m_stmt, nullptr) != SQLITE_OK)
        m_stmt = nullptr;
}

SqlStatement::~SqlStatement() { sqlite3_finalize(m_stmt); }

void SqlStatement::bind(int at, qint64 value) { sqlite3_bind_int64(m_stmt, at, value); }

void SqlStatement::bind(int at, const QString &text)
{
    if (text.isNull()) {
        bindNull(at);
        return;
    }
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(m_stmt, at, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

void SqlStatement::bindNull(int at) { sqlite3_bind_null(m_stmt, at); }

int SqlStatement::step()
{
    const int code = sqlite3_step(m_stmt);
    if (code != SQLITE_ROW)
        sqlite3_reset(m_stmt);
    return code;
}

void SqlStatement::reset()
{
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

bool SqlStatement::isNull(int column) const { return sqlite3_column_type(m_stmt, column) == SQLITE_NULL; }

qint64 SqlStatement::integer(int column) const { return sqlite3_column_int64(m_stmt, column); }

QString SqlStatement::text(int column) const
{
    if (isNull(column))
        return {};
    const auto *bytes = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
    return QString::fromUtf8(bytes, sqlite3_column_bytes(m_stmt, column));
}

QVariant SqlStatement::value(int column) const
{
    switch (sqlite3_column_type(m_stmt, column)) {
    case SQLITE_NULL: return {};
    case SQLITE_INTEGER: return integer(column);
    default: return text(column);
    }
}

bool sqlExec(sqlite3 *db, const char *sql)
{
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}
