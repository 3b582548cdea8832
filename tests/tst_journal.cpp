#include "fixture.h"
#include "journal.h"

namespace {
const qint64 kFirst = 50147164, kLast = 50147203;
const QString kHeader = QStringLiteral("Index,Lirra用户名,主页ID,用户ID,歌手等级,试听量,作品数,转发数,关注数,粉丝数,\r\n");
const QString kRow1 = QStringLiteral("1,=\"甲\",=\"11\",=\"87654321\",=\"尚未出道\",=\"1024\",=\"12\",=\"3\",=\"45\",=\"678\",\r\n");
const QString kRow2 = QStringLiteral("2,\"=\"\"a,b\"\"\",=\"12\",=\"\",=\"歌唱新人 1\",=\"1\",=\"2\",=\"3\",=\"4\",=\"5\",\r\n");

} // namespace

class TestJournal : public QObject
{
    Q_OBJECT
    static QString journalPath(Harness &h) { return h.dir.filePath(QStringLiteral("Log/journal.csv")); }
    // Three full log boxes whose roll-over fails: each time the box is emptied all the same,
    // and one line says which file could not be written.
    static void rollOverFails(Harness &h, const QString &file)
    {
        for (int round = 0; round < 3; ++round) {
            h.child<QPlainTextEdit>("Alog")->setPlainText(QString(300000, u'日')); // more than a full device takes
            h.window->Ag(QStringLiteral("after"));
            const QStringList lines = h.messages();
            QCOMPARE(lines.mid(1), QStringList{"after"});
            QVERIFY2(lines[0].startsWith(QStringLiteral("日志文件写入失败: ")) && lines[0].contains(QDir::toNativeSeparators(file)), qPrintable(lines[0]));
        }
    }

private Q_SLOTS:
    void init() { quickFetches(2000, {20, 20}); }

    void killedWindowResumes_data()
    {
        QTest::addColumn<QString>("when");
        QTest::addColumn<int>("parallel");
        QTest::newRow("right after a page") << "page" << 1;
        QTest::newRow("during a pause") << "pause" << 1;
        QTest::newRow("during a fetch") << "fetch" << 1;
        QTest::newRow("eight in flight, answers out of order") << "fetch" << 8;
    }
    // The window program is killed in the middle of a harvest, started again, and Start
    // finishes the range: exactly the rows of an uninterrupted run, none twice, and next to
    // nothing fetched again. Every row kept before the kill is in the journal: each one
    // reaches the system as it is kept, not at the next sync.
    void killedWindowResumes()
    {
        QFETCH(QString, when);
        QFETCH(int, parallel);
        const qint64 killAt = kFirst + (parallel > 1 ? 30 : 14);
        const int pauseMs = parallel > 1 ? 10 : 150;
        Harness h("demo");
        if (parallel > 1)
            h.delay([](qint64 id) { return int(id % 4) * 30; });
        h.window.reset();
        QProcess child;
        h.server.setHandler([&](const LoopbackServer::Request &r, QTcpSocket *s) {
            if (child.state() != QProcess::NotRunning && r.path.mid(3).toLongLong() == killAt) {
                if (when == u"fetch") {
                    h.requested.append(r.path);
                    return child.kill();
                }
                QTimer::singleShot(when == u"pause" ? pauseMs / 2 : 0, [&child] { child.kill(); });
            }
            h.serve(r, s);
        });
        child.start(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral(LAUNCHER)),
                    {QString::fromLatin1(h.server.baseUrl() + "/u/"), h.dir.path(), QString::number(kFirst), QString::number(kLast),
                     QString::number(pauseMs), QString::number(parallel)});
        QVERIFY(child.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(child.state() == QProcess::NotRunning, 30000);
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        const QList<QByteArray> firstLife = h.requested;
        if (parallel == 1)
            QCOMPARE(firstLife.last(), "/u/" + QByteArray::number(killAt));

        // Back exactly as they were, and the fields point at the next ID.
        h.restart();
        Harness uninterrupted("demo");
        uninterrupted.harvest(kFirst, kLast);
        const QStringList before = h.rowTexts(), expected = uninterrupted.rowTexts();
        QVERIFY(!before.isEmpty());
        QCOMPARE(before, expected.mid(0, before.size()));
        const qint64 next = h.field(0)->text().toLongLong();
        QVERIFY2(next > before.last().section(u'|', 2, 2).toLongLong() && next <= killAt + 1, qPrintable(QString::number(next)));
        const auto keptBeforeKill = std::count_if(expected.begin(), expected.end(),
                                                  [killAt](const QString &row) { return row.section(u'|', 2, 2).toLongLong() < killAt; });
        QVERIFY(parallel > 1 || before.size() >= keptBeforeKill); // every row kept before the kill
        QCOMPARE(h.field(1)->text(), QString::number(kLast));
        QCOMPARE(h.messages(), (QStringList{QStringLiteral("上次采集到ID %1, 按开始继续采集").arg(next - 1),
                                            QStringLiteral("已恢复上次未保存的 %1 行").arg(before.size()), QStringLiteral("启动程序...")}));
        h.requested.clear();
        h.arrivals.clear();
        h.harvest(next, kLast, pauseMs, parallel);
        QCOMPARE(parallel > 1 ? h.arrivals.value(0).id : h.requested.first().mid(3).toLongLong(), next);
        QCOMPARE(h.rowTexts(), expected);
        // Fetched again: at most what the last second before the kill covered; in parallel also
        // what was in flight or held behind a slower ID.
        const auto again = std::count_if(h.requested.begin(), h.requested.end(),
                                         [&firstLife](const QByteArray &path) { return firstLife.contains(path); });
        QVERIFY2(again <= (parallel > 1 ? 4 * parallel : 1000 / pauseMs + 2), qPrintable(QString::number(again)));
    }

