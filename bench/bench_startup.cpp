#include "main_window.h"

#include <QApplication>
#include <QDateTime>
#include <QTextStream>
#include <QTimer>

// Prints the milliseconds from LAUNCH_NS (the launcher's clock, in nanoseconds since the
// epoch) to the moment the window has been shown and the event loop is idle.
int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const qint64 launched = argc > 1 ? QByteArray(argv[1]).toLongLong() : 0;
    frmMain window;
    window.show();
    QTimer::singleShot(0, &app, [&] {
        const qint64 now = QDateTime::currentMSecsSinceEpoch() * 1000000;
        QTextStream(stdout) << "startup_ms " << double(now - launched) / 1e6 << "\n";
        app.quit();
    });
    return app.exec();
}
