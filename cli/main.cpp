#include "console_host.h"
#include "console_io.h"
#include "failed_ids.h"
#include "harvest_run.h"
#include "journal.h"
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
enum Exit { AllRead = 0, SomeFailed = 1, BadArgument = 2, CannotWrite = 3, Interrupted = 130 };

int complain(int code, const QString &message)
{
    writeText(stderr, QStringLiteral("vqlirra-cli: ") + message + u'\n');
    return code;
}

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
    settings.retries.patienceMs = options.patienceMs;
    const RowFormat format(options);
    ResultModel list;
    std::unique_ptr<Journal> journal;
    qint32 start = options.start, end = options.end;
    RunSummary earlier; // a resumed harvest's summary counts the whole of it
    qint64 rowsBefore = 0;
    if (!options.output.isEmpty()) {
        const QFileInfo out(options.output);
        journal = std::make_unique<Journal>(out.absolutePath(), out.fileName() + QStringLiteral(".journal"));
        if (!journal->lock())
            return complain(CannotWrite, QStringLiteral("another vqlirra-cli is writing %1").arg(options.output));
        const Journal::Recovery found = journal->recover(false);
        if (!found.setAside.isEmpty())
            complain(0, QStringLiteral("the journal of %1 could not be read; it was moved to %2")
                            .arg(options.output, found.setAside));
        if (options.resume) {
            rowsBefore = found.rowCount;
            if (found.unfinished && options.listed && found.end != options.end)
                return complain(BadArgument, QStringLiteral("the interrupted run of %1 was not of this list of IDs "
                                                            "(it ends at ID %2, the list at %3)")
                                                 .arg(options.output).arg(found.end).arg(options.end));
            if (found.unfinished) {
                start = qint32(found.resumeFrom);
                end = qint32(found.end);
                earlier = found.earlier;
            } else if (found.rowCount == 0) {
                complain(0, QStringLiteral("no interrupted run of %1; starting at %2").arg(options.output).arg(start));
            } else {
                // The run had ended; only the file is left to write.
                start = 1;
                end = 0;
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
    }

    ConsoleHost::catchSignals();
    ConsoleHost host(options, format, options.output.isEmpty());
    std::unique_ptr<FailedIds> failed;
    if (!options.output.isEmpty()) {
        failed = std::make_unique<FailedIds>(options.output + QStringLiteral(".failed"));
        // A resumed harvest fetches again from start; one that had ended fetches nothing.
        failed->start(options.resume, start <= end ? qint64(start) : std::numeric_limits<qint64>::max());
        host.keepFailedIn(failed.get());
    }
    // FILE is made from the journal: rows it could not take would be lost, so the run stops
    // there, to be resumed once the journal can be written again.
    bool journalFailed = false;
    if (journal) {
        journal->setReporter([&host, &journalFailed](const QString &path) {
            journalFailed = true;
            host.stop();
            complain(0, QStringLiteral("cannot write the journal %1; stopped, continue with --resume").arg(path));
        });
    }
    IdSequence ids(start, end);
    if (options.listed) {
        std::vector<qint32> left(options.ids.begin(), options.ids.end());
        left.erase(left.begin(), std::lower_bound(left.begin(), left.end(), start));
        if (start > end)
            left.clear();
        ids = IdSequence(std::move(left));
    }
    if (ids.size() > 0) {
        HarvestRun run(host, list, options.baseUrl, journal.get(), settings);
        run.carryOver(earlier);
        run.streamRows(rowsBefore); // each row goes to standard output or the journal, then is gone
        run.execute(ids);
    } else {
        host.completed();
    }
    host.finish();

    if (!options.output.isEmpty()) {
        QString error;
        if (!writeFromJournal(options.output, *journal, format, error))
            return complain(CannotWrite, QStringLiteral("cannot write %1: %2").arg(options.output, error));
        if (journalFailed)
            return CannotWrite;
        if (host.completedRange()) {
            journal->remove();
            failed->finish();
        }
    }
    if (ConsoleHost::interrupted())
        return Interrupted;
    return host.anyGivenUp() || host.runFailed() ? SomeFailed : AllRead;
}
