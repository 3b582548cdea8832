#include "main_window.h"
#include "profile_pages.h"
#include "profile_site.h"
#include "result_model.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTableView>

namespace {
QRect twips(int l, int t, int w, int h)
{
    const auto px = [](int v) { return (v + 7) / 15; };
    return QRect(px(l), px(t), px(w), px(h));
}
} // namespace

class TestWindow : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    template<typename T> static T *child(frmMain &w, const QString &name)
    {
        T *found = w.findChild<T *>(name);
        if (!found)
            qWarning("no control %s", qPrintable(name));
        return found;
    }

    // Releases a mouse button over the list and reports whether a popup menu opened.
    bool menuOpensOn(frmMain &w, Qt::MouseButton button)
    {
        bool opened = false;
        QTimer poll;
        poll.setInterval(10);
        connect(&poll, &QTimer::timeout, this, [&] {
            if (auto *popup = QApplication::activePopupWidget()) {
                opened = true;
                popup->close();
            }
        });
        poll.start();
        auto *viewport = child<QTableView>(w, QStringLiteral("Lv"))->viewport();
        QTest::mousePress(viewport, button, {}, QPoint(200, 200));
        QTest::mouseRelease(viewport, button, {}, QPoint(200, 200));
        QTest::qWait(100);
        return opened;
    }

