#include "changes_model.h"
#include "columns.h"

#include <QDateTime>
#include <QLocale>

#include <algorithm>

namespace {
ChangeRow compact(const ProfileChange &change)
{
    ChangeRow row;
    row.id = change.id;
    row.status = change.status;
    row.name = change.now.found ? change.now.name : change.before.name;
    row.grade = change.now.grade;
    row.gradeBefore = change.before.grade;
    row.now = change.now.counts;
    row.before = change.before.counts;
    row.previousAt = change.before.at;
    return row;
}

std::optional<qint64> difference(const ChangeRow &row, int counter)
{
    const auto &now = row.now[size_t(counter)], &before = row.before[size_t(counter)];
    if (!now || !before)
        return std::nullopt;
    return *now - *before;
}

std::optional<double> percent(const ChangeRow &row, int counter)
{
    const std::optional<qint64> diff = difference(row, counter);
    if (!diff || *row.before[size_t(counter)] == 0)
        return std::nullopt;
    return 100.0 * double(*diff) / double(*row.before[size_t(counter)]);
}
} // namespace

std::vector<ChangeRow> loadChanges(const QString &path, std::vector<qint64> listedIds, qint64 first, qint64 last,
                                   QString *error)
{
    std::vector<ChangeRow> rows;
    HistoryReader history(path);
    if (!history.ok()) {
        *error = history.error();
        return rows;
    }
    std::sort(listedIds.begin(), listedIds.end());
    rows.reserve(listedIds.size());
    const bool read = history.changesInRange(first, last, 0, [&](const ProfileChange &change) {
        if (change.status == ProfileChange::Gone || std::binary_search(listedIds.begin(), listedIds.end(), change.id))
            rows.push_back(compact(change));
    });
    if (!read)
        *error = QStringLiteral("读取中断");
    // The rising singers first.
    ChangesModel::sortRows(rows, ChangesModel::fansGainedColumn(), Qt::DescendingOrder);
    return rows;
}

void ChangesModel::sortRows(std::vector<ChangeRow> &rows, int column, Qt::SortOrder order)
{
    // Each row's key is worked out once; numbers compare as numbers, texts as texts.
    const bool numeric = column == IdColumn || column >= kFirstCounter;
    std::vector<std::pair<QVariant, size_t>> keys;
    keys.reserve(rows.size());
    for (size_t r = 0; r < rows.size(); ++r)
        keys.emplace_back(cell(rows[r], column, true), r);
    const auto less = [numeric](const QVariant &a, const QVariant &b) {
        return numeric ? a.toDouble() < b.toDouble() : a.toString() < b.toString();
    };
    std::stable_sort(keys.begin(), keys.end(), [&](const auto &a, const auto &b) {
        return order == Qt::AscendingOrder ? less(a.first, b.first) : less(b.first, a.first);
    });
    std::vector<ChangeRow> sorted;
    sorted.reserve(rows.size());
    for (const auto &key : keys)
        sorted.push_back(std::move(rows[key.second]));
    rows.swap(sorted);
}

void ChangesModel::sort(int column, Qt::SortOrder order)
{
    beginResetModel();
    sortRows(m_rows, column, order);
    endResetModel();
}

ChangesModel::ChangesModel(QObject *parent) : QAbstractTableModel(parent) {}

void ChangesModel::setRows(std::vector<ChangeRow> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

int ChangesModel::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : int(m_rows.size()); }

int ChangesModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : kColumns; }

QString ChangesModel::signedNumber(qint64 value)
{
    const QString digits = QLocale::c().toString(value < 0 ? -value : value);
    return (value > 0 ? QStringLiteral("+") : value < 0 ? QStringLiteral("\u2212") : QString()) + digits;
}

QString ChangesModel::signedPercent(double percent)
{
    return (percent > 0 ? QStringLiteral("+") : percent < 0 ? QStringLiteral("\u2212") : QString())
           + QString::number(std::abs(percent), 'f', 1) + u'%';
}

QVariant ChangesModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::UserRole))
        return {};
    return cell(m_rows[size_t(index.row())], index.column(), role == Qt::UserRole);
}

QVariant ChangesModel::cell(const ChangeRow &row, int column, bool forSorting)
{
    static const char16_t *const statuses[] = {u"新", u"变化", u"相同", u"已消失"};
    switch (column) {
    case StatusColumn: return QString::fromUtf16(statuses[row.status]);
    case NameColumn: return row.name;
    case IdColumn: return forSorting ? QVariant(row.id) : QVariant(QString::number(row.id));
    case GradeBeforeColumn: return row.gradeBefore;
    case GradeColumn: return row.grade;
    case kColumns - 1:
        if (forSorting)
            return row.previousAt;
        return row.previousAt == 0 ? QString()
                                   : QDateTime::fromSecsSinceEpoch(row.previousAt).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    default: break;
    }
    const int counter = (column - kFirstCounter) / 3;
    const int part = (column - kFirstCounter) % 3;
    // Missing values sort below every number, so the biggest gains come first either way.
    const QVariant none = forSorting ? QVariant(std::numeric_limits<double>::lowest()) : QVariant(QString());
    if (part == 0) {
        const auto &value = row.now[size_t(counter)];
        return value ? (forSorting ? QVariant(double(*value)) : QVariant(QString::number(*value))) : none;
    }
    if (part == 1) {
        const std::optional<qint64> diff = difference(row, counter);
        return diff ? (forSorting ? QVariant(double(*diff)) : QVariant(signedNumber(*diff))) : none;
    }
    const std::optional<double> share = percent(row, counter);
    if (!share)
        return none;
    return forSorting ? QVariant(*share) : QVariant(signedPercent(*share));
}

QVariant ChangesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case StatusColumn: return QStringLiteral("状态");
    case NameColumn: return Column::header(Column::Name);
    case IdColumn: return Column::header(Column::HomepageId);
    case GradeBeforeColumn: return QStringLiteral("原等级");
    case GradeColumn: return Column::header(Column::Grade);
    default: break;
    }
    if (section == kColumns - 1)
        return QStringLiteral("上次采集");
    const QString counter = Column::header(Column::kCounters[size_t((section - kFirstCounter) / 3)]);
    static const char16_t *const parts[] = {u"", u"变化", u"变化%"};
    return counter + QString::fromUtf16(parts[(section - kFirstCounter) % 3]);
}
