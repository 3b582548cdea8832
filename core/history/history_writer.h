#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

struct sqlite3;

// One ID as a harvest read it: a profile's values as the page showed them, or no profile.
struct HistoryVisit
{
    qint64 id = 0;
    qint64 at = 0;      // Unix seconds
    bool found = false; // false: the ID had no profile
    QString name, userId, grade;
    std::array<QString, 5> counters; // plays, works, shares, follows, fans, as read
};

// Records a harvest's visits into the history file from a thread of its own, a transaction
// every half second or few hundred visits, so the harvest waits neither for the disk nor for
// another program writing the same file. A kill loses at most the visits of the last second.
class HistoryWriter
{
public:
    struct Harvest
    {
        QString site;
        qint64 first = 0, last = 0;
        QString program;
    };
    enum class Trouble { SetAside, CannotOpen, CannotWrite, Busy };
    // Told once for each kind, on the writer's own thread: what happened and to which file
    // (for SetAside, where the damaged one went).
    using Reporter = std::function<void(Trouble, const QString &file, const QString &detail)>;

    HistoryWriter(const QString &path, const Harvest &harvest, Reporter report);
    // What was recorded is written (or given up on) before it returns; the harvest gets its end.
    ~HistoryWriter();
    HistoryWriter(const HistoryWriter &) = delete;
    HistoryWriter &operator=(const HistoryWriter &) = delete;

    void record(HistoryVisit &&visit);
    // What the site says for an ID without a profile, learnt ("STATUS<tab>KEY"): kept with the
    // site, with the last profile it served, for the next harvest of it.
    void learnt(const QString &absence);
    // The site's pace as the harvest found it ("RATE PROVEN BURST IN_FLIGHT"), kept likewise.
    void paced(const QString &pace);

    // Small batches keep the writing beside the harvest, so little is left for its end.
    static constexpr int kBatch = 256;
    static constexpr int kFlushMs = 500;
    static constexpr int kMostHeld = 200000; // while another program holds the file

private:
    void loop();
    bool write(std::vector<HistoryVisit> &batch, bool last);
    bool writeBatch(const std::vector<HistoryVisit> &batch, bool last);
    bool writeSite();
    bool open();
    void tell(Trouble trouble, const QString &file, const QString &detail);

    const QString m_path;
    const Harvest m_harvest;
    const Reporter m_report;
    sqlite3 *m_db = nullptr;
    qint64 m_harvestId = 0;
    bool m_off = false; // the file cannot be written: visits are dropped
    int m_told = 0;     // the troubles already told, one bit each
    std::mutex m_mutex;
    std::condition_variable m_wake, m_room;
    bool m_held = false; // the last write found the file busy
    std::vector<HistoryVisit> m_pending;
    QStringList m_learnt;       // absences learnt, with the mutex
    QString m_pace;             // the site's pace, with the mutex
    qint64 m_lastProfile = -1;  // the last profile recorded, with the mutex
    bool m_siteChanged = false; // with the mutex
    bool m_stopping = false;
    std::thread m_thread;
};