private Q_SLOTS:
    void startUpState()
    {
        frmMain w(frmMain::kFetchBaseUrl, m_dir.path());
        QCOMPARE(w.windowTitle(), QStringLiteral("VqLirra辅助"));
        QCOMPARE(w.size(), QSize(848, 501));
        QCOMPARE(w.minimumSize(), w.maximumSize()); // not resizable
        const QPoint screenCentre = w.screen()->availableGeometry().center();
        QVERIFY((w.geometry().center() - screenCentre).manhattanLength() <= 2); // centred
        QVERIFY(!w.windowIcon().isNull());
        QCOMPARE(w.windowIcon().availableSizes().value(0), QSize(48, 48));
        auto *combo1 = child<QComboBox>(w, QStringLiteral("Combo1"));
        auto *combo2 = child<QComboBox>(w, QStringLiteral("Combo2"));
        QCOMPARE(combo1->currentIndex(), 0);
        QCOMPARE(combo1->currentText(), QStringLiteral("尚未出道"));
        QCOMPARE(combo2->currentIndex(), 25);
        QCOMPARE(combo2->currentText(), QStringLiteral("超级巨星 5"));
        QCOMPARE(int(w.lowerBound()), 0);
        QCOMPARE(int(w.upperBound()), 25);
        QVERIFY(!combo1->isEditable() && !combo2->isEditable());
        QCOMPARE(combo1->count(), 26);
        QCOMPARE(combo2->itemText(6), QStringLiteral("闪亮新秀 1"));
        QVERIFY(child<QPushButton>(w, QStringLiteral("Command1"))->isEnabled());
        QVERIFY(child<QPushButton>(w, QStringLiteral("Command2"))->isEnabled());
        QCOMPARE(child<QLineEdit>(w, QStringLiteral("Txt(0)"))->text(), QStringLiteral("50147164"));
        QCOMPARE(child<QLineEdit>(w, QStringLiteral("Txt(1)"))->text(), QStringLiteral("50147260"));
        QCOMPARE(child<QLineEdit>(w, QStringLiteral("Txt(2)"))->text(), QStringLiteral("50"));
        const QStringList log = w.logText().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QCOMPARE(log.size(), 1);
        QVERIFY(log.first().endsWith(QStringLiteral("  启动程序...")));
        QCOMPARE(w.statusPanelText(1), QString());
        QCOMPARE(w.statusPanelText(2), QString());
        QCOMPARE(w.resultList()->rowCount(), 0);
        QVERIFY(!w.running());
    }

    void geometry_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QRect>("rect");
        QTest::newRow("Frame1") << "Frame1" << "采集ID" << twips(45, 45, 5595, 1005);
        QTest::newRow("Alog") << "Alog" << "" << twips(5715, 90, 6945, 960);
        QTest::newRow("Lv") << "Lv" << "" << twips(45, 1125, 12660, 6000);
        QTest::newRow("SB") << "SB" << "" << twips(0, 7140, 12720, 375);
        QTest::newRow("Lab(0)") << "Lab(0)" << "开始ID" << twips(180, 270, 540, 180);
        QTest::newRow("Txt(0)") << "Txt(0)" << "50147164" << twips(855, 225, 1230, 270);
        QTest::newRow("Lab(1)") << "Lab(1)" << "结束ID" << twips(180, 630, 540, 180);
        QTest::newRow("Txt(1)") << "Txt(1)" << "50147260" << twips(855, 585, 1230, 270);
        QTest::newRow("Lab(3)") << "Lab(3)" << "范围" << twips(2250, 270, 360, 180);
        QTest::newRow("Combo1") << "Combo1" << "尚未出道" << twips(2835, 225, 1320, 300);
        QTest::newRow("Combo2") << "Combo2" << "超级巨星 5" << twips(4185, 225, 1320, 300);
        QTest::newRow("Lab(2)") << "Lab(2)" << "延时(ms)" << twips(2250, 630, 720, 180);
        QTest::newRow("Txt(2)") << "Txt(2)" << "50" << twips(3105, 585, 645, 270);
        QTest::newRow("Command1") << "Command1" << "开 始" << twips(3870, 585, 780, 330);
        QTest::newRow("Command2") << "Command2" << "停 止" << twips(4725, 585, 780, 330);
    }
    void geometry()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QRect, rect);
        frmMain w(frmMain::kFetchBaseUrl, m_dir.path());
        QWidget *control = child<QWidget>(w, name);
        QVERIFY(control);
        if (qobject_cast<QLabel *>(control)) {
            // Labels size themselves to their captions: placed exactly, never cut short.
            QCOMPARE(control->pos(), rect.topLeft());
            QCOMPARE(control->size(), rect.size().expandedTo(control->sizeHint()));
        } else {
            QCOMPARE(control->geometry(), rect);
        }
        const bool inFrame = name.startsWith(u'L') && name != u"Lv";
        if (inFrame || name.startsWith(u'T') || name.startsWith(u'C'))
            QCOMPARE(control->parentWidget()->objectName(), QStringLiteral("Frame1"));
        QString shown;
        if (auto *b = qobject_cast<QPushButton *>(control))
            shown = b->text();
        else if (auto *l = qobject_cast<QLabel *>(control))
            shown = l->text();
        else if (auto *e = qobject_cast<QLineEdit *>(control))
            shown = e->text();
        else if (auto *c = qobject_cast<QComboBox *>(control))
            shown = c->currentText();
        else if (auto *g = qobject_cast<QGroupBox *>(control))
            shown = g->title();
        QCOMPARE(shown, text);
    }

    void listColumnsAndStatusPanels()
    {
        frmMain w(frmMain::kFetchBaseUrl, m_dir.path());
        auto *lv = child<QTableView>(w, QStringLiteral("Lv"));
        const int widths[] = {900, 1440, 1200, 1200, 1100, 800, 800, 800, 800, 1000};
        const QStringList headers = {"Index", "Lirra用户名", "主页ID", "用户ID", "歌手等级",
                                     "试听量", "作品数", "转发数", "关注数", "粉丝数"};
        QCOMPARE(lv->model()->columnCount(), 10);
        for (int c = 0; c < 10; ++c) {
            QCOMPARE(lv->columnWidth(c), (widths[c] + 7) / 15);
            QCOMPARE(lv->model()->headerData(c, Qt::Horizontal).toString(), headers[c]);
        }
        QCOMPARE(lv->selectionMode(), QAbstractItemView::SingleSelection);
        QCOMPARE(lv->verticalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
        QCOMPARE(child<QLabel>(w, QStringLiteral("SB.Panel(1)"))->width(), 136);
        QCOMPARE(child<QLabel>(w, QStringLiteral("SB.Panel(2)"))->width(), 709);
        auto *alog = child<QPlainTextEdit>(w, QStringLiteral("Alog"));
        QVERIFY(!alog->isReadOnly());
        QCOMPARE(alog->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    }

    void contextMenuItems()
    {
        frmMain w(frmMain::kFetchBaseUrl, m_dir.path());
        QMenu *menu = w.contextMenu();
        QCOMPARE(menu->title(), QStringLiteral("vqMenu"));
        const QList<QAction *> items = menu->actions();
        QCOMPARE(items.size(), 5);
        QCOMPARE(items[0]->text(), QStringLiteral("访问用户主页"));
        QVERIFY(items[1]->isSeparator());
        QCOMPARE(items[2]->text(), QStringLiteral("清空列表"));
        QVERIFY(items[3]->isSeparator());
        QCOMPARE(items[4]->text(), QStringLiteral("保存为csv"));
    }

    void onlyTheRightButtonOpensTheMenu()
    {
        frmMain w(frmMain::kFetchBaseUrl, m_dir.path());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(menuOpensOn(w, Qt::RightButton)); // over an empty list
        QVERIFY(!menuOpensOn(w, Qt::LeftButton));
        QVERIFY(!menuOpensOn(w, Qt::MiddleButton));
        w.resultList()->appendRow(QStringLiteral("1"));
        QVERIFY(menuOpensOn(w, Qt::RightButton)); // over a full one
    }

    void tabOrder_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<bool>("backwards");
        QTest::newRow("empty list, Tab") << 0 << false;
        QTest::newRow("rows in the list, Tab") << 3 << false;
        QTest::newRow("rows in the list, Shift+Tab") << 3 << true;
    }
    // The list is one stop whatever it holds; inside it the arrows, Home/End and the page
    // keys move the selection.
    void tabOrder()
    {
        QFETCH(int, rows);
        QFETCH(bool, backwards);
        frmMain w(frmMain::kFetchBaseUrl, m_dir.path());
        for (int r = 0; r < rows; ++r) {
            w.resultList()->appendRow(QString::number(r + 1));
            w.resultList()->setCell(r, 2, QString::number(100 + r));
        }
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Txt(0)"));
        QStringList order = {"Txt(1)", "Txt(2)", "Command1", "Command2", "Lv", "Alog", "Combo1", "Combo2", "Txt(0)"};
        if (backwards) {
            std::reverse(order.begin(), order.end());
            order = order.mid(1) << QStringLiteral("Txt(0)");
        }
        auto *lv = child<QTableView>(w, QStringLiteral("Lv"));
        for (const QString &next : order) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, backwards ? Qt::ShiftModifier : Qt::NoModifier);
            QWidget *focus = QApplication::focusWidget();
            // The list's viewport holds the focus on behalf of the list.
            const QString name = focus->objectName().isEmpty() && focus->parentWidget()
                ? focus->parentWidget()->objectName()
                : focus->objectName();
            QCOMPARE(name, next);
            if (next == u"Lv" && rows > 0) {
                QTest::keyClick(lv, Qt::Key_End);
                QCOMPARE(lv->currentIndex().row(), rows - 1);
                QTest::keyClick(lv, Qt::Key_Up);
                QCOMPARE(lv->currentIndex().row(), rows - 2);
                QTest::keyClick(lv, Qt::Key_Home);
                QCOMPARE(lv->currentIndex().row(), 0);
                QTest::keyClick(lv, Qt::Key_PageDown);
                QCOMPARE(lv->currentIndex().row(), rows - 1);
                QCOMPARE(lv->selectionModel()->selectedRows().size(), 1);
            }
        }
    }

    void wholeRunAgainstTheDemoSite()
    {
        ProfileSite site;
        QVERIFY(site.listen());
        frmMain w(site.profileBaseUrl(), m_dir.path());
        w.show();
        child<QLineEdit>(w, QStringLiteral("Txt(0)"))->setText(QStringLiteral("50147164"));
        child<QLineEdit>(w, QStringLiteral("Txt(1)"))->setText(QStringLiteral("50147203"));
        child<QLineEdit>(w, QStringLiteral("Txt(2)"))->setText(QStringLiteral("0"));
        child<QComboBox>(w, QStringLiteral("Combo1"))->setCurrentIndex(1); // leave out the unranked
        QTest::mouseClick(child<QPushButton>(w, QStringLiteral("Command1")), Qt::LeftButton);

        QStringList expected;
        int named = 0;
        for (qint64 id = 50147164; id <= 50147203; ++id) {
            const DemoPages::Profile p = DemoPages::profile(id);
            if (!p.exists)
                continue;
            ++named;
            if (p.tier == 0)
                continue;
            expected << p.rowCells(id, int(expected.size()) + 1).join(u'|');
        }
        QVERIFY(named > expected.size() && !expected.isEmpty());
        QStringList rows;
        for (int r = 0; r < w.resultList()->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < 10; ++c)
                cells << w.resultList()->cell(r, c);
            rows << cells.join(u'|');
        }
        QCOMPARE(rows, expected);
        QCOMPARE(site.requestCount(), 40);
        QCOMPARE(w.statusPanelText(1), QStringLiteral("总数: %1").arg(expected.size()));
        QCOMPARE(w.statusPanelText(2), QStringLiteral("采集完成..."));
        QVERIFY(child<QPushButton>(w, QStringLiteral("Command1"))->isEnabled());
        QVERIFY(!child<QPushButton>(w, QStringLiteral("Command2"))->isEnabled());
        QVERIFY(w.logText().section(QStringLiteral("\r\n"), 0, 0).endsWith(QStringLiteral("  采集已经停止...")));
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
