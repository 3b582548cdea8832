#include "options.h"
#include "console_io.h"
#include "grade.h"
#include "id_list.h"
#include "site.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QUrl>

namespace {
struct BadArgument
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
        throw BadArgument{QStringLiteral("--%1: '%2' is not a whole number from -2147483648 to 2147483647")
                              .arg(name, text)};
    return qint32(value);
}

// The IDs of a list file, or of standard input for "-".
std::vector<qint32> listedIds(const QString &path)
{
    QFile file;
    const bool opened = path == u"-" ? file.open(stdin, QIODevice::ReadOnly) : (file.setFileName(path), file.open(QIODevice::ReadOnly));
    if (!opened)
        throw BadArgument{QStringLiteral("--ids: cannot read %1: %2").arg(path, file.errorString())};
    std::vector<qint32> ids;
    QString error;
    const QString name = path == u"-" ? QStringLiteral("standard input") : path;
    if (!IdList::read(file, ids, error))
        throw BadArgument{QStringLiteral("--ids: %1, %2").arg(name, error)};
    if (ids.empty())
        throw BadArgument{QStringLiteral("--ids: %1 lists no ID").arg(name)};
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
    throw BadArgument{QStringLiteral("--%1: '%2' is no grade; give an index 0 to 25 or one of: %3")
                          .arg(name, text, Grade::scale().join(QStringLiteral(", ")))};
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
    const QCommandLineOption start({QStringLiteral("start")}, QStringLiteral("First profile ID (default 50147164)."),
                                   QStringLiteral("ID"));
    const QCommandLineOption end({QStringLiteral("end")}, QStringLiteral("Last profile ID (default 50147260)."),
                                 QStringLiteral("ID"));
    const QCommandLineOption ids({QStringLiteral("ids")},
                                 QStringLiteral("Harvest exactly the IDs FILE lists, one a line, instead of "
                                                "--start to --end: in ascending order, each once; blank lines "
                                                "and lines starting with # are skipped. \"-\" reads the list "
                                                "from standard input. FILE.failed of an earlier run is such a "
                                                "list."),
                                 QStringLiteral("FILE"));
    const QCommandLineOption patience({QStringLiteral("patience")},
                                      QStringLiteral("When a site that had answered stops answering (10 IDs in a "
                                                     "row fail), wait for it up to MINUTES, asking again after "
                                                     "10 s, then twice as long each time up to 5 minutes apart, "
                                                     "and go on where it stopped (default 30; 0 ends the run "
                                                     "at once)."),
                                      QStringLiteral("MINUTES"));
    const QCommandLineOption pause({QStringLiteral("pause")},
                                   QStringLiteral("Pause after each ID in milliseconds (default 50)."),
                                   QStringLiteral("MS"));
    const QCommandLineOption parallel({QStringLiteral("parallel")},
                                      QStringLiteral("Requests in flight at once, 1 (default) to 16. Beyond 1 the "
                                                     "pause is the least time between the starts of two requests, "
                                                     "so the site gets up to N requests at a time and at most one "
                                                     "per pause; when the site refuses (429 or 503) the run holds "
                                                     "to the rate it accepts. Rows still come in ID order."),
                                      QStringLiteral("N"));
    const QCommandLineOption minGrade({QStringLiteral("min-grade")},
                                      QStringLiteral("Lowest grade kept: an index 0 to 25 or a label such as "
                                                     "\"闪亮新秀 1\" (default 0)."),
                                      QStringLiteral("G"));
    const QCommandLineOption maxGrade({QStringLiteral("max-grade")},
                                      QStringLiteral("Highest grade kept (default 25)."), QStringLiteral("G"));
    const QCommandLineOption output({QStringLiteral("output")},
                                    QStringLiteral("Write the rows to FILE, complete when the run ends; the "
                                                   "rows are journaled beside it as they come, and the "
                                                   "IDs given up listed in FILE.failed "
                                                   "(default: standard output)."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption format({QStringLiteral("format")}, QStringLiteral("csv (default) or jsonl."),
                                    QStringLiteral("FORMAT"));
    const QCommandLineOption encoding({QStringLiteral("encoding")},
                                      QStringLiteral("CSV encoding: gb18030 (as the window saves; the default "
                                                     "with --output) or utf-8 (with a byte-order mark). Without "
                                                     "--output the default is the locale's encoding."),
                                      QStringLiteral("ENC"));
    const QCommandLineOption baseUrl({QStringLiteral("base-url")},
                                     QStringLiteral("Profile pages are URL followed by the ID (default %1).")
                                         .arg(Site::fetchBaseUrl()),
                                     QStringLiteral("URL"));
    const QCommandLineOption userAgent({QStringLiteral("user-agent")},
                                       QStringLiteral("The User-Agent of every request (default VqLirra/%1).")
                                           .arg(QCoreApplication::applicationVersion()),
                                       QStringLiteral("TEXT"));
    const QCommandLineOption resume({QStringLiteral("resume")},
                                    QStringLiteral("Continue the interrupted run of --output."));
    const QCommandLineOption quiet({QStringLiteral("quiet")}, QStringLiteral("No progress line."));
    parser.addOptions({start, end, ids, patience, pause, parallel, minGrade, maxGrade, output, format, encoding, baseUrl, userAgent, resume, quiet});

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
        if (!parser.positionalArguments().isEmpty())
            throw BadArgument{QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first())};
        if (parser.isSet(start))
            options.start = wholeNumber(QStringLiteral("start"), parser.value(start));
        if (parser.isSet(end))
            options.end = wholeNumber(QStringLiteral("end"), parser.value(end));
        if (parser.isSet(pause))
            options.pauseMs = wholeNumber(QStringLiteral("pause"), parser.value(pause));
        if (parser.isSet(ids)) {
            if (parser.isSet(start) || parser.isSet(end))
                throw BadArgument{QStringLiteral("--ids: give either a list of IDs or --start and --end")};
            options.listed = true;
            options.ids = listedIds(parser.value(ids));
            options.start = options.ids.front();
            options.end = options.ids.back();
        }
        if (parser.isSet(patience)) {
            const qint32 minutes = wholeNumber(QStringLiteral("patience"), parser.value(patience));
            if (minutes < 0 || minutes > 7 * 24 * 60)
                throw BadArgument{QStringLiteral("--patience: '%1' is not a number of minutes from 0 to 10080")
                                      .arg(parser.value(patience))};
            options.patienceMs = qint64(minutes) * 60000;
        }
        if (options.end < options.start)
            throw BadArgument{QStringLiteral("--end: %1 lies below --start %2").arg(options.end).arg(options.start)};
        if (parser.isSet(parallel)) {
            options.parallel = wholeNumber(QStringLiteral("parallel"), parser.value(parallel));
            if (options.parallel < 1 || options.parallel > 16)
                throw BadArgument{QStringLiteral("--parallel: '%1' is not a number of requests from 1 to 16")
                                      .arg(parser.value(parallel))};
        }
        if (parser.isSet(minGrade))
            options.minGrade = grade(QStringLiteral("min-grade"), parser.value(minGrade));
        if (parser.isSet(maxGrade))
            options.maxGrade = grade(QStringLiteral("max-grade"), parser.value(maxGrade));
        // Crossed grades keep nothing: a whole run for no row is surely a slip.
        if (options.maxGrade < options.minGrade)
            throw BadArgument{QStringLiteral("--max-grade: %1 lies below --min-grade %2")
                                  .arg(Grade::scale().value(options.maxGrade), Grade::scale().value(options.minGrade))};
        options.output = parser.value(output);
        if (parser.isSet(output) && options.output.isEmpty())
            throw BadArgument{QStringLiteral("--output: the file name is empty")};
        const QString f = parser.isSet(format) ? parser.value(format) : QStringLiteral("csv");
        if (f != u"csv" && f != u"jsonl")
            throw BadArgument{QStringLiteral("--format: '%1' is unknown; use csv or jsonl").arg(f)};
        options.format = f == u"csv" ? CliOptions::Csv : CliOptions::JsonLines;
        const QString e = parser.isSet(encoding) ? parser.value(encoding).toLower() : QStringLiteral("gb18030");
        if (e != u"gb18030" && e != u"utf-8" && e != u"utf8")
            throw BadArgument{QStringLiteral("--encoding: '%1' is unknown; use gb18030 or utf-8").arg(parser.value(encoding))};
        options.encoding = e != u"gb18030" ? CliOptions::Utf8 : CliOptions::WindowBytes;
        // A terminal or a pipe reads what the locale says, as with any command-line tool.
        if (!parser.isSet(encoding) && options.output.isEmpty())
            options.encoding = CliOptions::Locale;
        options.baseUrl = parser.isSet(baseUrl) ? parser.value(baseUrl) : Site::fetchBaseUrl();
        const QUrl url(options.baseUrl, QUrl::StrictMode);
        if (!url.isValid() || (url.scheme() != u"http" && url.scheme() != u"https") || url.host().isEmpty())
            throw BadArgument{QStringLiteral("--base-url: '%1' is not an http or https URL").arg(options.baseUrl)};
        options.userAgent = parser.value(userAgent);
        if (parser.isSet(userAgent) && (options.userAgent.isEmpty() || options.userAgent.contains(u'\n')))
            throw BadArgument{QStringLiteral("--user-agent: give a text of one line")};
        options.resume = parser.isSet(resume);
        if (options.resume && options.output.isEmpty())
            throw BadArgument{QStringLiteral("--resume: needs the --output of the interrupted run")};
        options.quiet = parser.isSet(quiet);
    } catch (const BadArgument &bad) {
        writeText(stderr, QStringLiteral("vqlirra-cli: ") + bad.message + u'\n');
        return 2;
    }
    return -1;
}
