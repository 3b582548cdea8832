#include "console_host.h"
#include "harvest_run.h"
#include "journal.h"
#include "options.h"
#include "result_model.h"
#include "row_format.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextStream>

namespace {
enum Exit { AllRead = 0, SomeFailed = 1, BadArgument = 2, CannotWrite = 3, Interrupted = 130 };

int complain(int code, const QString &message)
{
    QTextStream(stderr) << "vqlirra-cli: " << message << "\n";
    return code;
}

bool writeWhole(const QString &path, const QByteArray &bytes, QString &error)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    error = file.errorString();
    return false;
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

    const RowFormat format(options);
    ResultModel list;
    std::unique_ptr<Journal> journal;
    qint32 start = options.start, end = options.end;
    RunSummary earlier; // a resumed harvest's summary counts the whole of it
    if (!options.output.isEmpty()) {
        const QFileInfo out(options.output);
        journal = std::make_unique<Journal>(out.absolutePath(), out.fileName() + QStringLiteral(".journal"));
        if (!journal->lock())
            return complain(CannotWrite, QStringLiteral("another vqlirra-cli is writing %1").arg(options.output));
        Journal::Recovery found = journal->recover();
        if (!found.setAside.isEmpty())
            complain(0, QStringLiteral("the journal of %1 could not be read; it was moved to %2")
                            .arg(options.output, found.setAside));
        if (options.resume) {
            list.appendRows(std::move(found.rows));
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
        journal->setReporter([](const QString &path) {
            complain(0, QStringLiteral("cannot write the journal %1; the run goes on").arg(path));
        });
    }

    ConsoleHost::catchSignals();
    ConsoleHost host(options, format, options.output.isEmpty());
    if (start <= end) {
        HarvestRun run(host, list, options.baseUrl, journal.get());
        run.carryOver(earlier);
        run.execute(start, end);
    } else {
        host.completed();
    }
    host.finish();

    if (!options.output.isEmpty()) {
        QString error;
        if (!writeWhole(options.output, format.whole(list), error))
            return complain(CannotWrite, QStringLiteral("cannot write %1: %2").arg(options.output, error));
        if (host.completedRange())
            journal->remove();
    }
    if (ConsoleHost::interrupted())
        return Interrupted;
    return host.anyGivenUp() || host.runFailed() ? SomeFailed : AllRead;
}