    // A journal found at start: its whole rows come back, also from several reading pieces
    // (one may end inside a value), and a torn last line is cut off the file; one that cannot
    // be read is set aside, and the log says so.
    void journalFoundAtStart_data()
    {
        QTest::addColumn<QByteArray>("whole"); // empty: the file is set aside
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray two = gbk(kHeader + kRow1 + kRow2);
        QTest::newRow("torn last line dropped") << two << two + gbk(QStringLiteral("3,=\"乙\",=\"13\",=\"8"));
        ResultModel rows;
        for (int r = 0; r < 40000; ++r) {
            rows.appendRow(QString::number(r + 1));
            rows.setCell(r, 1, QStringLiteral("名字%1🎤\r\nbreak, \"%1\"").arg(r));
            rows.setCell(r, 2, QString::number(50147164 + r));
        }
        const QByteArray many = csvBytes(rows).chopped(2); // over 2 MB
        QTest::newRow("several reading pieces, torn") << many << many + "13,=\"torn";
        QTest::newRow("binary") << QByteArray() << QByteArray("\x00\xff\x81\x30 junk\r\n", 10);
        QTest::newRow("another file") << QByteArray() << QByteArray("name,age\r\nann,7\r\n");
        QTest::newRow("wrong encoding") << QByteArray() << (kHeader + kRow1).toUtf8();
        QTest::newRow("a row without its cells") << QByteArray() << gbk(kHeader + QStringLiteral("1,=\"甲\",\r\n") + kRow2);
    }
    void journalFoundAtStart()
    {
        QFETCH(QByteArray, whole);
        QFETCH(QByteArray, bytes);
        Harness h;
        h.window.reset();
        QVERIFY(QDir().mkpath(h.dir.filePath(QStringLiteral("Log"))) && writeFile(journalPath(h), bytes));
        h.restart();
        if (!whole.isEmpty()) { // the list saved again is the journal's whole rows, cell for cell
            QCOMPARE(csvBytes(*h.window->resultList()).chopped(2), whole);
            QCOMPARE(h.messages(), (QStringList{QStringLiteral("已恢复上次未保存的 %1 行").arg(h.rows()), "启动程序..."}));
            QCOMPARE(readFile(journalPath(h)), whole); // the next row follows the whole ones
            return;
        }
        QCOMPARE(h.rows(), 0);
        const QDir log(h.dir.filePath(QStringLiteral("Log")));
        const QStringList aside = log.entryList({"journal-damaged-" + QDate::currentDate().toString(QStringLiteral("yyyyMMdd")) + "*.csv"});
        QCOMPARE(aside.size(), 1);
        QCOMPARE(readFile(log.filePath(aside.first())), bytes);
        QCOMPARE(h.messages(), (QStringList{"恢复记录无法读取, 已移至: " + QDir::toNativeSeparators(log.filePath(aside.first())), "启动程序..."}));
        QVERIFY(!QFile::exists(journalPath(h)));
    }

