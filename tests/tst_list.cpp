#include "fixture.h"
#include "sorted_list.h"

// A column's cells and their order shown, ascending and descending.
struct Sorted { int column; QStringList cells, ascending, descending; };

// The result list as compact storage, and its sorting view in the window.
class TestList : public QObject
{
    Q_OBJECT
    QList<QUrl> m_opened;

public Q_SLOTS:
    void open(const QUrl &url) { m_opened.append(url); }

private Q_SLOTS:
    void initTestCase() { QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "open"); }
    void cleanupTestCase() { QDesktopServices::unsetUrlHandler(QStringLiteral("http")); }

    // Every kind of cell comes back exactly, however the rows were filled.
    void cellsComeBackExactly()
    {
        const QStringList kinds{QStringLiteral("夜光🎤星月"), QString(), QStringLiteral("Nothing"), QStringLiteral("a,b\"c\r\nd"),
                                QString(QChar(0)), QStringLiteral("x").repeated(1 << 21) /* beyond one storage block */,
                                QStringLiteral("Ａ"), QStringLiteral("超级巨星 5"), QStringLiteral("-12.5"), QStringLiteral("尾")};
        ResultModel list;
        QAbstractItemModelTester tester(&list, QAbstractItemModelTester::FailureReportingMode::QtTest);
        std::vector<ResultModel::Row> expected;
        for (int r = 0; r < 30; ++r) {
            ResultModel::Row row;
            for (int c = 0; c < ResultModel::kColumns; ++c)
                row[size_t(c)] = kinds[(r + c) % kinds.size()];
            expected.push_back(row);
            if (r % 3 == 0) { // whole rows at once, as a journal restores them
                CompactRows whole;
                whole.append(row);
                list.appendRows(std::move(whole));
                continue;
            }
            list.appendRow(QStringLiteral("first"));
            for (int c = ResultModel::kColumns - 1; c >= 0; --c) // a cell set twice, longer the second time
                list.setCell(r, c, c == 0 ? QStringLiteral("a longer first value") : row[size_t(c)]);
            list.setCell(r, 0, row[0]);
        }
        list.setCell(4, 1, QStringLiteral("an earlier row changed")); // moves that row's bytes
        expected[4][1] = QStringLiteral("an earlier row changed");
        list.setCell(29, 2, QStringLiteral("the last row, no longer at the end")); // must not write over row 4
        expected[29][2] = QStringLiteral("the last row, no longer at the end");
        QCOMPARE(list.rowCount(), int(expected.size()));
        for (int r = 0; r < list.rowCount(); ++r) {
            for (int c = 0; c < ResultModel::kColumns; ++c)
                QVERIFY2(list.cell(r, c) == expected[size_t(r)][size_t(c)], qPrintable(QStringLiteral("%1,%2").arg(r).arg(c)));
        }
        list.clear();
        QCOMPARE(list.rowCount(), 0);
        list.setCell(0, 9, QStringLiteral("beyond the rows: no effect"));
        list.appendRow(QStringLiteral("1"));
        QCOMPARE(list.cell(0, 0), QStringLiteral("1"));
        QCOMPARE(list.cell(0, 9), QString());
    }

    void sortOrder_data()
    {
        QTest::addColumn<Sorted>("sorted");
        QTest::newRow("counters as numbers, the rest after them")
            << Sorted{9, QStringList{"10", "Nothing", "9", "", "-3", "2.5", "1万", "100"},
                      QStringList{"-3", "2.5", "9", "10", "100", "", "1万", "Nothing"},
                      QStringList{"100", "10", "9", "2.5", "-3", "Nothing", "1万", ""}};
        QTest::newRow("IDs as numbers") << Sorted{2, QStringList{"50147165", "9", "50147164", "Nothing"},
                                                  QStringList{"9", "50147164", "50147165", "Nothing"},
                                                  QStringList{"50147165", "50147164", "9", "Nothing"}};
        QTest::newRow("grades by their place in the scale")
            << Sorted{4, QStringList{"超级巨星 1", "尚未出道", "歌唱新人 6", "闪亮新秀 2", "歌唱新人 5"},
                      QStringList{"尚未出道", "歌唱新人 5", "闪亮新秀 2", "超级巨星 1", "歌唱新人 6"},
                      QStringList{"超级巨星 1", "闪亮新秀 2", "歌唱新人 5", "尚未出道", "歌唱新人 6"}};
        QTest::newRow("names by code point") << Sorted{1, QStringList{"😀", "Ａ", "歌歌歌歌歌歌b", "b", "B", "星", "歌歌歌歌歌歌a", "ab"},
                                                       QStringList{"B", "ab", "b", "星", "歌歌歌歌歌歌a", "歌歌歌歌歌歌b", "Ａ", "😀"},
                                                       QStringList{"😀", "Ａ", "歌歌歌歌歌歌b", "歌歌歌歌歌歌a", "星", "b", "ab", "B"}};
    }
    // Sorting reorders the view only: the list keeps its rows.
    void sortOrder()
    {
        QFETCH(Sorted, sorted);
        const auto [column, cells, ascending, descending] = sorted;
        ResultModel list;
        SortedList shown(&list);
        QAbstractItemModelTester tester(&shown, QAbstractItemModelTester::FailureReportingMode::QtTest);
        for (int r = 0; r < cells.size(); ++r) {
            list.appendRow(QString::number(r + 1));
            list.setCell(r, column, cells[r]);
        }
        for (const auto &[order, expected] : {std::pair{Qt::AscendingOrder, ascending}, std::pair{Qt::DescendingOrder, descending}}) {
            shown.sort(column, order);
            QStringList seen;
            for (int r = 0; r < shown.rowCount(); ++r)
                seen << shown.index(r, column).data().toString();
            QCOMPARE(seen, expected);
        }
        for (int r = 0; r < cells.size(); ++r)
            QCOMPARE(list.cell(r, column), cells[r]);
    }

    // A header click sorts the view, a second one reverses it; visit, save and a run's new row
    // follow the order shown, while the list and its Index cells keep theirs.
    void sortedByAHeaderClick()
    {
        Harness h;
        h.fill(4);
        const QStringList fans{"30", "Nothing", "5", "100"};
        for (int r = 0; r < 4; ++r)
            h.window->resultList()->setCell(r, 9, fans[r]);
        auto *lv = h.child<QTableView>("Lv");
        QHeaderView *header = lv->horizontalHeader();
        h.window->show();
        const auto shown = [lv](int column) {
            QStringList out;
            for (int r = 0; r < lv->model()->rowCount(); ++r)
                out << lv->model()->index(r, column).data().toString();
            return out;
        };
        QCOMPARE(shown(0), (QStringList{"1", "2", "3", "4"})); // unsorted at first
        for (const auto &[order, expected] : {std::pair{Qt::AscendingOrder, QStringList{"5", "30", "100", "Nothing"}},
                                              std::pair{Qt::DescendingOrder, QStringList{"100", "30", "5", "Nothing"}}}) {
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(header->sectionViewportPosition(9) + 5, header->height() / 2));
            QCOMPARE(header->sortIndicatorSection(), 9);
            QCOMPARE(header->sortIndicatorOrder(), order);
            QCOMPARE(shown(9), expected);
        }
        QCOMPARE(shown(0), (QStringList{"4", "1", "3", "2"}));
        h.select(0);
        h.window->pmenu_Click(0);
        QCOMPARE(m_opened.value(0).toString(), QStringLiteral("http://www.lirra.com/u/50147167"));
        h.window->pmenu_Click(4);
        const QStringList lines = Module1::decodeText(readFile(h.dir.filePath(savedName("50147164", "50147260"))))
                                      .split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 7); // header, four rows, the closing line
        for (int r = 0; r < 4; ++r)
            QVERIFY2(lines[r + 1].startsWith(shown(0)[r] + QStringLiteral(",=\"名")), qPrintable(lines[r + 1]));
        h.setPage(7, QStringLiteral("new"));
        h.harvest(7, 7); // 678 fans: the top of the view, the end of the list
        QCOMPARE(shown(2).value(0), QStringLiteral("7"));
        QCOMPARE(h.window->resultList()->cell(4, 0), QStringLiteral("5"));
        QString kept; // journaled in the harvest's order
        Module1::appendCsvRow(kept, *h.window->resultList(), 4);
        QVERIFY(readFile(h.dir.filePath(QStringLiteral("Log/journal.csv"))).endsWith(Module1::encodeText(kept)));
    }
};

QTEST_MAIN(TestList)
#include "tst_list.moc"
