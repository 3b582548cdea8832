#include "harness.h"
#include "journal.h"
#include "pageutil.h"
#include "profile_pages.h"
#include "profile_site.h"
#include "test_files.h"

#include <QBuffer>
#include <QDir>
#include <QProcess>
#include <QStringEncoder>
#include <QTest>
#include <QTimer>

namespace {
const qint64 kFirst = 50147164, kLast = 50147203;

// The rows an uninterrupted harvest of kFirst..kLast keeps, as the launcher prints them.
QStringList expectedRows()
{
    QStringList rows;
    for (qint64 id = kFirst; id <= kLast; ++id) {
        const DemoPages::Profile p = DemoPages::profile(id);
        if (p.exists)
            rows << p.rowCells(id, int(rows.size()) + 1).join(u'|');
    }
    return rows;
}

struct Printed
{
    QStringList rows, log;
    QString start, end;
};

// One section ("BEFORE" or "AFTER") of what the launcher printed.
Printed section(const QString &output, const QString &name)
{
    Printed p;
    bool inside = false;
    for (const QString &line : output.split(u'\n')) {
        if (line == u"BEFORE" || line == u"AFTER") {
            inside = line == name;
            continue;
        }
        if (!inside)
            continue;
        if (line.startsWith(u"ROW "))
            p.rows << line.mid(4);
        else if (line.startsWith(u"TXT0 "))
            p.start = line.mid(5);
        else if (line.startsWith(u"TXT1 "))
            p.end = line.mid(5);
        else if (line.startsWith(u"LOG "))
            p.log << line.mid(4);
    }
    return p;
}

QByteArray gb(const QString &text) { return QStringEncoder("GB18030").encode(text); }
const QString kHeader = QStringLiteral("Index,Lirra用户名,主页ID,用户ID,歌手等级,试听量,作品数,转发数,关注数,粉丝数,\r\n");
const QString kRow1 = QStringLiteral("1,=\"甲\",=\"11\",=\"87654321\",=\"尚未出道\",=\"1024\",=\"12\",=\"3\",=\"45\",=\"678\",\r\n");
const QString kRow2 = QStringLiteral("2,\"=\"\"a,b\"\"\",=\"12\",=\"\",=\"歌唱新人 1\",=\"1\",=\"2\",=\"3\",=\"4\",=\"5\",\r\n");
} // namespace

class TestJournal : public QObject
{
    Q_OBJECT
    QString journalPath(Harness &h) const { return h.dir.filePath(QStringLiteral("Log/journal.csv")); }