    void journalFollowsTheList()
    {
        Harness h("p%1");
        const auto journalRows = [&] { return readFile(journalPath(h)).count("\r\n") - 1; };
        h.window->setAsker([](const QString &) { return true; });
        h.harvest(1, 3);
        QCOMPARE(journalRows(), 3);
        h.window->pmenu_Click(2); // clear, Yes
        QVERIFY(!QFile::exists(journalPath(h)));
        h.harvest(1, 3);
        h.window->pmenu_Click(4); // a save leaves it
        h.window->finishSave();
        QCOMPARE(journalRows(), 3);
        h.window->close(); // saved since the last change: nothing to keep
        QVERIFY(!QFile::exists(journalPath(h)));

        h.restart();
        h.harvest(1, 3);
        h.window->pmenu_Click(4);
        h.window->finishSave();
        h.harvest(1, 3); // changed after the save
        h.window->close();
        QCOMPARE(journalRows(), 6);
        h.restart();
        QVERIFY(h.rows() == 6 && h.rowTexts().value(5).startsWith(u"6|"));
        // A second program on the same folder works without a journal, and leaves this one's be.
        Harness second("p%1");
        second.restart(h.dir.path());
        QCOMPARE(second.messages(), (QStringList{"另一个程序正在使用此目录的恢复记录, 本窗口不保存恢复记录", "启动程序..."}));
        second.harvest(1, 1);
        QCOMPARE(second.rows(), 1);
        second.window->close();
        QCOMPARE(journalRows(), 6);
        h.harvest(1, 1);
        QCOMPARE(journalRows(), 7);
        h.window->setAsker([](const QString &) { return true; });
        h.window->pmenu_Click(2);
        h.window->close(); // empty: nothing to keep
        QVERIFY(!QFile::exists(journalPath(h)));
    }

    // A file where the Log folder would be: the run goes on without its journal, and a full
    // log box is emptied all the same.
    void unwritableLogFolder()
    {
        Harness h("p%1");
        h.window.reset();
        const QString notADir = h.dir.filePath(QStringLiteral("Log"));
        QVERIFY(QDir(notADir).removeRecursively() && writeFile(notADir, "a file where the folder would be"));
        h.restart();
        h.harvest(1, 3);
        QCOMPARE(h.rows(), 3);
        QCOMPARE(h.messages().filter(QStringLiteral("恢复记录写入失败, 采集继续: ")).size(), 1);
        QCOMPARE(h.panel(2), QStringLiteral("采集完成..."));
        rollOverFails(h, notADir);
        QVERIFY(QFileInfo(notADir).isFile());
    }

