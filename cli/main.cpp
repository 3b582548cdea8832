#include "changes_report.h"
#include "console_host.h"
#include "console_io.h"
#include "failed_ids.h"
#include "harvest.h"
#include "journal.h"
#include "journal_reader.h"
#include "list_workbook.h"
#include "options.h"
#include "result_model.h"
#include "row_format.h"
#include "pageutil.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

namespace {

// FILE from the journal of its rows, written beside it and put in its place only whole.
bool writeFromJournal(const QString &path, const Journal &journal, const RowFormat &format, QString &error)
{
    QFile rows(journal.rowsPath());
    QBuffer none; // no row was kept
    QIODevice &in = rows.open(QIODevice::ReadOnly) ? static_cast<QIODevice &>(rows) : none;
    none.open(QIODevice::ReadOnly);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        error = file.errorString();
        return false;
    }
    if (!format.convertJournal(in, file)) {
        error = file.error() != QFileDevice::NoError ? file.errorString() : QStringLiteral("its journal cannot be read");
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        error = file.errorString();
        return false;
    }
    return true;
}
// FILE as a workbook of the journal's rows, made beside it and put in its place only whole.
bool writeWorkbookFromJournal(const QString &path, const Journal &journal, QString &error)
{
    QFile rows(journal.rowsPath());
    if (rows.exists() && !rows.open(QIODevice::ReadOnly)) {
        error = rows.errorString();
        return false;
    }
    const std::unique_ptr<Workbook> book = ListWorkbook::open(path);
    if (rows.isOpen()) {
        const JournalReader::Reading read = JournalReader::read(rows, [&book](const ResultModel::Row &cells) {
            ListWorkbook::addRow(*book, cells);
        });
        if (!read.ok || read.torn) {
            error = QStringLiteral("its journal cannot be read");
            return false;
        }
    }
    if (!book->close()) {
        error = QStringLiteral("the workbook could not be written");
        return false;
    }
    return true;
}

// Where the harvest starts and what it carries over from an interrupted one.
struct Resumed
{
    qint32 start, end;
    RunSummary earlier; // a resumed harvest's summary counts the whole of it
    qint64 rowsBefore = 0;
};

// Opens the journal beside --output and finds what --resume continues. Returns the exit code
// when the run cannot go on, else -1.
int prepareOutput(const CliOptions &options, std::unique_ptr<Journal> &journal, Resumed &harvest)
{
    const QFileInfo out(options.output);
    journal = std::make_unique<Journal>(out.absolutePath(), out.fileName() + QStringLiteral(".journal"));
    if (!journal->lock())
        return complain(CannotWrite, QStringLiteral("another vqlirra-cli is writing %1").arg(options.output));
    const Journal::Recovery found = journal->recover(false);
    if (!found.setAside.isEmpty())
        complain(0, QStringLiteral("the journal of %1 could not be read; it was moved to %2")
                        .arg(options.output, found.setAside));
    if (options.resume) {
        harvest.rowsBefore = found.rowCount;
        if (found.unfinished && options.listed && found.end != options.end)
            return complain(BadArgument, QStringLiteral("the interrupted run of %1 was not of this list of IDs "
                                                        "(it ends at ID %2, the list at %3)")
                                             .arg(options.output).arg(found.end).arg(options.end));
        if (found.unfinished) {
            harvest.start = qint32(found.resumeFrom);
            harvest.end = qint32(found.end);
            harvest.earlier = found.earlier;
        } else if (found.rowCount == 0) {
            complain(0, QStringLiteral("no interrupted run of %1; starting at %2").arg(options.output).arg(harvest.start));
        } else {
            // The run had ended; only the file is left to write.
            harvest.start = 1;
            harvest.end = 0;
        }
    } else if (found.rowCount > 0 || found.unfinished) {
        return complain(BadArgument, QStringLiteral("%1 has an interrupted run; continue it with --resume, or "
                                                    "delete %2 and %3 to start afresh")
                                         .arg(options.output, journal->rowsPath(), journal->statePath()));
    }
    QSaveFile probe(options.output);
    if (!probe.open(QIODevice::WriteOnly))
        return complain(CannotWrite, QStringLiteral("cannot write %1: %2").arg(options.output, probe.errorString()));
    probe.cancelWriting();
    return -1;
}

