#include "changes_model.h"
#include "fixture.h"
#include "list_workbook.h"
#include "spreadsheet.h"

// Workbooks as a spreadsheet program reads them back: the cells as shown and their types.
class TestWorkbook : public QObject
{
    Q_OBJECT

    TestHome m_home;
    QTemporaryDir m_scratch;

private Q_SLOTS:
    void initTestCase()
    {
        if (spreadsheetProgram().isEmpty() || QStandardPaths::findExecutable(QStringLiteral("unzip")).isEmpty())
            QSKIP("no spreadsheet program to read workbooks with (LibreOffice Calc and unzip)");
    }

    // The list in the order shown, its odd texts as they are, the counters as numbers where
    // they are numbers; a save that cannot be written says so.
    void listSavedFromTheWindow()
    {
        Harness h;
        const QStringList names{QStringLiteral("a,b \"q\""), QStringLiteral("€uro"), QStringLiteral("歌手😀"),
                                QStringLiteral("=1+1")};
        const QStringList fans{QStringLiteral("1.2万"), QStringLiteral("Nothing"), QStringLiteral("1024"), QString()};
        h.fill(4);
        for (int r = 0; r < 4; ++r) {
            h.window->resultList()->setCell(r, 1, names[r]);
            h.window->resultList()->setCell(r, 3, QStringLiteral("007"));
            h.window->resultList()->setCell(r, 4, QStringLiteral("闪亮新秀 3"));
            h.window->resultList()->setCell(r, 9, fans[r]);
            for (int c = 5; c < 9; ++c)
                h.window->resultList()->setCell(r, c, QStringLiteral("3亿"));
        }
        h.child<QTableView>("Lv")->sortByColumn(2, Qt::DescendingOrder);
        h.window->pmenu_Click(5);
        h.window->finishSave();
        const QString path = h.dir.path() + u'/' + savedName(QStringLiteral("50147164"), QStringLiteral("50147260")).replace(QStringLiteral(".csv"), QStringLiteral(".xlsx"));
        QCOMPARE(h.messages().first(), QStringLiteral("文件保存成功: ") + QDir::toNativeSeparators(path));
        const QList<Sheet> sheets = readWorkbook(path, m_scratch.path());
        QCOMPARE(sheets.size(), 1);
        const Sheet &sheet = sheets.front();
        QCOMPARE(sheet.rows.value(0), (QStringList{"Index", "Lirra用户名", "主页ID", "用户ID", "歌手等级", "试听量", "作品数", "转发数", "关注数", "粉丝数"}));
        QCOMPARE(sheet.rows.size(), 5);
        const QStringList fansShown{QString(), QStringLiteral("1024"), QStringLiteral("Nothing"), QStringLiteral("12000")};
        for (int r = 1; r <= 4; ++r) {
            QCOMPARE(sheet.rows[r].mid(0, 5), (QStringList{QString::number(5 - r), names[4 - r], QString::number(50147168 - r), "007", "闪亮新秀 3"}));
            QCOMPARE(sheet.rows[r].mid(5), QStringList(4, QStringLiteral("300000000")) << fansShown[r - 1]);
            QCOMPARE(sheet.types[r].mid(5, 4), QStringList(4, QStringLiteral("n")));
            QCOMPARE(sheet.types[r].mid(0, 5), (QStringList{"n", "s", "s", "s", "s"}));
            QCOMPARE(sheet.types[r].value(9), fansShown[r - 1].isEmpty() ? QString() : fansShown[r - 1] == u"Nothing" ? "s" : "n");
        }
        QCOMPARE(sheet.types[0], QStringList(10, QStringLiteral("s")));
        // The header is a frozen first row, as the sheet's own XML says.
        const QByteArray xml = runFor(QStringLiteral("unzip"), {QStringLiteral("-p"), path, QStringLiteral("xl/worksheets/sheet1.xml")});
        QVERIFY2(QRegularExpression(QStringLiteral("<pane [^>]*ySplit=\"1\"[^>]*state=\"frozen\"/>")).match(QString::fromUtf8(xml)).hasMatch(),
                 xml.left(600).constData());
        h.child<QLineEdit>("Txt(0)")->setText(QStringLiteral("no/such"));
        h.window->pmenu_Click(5);
        h.window->finishSave();
        QCOMPARE(h.messages().first(), QStringLiteral("文件保存失败..."));
    }

    // Differences and percentages as signed numbers, the previous harvest as a date.
    void changeViewWorkbook()
    {
        ChangeRow gained, lost, gone;
        gained.id = 7, gained.status = ProfileChange::Changed, gained.name = QStringLiteral("涨,粉"), gained.previousAt = 1700000000;
        gained.now = {1, 2, 3, 4, 1234}, gained.before = {1, 2, 3, 4, 1000};
        lost.id = 8, lost.status = ProfileChange::Changed, lost.now[4] = 44, lost.before[4] = 100;
        gone.id = 9, gone.status = ProfileChange::Gone, gone.before[4] = 5;
        ChangesModel model;
        model.setRows({gained, lost, gone});
        const QString path = m_scratch.path() + QStringLiteral("/changes.xlsx");
        QVERIFY(saveChangesWorkbook(model, path));
        const QList<Sheet> sheets = readWorkbook(path, m_scratch.path());
        QCOMPARE(sheets.size(), 1);
        const Sheet &sheet = sheets.front();
        const int fans = ChangesModel::kFirstCounter + 12;
        QCOMPARE(sheet.rows.value(0).mid(fans, 3), (QStringList{"粉丝数", "粉丝数变化", "粉丝数变化%"}));
        QCOMPARE(sheet.rows[1].mid(0, 3), (QStringList{"变化", "涨,粉", "7"}));
        QCOMPARE(sheet.rows[1].mid(fans, 3), (QStringList{"1234", "+234", "+23.4%"}));
        QCOMPARE(sheet.types[1].mid(fans, 3), (QStringList{"n", "n", "n"}));
        QCOMPARE(sheet.rows[1].last(), QDateTime::fromSecsSinceEpoch(1700000000).toString(QStringLiteral("yyyy-MM-dd hh:mm")));
        QCOMPARE(sheet.rows[2].mid(fans, 3), (QStringList{"44", "-56", "-56.0%"}));
        QCOMPARE(sheet.rows[3].mid(fans, 3), (QStringList{"", "", ""}));
        QCOMPARE(sheet.types[1].mid(0, 3), (QStringList{"s", "s", "s"}));
    }

    // Past a sheet's last row the list goes on in a second sheet, under the same header.
    void longListGoesOnInAnotherSheet()
    {
        const QString path = m_scratch.path() + QStringLiteral("/long.xlsx");
        Workbook book(path, QStringLiteral("采集结果"), {QStringLiteral("Index")}, {Workbook::Count}, 3);
        for (int r = 1; r <= 5; ++r)
            book.beginRow(), book.count(0, QByteArray::number(r));
        QVERIFY(book.close());
        const QList<Sheet> sheets = readWorkbook(path, m_scratch.path());
        QCOMPARE(sheets.size(), 3);
        QCOMPARE(sheets[1].rows, (QList<QStringList>{{"Index"}, {"3"}, {"4"}}));
        QCOMPARE(sheets[2].rows, (QList<QStringList>{{"Index"}, {"5"}}));
    }
};

QTEST_MAIN(TestWorkbook)
#include "tst_workbook.moc"
