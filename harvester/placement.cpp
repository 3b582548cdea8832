#include "placement.h"

#include <QScreen>
#include <QWidget>

#include <algorithm>

QRect placeBeside(const QRect &mainFrame, QSize wanted, const QRect &area, const QMargins &frame)
{
    // The outer size, cut down to the area; then the contents within it.
    const QSize outer = (wanted + QSize(frame.left() + frame.right(), frame.top() + frame.bottom())).boundedTo(area.size());
    QRect placed(QPoint(), outer);
    if (mainFrame.right() + outer.width() <= area.right())
        placed.moveTopLeft(QPoint(mainFrame.right() + 1, mainFrame.top()));
    else if (mainFrame.left() - outer.width() >= area.left())
        placed.moveTopLeft(QPoint(mainFrame.left() - outer.width(), mainFrame.top()));
    else
        placed.moveCenter(mainFrame.center());
    // Wholly within the area, its top-left corner winning where the two conflict.
    placed.moveLeft(std::max(area.left(), std::min(placed.left(), area.right() - outer.width() + 1)));
    placed.moveTop(std::max(area.top(), std::min(placed.top(), area.bottom() - outer.height() + 1)));
    return placed.marginsRemoved(frame);
}

namespace {
QMargins frameOf(const QWidget *window)
{
    const QRect outer = window->frameGeometry(), inner = window->geometry();
    return {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(), outer.bottom() - inner.bottom()};
}

void place(QWidget *window, const QWidget *main, const QMargins &frame)
{
    const QRect placed = placeBeside(main->frameGeometry(), window->sizeHint(), main->screen()->availableGeometry(), frame);
    window->resize(placed.size());
    window->move(placed.topLeft() - QPoint(frame.left(), frame.top()));
}
} // namespace

void showBeside(QWidget *window, const QWidget *main)
{
    if (!window->isVisible()) {
        // Before a window is first shown its frame is unknown: the main window's is a fair
        // guess, put right once the window has its own.
        const QMargins guess = frameOf(main);
        place(window, main, guess);
        window->show();
        if (frameOf(window) != guess)
            place(window, main, frameOf(window));
    }
    window->show();
    window->raise();
}
