#include "main_window.h"

#include <QApplication>
#include <QAction>
#include <QLineEdit>
#include <QMenu>

// The window program as a test can start and kill: the window on BASE_URL with its files
// in DIR harvests START..END with PAUSE, and PARALLEL requests in flight when given.
int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 6 && args.size() != 7)
        return 2;
    frmMain w(args[1], args[2]);
    for (QAction *item : w.parallelMenu()->actions()) {
        if (args.size() == 7 && item->text().endsWith(u' ' + args[6]))
            item->trigger();
    }
    for (int i = 0; i < 3; ++i)
        w.findChild<QLineEdit *>(QStringLiteral("Txt(%1)").arg(i))->setText(args[3 + i]);
    w.Command1_Click();
    return 0;
}
