#include "history_chart.h"
#include "chart_scale.h"
#include "columns.h"

#include <QDateTime>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

ChartSeries chartSeries(const std::vector<VisitValues> &visits)
{
    ChartSeries series;
    // The counters are kept in the list's order, plays first.
    constexpr size_t fans = Column::Fans - Column::Plays, plays = 0;
    for (const VisitValues &v : visits) {
        // A harvest that found no profile, or a page without either number, has no point.
        if (!v.found || !v.counts[fans] || !v.counts[plays])
            continue;
        series.at.push_back(v.at);
        series.fans.push_back(*v.counts[fans]);
        series.plays.push_back(*v.counts[plays]);
    }
    return series;
}

namespace {
const QColor kColors[] = {QColor(0xd0, 0x40, 0x30), QColor(0x30, 0x60, 0xc0)};
const char16_t *const kNames[] = {u"粉丝", u"播放"};
constexpr size_t kMostDates = 8; // beyond, the dates go at even steps
} // namespace

HistoryChart::HistoryChart(QWidget *parent) : QWidget(parent)
{
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    setMouseTracking(true);
}

void HistoryChart::setSeries(const QString &name, qint64 id, const ChartSeries &series)
{
    m_name = name;
    m_id = id;
    m_series = series;
    m_hover = -1;
    update();
}

QString HistoryChart::title() const
{
    QString text = QStringLiteral("%1 (%2)").arg(m_name).arg(m_id);
    if (m_series.at.size() < 2)
        return text;
    for (int s = 0; s < 2; ++s) {
        const std::vector<qint64> &values = s == 0 ? m_series.fans : m_series.plays;
        text += QStringLiteral("   %1 %2").arg(QString::fromUtf16(kNames[s]), ChartScale::change(values.front(), values.back()));
    }
    return text;
}

QRectF HistoryChart::plotArea() const
{
    const QFontMetrics metrics = fontMetrics();
    const double side = metrics.horizontalAdvance(QStringLiteral("00.00万")) + 12;
    return QRectF(rect()).adjusted(side, metrics.height() * 4.2, -side, -metrics.height() * 2);
}

double HistoryChart::xOf(size_t harvest) const
{
    const QRectF area = plotArea();
    if (m_series.at.size() < 2)
        return area.center().x();
    const qint64 first = m_series.at.front(), span = std::max<qint64>(1, m_series.at.back() - first);
    return area.left() + area.width() * double(m_series.at[harvest] - first) / double(span);
}

