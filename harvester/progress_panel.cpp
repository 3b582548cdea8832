#include "progress_panel.h"

#include <QPainter>

ProgressPanel::ProgressPanel(QWidget *parent) : QLabel(parent) {}

double ProgressPanel::fill() const { return m_fill; }

void ProgressPanel::setFill(double share)
{
    const double clamped = share < 0 ? -1 : qMin(share, 1.0);
    if (clamped == m_fill)
        return;
    m_fill = clamped;
    update();
}

void ProgressPanel::paintEvent(QPaintEvent *event)
{
    if (m_fill > 0) {
        QPainter painter(this);
        QRect done = contentsRect();
        done.setWidth(int(done.width() * m_fill));
        QColor colour = palette().color(QPalette::Highlight);
        colour.setAlpha(70); // light enough to read the text over it
        painter.fillRect(done, colour);
    }
    QLabel::paintEvent(event);
}