// The IDs left to walk: the range, or those of the list from the harvest's start on.
IdSequence idsToWalk(const CliOptions &options, const Resumed &harvest)
{
    if (!options.listed)
        return IdSequence(harvest.start, harvest.end);
    std::vector<qint32> left(options.ids.begin(), options.ids.end());
    left.erase(left.begin(), std::lower_bound(left.begin(), left.end(), harvest.start));
    if (harvest.start > harvest.end)
        left.clear();
    return IdSequence(std::move(left));
}

// FILE made from the journal once the run has ended; the journal and the failed IDs go
// when the range was done. Returns the exit code when that decides it, else -1.
int finishOutput(const CliOptions &options, Journal &journal, FailedIds &failed, const RowFormat &format,
                 ConsoleHost &host, bool journalFailed)
{
    QString error;
    if (options.format == CliOptions::Xlsx)
        host.writing(options.output); // a workbook takes a while to compress
    const bool written = options.format == CliOptions::Xlsx ? writeWorkbookFromJournal(options.output, journal, error)
                                                            : writeFromJournal(options.output, journal, format, error);
    if (!written)
        return complain(CannotWrite, QStringLiteral("cannot write %1: %2").arg(options.output, error));
    if (journalFailed)
        return CannotWrite;
    if (host.completedRange()) {
        journal.remove();
        failed.finish();
    }
    return -1;
}
// The harvest of ids: its rows streamed to standard output or the journal; with --output, the
// journal and the IDs given up beside FILE; with --history, every page read in that history.
RunSummary walk(const CliOptions &options, const RunSettings &settings, ConsoleHost &host, const IdSequence &ids,
                const Resumed &resumed, Journal *journal, FailedIds *failed)
{
    HarvestPlan plan;
    plan.site = options.baseUrl;
    plan.ids = ids;
    plan.settings = settings;
    plan.journal = journal;
    plan.history = options.history;
    plan.program = QStringLiteral("vqlirra-cli " VQ_VERSION);
    plan.failedIds = failed;
    plan.rowsBefore = resumed.rowsBefore;
    plan.earlier = resumed.earlier;
    return Harvest(plan, host, host).run();
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vqlirra-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VQ_VERSION));
    CliOptions options;
    if (const int done = parseOptions(app, options); done >= 0)
        return done;
    RunSettings settings;
    settings.fetch.userAgent = options.userAgent.toUtf8(); // empty: the tool's own
    settings.fetch.caFile = options.caFile;
    settings.retries.patienceMs = options.patienceMs;
    const RowFormat format(options);
    if (options.changes)
        return writeChanges(options, format);
    std::unique_ptr<Journal> journal;
    Resumed harvest{options.start, options.end, {}};
    if (!options.output.isEmpty())
        if (const int done = prepareOutput(options, journal, harvest); done >= 0)
            return done;

    ConsoleHost::catchSignals();
    ConsoleHost host(options, format, options.output.isEmpty());
    std::unique_ptr<FailedIds> failed;
    // FILE is made from the journal: rows it could not take would be lost, so the run stops
    // there, to be resumed once the journal can be written again.
    bool journalFailed = false;
    if (journal) {
        failed = std::make_unique<FailedIds>(options.output + QStringLiteral(".failed"));
        // A resumed harvest fetches again from start; one that had ended fetches nothing.
        failed->start(options.resume, harvest.start <= harvest.end ? qint64(harvest.start) : std::numeric_limits<qint64>::max());
        host.keepFailedIn(failed.get());
        journal->setReporter([&host, &journalFailed](const QString &path) {
            journalFailed = true;
            host.stop();
            complain(0, QStringLiteral("cannot write the journal %1; stopped, continue with --resume").arg(path));
        });
    }
    RunSummary counts;
    if (const IdSequence ids = idsToWalk(options, harvest); ids.size() > 0)
        counts = walk(options, settings, host, ids, harvest, journal.get(), failed.get());
    else
        host.completed();
    // FILE is written before the summary, which says how the harvest ended.
    const int written = journal ? finishOutput(options, *journal, *failed, format, host, journalFailed) : -1;
    host.finish(counts);
    if (written >= 0)
        return written;
    if (ConsoleHost::interrupted())
        return Interrupted;
    if (host.blocked())
        return Blocked;
    return host.anyGivenUp() || host.runFailed() ? SomeFailed : AllRead;
}
