#include "history_chart.h"

#include <QDateTime>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

ChartSeries chartSeries(const std::vector<VisitValues> &visits)
{
    ChartSeries series;
    for (const VisitValues &v : visits) {
        // A harvest that found no profile, or a page without either number, has no point.
        if (!v.found || !v.counts[4] || !v.counts[0])
            continue;
        series.at.push_back(v.at);
        series.fans.push_back(*v.counts[4]);
        series.plays.push_back(*v.counts[0]);
    }
    return series;
}

HistoryChart::HistoryChart(QWidget *parent) : QWidget(parent)
{
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
}

void HistoryChart::setSeries(const ChartSeries &series)
{
    m_series = series;
    update();
}

namespace {
// The points of values on area: x from the times, y from 0 to the largest value.
QPolygonF line(const QRectF &area, const std::vector<qint64> &at, const std::vector<qint64> &values)
{
    const qint64 first = at.front(), span = std::max<qint64>(1, at.back() - first);
    const double top = double(std::max<qint64>(1, *std::max_element(values.begin(), values.end())));
    QPolygonF points;
    for (size_t i = 0; i < values.size(); ++i) {
        const double x = at.size() == 1 ? area.center().x() : area.left() + area.width() * double(at[i] - first) / double(span);
        points << QPointF(x, area.bottom() - area.height() * double(values[i]) / top);
    }
    return points;
}
} // namespace

void HistoryChart::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QFontMetrics metrics = fontMetrics();
    const int margin = metrics.horizontalAdvance(QStringLiteral("0000000000"));
    const QRectF area = QRectF(rect()).adjusted(margin, metrics.height() * 2, -margin, -metrics.height() * 2);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(area);
    if (m_series.at.empty()) {
        painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("没有历史数据"));
        return;
    }
    const std::pair<const std::vector<qint64> *, QColor> lines[] = {{&m_series.fans, QColor(0xd0, 0x40, 0x30)},
                                                                     {&m_series.plays, QColor(0x30, 0x60, 0xc0)}};
    const char16_t *const names[] = {u"粉丝", u"播放"};
    for (int s = 0; s < 2; ++s) {
        const std::vector<qint64> &values = *lines[s].first;
        painter.setPen(QPen(lines[s].second, 2));
        const QPolygonF points = line(area, m_series.at, values);
        painter.drawPolyline(points);
        for (const QPointF &p : points)
            painter.drawEllipse(p, 2.5, 2.5);
        // The scale's top on its side, and the legend above the area.
        const QString top = QString::number(*std::max_element(values.begin(), values.end()));
        const QRectF side = s == 0 ? QRectF(0, area.top() - metrics.height() / 2, margin - 4, metrics.height())
                                   : QRectF(area.right() + 4, area.top() - metrics.height() / 2, margin, metrics.height());
        painter.drawText(side, (s == 0 ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter, top);
        painter.drawText(QPointF(area.left() + s * margin, metrics.height() * 1.2), QString::fromUtf16(names[s]));
    }
    painter.setPen(palette().color(QPalette::Text));
    const int labels = std::min<int>(int(m_series.at.size()), 6);
    for (int i = 0; i < labels; ++i) {
        const size_t k = labels == 1 ? 0 : size_t(i) * (m_series.at.size() - 1) / size_t(labels - 1);
        const double x = line(area, m_series.at, m_series.fans)[int(k)].x();
        const QString date = QDateTime::fromSecsSinceEpoch(m_series.at[k]).toString(QStringLiteral("yyyy-MM-dd"));
        painter.drawText(QRectF(x - margin, area.bottom() + 4, 2 * margin, metrics.height()), Qt::AlignHCenter, date);
    }
}
