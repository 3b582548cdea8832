#pragma once

#include <QString>
#include <QVariant>

struct sqlite3;
struct sqlite3_stmt;

// A prepared SQLite statement: bound by position from 1, stepped, read by column from 0,
// finalized when it goes. Texts go in and come out as UTF-8.
class SqlStatement
{
public:
    SqlStatement(sqlite3 *db, const char *sql);
    ~SqlStatement();
    SqlStatement(const SqlStatement &) = delete;
    SqlStatement &operator=(const SqlStatement &) = delete;

    bool ok() const { return m_stmt != nullptr; }
    void bind(int at, qint64 value);
    void bind(int at, const QString &text); // a null QString binds NULL
    void bindNull(int at);
    // SQLITE_ROW, SQLITE_DONE or the error code; the statement is reset after DONE or an error.
    int step();
    void reset();

    bool isNull(int column) const;
    qint64 integer(int column) const;
    QString text(int column) const; // a null QString for NULL
    // An integer stays an integer, a text a text, NULL an invalid QVariant.
    QVariant value(int column) const;

private:
    sqlite3_stmt *m_stmt = nullptr;
};

// Runs sql (one or more statements without results); false when one failed.
bool sqlExec(sqlite3 *db, const char *sql);
