#include "harness.h"
#include "pageutil.h"

#include <QAbstractButton>
#include <QBuffer>
#include <QApplication>
#include <QDate>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QTableView>
#include <QUrl>

// Catches what would go to the browser.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public Q_SLOTS:
    void open(const QUrl &url) { urls.append(url); }
};

class TestCommands : public QObject
{
    Q_OBJECT
    UrlCatcher m_browser;
    int m_questions = 0;

    void fill(Harness &h, int rows)
    {
        for (int r = 0; r < rows; ++r) {
            h.window->resultList()->appendRow(QString::number(r + 1));
            h.window->resultList()->setCell(r, 1, QStringLiteral("名%1").arg(r));
            h.window->resultList()->setCell(r, 2, QString::number(50147164 + r));
        }
    }
    void select(Harness &h, int row)
    {
        auto *lv = h.child<QTableView>("Lv");
        lv->selectionModel()->select(lv->model()->index(row, 0),
                                     QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    void answerWith(Harness &h, bool yes)
    {
        h.window->setAsker([this, yes](const QString &prompt) {
            ++m_questions;
            return prompt == QStringLiteral("确定清空列表?") && yes;
        });
    }
    QString savePath(Harness &h) const
    {
        return QDir::toNativeSeparators(h.dir.path() + u'/' + QDate::currentDate().toString(QStringLiteral("yyyyMMdd"))
                                        + u'-' + h.field(0)->text() + u'-' + h.field(1)->text() + QStringLiteral(".csv"));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &m_browser, "open");
    }
    void cleanupTestCase() { QDesktopServices::unsetUrlHandler(QStringLiteral("http")); }
    void init()
    {
        m_browser.urls.clear();
        m_questions = 0;
    }

    void everyCommandOnAnEmptyListOnlyLogsTheNotice_data()
    {
        QTest::addColumn<int>("index");
        QTest::newRow("visit") << 0;
        QTest::newRow("clear") << 2;
        QTest::newRow("save") << 4;
    }
    void everyCommandOnAnEmptyListOnlyLogsTheNotice()
    {
        QFETCH(int, index);
        Harness h;
        answerWith(h, true);
        h.window->pmenu_Click(index);
        QCOMPARE(h.messages(), (QStringList{"数据为空,无法进行操作...", "启动程序..."}));
        QVERIFY(m_browser.urls.isEmpty());
        QCOMPARE(m_questions, 0);
        QVERIFY(QDir(h.dir.path()).entryList(QDir::Files).isEmpty());
    }

    void visitOpensTheSelectedProfile()
    {
        Harness h;
        fill(h, 3);
        h.window->pmenu_Click(0); // nothing selected: nothing opens
        QVERIFY(m_browser.urls.isEmpty());
        select(h, 1);
        h.window->pmenu_Click(0);
        QCOMPARE(m_browser.urls, QList<QUrl>{QUrl(QStringLiteral("http://www.lirra.com/u/50147165"))});
        QCOMPARE(h.messages().size(), 1); // visiting logs nothing
    }

    void clearAsksFirst()
    {
        Harness h;
        fill(h, 2);
        answerWith(h, false);
        h.window->pmenu_Click(2);
        QCOMPARE(m_questions, 1);
        QCOMPARE(h.rows(), 2);
        answerWith(h, true);
        h.window->pmenu_Click(2);
        QCOMPARE(h.rows(), 0);
        QCOMPARE(h.messages().size(), 1);
    }

    void clearQuestionIsAModalInformationBox()
    {
        Harness h;
        fill(h, 1);
        QString title, text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                title = box->windowTitle();
                text = box->text();
                icon = box->icon();
                QVERIFY(box->button(QMessageBox::No));
                box->button(QMessageBox::Yes)->click();
            }
        });
        poll.start(10);
        h.window->show();
        h.window->pmenu_Click(2);
        QCOMPARE(title, QStringLiteral("VqLirra辅助"));
        QCOMPARE(text, QStringLiteral("确定清空列表?"));
        QCOMPARE(icon, QMessageBox::Information);
        QCOMPARE(h.rows(), 0);
    }

    void saveWritesTheDatedFileBesideTheProgram_data()
    {
        QTest::addColumn<QString>("start");
        QTest::newRow("default fields") << "50147164";
        QTest::newRow("letters in the start field") << "abc";
    }
    void saveWritesTheDatedFileBesideTheProgram()
    {
        QFETCH(QString, start);
        Harness h;
        fill(h, 2);
        h.field(0)->setText(start);
        h.field(1)->setText(QStringLiteral("50147260"));
        const QString path = savePath(h);
        h.window->pmenu_Click(4);
        QCOMPARE(h.messages().first(), QStringLiteral("文件保存成功: ") + path);
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QBuffer expected;
        expected.open(QIODevice::WriteOnly);
        QVERIFY(Module1::exportListToCsv(*h.window->resultList(), expected, true));
        QCOMPARE(saved.readAll(), expected.data());
        QCOMPARE(h.rows(), 2);
    }

    void failedSaveLogsAndKeepsTheList()
    {
        Harness h;
        fill(h, 2);
        h.field(0)->setText(QStringLiteral("a/b"));
        h.window->pmenu_Click(4);
        QCOMPARE(h.messages().first(), QStringLiteral("文件保存失败..."));
        QCOMPARE(h.rows(), 2);
    }

    void separatorItemsAndUnknownIndexesDoNothing()
    {
        Harness h;
        fill(h, 1);
        answerWith(h, true);
        for (int index : {1, 3, 5, -1})
            h.window->pmenu_Click(index);
        QCOMPARE(h.rows(), 1);
        QCOMPARE(m_questions, 0);
        QCOMPARE(h.messages().size(), 1);
    }

    void clearAndSaveDuringARun()
    {
        Harness h;
        for (int id = 1; id <= 4; ++id)
            h.setPage(id, profilePage(QStringLiteral("p%1").arg(id)));
        h.setFields(QStringLiteral("1"), QStringLiteral("4"), QStringLiteral("0"));
        answerWith(h, true);
        QString savedPath;
        // While the run waits for ID 3: save the two rows so far, then clear the list.
        h.server.setHandler([&](const LoopbackServer::Request &r, QTcpSocket *s) {
            if (r.path == "/u/3") {
                savedPath = savePath(h);
                h.window->pmenu_Click(4);
                h.window->pmenu_Click(2);
            }
            LoopbackServer::respond(s, 200, "text/html", h.pages.value(r.path).body);
        });
        h.window->Command1_Click();
        QCOMPARE(h.rows(), 2);
        QCOMPARE(h.row(0).mid(0, 3), (QStringList{"1", "p3", "3"})); // numbering restarts
        QCOMPARE(h.row(1).mid(0, 3), (QStringList{"2", "p4", "4"}));
        QFile saved(savedPath);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QByteArray bytes = saved.readAll();
        QCOMPARE(bytes.count("\r\n"), 4); // header, two rows, closing line
        QVERIFY(bytes.contains("1,=\"p1\",=\"1\","));
        QVERIFY(bytes.contains("2,=\"p2\",=\"2\","));
    }
};

QTEST_MAIN(TestCommands)
#include "tst_commands.moc"
