#pragma once

#include "history_changes.h"

#include <QWidget>

#include <vector>

// What a profile's chart shows: its fans and plays at each harvest that found it, oldest first.
struct ChartSeries
{
    std::vector<qint64> at; // Unix seconds
    std::vector<qint64> fans, plays;
};
ChartSeries chartSeries(const std::vector<VisitValues> &visits);

// A profile's fans and plays over its harvests as two lines, the dates along the axis, fans
// on the left scale and plays on the right.
class HistoryChart : public QWidget
{
    Q_OBJECT
public:
    explicit HistoryChart(QWidget *parent = nullptr);
    void setSeries(const ChartSeries &series);
    const ChartSeries &series() const { return m_series; }
    QSize sizeHint() const override { return {640, 360}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    ChartSeries m_series;
};
