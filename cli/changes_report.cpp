#include "changes_report.h"
#include "console_io.h"
#include "history_changes.h"
#include "workbook.h"

#include <QDateTime>
#include <QFile>
#include <QSaveFile>

#include "pageutil.h"

#include <limits>

namespace {
const char *const kKeys[] = {"name", "homepage_id", "user_id", "grade", "plays", "works", "shares", "follows", "fans"};

// The nine values of a row as JSON: texts, then the counters as numbers; null without a
// profile, but for the line's own ID.
QString valueOf(const VisitValues &v, qint64 id, int key, bool now)
{
    if (!v.found && !(now && key == 1))
        return QStringLiteral("null");
    QString json;
    switch (key) {
    case 0: appendJsonString(json, v.name); break;
    case 1: appendJsonString(json, QString::number(id)); break;
    case 2: appendJsonString(json, v.userId); break;
    case 3: appendJsonString(json, v.grade); break;
    default: {
        const std::optional<qint64> count = v.counts[size_t(key - 4)];
        json = count ? QString::number(*count) : QStringLiteral("null");
    }
    }
    return json;
}

// The same for a CSV cell: the texts as they are, the counters in digits, empty for none.
QString cellOf(const VisitValues &v, qint64 id, int key, bool now)
{
    if (!v.found && !(now && key == 1))
        return {};
    if (key >= 4)
        return v.counts[size_t(key - 4)] ? QString::number(*v.counts[size_t(key - 4)]) : QString();
    const QString texts[] = {v.name, QString::number(id), v.userId, v.grade};
    return texts[key];
}

QString timeOf(const VisitValues &v)
{
    return v.at == 0 ? QString() : QDateTime::fromSecsSinceEpoch(v.at, Qt::UTC).toString(Qt::ISODate);
}

QByteArray jsonLine(const ProfileChange &change)
{
    QString line = QStringLiteral("{");
    const auto add = [&line](const QString &key, const QString &json) {
        if (line.size() > 1)
            line += u',';
        appendJsonString(line, key);
        line += u':';
        line += json;
    };
    for (const VisitValues *v : {&change.now, &change.before}) {
        for (int key = 0; key < 9; ++key)
            add(QLatin1String(kKeys[key]) + QLatin1String(v == &change.now ? "" : "_before"), valueOf(*v, change.id, key, v == &change.now));
    }
    QString status, previous = QStringLiteral("null");
    appendJsonString(status, QLatin1String(HistoryReader::statusName(change.status)));
    if (change.before.at != 0)
        previous.clear(), appendJsonString(previous, timeOf(change.before));
    add(QStringLiteral("status"), status);
    add(QStringLiteral("previous"), previous);
    return (line + QStringLiteral("}\n")).toUtf8();
}

// The header as the list's CSV writes its own: each name followed by a comma.
QString csvHeader()
{
    QString line = QStringLiteral("status,previous,");
    for (const char *key : kKeys)
        line += QLatin1String(key) + u',';
    for (const char *key : kKeys)
        line += QLatin1String(key) + QLatin1String("_before,");
    return line + QStringLiteral("\r\n");
}

QString csvLine(const ProfileChange &change)
{
    QStringList cells{QLatin1String(HistoryReader::statusName(change.status)), timeOf(change.before)};
    for (const VisitValues *v : {&change.now, &change.before}) {
        for (int key = 0; key < 9; ++key)
            cells << cellOf(*v, change.id, key, v == &change.now);
    }
    QString line;
    Module1::appendCsvRow(line, cells.constData(), int(cells.size()));
    return line;
}
// The changes asked for: of the listed IDs, of the range, or of every profile.
bool readChanges(HistoryReader &history, const CliOptions &options, const std::function<void(const ProfileChange &)> &put)
{
    if (options.listed)
        return history.changesOf(std::vector<qint64>(options.ids.begin(), options.ids.end()), options.since, put);
    if (options.rangeGiven)
        return history.changesInRange(options.start, options.end, options.since, put);
    return history.changesInRange(std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max(), options.since, put);
}

// The same columns as the CSV in a workbook, sheet "变化": the previous harvest as a date, the
// counters as numbers.
int writeChangesWorkbook(const CliOptions &options, HistoryReader &history)
{
    QStringList headers = csvHeader().split(u',');
    headers.removeLast();
    std::vector<Workbook::Kind> kinds(size_t(headers.size()), Workbook::Text);
    kinds[1] = Workbook::Time;
    for (int key = 4; key < 9; ++key)
        kinds[size_t(2 + key)] = kinds[size_t(11 + key)] = Workbook::Count;
    Workbook book(options.output, QStringLiteral("变化"), headers, std::move(kinds));
    const bool read = readChanges(history, options, [&book](const ProfileChange &change) {
        book.beginRow();
        book.text(0, QString::fromLatin1(HistoryReader::statusName(change.status)));
        if (change.before.at != 0)
            book.time(1, change.before.at);
        for (const VisitValues *v : {&change.now, &change.before}) {
            const int first = v == &change.now ? 2 : 11;
            for (int key = 0; key < 4; ++key)
                book.text(first + key, cellOf(*v, change.id, key, v == &change.now));
            for (int key = 4; key < 9; ++key)
                if (v->found && v->counts[size_t(key - 4)])
                    book.number(first + key, double(*v->counts[size_t(key - 4)]));
        }
    });
    if (!read)
        return complain(CannotWrite, QStringLiteral("--history: %1 could not be read to its end").arg(options.history));
    if (!book.close())
        return complain(CannotWrite, QStringLiteral("cannot write %1: the workbook could not be written").arg(options.output));
    return 0;
}
} // namespace

int writeChanges(const CliOptions &options, const RowFormat &format)
{
    HistoryReader history(options.history);
    if (!history.ok())
        return complain(BadArgument, QStringLiteral("--history: cannot read %1: %2").arg(options.history, history.error()));
    if (options.format == CliOptions::Xlsx)
        return writeChangesWorkbook(options, history);
    QSaveFile file(options.output);
    QFile standardOutput;
    QIODevice *out = &file;
    if (options.output.isEmpty()) {
        passBytesAsTheyAre(stdout);
        standardOutput.open(stdout, QIODevice::WriteOnly);
        out = &standardOutput;
    } else if (!file.open(QIODevice::WriteOnly)) {
        return complain(CannotWrite, QStringLiteral("cannot write %1: %2").arg(options.output, file.errorString()));
    }
    const bool json = options.format == CliOptions::JsonLines;
    const QByteArray mark = options.encoding == CliOptions::Utf8 ? QByteArray("\xEF\xBB\xBF") : QByteArray();
    bool written = json || out->write(mark + format.encode(csvHeader())) >= 0;
    const auto put = [&](const ProfileChange &change) {
        written = written && out->write(json ? jsonLine(change) : format.encode(csvLine(change))) >= 0;
    };
    const bool read = readChanges(history, options, put);
    if (!read)
        return complain(CannotWrite, QStringLiteral("--history: %1 could not be read to its end").arg(options.history));
    if (!written || (out == &file && !file.commit()))
        return complain(CannotWrite, QStringLiteral("cannot write %1: %2").arg(options.output.isEmpty() ? QStringLiteral("standard output") : options.output, out->errorString()));
    return 0;
}
