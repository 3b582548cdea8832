#include "main_window.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>

// The window program as a test can start and kill: the window on BASE_URL with its files in
// DIR harvests START..END with PAUSE (0 when not given) and PARALLEL requests in flight. Then
// it saves the list (as CSV and as a workbook) and copies its journal to DIR/journal.csv, so that two builds (Debian's
// and Windows') can be held against each other byte for byte.
int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 5 || args.size() > 7)
        return 2;
    frmMain w(args[1], args[2]);
    for (QAction *item : w.parallelMenu()->actions()) {
        if (args.size() == 7 && item->text().endsWith(u' ' + args[6]))
            item->trigger();
    }
    const QStringList fields{args[3], args[4], args.value(5, QStringLiteral("0"))};
    for (int i = 0; i < 3; ++i)
        w.findChild<QLineEdit *>(QStringLiteral("Txt(%1)").arg(i))->setText(fields[i]);
    w.Command1_Click();
    w.pmenu_Click(4);
    w.finishSave();
    w.pmenu_Click(5);
    w.finishSave();
    const QDir dir(args[2]);
    return QFile::copy(dir.filePath(QStringLiteral("Log/journal.csv")), dir.filePath(QStringLiteral("journal.csv"))) ? 0 : 1;
}