    // A window on h's folder as the program starts it, after h's own window is gone.
    void restart(Harness &h)
    {
        h.window.reset();
        h.window = std::make_unique<frmMain>(QString::fromLatin1(h.server.baseUrl() + "/u/"), h.dir.path());
    }

private Q_SLOTS:
    void killedWindowResumes_data()
    {
        QTest::addColumn<QString>("when");
        QTest::newRow("right after a page") << "page";
        QTest::newRow("during a pause") << "pause";
        QTest::newRow("during a fetch") << "fetch";
    }
    // The window is killed in the middle of a harvest, started again, and Start finishes the
    // range: exactly the rows of an uninterrupted run, none twice, and next to nothing fetched
    // again.
    void killedWindowResumes()
    {
        QFETCH(QString, when);
        const qint64 killAt = kFirst + 14;
        const int pauseMs = 150;
        QTemporaryDir dir;
        QProcess child;
        QList<qint64> firstLife, secondLife;
        bool killed = false;
        QList<qint64> *life = &firstLife;
        LoopbackServer site([&](const LoopbackServer::Request &r, QTcpSocket *s) {
            const qint64 id = r.path.mid(3).toLongLong();
            life->append(id);
            if (killed || id != killAt) {
                ProfileSite::serve(r, s);
                return;
            }
            killed = true;
            if (when == u"fetch") {
                child.kill();
                return;
            }
            ProfileSite::serve(r, s);
            QTimer::singleShot(when == u"pause" ? pauseMs / 2 : 0, [&child] { child.kill(); });
        });
        QVERIFY(site.listen());
        const QString base = QString::fromLatin1(site.baseUrl() + "/u/");
        child.start(QStringLiteral(LAUNCHER), {base, dir.path(), QStringLiteral("run"), QString::number(kFirst),
                                               QString::number(kLast), QString::number(pauseMs)});
        QVERIFY(child.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(child.state() == QProcess::NotRunning, 30000);
        QVERIFY(killed);
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);

        life = &secondLife;
        child.start(QStringLiteral(LAUNCHER), {base, dir.path(), QStringLiteral("resume"), QString::number(pauseMs)});
        QVERIFY(child.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(child.state() == QProcess::NotRunning, 30000);
        QCOMPARE(child.exitCode(), 0);
        const QString output = QString::fromUtf8(child.readAllStandardOutput());
        const Printed before = section(output, QStringLiteral("BEFORE"));
        const Printed after = section(output, QStringLiteral("AFTER"));
        const QStringList expected = expectedRows();

        // Back exactly as they were, and the fields point at the next ID.
        QVERIFY(!before.rows.isEmpty());
        QCOMPARE(before.rows, expected.mid(0, before.rows.size()));
        const qint64 next = before.start.toLongLong();
        QVERIFY2(next > before.rows.last().section(u'|', 2, 2).toLongLong() && next <= killAt + 1,
                 qPrintable(before.start));
        QCOMPARE(before.end, QString::number(kLast));
        QCOMPARE(before.log, (QStringList{QStringLiteral("上次采集到ID %1, 按开始继续采集").arg(next - 1),
                                          QStringLiteral("已恢复上次未保存的 %1 行").arg(before.rows.size()),
                                          QStringLiteral("启动程序...")}));
        QCOMPARE(secondLife.first(), next);
        QCOMPARE(secondLife.last(), kLast);

        QCOMPARE(after.rows, expected);
        // Fetched again: at most what the last second before the kill covered.
        int again = 0;
        for (qint64 id : secondLife)
            again += firstLife.contains(id) ? 1 : 0;
        QVERIFY2(again <= 1000 / pauseMs + 2, qPrintable(QString::number(again)));
    }

    void journalIsTheCsvOfTheRows()
    {
        Harness h;
        h.server.setHandler(&ProfileSite::serve);
        h.setFields(QString::number(kFirst), QString::number(kFirst + 9));
        h.window->Command1_Click();
        QVERIFY(h.rows() > 3);
        QBuffer csv;
        csv.open(QIODevice::WriteOnly);
        QVERIFY(Module1::exportListToCsv(*h.window->resultList(), csv, true));
        // The export without its closing empty line.
        QCOMPARE(readFile(journalPath(h)), csv.data().chopped(2));
    }

    // A row left half-filled by a failed run is journaled when the run ends, as it stands.
    void halfRowOfAFailedRunIsKept()
    {
        Harness h;
        h.setPage(7, profilePage(QStringLiteral("ok")));
        h.setPage(8, "<span class=\"user-name twemoji\">broken</span> userid = 'no end");
        h.setFields(QStringLiteral("7"), QStringLiteral("9"));
        h.window->Command1_Click();
        QCOMPARE(h.rows(), 2);
        restart(h);
        QCOMPARE(h.rows(), 2);
        QCOMPARE(h.row(1), (QStringList{"2", "broken", "8", "", "", "", "", "", "", ""}));
    }

    void tornLastLineIsDropped()
    {
        Harness h;
        QDir().mkpath(h.dir.filePath(QStringLiteral("Log")));
        QVERIFY(writeFile(journalPath(h), gb(kHeader + kRow1 + kRow2 + QStringLiteral("3,=\"乙\",=\"13\",=\"8"))));
        restart(h);
        QCOMPARE(h.rows(), 2);
        QCOMPARE(h.row(0), QString(kRow1).remove(QStringLiteral("=\"")).remove(u'"').split(u',').mid(0, 10));
        QCOMPARE(h.row(1), (QStringList{"2", "a,b", "12", "", "歌唱新人 1", "1", "2", "3", "4", "5"}));
        QCOMPARE(h.messages(), (QStringList{"已恢复上次未保存的 2 行", "启动程序..."}));
        // The next row follows the whole ones.
        QCOMPARE(readFile(journalPath(h)), gb(kHeader + kRow1 + kRow2));
    }

    void unreadableJournalIsSetAside_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("binary") << QByteArray("\x00\xff\x81\x30 junk\r\n", 10);
        QTest::newRow("another file") << QByteArray("name,age\r\nann,7\r\n");
        QTest::newRow("wrong encoding") << (kHeader + kRow1).toUtf8();
        QTest::newRow("a row without its cells") << gb(kHeader + QStringLiteral("1,=\"甲\",\r\n") + kRow2);
    }
    void unreadableJournalIsSetAside()
    {
        QFETCH(QByteArray, bytes);
        Harness h;
        QDir().mkpath(h.dir.filePath(QStringLiteral("Log")));
        QVERIFY(writeFile(journalPath(h), bytes));
        restart(h);
        QCOMPARE(h.rows(), 0);
        const QStringList aside = QDir(h.dir.filePath(QStringLiteral("Log")))
                                      .entryList({QStringLiteral("journal-damaged-*.csv")});
        QCOMPARE(aside.size(), 1);
        QVERIFY(aside.first().contains(QDate::currentDate().toString(QStringLiteral("yyyyMMdd"))));
        QCOMPARE(readFile(h.dir.filePath(QStringLiteral("Log/")) + aside.first()), bytes);
        QCOMPARE(h.messages().size(), 2);
        QVERIFY(h.messages().first().startsWith(QStringLiteral("恢复记录无法读取, 已移至: ")));
        QVERIFY(!QFile::exists(journalPath(h)));
    }

