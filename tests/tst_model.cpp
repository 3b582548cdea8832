#include "result_model.h"

#include <QAbstractItemModelTester>
#include <QTest>

class TestModel : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void appendAndSetCellsAsARunDoes()
    {
        ResultModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model.columnCount(), 10);
        const QStringList headers = {"Index", "Lirra用户名", "主页ID", "用户ID", "歌手等级",
                                     "试听量", "作品数", "转发数", "关注数", "粉丝数"};
        for (int c = 0; c < 10; ++c)
            QCOMPARE(model.headerData(c, Qt::Horizontal).toString(), headers[c]);
        model.appendRow(QStringLiteral("1"));
        QCOMPARE(model.cell(0, 0), QStringLiteral("1"));
        QCOMPARE(model.cell(0, 5), QString()); // never set reads empty
        model.setCell(0, 5, QStringLiteral("1024"));
        QCOMPARE(model.data(model.index(0, 5)).toString(), QStringLiteral("1024"));
        model.setCell(3, 5, QStringLiteral("ignored")); // beyond the rows: no effect
        model.clear();
        QCOMPARE(model.rowCount(), 0);
    }

    void hundredThousandRows()
    {
        ResultModel model;
        for (int r = 0; r < 100000; ++r) {
            model.appendRow(QString::number(r + 1));
            for (int c = 1; c < 10; ++c)
                model.setCell(r, c, QStringLiteral("v"));
        }
        QCOMPARE(model.rowCount(), 100000);
        QCOMPARE(model.cell(99999, 0), QStringLiteral("100000"));
    }
};

QTEST_GUILESS_MAIN(TestModel)
#include "tst_model.moc"
