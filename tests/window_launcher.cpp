#include "main_window.h"
#include "result_model.h"

#include <QApplication>
#include <QLineEdit>
#include <QTextStream>

namespace {
void report(QTextStream &out, const char *when, frmMain &w)
{
    out << when << "\n";
    for (int r = 0; r < w.resultList()->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < ResultModel::kColumns; ++c)
            cells << w.resultList()->cell(r, c);
        out << "ROW " << cells.join(u'|') << "\n";
    }
    for (int i = 0; i < 2; ++i)
        out << "TXT" << i << ' ' << w.findChild<QLineEdit *>(QStringLiteral("Txt(%1)").arg(i))->text() << "\n";
    for (const QString &line : w.logText().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
        out << "LOG " << line.mid(10) << "\n";
    out.flush();
}
} // namespace

// The window program as a test can start, kill and start again: the window on BASE_URL
// with its files in DIR. "run START END PAUSE" harvests that range; "resume PAUSE" harvests
// from what the window restored. Both print the window's state before and after.
int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTextStream out(stdout);
    if (args.size() < 5) {
        QTextStream(stderr) << "usage: window_launcher BASE_URL DIR run START END PAUSE | resume PAUSE\n";
        return 2;
    }
    frmMain w(args[1], args[2]);
    auto field = [&w](int i) { return w.findChild<QLineEdit *>(QStringLiteral("Txt(%1)").arg(i)); };
    if (args[3] == u"run") {
        field(0)->setText(args.value(4));
        field(1)->setText(args.value(5));
        field(2)->setText(args.value(6));
    } else {
        field(2)->setText(args.value(4));
    }
    report(out, "BEFORE", w);
    w.Command1_Click();
    report(out, "AFTER", w);
    return 0;
}
