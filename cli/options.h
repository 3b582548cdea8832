#pragma once

#include <QString>

#include <vector>

class QCoreApplication;

// What the command line asks for, read strictly.
struct CliOptions
{
    enum Format { Csv, JsonLines, Xlsx }; // Xlsx: an Excel workbook, to --output only
    qint32 start = 50147164;
    qint32 end = 50147260;
    qint32 pauseMs = 50;
    int parallel = 1; // requests in flight; beyond 1 the pause spaces their starts
    int minGrade = 0;
    int maxGrade = 25;
    QString output; // empty: standard output
    Format format = Csv;
    // CSV bytes: as the window writes files (code page 936, GB18030 beyond it), UTF-8 behind a
    // byte-order mark, or the locale's encoding (standard output without --encoding).
    enum Encoding { WindowBytes, Utf8, Locale };
    Encoding encoding = WindowBytes;
    QString baseUrl;
    QString userAgent; // empty: the tool's own
    QString caFile;    // an authority trusted besides the system's
    // --ids: exactly these IDs, ascending, each once, instead of start to end.
    bool listed = false;
    std::vector<qint32> ids;
    qint64 patienceMs = 30 * 60000; // how long a run waits for a site that stopped answering
    bool resume = false;
    bool quiet = false;
    QString history; // the history database every page read is recorded in; empty: none
    // --changes: no harvest; what changed between harvests, from the history.
    bool changes = false;
    bool rangeGiven = false; // --start or --end was given
    qint64 since = 0;        // Unix seconds: compare with the last harvest before; 0: the one before the latest
};

// Fills options from the arguments. Returns -1 to go on, or the exit code when the program
// is done (0 after --help or --version, 2 after a bad argument, its message on stderr).
int parseOptions(const QCoreApplication &app, CliOptions &options);
