#pragma once

#include <QString>

struct sqlite3;

// The file of the harvest history: SQLite, in WAL mode, its schema version in
// PRAGMA user_version. Version 2 holds four tables (version 1 the first three):
//   harvests  one row a harvest: id, started and ended (Unix seconds), site, first_id, last_id, program
//   profiles  (a view) one row a profile ever read: id (the homepage ID), name and user_id as
//             last read, last_harvest, visits
//   visits    one row an ID read by a harvest: profile, harvest, at (Unix seconds), name (NULL: no
//             profile then), user_id, grade, plays, works, shares, follows, fans (numbers, NULL
//             where the page showed none), shown (the five counters' texts as read, tab-separated,
//             only when one of them is not its number in plain digits)
//   sites     one row a site harvested: site, last_profile (a profile it served), absences (what
//             it says for an ID without a profile: "STATUS<tab>KEY" a line)
namespace HistoryFile {

constexpr int kVersion = 3;

struct Opened
{
    sqlite3 *db = nullptr;
    QString setAside; // where a damaged file or one of another kind was moved
    QString error;    // why there is no database (db is null)
    bool busy = false; // another program held it longer than the wait
};

// For recording: made when missing, brought to this version; a damaged file, one that is no
// history or one that cannot be opened is renamed aside and a new one made in its place.
Opened openForWriting(const QString &path);
// For reading only: nothing is changed; error says why the file cannot be read.
Opened openForReading(const QString &path);
void close(sqlite3 *db);
// Moves path (and its WAL) aside; the name it now has, or an empty text when it could not.
QString setAside(const QString &path);

// How long a statement waits for another program's write to end.
constexpr int kBusyWaitMs = 3000;

} // namespace HistoryFile
