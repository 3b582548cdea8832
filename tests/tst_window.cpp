#include "fixture.h"
#include "placement.h"
#include "sorted_list.h"

namespace {
QRect twips(int l, int t, int w, int h) { return QRect((l + 7) / 15, (t + 7) / 15, (w + 7) / 15, (h + 7) / 15); } // 15 to a pixel
// A column's cells and their order shown, ascending and descending.
struct Sorted { int column; QStringList cells, ascending, descending; };
const QString kEmpty = QStringLiteral("数据为空,无法进行操作..."), kLaunched = QStringLiteral("启动程序...");
} // namespace

class TestWindow : public QObject
{
    Q_OBJECT
    QList<QUrl> m_opened; // what went to the browser

    static QPlainTextEdit *box(Harness &h) { return h.child<QPlainTextEdit>("Alog"); }
    static QStringList logFiles(Harness &h) { return QDir(h.dir.filePath(QStringLiteral("Log"))).entryList({QStringLiteral("*-Log.txt")}); }
    static QByteArray logFile(Harness &h) { return readFile(h.dir.filePath(QStringLiteral("Log/") + logFiles(h).value(0))); }

public Q_SLOTS:
    void open(const QUrl &url) { m_opened.append(url); }

private Q_SLOTS:
    void initTestCase() { QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "open"); }
    void cleanupTestCase() { QDesktopServices::unsetUrlHandler(QStringLiteral("http")); }
    void init()
    {
        m_opened.clear();
        quickFetches(2000, {20, 20});
    }

    void startUpState()
    {
        Harness h;
        frmMain &w = *h.window;
        QCOMPARE(w.windowTitle(), QStringLiteral("VqLirra辅助"));
        QCOMPARE(w.size(), QSize(848, 501));
        QCOMPARE(w.minimumSize(), w.maximumSize()); // not resizable
        QVERIFY((w.geometry().center() - w.screen()->availableGeometry().center()).manhattanLength() <= 2);
        QCOMPARE(w.windowIcon().availableSizes().value(0), QSize(48, 48));
        for (const QComboBox *combo : {h.child<QComboBox>("Combo1"), h.child<QComboBox>("Combo2")})
            QVERIFY(combo->count() == 26 && combo->itemText(6) == QStringLiteral("闪亮新秀 1") && !combo->isEditable());
        QCOMPARE(QStringLiteral("%1 %2").arg(w.lowerBound()).arg(w.upperBound()), QStringLiteral("0 25"));
        QVERIFY(h.startEnabled() && h.stopEnabled() && !w.running());
        QCOMPARE(h.messages(), QStringList{kLaunched});
        w.Ag(QStringLiteral("ignored"), QStringLiteral("坏了"), 5);
        for (const QString &line : w.logText().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
            QVERIFY2(QTime::fromString(line.left(8), QStringLiteral("hh:mm:ss")).isValid() && line.mid(8, 2) == u"  ", qPrintable(line));
        QCOMPARE(h.messages(), (QStringList{"错误: 坏了 代码: 5", kLaunched}));
        QCOMPARE(h.panel(1) + h.panel(2), QString());
        QCOMPARE(h.rows(), 0);
        auto *lv = h.child<QTableView>("Lv");
        QStringList columns; // caption and width (twips / 15)
        for (int c = 0; c < lv->model()->columnCount(); ++c)
            columns << QStringLiteral("%1 %2").arg(lv->model()->headerData(c, Qt::Horizontal).toString()).arg(lv->columnWidth(c));
        QCOMPARE(columns.join(u','), QStringLiteral("Index 60,Lirra用户名 96,主页ID 80,用户ID 80,歌手等级 73,试听量 53,作品数 53,转发数 53,关注数 53,粉丝数 67"));
        QCOMPARE(lv->selectionMode(), QAbstractItemView::SingleSelection);
        QCOMPARE(lv->verticalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
        QCOMPARE(QStringLiteral("%1 %2").arg(h.child<QLabel>("SB.Panel(1)")->width()).arg(h.child<QLabel>("SB.Panel(2)")->width()),
                 QStringLiteral("136 709")); // the status panels' widths
        QVERIFY(!box(h)->isReadOnly() && box(h)->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn);
        QCOMPARE(w.contextMenu()->title(), QStringLiteral("vqMenu"));
        QCOMPARE(menuItems(w.contextMenu()), (QStringList{"访问用户主页", "-", "清空列表", "-", "保存为csv", "保存为Excel", "-", "与上次采集比较", "查看历史"}));
        w.Command2_Click(); // Stop before any run
        QVERIFY(h.startEnabled() && !h.stopEnabled());
        QCOMPARE(h.messages().mid(0, 2), (QStringList{"采集已经停止...", "错误: 坏了 代码: 5"}));
    }

    void geometry_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QRect>("rect");
        QTest::newRow("Frame1") << "采集ID" << twips(45, 45, 5595, 1005);
        QTest::newRow("Alog") << "" << twips(5715, 90, 6945, 960);
        QTest::newRow("Lv") << "" << twips(45, 1125, 12660, 6000);
        QTest::newRow("SB") << "" << twips(0, 7140, 12720, 375);
        QTest::newRow("Lab(0)") << "开始ID" << twips(180, 270, 540, 180);
        QTest::newRow("Txt(0)") << "50147164" << twips(855, 225, 1230, 270);
        QTest::newRow("Lab(1)") << "结束ID" << twips(180, 630, 540, 180);
        QTest::newRow("Txt(1)") << "50147260" << twips(855, 585, 1230, 270);
        QTest::newRow("Lab(3)") << "范围" << twips(2250, 270, 360, 180);
        QTest::newRow("Combo1") << "尚未出道" << twips(2835, 225, 1320, 300);
        QTest::newRow("Combo2") << "超级巨星 5" << twips(4185, 225, 1320, 300);
        QTest::newRow("Lab(2)") << "延时(ms)" << twips(2250, 630, 720, 180);
        QTest::newRow("Txt(2)") << "50" << twips(3105, 585, 645, 270);
        QTest::newRow("Command1") << "开 始" << twips(3870, 585, 780, 330);
        QTest::newRow("Command2") << "停 止" << twips(4725, 585, 780, 330);
    }
    void geometry()
    {
        QFETCH(QString, text);
        QFETCH(QRect, rect);
        Harness h;
        const QString name = QString::fromLatin1(QTest::currentDataTag());
        QWidget *control = h.window->findChild<QWidget *>(name);
        QVERIFY(control);
        const bool label = qobject_cast<QLabel *>(control); // sized to its caption: placed exactly, never cut short
        QCOMPARE(control->geometry(), label ? QRect(rect.topLeft(), rect.size().expandedTo(control->sizeHint())) : rect);
        if ((name.startsWith(u'L') && name != u"Lv") || name.startsWith(u'T') || name.startsWith(u'C'))
            QCOMPARE(control->parentWidget()->objectName(), QStringLiteral("Frame1"));
        QString shown;
        for (const char *property : {"text", "currentText", "title"})
            shown += control->property(property).toString();
        QCOMPARE(shown, text);
    }

    void onlyTheRightButtonOpensTheMenu()
    {
        Harness h;
        h.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(h.window.get()));
        const auto menuOpensOn = [&h](Qt::MouseButton button) { // released over the list
            return Harness::opens(h.window->contextMenu(), [&] { QTest::mouseRelease(h.child<QTableView>("Lv")->viewport(), button, {}, QPoint(200, 200)); });
        };
        QVERIFY(menuOpensOn(Qt::RightButton)); // over an empty list
        QVERIFY(!menuOpensOn(Qt::LeftButton));
        QVERIFY(!menuOpensOn(Qt::MiddleButton));
        h.fill(1);
        QVERIFY(menuOpensOn(Qt::RightButton)); // over a full one
    }

    // The list is one stop; inside it the arrows, Home/End and the page keys move the selection.
    void tabOrder()
    {
        Harness h;
        h.fill(3);
        h.window->show();
        h.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(h.window.get()));
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Txt(0)"));
        auto *lv = h.child<QTableView>("Lv");
        for (const char *next : {"Txt(1)", "Txt(2)", "Command1", "Command2", "Lv", "Alog", "Combo1", "Combo2", "Txt(0)"}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget *focus = QApplication::focusWidget();
            // The list's viewport holds the focus on behalf of the list.
            QCOMPARE(focus->objectName().isEmpty() ? focus->parentWidget()->objectName() : focus->objectName(), QString::fromLatin1(next));
            if (focus->objectName().isEmpty()) {
                for (const auto &move : QList<QPair<Qt::Key, int>>{{Qt::Key_End, 2}, {Qt::Key_Up, 1}, {Qt::Key_Home, 0}, {Qt::Key_PageDown, 2}}) {
                    QTest::keyClick(lv, move.first);
                    QCOMPARE(lv->currentIndex().row(), move.second);
                }
                QCOMPARE(lv->selectionModel()->selectedRows().size(), 1);
            }
        }
    }

    // ---- the list's commands ----

    // What the desktop is handed: the browse base URL and the selected row's 主页ID cell,
    // anything a URL cannot hold encoded once.
    void visit_data()
    {
        QTest::addColumn<QString>("cell");
        QTest::addColumn<QByteArray>("url"); // empty: nothing selected, nothing opens
        const QByteArray base = "http://www.lirra.com/u/";
        QTest::newRow("nothing selected") << "50147165" << QByteArray();
        QTest::newRow("digits, byte for byte") << "50147165" << base + "50147165";
        QTest::newRow("empty cell: the base URL") << "" << base;
        QTest::newRow("a blank, encoded once") << "50 1" << base + "50%201";
        QTest::newRow("Chinese, encoded once") << "歌手" << base + "%E6%AD%8C%E6%89%8B";
        QTest::newRow("escapes in the cell are not encoded again") << "%E6%AD%8C%20x" << base + "%E6%AD%8C%20x";
        QTest::newRow("quotes and angle brackets") << "\"<x>\"" << base + "%22%3Cx%3E%22";
    }
    void visit()
    {
        QFETCH(QString, cell);
        QFETCH(QByteArray, url);
        Harness h;
        h.fill(3);
        h.window->resultList()->setCell(1, 2, cell);
        if (!url.isEmpty())
            h.select(1);
        h.window->pmenu_Click(0);
        QCOMPARE(m_opened.size(), url.isEmpty() ? 0 : 1);
        QCOMPARE(m_opened.value(0).toEncoded(), url);
        QCOMPARE(h.messages().size(), 1); // visiting logs nothing
    }

    // On an empty list every command only logs its notice, and asks nothing; separators and
    // unknown indexes do nothing at all. Clearing asks first, in a modal information box under
    // the window's title: No keeps every row, Yes clears the list; neither is logged.
    void clearAsksFirst()
    {
        Harness h;
        h.window->show();
        QStringList asked;
        QMessageBox::StandardButton answer = QMessageBox::No;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                asked << box->windowTitle() + u'|' + box->text() + u'|' + QString::number(box->icon());
                box->button(answer)->click();
            }
        });
        poll.start(10);
        for (int index : {0, 2, 4})
            h.window->pmenu_Click(index);
        QCOMPARE(h.messages(), (QStringList{kEmpty, kEmpty, kEmpty, kLaunched}));
        h.fill(2);
        h.select(0);
        for (int index : {1, 3, 6, -1, 2}) // the last a clear answered No
            h.window->pmenu_Click(index);
        QCOMPARE(h.rows(), 2);
        answer = QMessageBox::Yes;
        h.window->pmenu_Click(2);
        QCOMPARE(h.rows(), 0);
        QCOMPARE(asked, QStringList(2, QStringLiteral("VqLirra辅助|确定清空列表?|%1").arg(QMessageBox::Information)));
        QCOMPARE(h.messages().size(), 4);
        QVERIFY(m_opened.isEmpty() && QDir(h.dir.path()).entryList(QDir::Files).isEmpty());
    }

    void clearAndSaveDuringARun()
    {
        Harness h("p%1");
        h.window->setAsker([](const QString &) { return true; });
        // While the run waits for ID 3: save the two rows so far, then clear the list.
        h.server.setHandler([&](const LoopbackServer::Request &r, QTcpSocket *s) {
            if (r.path == "/u/3") {
                h.window->pmenu_Click(4);
                h.window->finishSave();
                h.window->pmenu_Click(2);
            }
            h.serve(r, s);
        });
        h.harvest(1, 4);
        const QStringList rows = h.rowTexts(); // numbering restarts
        QVERIFY2(rows.size() == 2 && rows[0].startsWith(u"1|p3|3|") && rows[1].startsWith(u"2|p4|4|"), qPrintable(rows.join(u' ')));
        const QByteArray bytes = readFile(h.dir.filePath(savedName(QStringLiteral("1"), QStringLiteral("4"))));
        QCOMPARE(bytes.count("\r\n"), 4); // header, two rows, closing line
        QVERIFY(bytes.contains("1,=\"p1\",=\"1\",") && bytes.contains("2,=\"p2\",=\"2\","));
    }

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

    // A save runs beside the window: the window's events go on meanwhile, and the file holds the
    // rows as they stood when it began, in the order shown then, though rows come and the view
    // is sorted again. A second save meanwhile is said and refused; closing the window finishes
    // the save first, so the file is whole.
    void saveBesideTheWindow()
    {
        Harness h;
        h.fill(30000);
        auto *header = h.child<QTableView>("Lv")->horizontalHeader();
        header->setSortIndicator(1, Qt::DescendingOrder);
        const QString path = h.dir.filePath(savedName("50147164", "50147260"));
        const QByteArray expected = csvBytes(*h.child<QTableView>("Lv")->model());
        QVERIFY(writeFile(path, "an earlier list"));
        int ticks = 0, ticksWhenSaved = -1; // the window's event loop turned meanwhile
        QTimer tick;
        tick.callOnTimeout([&ticks] { ++ticks; });
        tick.start(5);
        QObject::connect(h.child<QPlainTextEdit>("Alog"), &QPlainTextEdit::textChanged, [&] {
            if (ticksWhenSaved < 0 && h.messages().value(0).startsWith(QStringLiteral("文件保存成功")))
                ticksWhenSaved = ticks;
        });
        h.window->pmenu_Click(4);
        QCOMPARE(readFile(path), QByteArray("an earlier list")); // not yet: the click returned at once
        h.fill(2);
        header->setSortIndicator(2, Qt::AscendingOrder);
        h.window->pmenu_Click(5);
        QCOMPARE(h.messages().first(), QStringLiteral("正在保存文件, 请等待保存完成后再试..."));
        h.window->close();
        QVERIFY(ticksWhenSaved > 0);
        QCOMPARE(readFile(path), expected);
        QCOMPARE(h.messages().first(), QStringLiteral("文件保存成功: ") + QDir::toNativeSeparators(path));
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
        h.window->finishSave();
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

    // ---- the activity log ----

    void rollOverBound_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("rolls");
        QTest::newRow("exactly 50000") << QString(50000, u'x') << true;
        QTest::newRow("49999") << QString(49999, u'x') << false;
        // Counted with CR LF line ends: 49,991 characters in the box, 50,000 as log text.
        QTest::newRow("line ends count twice") << QString(QString(49982, u'x') + QString(9, u'\n')) << true;
        QTest::newRow("Chinese and emoji") << QString(QStringLiteral("歌手€🎤") + QString(50000, u'a')) << true;
        QTest::newRow("blanks and separators kept") << QString(QStringLiteral("\u00A0x\u2028y\u00A0") + QString(49995, u'a')) << true;
    }
    // The log reads back exactly as set, and the file holds it, one more CR LF, in the tool's
    // text encoding; a second roll-over in the same minute replaces it.
    void rollOverBound()
    {
        QFETCH(QString, text);
        QFETCH(bool, rolls);
        Harness h;
        while (QTime::currentTime().second() >= 58) // both in one minute, so one file name
            QTest::qWait(200);
        const QStringList name{QDateTime::currentDateTime().toString(QStringLiteral("MMdd-HHmm")) + QStringLiteral("-Log.txt")};
        box(h)->setPlainText(text);
        const QString before = QString(text).replace(u'\n', QStringLiteral("\r\n"));
        QCOMPARE(h.window->logText(), before);
        h.window->Ag(QStringLiteral("next"));
        if (!rolls) {
            QVERIFY(logFiles(h).isEmpty());
            QCOMPARE(h.window->logText().size(), 10 + 4 + 2 + before.size());
            return;
        }
        QCOMPARE(logFiles(h), name);
        QCOMPARE(Module1::decodeText(logFile(h)), before + QStringLiteral("\r\n"));
        QCOMPARE(h.window->logText().count(QStringLiteral("\r\n")), 1);
        QVERIFY(h.window->logText().endsWith(QStringLiteral("  next\r\n")));
        box(h)->setPlainText(QString(50000, u'2'));
        h.window->Ag(QStringLiteral("again"));
        QCOMPARE(logFiles(h), name);
        QCOMPARE(logFile(h), QByteArray(50000, '2') + "\r\n");
    }

    // The change view (1000 x 560) and the chart (640 x 360) open wholly on the main window's
    // screen: beside it where there is room, else over it, cut to the screen where it is small.
    void windowsOpenOnTheScreen_data()
    {
        QTest::addColumn<QRect>("screen");
        QTest::addColumn<QRect>("main");
        QTest::addColumn<QSize>("wanted");
        QTest::addColumn<QRect>("placed");
        const QRect laptop(0, 0, 1280, 760), large(0, 0, 2560, 1400), main(40, 30, 620, 520);
        QTest::newRow("change view, 1280 x 800: over the window") << laptop << main << QSize(1000, 560) << QRect(1, 30, 1000, 560);
        QTest::newRow("chart, 1280 x 800: beside it") << laptop << main << QSize(600, 360) << QRect(661, 60, 600, 360);
        QTest::newRow("large screen: to the right") << large << main << QSize(1000, 560) << QRect(661, 60, 1000, 560);
        QTest::newRow("window at the right edge: to the left") << large << main.translated(1900, 0) << QSize(1000, 560) << QRect(939, 60, 1000, 560);
        QTest::newRow("a screen smaller than the view") << QRect(0, 0, 800, 600) << QRect(0, 0, 700, 500) << QSize(1000, 700) << QRect(1, 30, 798, 569);
        QTest::newRow("a second screen on the left") << QRect(-1280, 0, 1280, 760) << main.translated(-1280, 0) << QSize(600, 360) << QRect(-619, 60, 600, 360);
    }
    void windowsOpenOnTheScreen()
    {
        QFETCH(QRect, screen);
        QFETCH(QRect, main);
        QFETCH(QSize, wanted);
        QFETCH(QRect, placed);
        const QMargins frame(1, 30, 1, 1);
        QCOMPARE(placeBeside(main, wanted, screen, frame), placed);
        QVERIFY(screen.contains(placed.marginsAdded(frame)));
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