// One series on its own scale: the grid, the labels on its side, the line and its marks.
void HistoryChart::drawSeries(QPainter &painter, int which) const
{
    const std::vector<qint64> &values = which == 0 ? m_series.fans : m_series.plays;
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    const std::vector<qint64> ticks = ChartScale::ticks(*low, *high);
    const QRectF area = plotArea();
    const double bottom = double(ticks.front()), span = double(ticks.back() - ticks.front());
    const auto yOf = [&](qint64 v) { return area.bottom() - area.height() * (double(v) - bottom) / span; };
    const QFontMetrics metrics = fontMetrics();
    QColor grid = kColors[which];
    grid.setAlpha(40);
    for (const qint64 tick : ticks) {
        const double y = yOf(tick);
        painter.setPen(QPen(grid, 1, which == 0 ? Qt::SolidLine : Qt::DashLine));
        painter.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
        painter.setPen(kColors[which]);
        const QRectF label = which == 0 ? QRectF(0, y - metrics.height() / 2.0, area.left() - 6, metrics.height())
                                        : QRectF(area.right() + 6, y - metrics.height() / 2.0, width() - area.right() - 6, metrics.height());
        painter.drawText(label, (which == 0 ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter, ChartScale::label(tick));
    }
    QPolygonF line;
    for (size_t i = 0; i < values.size(); ++i)
        line << QPointF(xOf(i), yOf(values[i]));
    painter.setPen(QPen(kColors[which], 2));
    painter.drawPolyline(line);
    painter.setBrush(kColors[which]);
    for (const QPointF &p : line)
        painter.drawEllipse(p, 3, 3);
    painter.setBrush(Qt::NoBrush);
    const QString legend = QString::fromUtf16(kNames[which]);
    const double legendY = area.top() - metrics.height() * 2.2;
    painter.drawText(QRectF(which == 0 ? 0 : area.right(), legendY, which == 0 ? area.left() : width() - area.right(), metrics.height()),
                     Qt::AlignCenter, legend);
}

// A mark and the date at each harvest where there are few, else at even steps.
void HistoryChart::drawDates(QPainter &painter) const
{
    const QRectF area = plotArea();
    const size_t n = m_series.at.size();
    const size_t shown = std::min(n, kMostDates);
    const double half = fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00")) / 2.0 + 2;
    painter.setPen(palette().color(QPalette::Text));
    for (size_t i = 0; i < n; ++i)
        painter.drawLine(QPointF(xOf(i), area.bottom()), QPointF(xOf(i), area.bottom() + 4));
    for (size_t k = 0; k < shown; ++k) {
        const size_t i = shown == 1 ? 0 : k * (n - 1) / (shown - 1);
        const QString date = QDateTime::fromSecsSinceEpoch(m_series.at[i]).toString(QStringLiteral("yyyy-MM-dd"));
        painter.drawText(QRectF(xOf(i) - half, area.bottom() + 6, 2 * half, fontMetrics().height()), Qt::AlignHCenter, date);
    }
}

// The harvest under the pointer: a line through it and its date and values beside it.
void HistoryChart::drawHover(QPainter &painter) const
{
    if (m_hover < 0 || size_t(m_hover) >= m_series.at.size())
        return;
    const QRectF area = plotArea();
    const size_t i = size_t(m_hover);
    const double x = xOf(i);
    painter.setPen(QPen(palette().color(QPalette::Mid), 1, Qt::DotLine));
    painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
    const QString text = QStringLiteral("%1\n粉丝 %2\n播放 %3")
                             .arg(QDateTime::fromSecsSinceEpoch(m_series.at[i]).toString(QStringLiteral("yyyy-MM-dd HH:mm")))
                             .arg(QLocale::c().toString(m_series.fans[i]), QLocale::c().toString(m_series.plays[i]));
    QRectF box = fontMetrics().boundingRect(QRect(0, 0, 400, 200), Qt::AlignLeft, text).adjusted(-6, -4, 6, 4);
    box.moveTopLeft(QPointF(x + box.width() + 12 < area.right() ? x + 8 : x - box.width() - 8, area.top() + 4));
    painter.fillRect(box, palette().color(QPalette::ToolTipBase));
    painter.setPen(palette().color(QPalette::ToolTipText));
    painter.drawRect(box);
    painter.drawText(box.adjusted(6, 4, -6, -4), Qt::AlignLeft, text);
}

void HistoryChart::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area = plotArea();
    QFont bold = font();
    bold.setBold(true);
    painter.setFont(bold);
    painter.drawText(QRectF(0, 4, width(), fontMetrics().height() * 1.5), Qt::AlignCenter, title());
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(area);
    if (m_series.at.empty()) {
        painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("没有历史数据"));
        return;
    }
    for (int s = 0; s < 2; ++s)
        drawSeries(painter, s);
    drawDates(painter);
    drawHover(painter);
}

void HistoryChart::mouseMoveEvent(QMouseEvent *event)
{
    int nearest = -1;
    double best = 24; // pixels: farther than that from every harvest, none is shown
    for (size_t i = 0; i < m_series.at.size(); ++i) {
        const double d = std::abs(xOf(i) - event->position().x());
        if (d < best)
            best = d, nearest = int(i);
    }
    if (nearest != m_hover) {
        m_hover = nearest;
        update();
    }
}

void HistoryChart::leaveEvent(QEvent *)
{
    m_hover = -1;
    update();
}
