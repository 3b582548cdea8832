#include "options.h"
#include "console_io.h"
#include "grade.h"
#include "id_list.h"
#include "site.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

namespace {
struct BadOption
{
    QString message;
};

qint32 wholeNumber(const QString &name, const QString &text)
{
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok);
    // Digits only, with an optional minus: no blanks, signs of other kinds or fractions.
    static const auto digits = [](const QString &t) {
        const qsizetype from = t.startsWith(u'-') ? 1 : 0;
        if (t.size() <= from)
            return false;
        for (qsizetype i = from; i < t.size(); ++i) {
            if (t[i] < u'0' || t[i] > u'9')
                return false;
        }
        return true;
    };
    if (!ok || !digits(text) || value < std::numeric_limits<qint32>::min()
        || value > std::numeric_limits<qint32>::max())
        throw BadOption{QStringLiteral("--%1: '%2' is not a whole number from -2147483648 to 2147483647")
                              .arg(name, text)};
    return qint32(value);
}

// The IDs of a list file, or of standard input for "-".
std::vector<qint32> listedIds(const QString &path)
{
    QFile file;
    const bool opened = path == u"-" ? file.open(stdin, QIODevice::ReadOnly) : (file.setFileName(path), file.open(QIODevice::ReadOnly));
    if (!opened)
        throw BadOption{QStringLiteral("--ids: cannot read %1: %2").arg(path, file.errorString())};
    std::vector<qint32> ids;
    QString error;
    const QString name = path == u"-" ? QStringLiteral("standard input") : path;
    if (!IdList::read(file, ids, error))
        throw BadOption{QStringLiteral("--ids: %1, %2").arg(name, error)};
    if (ids.empty())
        throw BadOption{QStringLiteral("--ids: %1 lists no ID").arg(name)};
    return ids;
}

int grade(const QString &name, const QString &text)
{
    bool ok = false;
    const int index = text.toInt(&ok);
    if (ok && index >= 0 && index < Grade::kScaleSize && text == QString::number(index))
        return index;
    const int found = Grade::indexOf(text);
    if (found < Grade::kScaleSize)
        return found;
    throw BadOption{QStringLiteral("--%1: '%2' is no grade; give an index 0 to 25 or one of: %3")
                          .arg(name, text, Grade::scale().join(QStringLiteral(", ")))};
}
// The options as --help lists them, in its order: name, description, value name ("" for a switch).
QList<QCommandLineOption> optionTable()
{
    const auto option = [](const char *name, const QString &description, const char *value = "") {
        return QCommandLineOption({QString::fromLatin1(name)}, description, QString::fromLatin1(value));
    };
    return {
        option("start", QStringLiteral("First profile ID (default 50147164)."), "ID"),
        option("end", QStringLiteral("Last profile ID (default 50147260)."), "ID"),
        option("ids", QStringLiteral("Harvest exactly the IDs FILE lists, one a line, instead of "
                                     "--start to --end: in ascending order, each once; blank lines "
                                     "and lines starting with # are skipped. \"-\" reads the list "
                                     "from standard input. FILE.failed of an earlier run is such a "
                                     "list."), "FILE"),
        option("patience", QStringLiteral("When a site that had answered stops answering (10 IDs in a "
                                          "row fail), wait for it up to MINUTES, asking again after "
                                          "10 s, then twice as long each time up to 5 minutes apart, "
                                          "and go on where it stopped (default 30; 0 ends the run "
                                          "at once)."), "MINUTES"),
        option("pause", QStringLiteral("Pause after each ID in milliseconds (default 50)."), "MS"),
        option("parallel", QStringLiteral("Requests in flight at once, 1 (default) to 16. Beyond 1 the "
                                          "pause is the least time between the starts of two requests, "
                                          "so the site gets up to N requests at a time and at most one "
                                          "per pause; when the site refuses (429 or 503) the run holds "
                                          "to the rate it accepts. Rows still come in ID order."), "N"),
        option("min-grade", QStringLiteral("Lowest grade kept: an index 0 to 25 or a label such as "
                                           "\"闪亮新秀 1\" (default 0)."), "G"),
        option("max-grade", QStringLiteral("Highest grade kept (default 25)."), "G"),
        option("output", QStringLiteral("Write the rows to FILE, complete when the run ends; the "
                                        "rows are journaled beside it as they come, and the "
                                        "IDs given up listed in FILE.failed "
                                        "(default: standard output)."), "FILE"),
        option("format", QStringLiteral("csv (default), jsonl, or xlsx (an Excel workbook; needs --output)."), "FORMAT"),
        option("encoding", QStringLiteral("CSV encoding: gb18030 (as the window saves; the default "
                                          "with --output) or utf-8 (with a byte-order mark). Without "
                                          "--output the default is the locale's encoding."), "ENC"),
        option("base-url", QStringLiteral("Profile pages are URL followed by the ID (default %1).")
                               .arg(Site::fetchBaseUrl()), "URL"),
        option("user-agent", QStringLiteral("The User-Agent of every request (default VqLirra/%1).")
                                 .arg(QCoreApplication::applicationVersion()), "TEXT"),
        option("ca-file", QStringLiteral("Trust the certificate authority of FILE (PEM) besides the "
                                         "system's, as for a company proxy or a private site."), "FILE"),
        option("resume", QStringLiteral("Continue the interrupted run of --output.")),
        option("history", QStringLiteral("Record every profile read (kept or not) and every ID "
                                         "without a profile in the history database FILE "
                                         "(SQLite; the window's is Log/history.sqlite)."), "FILE"),
        option("changes", QStringLiteral("Harvest nothing: write what changed in the profiles of "
                                         "--history since the harvest before their latest, in ID "
                                         "order (all profiles, or those of --ids or --start/--end).")),
        option("since", QStringLiteral("With --changes, compare with the last harvest before DATE "
                                       "(YYYY-MM-DD, or YYYY-MM-DDTHH:MM:SS)."), "DATE"),
        option("quiet", QStringLiteral("No progress line.")),
    };
}