    // Saving the list, rolling the log over and journaling a harvest onto a full device:
    // each failure is said, an earlier file of the name keeps every byte, nothing partial is
    // left, and the list and the run go on.
    void fullDevice()
    {
        QTemporaryDir base;
        const QString program = base.filePath(QStringLiteral("program"));
        QDir().mkpath(program);
        if (QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=256k", "tmpfs", program}) != 0)
            QSKIP("mounting a small tmpfs of our own needs root");
        const auto unmount = qScopeGuard([&program] { QProcess::execute("umount", {"-l", program}); });
        QDir().mkpath(program + QStringLiteral("/Log"));
        while (QTime::currentTime().second() >= 57) // one log file name for the whole test
            QTest::qWait(250);
        const QString saved = program + u'/' + savedName("1", "300");
        const QString logFile = program + QStringLiteral("/Log/")
            + QDateTime::currentDateTime().toString(QStringLiteral("MMdd-HHmm")) + QStringLiteral("-Log.txt");
        QVERIFY(writeFile(saved, "an earlier save\r\n") && writeFile(logFile, "earlier log\r\n"));
        Harness h(QString(300, u'名') + QStringLiteral("%1"));
        h.restart(program);
        QFile filler(program + QStringLiteral("/filler"));
        QVERIFY(filler.open(QIODevice::WriteOnly));
        while (filler.write(QByteArray(4096, 'f')) == 4096 && filler.flush()) {
        }
        rollOverFails(h, QFileInfo(logFile).fileName());
        QCOMPARE(readFile(logFile), QByteArray("earlier log\r\n"));
        h.harvest(1, 300);
        QCOMPARE(h.rows(), 300);
        QCOMPARE(h.window->logText().count(QStringLiteral("恢复记录写入失败, 采集继续: ")), 1);
        QCOMPARE(h.messages().first(), QStringLiteral("采集已经停止..."));
        // What did reach the device is whole rows, readable at the next start.
        QVERIFY(Journal(program + QStringLiteral("/Log")).recover().setAside.isEmpty());

        h.window->pmenu_Click(4);
        h.window->finishSave();
        QCOMPARE(h.messages().first(), QStringLiteral("文件保存失败..."));
        QCOMPARE(readFile(saved), QByteArray("an earlier save\r\n"));
        QCOMPARE(h.rows(), 300);
        QVERIFY2(QDir(program).entryList(QDir::Files).size() <= 2, "a partial file was left behind");
    }

    // A program folder that cannot be written at start-up, as an installed program's: the
    // lists go to the user's documents, named after the field texts as they stand, and the logs
    // and the journal to the data location.
    void readOnlyProgramFolderUsesTheUsersFolders()
    {
        if (!testHome.holdsUserFolders())
            QSKIP("the user's documents and data folders cannot be moved into the test's own home here");
        Harness h;
        h.setPage(1, QStringLiteral("名"));
        h.restart(h.dir.filePath(QStringLiteral("no such folder"))); // as good as a read-only one
        h.harvest(1, 2);
        h.field(0)->setText(QStringLiteral("abc"));
        h.window->pmenu_Click(4);
        h.window->finishSave();
        const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        const QString saved = QDir::toNativeSeparators(documents + QStringLiteral("/VqLirra/") + savedName("abc", "2"));
        QCOMPARE(h.messages().first(), QStringLiteral("文件保存成功: ") + saved);
        QCOMPARE(readFile(saved), csvBytes(*h.window->resultList()));
        h.field(0)->setText(QStringLiteral("a/b")); // names a folder that is not there
        h.window->pmenu_Click(4);
        h.window->finishSave();
        QVERIFY(h.messages().first() == QStringLiteral("文件保存失败...") && h.rows() == 1);
        const QString logDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/Log");
        QVERIFY(QFile::exists(logDir + QStringLiteral("/journal.csv")));
        h.child<QPlainTextEdit>("Alog")->setPlainText(QString(50000, u'日'));
        h.window->Ag(QStringLiteral("after"));
        QCOMPARE(QDir(logDir).entryList({QStringLiteral("*-Log.txt")}).size(), 1);
    }
};

QTEST_MAIN(TestJournal)
#include "tst_journal.moc"
