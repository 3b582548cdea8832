#pragma once

#include <QSortFilterProxyModel>

#include <vector>

class ResultModel;

// The result list as the view shows it: unsorted, or sorted by one column. Numeric columns
// sort as numbers and the grade by its place in the scale, with "Nothing" and every other
// text that is no number (or no grade) after them in either direction; the name sorts by code
// point. The rows themselves, their Index cells and their order in the list stay as they are.
class SortedList : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    explicit SortedList(ResultModel *list, QObject *parent = nullptr);

    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // A cell's sort key: rank 0 for numbers (and grades), 1 for the rest; for the name, its
    // first sixteen bytes, which decide most comparisons without reading the rows' memory.
    struct Key
    {
        int rank;
        double value;
        quint64 prefix[2] = {0, 0};
    };
    static Key keyOf(int column, QByteArrayView utf8);

protected:
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override;

private:
    Key key(int row) const;

    ResultModel *m_list;
    QByteArrayView text(int row, int column) const;
    void rankNames();

    // Worked out once per row during a sort of the whole list, rather than twice per comparison.
    std::vector<Key> m_keys;
    std::vector<QByteArrayView> m_texts;
    bool m_ranked = false;
};
