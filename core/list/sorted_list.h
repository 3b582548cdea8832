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

protected:
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override;

private:
    // A cell's place: its group (numbers, or the grade, before the rest), then two words that
    // order it (the number, or the first sixteen bytes of the text), then the text itself,
    // read only when both are longer than that.
    struct Key
    {
        int group;
        int length;
        quint64 high, low;
    };
    Key keyOf(int column, QByteArrayView utf8, Qt::SortOrder order) const;
    int compare(int column, Qt::SortOrder order, int leftRow, const Key &a, int rightRow, const Key &b) const;
    void rank(int column, Qt::SortOrder order);

    ResultModel *m_list;
    // Each row's place in the order, worked out once for a sort of the whole list: the sort
    // itself then compares small numbers and does not wander through the rows' memory.
    std::vector<int> m_rank;
};
