#include "main_window.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // Names the per-user data folder (~/.local/share/vqlirra) and ties the window to its menu entry.
    QApplication::setApplicationName(QStringLiteral("vqlirra"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.vqlirra.vqlirra"));
    frmMain window;
    window.show();
    return app.exec();
}
