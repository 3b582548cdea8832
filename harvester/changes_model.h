#pragma once

#include "history_changes.h"

#include <QAbstractTableModel>

#include <array>
#include <atomic>
#include <optional>
#include <vector>

class ChangesModel;

// One profile of the change view, kept small: a list of 100,000 of them is shown at once.
struct ChangeRow
{
    qint64 id = 0;
    ProfileChange::Status status = ProfileChange::Same;
    QString name, grade, gradeBefore;
    std::array<std::optional<qint64>, 5> now, before; // plays, works, shares, follows, fans
    qint64 previousAt = 0;                            // Unix seconds; 0 for none
};

// The changes of the profiles listed, and of those gone from the IDs first to last, read
// from the history at path. error says why when nothing could be read.
std::vector<ChangeRow> loadChanges(const QString &path, std::vector<qint64> listedIds, qint64 first, qint64 last,
                                   QString *error);

// The change view's rows as a workbook at path: false when there are none or it could not be
// written.
bool saveChangesWorkbook(const ChangesModel &model, const QString &path, std::atomic<int> *rowsDone = nullptr);

// The change view's table: status, name, homepage ID, the grade before and now, then for each
// counter its value, the difference and the difference in percent, and the previous harvest's
// date. Qt::UserRole gives each cell's value to sort by (a number where it is one). It sorts
// itself: a proxy would build two values for every comparison, half a second for 100,000 rows.
class ChangesModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit ChangesModel(QObject *parent = nullptr);

    void setRows(std::vector<ChangeRow> rows);
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    // The same, for rows not yet shown (on any thread).
    static void sortRows(std::vector<ChangeRow> &rows, int column, Qt::SortOrder order);
    const ChangeRow &row(int r) const { return m_rows[size_t(r)]; }
    const std::vector<ChangeRow> &rows() const { return m_rows; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The view's own columns: the fixed ones, then each counter's three from kFirstCounter.
    enum : int { StatusColumn, NameColumn, IdColumn, GradeBeforeColumn, GradeColumn, kFirstCounter };
    static constexpr int kColumns = kFirstCounter + 15 + 1;
    static int fansGainedColumn() { return kFirstCounter + 4 * 3 + 1; }
    // "+1,234" or "−56", as the view shows a difference.
    static QString signedNumber(qint64 value);
    static QString signedPercent(double percent); // "+12.3%"

private:
    static QVariant cell(const ChangeRow &row, int column, bool forSorting);

    std::vector<ChangeRow> m_rows;
};