// Which IDs, how fast and how patiently; each check in the order a bad argument is named.
void readWalk(const QCommandLineParser &parser, CliOptions &options)
{
    const auto number = [&parser](const char *name) {
        return wholeNumber(QString::fromLatin1(name), parser.value(QString::fromLatin1(name)));
    };
    if (!parser.positionalArguments().isEmpty())
        throw BadOption{QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first())};
    options.rangeGiven = parser.isSet(QStringLiteral("start")) || parser.isSet(QStringLiteral("end"));
    if (parser.isSet(QStringLiteral("start")))
        options.start = number("start");
    if (parser.isSet(QStringLiteral("end")))
        options.end = number("end");
    if (parser.isSet(QStringLiteral("pause")))
        options.pauseMs = number("pause");
    if (parser.isSet(QStringLiteral("ids"))) {
        if (parser.isSet(QStringLiteral("start")) || parser.isSet(QStringLiteral("end")))
            throw BadOption{QStringLiteral("--ids: give either a list of IDs or --start and --end")};
        options.listed = true;
        options.ids = listedIds(parser.value(QStringLiteral("ids")));
        options.start = options.ids.front();
        options.end = options.ids.back();
    }
    if (parser.isSet(QStringLiteral("patience"))) {
        const qint32 minutes = number("patience");
        if (minutes < 0 || minutes > 7 * 24 * 60)
            throw BadOption{QStringLiteral("--patience: '%1' is not a number of minutes from 0 to 10080")
                                  .arg(parser.value(QStringLiteral("patience")))};
        options.patienceMs = qint64(minutes) * 60000;
    }
    if (options.end < options.start)
        throw BadOption{QStringLiteral("--end: %1 lies below --start %2").arg(options.end).arg(options.start)};
    if (parser.isSet(QStringLiteral("parallel"))) {
        options.parallel = number("parallel");
        if (options.parallel < 1 || options.parallel > 16)
            throw BadOption{QStringLiteral("--parallel: '%1' is not a number of requests from 1 to 16")
                                  .arg(parser.value(QStringLiteral("parallel")))};
    }
}

void readGrades(const QCommandLineParser &parser, CliOptions &options)
{
    if (parser.isSet(QStringLiteral("min-grade")))
        options.minGrade = grade(QStringLiteral("min-grade"), parser.value(QStringLiteral("min-grade")));
    if (parser.isSet(QStringLiteral("max-grade")))
        options.maxGrade = grade(QStringLiteral("max-grade"), parser.value(QStringLiteral("max-grade")));
    // Crossed grades keep nothing: a whole run for no row is surely a slip.
    if (options.maxGrade < options.minGrade)
        throw BadOption{QStringLiteral("--max-grade: %1 lies below --min-grade %2")
                              .arg(Grade::scale().value(options.maxGrade), Grade::scale().value(options.minGrade))};
}

