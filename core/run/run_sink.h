#pragma once

#include "absent_pages.h"
#include "columns.h"
#include "kept_pace.h"

#include <QString>

#include <array>
#include <bitset>

class IdSequence;
namespace Module1 {
struct Page;
}

// The texts of one profile page: the name, the ID and the grade as settled, every other cell
// read from the page the first time it is asked for. The list fills its row from it cell by
// cell, so a cell that cannot be read leaves the row as far as it got.
class ProfileRead
{
public:
    ProfileRead(const Module1::Page &page, qint64 id, const QString &name, const QString &grade);

    // Cell column (Column::Name to Column::Fans) of the row; raises the failure of a marker without its end.
    const QString &cell(int column);
    // The same for a reader that must never fail: a cell that cannot be read is missing.
    QString cellOrMissing(int column);
    const QString &name() const { return m_cells[Column::Name]; }
    const QString &grade() const { return m_cells[Column::Grade]; }

    // The row as the list numbers and fills it: the cells given so far, the others empty.
    void setNumber(const QString &number);
    const QString &rowCell(int column); // cell(), and the cell is now in the row
    bool rowBegun() const { return m_inRow[Column::Index]; }
    std::array<QString, Column::kCount> row() const;

private:
    const Module1::Page &m_page;
    std::array<QString, Column::kCount> m_cells;
    std::bitset<Column::kCount> m_read, m_inRow;
};

// One ID of a run as settled, in ID order: what the run made of it, handed to every sink.
struct SettledId
{
    enum Kind { Kept, OutOfRange, NoProfile, GivenUp };
    Kind kind = NoProfile;
    qint64 id = 0;
    ProfileRead *profile = nullptr;              // Kept, OutOfRange
    const Module1::FetchOutcome *why = nullptr;  // GivenUp; NoProfile when an answer said so
    // NoProfile: a page that nothing could tell from a block (no profile to compare it with).
    bool unconfirmed = false;
};

// How a run ended, as the sinks see it: Quiet when nothing is to be said (the program is
// closing, or a failure ended it).
enum class RunEnd { Completed, Stopped, Quiet };

// What a run yields goes to sinks attached to it (the list, the journal, the failed IDs, the
// history), each handed every settled ID in the order attached, after the run's own counts.
class RunSink
{
public:
    virtual ~RunSink() = default;
    virtual void begin(const IdSequence &ids) { (void)ids; }
    virtual void settled(const SettledId &id) = 0;
    // A failure struck while id was being settled: what it got so far stays.
    virtual void failedWhile(const SettledId &id) { (void)id; }
    // What the site says for an ID without a profile was learnt.
    virtual void learnt(const AbsentPages::Look &look) { (void)look; }
    // What the run knows of the site's pace now, when it knows something: told when it changes,
    // and before the run ends.
    virtual void paced(const KeptPace &pace) { (void)pace; }
    // The run ends; resumeAt is the first ID it did not finish (the one after its last when done).
    virtual void ended(RunEnd how, qint64 resumeAt) { (void)how, (void)resumeAt; }
};
