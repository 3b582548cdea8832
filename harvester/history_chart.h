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

// A profile's fans and plays over its harvests as two lines, each on its own scale (fans on
// the left, plays on the right) with light grid lines, a mark at each harvest and the dates
// along the bottom; the values of the harvest under the mouse pointer are written beside it.
class HistoryChart : public QWidget
{
    Q_OBJECT
public:
    explicit HistoryChart(QWidget *parent = nullptr);
    void setSeries(const QString &name, qint64 id, const ChartSeries &series);
    const ChartSeries &series() const { return m_series; }
    // The profile, and the change of both from the first harvest shown to the last.
    QString title() const;
    QSize sizeHint() const override { return {640, 360}; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    QRectF plotArea() const;
    double xOf(size_t harvest) const;
    void drawSeries(QPainter &painter, int which) const;
    void drawDates(QPainter &painter) const;
    void drawHover(QPainter &painter) const;

    QString m_name;
    qint64 m_id = 0;
    ChartSeries m_series;
    int m_hover = -1; // the harvest under the pointer
};
