#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>

class QWidget;

// Where a window of the main window's opens: wholly on the screen area given, beside the
// main window where there is room (right, else left), else over it; never larger than the
// area. frame is what the window manager adds around the window's contents.
QRect placeBeside(const QRect &mainFrame, QSize wanted, const QRect &area, const QMargins &frame);

// window shown, and placed so by the main window's screen at its own size hint at most where it
// was hidden; raised where it was open.
void showBeside(QWidget *window, const QWidget *main);
