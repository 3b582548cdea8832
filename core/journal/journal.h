#pragma once

#include "absent_pages.h"
#include "kept_pace.h"
#include "result_model.h"
#include "run_summary.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <vector>

class QLockFile;

// Keeps the rows a harvest kept, and how far its run got, in files of the Log folder, so
// that neither a closed window nor a crash nor a power cut loses them. Rows are written in
// the CSV export's line format (a header line first) and handed to the system at once;
// the disk is synced at most once a second and when a run ends.
class Journal
{
public:
    struct Recovery
    {
        CompactRows rows;        // the whole rows, when asked for
        qint64 rowCount = 0;
        bool unfinished = false; // the run had not reached its end ID
        qint64 resumeFrom = 0;   // the next ID to harvest, when unfinished
        qint64 end = 0;          // that run's end ID
        QString setAside;        // where an unreadable journal was moved, if one was
        RunSummary earlier;      // what the unfinished run had done (its failed IDs are not kept)
        // What the site was found to say for an ID without a profile, and its pace.
        QList<AbsentPages::Look> absences;
        KeptPace pace;
    };

    // The files are dir/NAME.csv (the rows) and dir/NAME.run (the run).
    explicit Journal(const QString &dir, const QString &name = QStringLiteral("journal"));
    ~Journal();

    // Takes the folder's journal for this program; false when another program has it.
    bool lock();
    // What an earlier program left, with its rows when keepRows. An unreadable journal is
    // moved aside (see setAside).
    Recovery recover(bool keepRows = true);

    // Called with the file's path the first time a write fails.
    void setReporter(std::function<void(const QString &)> report);

    void rowKept(const std::array<QString, 10> &cells);
    // What the site says for an ID without a profile, learnt: kept with the run's state, so
    // that the run resumed need not learn it again.
    void learnt(const AbsentPages::Look &look);
    const QList<AbsentPages::Look> &absences() const { return m_absences; }
    // The site's pace as the run found it, kept with the run's state likewise.
    void paced(const KeptPace &pace) { m_pace = pace; }
    const KeptPace &pace() const { return m_pace; }
    // How far the run got; written at most once a second.
    void progress(qint64 first, qint64 last, qint64 lastFinished, const RunSummary &counts);
    // The run ended: everything on disk now.
    void endRun(qint64 first, qint64 last, qint64 lastFinished, const RunSummary &counts);
    // The list was emptied: so is the journal.
    void clear();
    // The list is safe elsewhere, or empty: nothing is kept.
    void remove();

    QString rowsPath() const;
    QString statePath() const;

private:
    bool openRows();
    void writeRow(const QString &line);
    void writeState(qint64 first, qint64 last, qint64 lastFinished, const RunSummary &counts);
    void sync();
    void failed(const QString &path);

    QString m_dir;
    QString m_name;
    std::unique_ptr<QLockFile> m_lock;
    QFile m_rows;
    qint64 m_rowCount = 0;
    bool m_unsynced = false;
    bool m_removed = false;
    bool m_reported = false;
    QDeadlineTimer m_nextSync;
    QDeadlineTimer m_nextState;
    std::function<void(const QString &)> m_report;
    QList<AbsentPages::Look> m_absences;
    KeptPace m_pace;
};