    void journalFollowsTheList()
    {
        Harness h;
        for (int id = 1; id <= 3; ++id)
            h.setPage(id, profilePage(QStringLiteral("p%1").arg(id)));
        h.window->setAsker([](const QString &) { return true; });
        const auto harvest = [&h] {
            h.setFields(QStringLiteral("1"), QStringLiteral("3"));
            h.window->Command1_Click();
        };
        const auto journalRows = [&] {
            return readFile(journalPath(h)).count("\r\n") - 1;
        };
        harvest();
        QCOMPARE(journalRows(), 3);
        h.window->pmenu_Click(2); // clear, Yes
        QVERIFY(!QFile::exists(journalPath(h)));
        harvest();
        QCOMPARE(journalRows(), 3);
        h.window->pmenu_Click(4); // a save leaves it
        QCOMPARE(journalRows(), 3);
        h.window->close(); // saved since the last change: nothing to keep
        QVERIFY(!QFile::exists(journalPath(h)));

        restart(h);
        harvest();
        h.window->pmenu_Click(4);
        harvest(); // changed after the save
        h.window->close();
        QCOMPARE(journalRows(), 6);
        restart(h);
        QCOMPARE(h.rows(), 6);
        QCOMPARE(h.row(5).at(0), QStringLiteral("6"));
        h.window->setAsker([](const QString &) { return true; });
        h.window->pmenu_Click(2);
        h.window->close(); // empty: nothing to keep
        QVERIFY(!QFile::exists(journalPath(h)));
    }

    void unwritableJournalDoesNotStopTheRun()
    {
        Harness h;
        for (int id = 1; id <= 3; ++id)
            h.setPage(id, profilePage(QStringLiteral("p%1").arg(id)));
        h.window.reset();
        QVERIFY(QDir(h.dir.filePath(QStringLiteral("Log"))).removeRecursively());
        QVERIFY(writeFile(h.dir.filePath(QStringLiteral("Log")), "a file where the folder would be"));
        restart(h);
        h.setFields(QStringLiteral("1"), QStringLiteral("3"));
        h.window->Command1_Click();
        QCOMPARE(h.rows(), 3);
        const QStringList failures = h.messages().filter(QStringLiteral("恢复记录写入失败, 采集继续: "));
        QCOMPARE(failures.size(), 1);
        QCOMPARE(h.window->statusPanelText(2), QStringLiteral("采集完成..."));
    }

    void secondProgramWorksWithoutAJournal()
    {
        Harness h;
        h.setPage(1, profilePage(QStringLiteral("first")));
        frmMain second(QString::fromLatin1(h.server.baseUrl() + "/u/"), h.dir.path());
        QCOMPARE(second.logText().count(QStringLiteral("\r\n")), 2);
        QVERIFY(second.logText().contains(QStringLiteral("另一个程序正在使用此目录的恢复记录, 本窗口不保存恢复记录")));
        second.findChild<QLineEdit *>(QStringLiteral("Txt(0)"))->setText(QStringLiteral("1"));
        second.findChild<QLineEdit *>(QStringLiteral("Txt(1)"))->setText(QStringLiteral("1"));
        second.Command1_Click();
        QCOMPARE(second.resultList()->rowCount(), 1);
        QVERIFY(!QFile::exists(journalPath(h)));
        second.close();
        h.setFields(QStringLiteral("1"), QStringLiteral("1"));
        h.window->Command1_Click();
        QCOMPARE(readFile(journalPath(h)).count("\r\n"), 2);
    }

    void freshStartIsAsAlways()
    {
        Harness h;
        QCOMPARE(h.messages(), QStringList{"启动程序..."});
        QCOMPARE(h.rows(), 0);
        QCOMPARE(h.field(0)->text(), QStringLiteral("50147164"));
        QCOMPARE(h.field(1)->text(), QStringLiteral("50147260"));
    }
};

QTEST_MAIN(TestJournal)
#include "tst_journal.moc"
