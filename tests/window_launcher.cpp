#include "main_window.h"

#include <QApplication>
#include <QLineEdit>

// The window program as a test can start and kill: the window on BASE_URL with its files
// in DIR harvests START..END with PAUSE.
int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 6)
        return 2;
    frmMain w(args[1], args[2]);
    for (int i = 0; i < 3; ++i)
        w.findChild<QLineEdit *>(QStringLiteral("Txt(%1)").arg(i))->setText(args[3 + i]);
    w.Command1_Click();
    return 0;
}