// Where the rows go and in which form.
void readOutput(const QCommandLineParser &parser, CliOptions &options)
{
    options.output = parser.value(QStringLiteral("output"));
    if (parser.isSet(QStringLiteral("output")) && options.output.isEmpty())
        throw BadOption{QStringLiteral("--output: the file name is empty")};
    const QString f = parser.isSet(QStringLiteral("format")) ? parser.value(QStringLiteral("format")) : QStringLiteral("csv");
    if (f != u"csv" && f != u"jsonl" && f != u"xlsx")
        throw BadOption{QStringLiteral("--format: '%1' is unknown; use csv, jsonl or xlsx").arg(f)};
    options.format = f == u"csv" ? CliOptions::Csv : f == u"jsonl" ? CliOptions::JsonLines : CliOptions::Xlsx;
    if (options.format == CliOptions::Xlsx && options.output.isEmpty())
        throw BadOption{QStringLiteral("--format xlsx: a workbook cannot go to standard output; name its file with --output")};
    const bool encodingSet = parser.isSet(QStringLiteral("encoding"));
    const QString given = parser.value(QStringLiteral("encoding"));
    const QString e = encodingSet ? given.toLower() : QStringLiteral("gb18030");
    if (e != u"gb18030" && e != u"utf-8" && e != u"utf8")
        throw BadOption{QStringLiteral("--encoding: '%1' is unknown; use gb18030 or utf-8").arg(given)};
    options.encoding = e != u"gb18030" ? CliOptions::Utf8 : CliOptions::WindowBytes;
    // A terminal or a pipe reads what the locale says, as with any command-line tool.
    if (!encodingSet && options.output.isEmpty())
        options.encoding = CliOptions::Locale;
}

// The site, how the requests name the tool, and how the run goes.
void readSite(const QCommandLineParser &parser, CliOptions &options)
{
    const QString base = parser.value(QStringLiteral("base-url"));
    options.baseUrl = parser.isSet(QStringLiteral("base-url")) ? base : Site::fetchBaseUrl();
    const QUrl url(options.baseUrl, QUrl::StrictMode);
    if (!url.isValid() || (url.scheme() != u"http" && url.scheme() != u"https") || url.host().isEmpty())
        throw BadOption{QStringLiteral("--base-url: '%1' is not an http or https URL").arg(options.baseUrl)};
    options.userAgent = parser.value(QStringLiteral("user-agent"));
    if (parser.isSet(QStringLiteral("user-agent")) && (options.userAgent.isEmpty() || options.userAgent.contains(u'\n')))
        throw BadOption{QStringLiteral("--user-agent: give a text of one line")};
    options.caFile = parser.value(QStringLiteral("ca-file"));
    if (parser.isSet(QStringLiteral("ca-file")) && !QFileInfo(options.caFile).isReadable())
        throw BadOption{QStringLiteral("--ca-file: cannot read '%1'").arg(options.caFile)};
    options.resume = parser.isSet(QStringLiteral("resume"));
    if (options.resume && options.output.isEmpty())
        throw BadOption{QStringLiteral("--resume: needs the --output of the interrupted run")};
    options.quiet = parser.isSet(QStringLiteral("quiet"));
}
// Midnight of a day, or a time of it, in local time unless it names its offset.
qint64 sinceTime(const QString &text)
{
    QDateTime when = QDateTime::fromString(text, Qt::ISODate);
    if (text.size() == 10)
        when = QDate::fromString(text, Qt::ISODate).startOfDay();
    if (!when.isValid())
        throw BadOption{QStringLiteral("--since: '%1' is not a date; use YYYY-MM-DD or YYYY-MM-DDTHH:MM:SS").arg(text)};
    return when.toSecsSinceEpoch();
}

void readHistory(const QCommandLineParser &parser, CliOptions &options)
{
    options.history = parser.value(QStringLiteral("history"));
    if (parser.isSet(QStringLiteral("history")) && options.history.isEmpty())
        throw BadOption{QStringLiteral("--history: the file name is empty")};
    options.changes = parser.isSet(QStringLiteral("changes"));
    if (options.changes && options.history.isEmpty())
        throw BadOption{QStringLiteral("--changes: needs the --history FILE to read")};
    if (options.changes && options.resume)
        throw BadOption{QStringLiteral("--changes: harvests nothing, so there is nothing to --resume")};
    if (parser.isSet(QStringLiteral("since"))) {
        if (!options.changes)
            throw BadOption{QStringLiteral("--since: only with --changes")};
        options.since = sinceTime(parser.value(QStringLiteral("since")));
    }
}
} // namespace

int parseOptions(const QCoreApplication &app, CliOptions &options)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Harvests the public profile pages of an ID range, keeps the profiles whose singer grade "
        "lies in the range, and writes them as CSV or JSON Lines."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addOptions(optionTable());
    if (!parser.parse(app.arguments())) {
        writeText(stderr, QStringLiteral("vqlirra-cli: ") + parser.errorText() + QStringLiteral(" (see --help)\n"));
        return 2;
    }
    if (parser.isSet(help)) {
        writeText(stdout, parser.helpText());
        return 0;
    }
    if (parser.isSet(version)) {
        writeText(stdout, app.applicationName() + u' ' + app.applicationVersion() + u'\n');
        return 0;
    }
    try {
        readWalk(parser, options);
        readGrades(parser, options);
        readOutput(parser, options);
        readSite(parser, options);
        readHistory(parser, options);
    } catch (const BadOption &bad) {
        return complain(BadArgument, bad.message);
    }
    return -1;
}
