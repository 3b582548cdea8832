#include "fixture.h"
#include "spreadsheet.h"
#include "changes_window.h"
#include "chart_scale.h"
#include "history_chart.h"
#include "history_changes.h"
#include "short_number.h"

#include <sqlite3.h>

namespace {
const qint64 kFirst = 50147164, kLast = 50147263;

// What the demo site shows as fans, as a number: "4.7万" is 47,000.
qint64 shownFans(const DemoPages::Profile &p)
{
    const QString text = p.fansText();
    return text.endsWith(u'万') ? qRound64(text.chopped(1).toDouble() * 10000) : text.toLongLong();
}

QString expectedStatus(const DemoPages::Profile &before, const DemoPages::Profile &now, qint64 id)
{
    if (!now.exists)
        return before.exists ? QStringLiteral("gone") : QString();
    if (!before.exists)
        return QStringLiteral("new");
    return before.rowCells(id, 1) == now.rowCells(id, 1) ? QStringLiteral("same") : QStringLiteral("changed");
}

QVariant numberOf(const QJsonValue &value) { return value.isNull() ? QVariant() : QVariant(value.toDouble()); }

QString cliPath() { return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral(CLI)); }

// A program run to its end (a minute at most), this test's site answering meanwhile.
QByteArray runCli(const QStringList &args, int *exitCode = nullptr)
{
    QProcess p;
    p.start(cliPath(), args);
    QDeadlineTimer bound(60000);
    while (p.waitForStarted() && p.state() != QProcess::NotRunning && !bound.hasExpired())
        QTest::qWait(10);
    p.kill(); // only if it is still running
    p.waitForFinished();
    if (exitCode)
        *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return p.readAllStandardOutput();
}

qint64 countOf(const QString &path, const char *sql)
{
    sqlite3 *db = nullptr;
    qint64 n = -1;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt *statement = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK && sqlite3_step(statement) == SQLITE_ROW)
            n = sqlite3_column_int64(statement, 0);
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return n;
}
} // namespace

class TestHistory : public QObject
{
    Q_OBJECT
    std::unique_ptr<Harness> h;
    QString historyPath() const { return h->dir.filePath(QStringLiteral("Log/history.sqlite")); }

private Q_SLOTS:
    void init() { h = std::make_unique<Harness>(QStringLiteral("demo")); }
    void cleanup() { ProfileSite::setWeek(0); }

    void shortForms_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("number"); // -1: none
        QTest::newRow("digits") << "12345" << qint64(12345);
        QTest::newRow("ten thousands") << "1.2万" << qint64(12000);
        QTest::newRow("a hundred millions") << "3亿" << qint64(300000000);
        QTest::newRow("w and a plus") << "2.05w+" << qint64(20500);
        QTest::newRow("a point without a unit") << "1.2" << qint64(-1);
        QTest::newRow("two points") << "1.2.3万" << qint64(-1);
        QTest::newRow("the missing marker") << "Nothing" << qint64(-1);
        QTest::newRow("empty") << "" << qint64(-1);
    }
    void shortForms()
    {
        QFETCH(QString, text);
        QFETCH(qint64, number);
        QCOMPARE(ShortNumber::read(text).value_or(-1), number);
    }

    // Kept, outside the grade range and absent: each ID read back as the site showed it.
    void harvestIsRecordedExactly()
    {
        h->child<QComboBox>("Combo1")->setCurrentIndex(11); // some profiles fall outside
        h->harvest(kFirst, kLast);
        HistoryReader history(historyPath());
        QVERIFY2(history.ok(), qPrintable(history.error()));
        int found = 0;
        for (qint64 id = kFirst; id <= kLast; ++id) {
            const DemoPages::Profile p = DemoPages::profile(id);
            const std::vector<VisitValues> visits = history.visitsOf(id);
            QCOMPARE(visits.size(), size_t(1));
            const VisitValues &v = visits.front();
            QCOMPARE(v.found, p.exists);
            if (!p.exists)
                continue;
            ++found;
            const QStringList cells = p.rowCells(id, 1);
            QCOMPARE((QStringList{v.name, v.userId, v.grade} + QStringList(v.shown.begin(), v.shown.end())),
                     (QStringList{cells[1], cells[3], cells[4]} + cells.mid(5)));
            QCOMPARE(v.counts[4].value_or(-1), p.fans);
        }
        QVERIFY(h->rows() > 10 && h->rows() < found);
        QCOMPARE(countOf(historyPath(), "SELECT count(*) FROM harvests WHERE ended IS NOT NULL"), qint64(1));
    }

    // Two harvests a week apart: the command line and the window say what changed, as the
    // site's own profiles of both weeks do.
    void changesBetweenHarvests()
    {
        h->harvest(kFirst, kLast);
        h->window->setAsker([](const QString &) { return true; });
        h->window->pmenu_Click(2); // the list is emptied, the history is not
        ProfileSite::setWeek(1);
        h->harvest(kFirst, kLast);
        int code = -1;
        const QByteArray out = runCli({"--changes", "--history", historyPath(), "--format", "jsonl"}, &code);
        QCOMPARE(code, 0);
        QMap<QString, int> statuses;
        QList<QByteArray> lines = out.trimmed().split('\n');
        for (qint64 id = kFirst; id <= kLast; ++id) {
            const DemoPages::Profile before = DemoPages::profile(id, 0), now = DemoPages::profile(id, 1);
            const QString status = expectedStatus(before, now, id);
            if (status.isEmpty())
                continue;
            ++statuses[status];
            const QJsonObject o = QJsonDocument::fromJson(lines.takeFirst()).object();
            QCOMPARE(o.value(QLatin1String("homepage_id")).toString().toLongLong(), id);
            QCOMPARE(o.value(QLatin1String("status")).toString(), status);
            QCOMPARE(numberOf(o.value(QLatin1String("fans"))), now.exists ? QVariant(double(shownFans(now))) : QVariant());
            QCOMPARE(numberOf(o.value(QLatin1String("fans_before"))), before.exists ? QVariant(double(before.fans)) : QVariant());
            QCOMPARE(o.value(QLatin1String("previous")).isString(), true);
        }
        QVERIFY(lines.isEmpty());
        const QList<QByteArray> csv = runCli({"--changes", "--history", historyPath(), "--encoding", "utf-8"}).split('\n');
        QCOMPARE(csv.size(), out.count('\n') + 2); // a header, and a line break at the end
        QVERIFY(csv[0].startsWith("\xEF\xBB\xBFstatus,previous,name,homepage_id,user_id,"));
        QVERIFY2(statuses.size() == 4, qPrintable(QStringList(statuses.keys()).join(u',')));
        // Against the last harvest before a day long gone: none, so every profile now is new.
        const QByteArray sinceThen = runCli({"--changes", "--history", historyPath(), "--format", "jsonl", "--since", "2000-01-01"});
        QCOMPARE(sinceThen.count("\"status\":\"new\""), statuses["new"] + statuses["changed"] + statuses["same"]);
        QCOMPARE(sinceThen.count('\n'), statuses["new"] + statuses["changed"] + statuses["same"]);

        // The window: the list's profiles and the gone ones, the biggest gain of fans first.
        h->window->pmenu_Click(7);
        ChangesWindow *changes = h->window->changesWindow();
        QVERIFY(changes);
        QVERIFY(h->window->screen()->availableGeometry().contains(changes->frameGeometry()));
        QTRY_VERIFY_WITH_TIMEOUT(!changes->loading(), 10000);
        QCOMPARE(changes->model()->rowCount(), h->rows() + statuses[QStringLiteral("gone")]);
        const QModelIndexList gone = changes->model()->match(changes->model()->index(0, 0), Qt::DisplayRole, QStringLiteral("已消失"), -1);
        QCOMPARE(gone.size(), statuses[QStringLiteral("gone")]);
        QCOMPARE(changes->model()->match(changes->model()->index(0, 0), Qt::DisplayRole, QStringLiteral("新"), -1).size(), statuses[QStringLiteral("new")]);
        const QAbstractItemModel *shown = changes->model();
        const int gained = ChangesModel::fansGainedColumn();
        for (int r = 1; r < shown->rowCount(); ++r)
            QVERIFY(shown->index(r - 1, gained).data(Qt::UserRole).toDouble() >= shown->index(r, gained).data(Qt::UserRole).toDouble());
        const qint64 top = shown->index(0, 2).data().toLongLong();
        changes->model()->sort(2, Qt::AscendingOrder); // as a click on the header does
        QVERIFY(shown->index(0, 2).data().toLongLong() < shown->index(1, 2).data().toLongLong());
        changes->model()->sort(ChangesModel::fansGainedColumn(), Qt::DescendingOrder);
        const qint64 fansBefore = DemoPages::profile(top, 0).fans, fansGained = shownFans(DemoPages::profile(top, 1)) - fansBefore;
        QCOMPARE(shown->index(0, gained).data().toString(), ChangesModel::signedNumber(fansGained));
        QCOMPARE(shown->index(0, gained + 1).data().toString(),
                 QStringLiteral("+%1%").arg(100.0 * double(fansGained) / double(fansBefore), 0, 'f', 1));
        const QString saved = h->dir.filePath(QStringLiteral("changes.csv"));
        QVERIFY(changes->save(saved));
        changes->finishSave();
        changes->findChild<QPushButton *>(QStringLiteral("saveChangesWorkbook"))->click();
        changes->finishSave();
        QVERIFY2(h->messages().first().startsWith(QStringLiteral("文件保存成功: ")) && h->messages().first().endsWith(QStringLiteral("-比较.xlsx")),
                 qPrintable(h->messages().first()));
        const QStringList file = Module1::decodeText(readFile(saved)).split(QStringLiteral("\r\n"));
        QCOMPARE(file.size(), shown->rowCount() + 3); // the header, the rows, and the closing line break
        QVERIFY(file[0].startsWith(QStringLiteral("状态,")));

        // Its chart: the fans of both harvests.
        h->select(0);
        h->window->pmenu_Click(8);
        const qint64 id = h->window->resultList()->cell(0, 2).toLongLong();
        QVERIFY(h->window->historyChart());
        const qint64 fans[] = {DemoPages::profile(id, 0).fans, shownFans(DemoPages::profile(id, 1))};
        QCOMPARE(h->window->historyChart()->series().fans, (std::vector<qint64>{fans[0], fans[1]}));
        QVERIFY2(h->window->historyChart()->title().contains(QStringLiteral("(%1)   粉丝 %2").arg(id).arg(ChartScale::change(fans[0], fans[1]))),
                 qPrintable(h->window->historyChart()->title()));
    }

    // Each series' axis: four or five round values taking in its lowest and highest, written
    // in the site's short forms.
    void chartScale_data()
    {
        QTest::addColumn<qint64>("low");
        QTest::addColumn<qint64>("high");
        QTest::addColumn<QStringList>("labels");
        QTest::newRow("small counts") << qint64(3) << qint64(17) << QStringList{"0", "5", "10", "15", "20"};
        QTest::newRow("a narrow band of large ones") << qint64(28000) << qint64(28212) << QStringList{"2.8万", "2.81万", "2.82万", "2.83万"};
        QTest::newRow("steps of 2.5") << qint64(10000) << qint64(19000) << QStringList{"1万", "1.25万", "1.5万", "1.75万", "2万"};
        QTest::newRow("hundreds of millions") << qint64(120000000) << qint64(310000000) << QStringList{"1亿", "2亿", "3亿", "4亿"};
        QTest::newRow("one harvest") << qint64(500) << qint64(500) << QStringList{"450", "475", "500", "525", "550"};
        QTest::newRow("nothing yet") << qint64(0) << qint64(0) << QStringList{"0", "1", "2", "3"};
    }
    void chartScale()
    {
        QFETCH(qint64, low);
        QFETCH(qint64, high);
        QFETCH(QStringList, labels);
        const std::vector<qint64> ticks = ChartScale::ticks(low, high);
        QStringList shown;
        for (const qint64 t : ticks)
            shown << ChartScale::label(t);
        QCOMPARE(shown, labels);
        QVERIFY(ticks.front() <= low && ticks.back() >= high && ticks.size() >= 4 && ticks.size() <= 5);
    }

    // Of three harvests the previous is the one before the latest; --since a harvest's very
    // time compares with the one before it. The workbook has the same changes.
    void changeReportEdges()
    {
        qint64 id = kFirst;
        while (DemoPages::profile(id, 0).fans == DemoPages::profile(id, 1).fans || !DemoPages::profile(id, 2).exists)
            QVERIFY(++id < kLast);
        for (int week = 0; week < 3; ++week) {
            ProfileSite::setWeek(week);
            h->harvest(id, id);
        }
        const qint64 t1 = 1700000000;
        QCOMPARE(countOf(historyPath(), "SELECT count(*) FROM visits"), 3);
        sqlite3 *db = nullptr;
        QCOMPARE(sqlite3_open(historyPath().toUtf8().constData(), &db), SQLITE_OK);
        QCOMPARE(sqlite3_exec(db, "UPDATE visits SET at = 1700000000 + 86400 * (harvest - 1)", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
        const auto fansBefore = [this](const QStringList &since) {
            const QByteArray out = runCli(QStringList{"--changes", "--history", historyPath(), "--format", "jsonl"} << since);
            return QJsonDocument::fromJson(out).object().value(QLatin1String("fans_before")).toDouble();
        };
        QCOMPARE(fansBefore({}), double(shownFans(DemoPages::profile(id, 1))));
        const QString t2 = QDateTime::fromSecsSinceEpoch(t1 + 86400, Qt::UTC).toString(Qt::ISODate);
        QCOMPARE(fansBefore({"--since", t2}), double(shownFans(DemoPages::profile(id, 0))));
        QCOMPARE(fansBefore({"--since", QDateTime::fromSecsSinceEpoch(t1 + 86401, Qt::UTC).toString(Qt::ISODate)}),
                 double(shownFans(DemoPages::profile(id, 1))));
        const QString book = h->dir.filePath(QStringLiteral("changes.xlsx"));
        int code = -1;
        runCli({"--changes", "--history", historyPath(), "--format", "xlsx", "--output", book}, &code);
        QCOMPARE(code, 0);
        if (spreadsheetProgram().isEmpty())
            return;
        const Sheet sheet = readWorkbook(book, h->dir.path()).value(0);
        QCOMPARE(sheet.rows.value(0).mid(0, 3), (QStringList{"status", "previous", "name"}));
        QCOMPARE(sheet.rows.value(1).value(1), QDateTime::fromSecsSinceEpoch(t1 + 86400).toString(QStringLiteral("yyyy-MM-dd hh:mm")));
        QCOMPARE(sheet.rows.value(1).value(19), QString::number(shownFans(DemoPages::profile(id, 1))));
        QCOMPARE(sheet.types.value(1).mid(0, 4), (QStringList{"s", "n", "s", "s"}));
        QCOMPARE(sheet.types.value(1).value(19), QStringLiteral("n"));
    }

    // A file that is not a history (damaged, or another program's database) is set aside,
    // said once, and the harvest is recorded in a new one; a file locked for a while waits.
    void troubledFiles_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("lockMs");
        QTest::newRow("damaged") << QByteArray("SQLite format 3").append(4000, 'x') << 0;
        QTest::newRow("another program's") << QByteArray("CREATE TABLE notes(t TEXT);") << 0;
        QTest::newRow("a folder in its place") << QByteArray("folder") << 0;
        QTest::newRow("locked for a second") << QByteArray() << 1000;
    }
    void troubledFiles()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, lockMs);
        QDir().mkpath(h->dir.filePath(QStringLiteral("Log")));
        sqlite3 *other = nullptr;
        if (content.startsWith("CREATE") || lockMs > 0) {
            QCOMPARE(sqlite3_open(historyPath().toUtf8().constData(), &other), SQLITE_OK);
            QCOMPARE(sqlite3_exec(other, lockMs > 0 ? "BEGIN EXCLUSIVE; CREATE TABLE t(x)" : content.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
            const auto release = [&other] {
                if (!other)
                    return;
                sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
                sqlite3_close(other);
                other = nullptr;
            };
            if (lockMs == 0)
                release();
            QTimer::singleShot(lockMs, release);
        } else if (content == "folder") {
            QVERIFY(QDir().mkpath(historyPath()));
        } else {
            QVERIFY(writeFile(historyPath(), content));
        }
        h->harvest(kFirst, kFirst + 29, 40); // over a second
        QTRY_VERIFY(!other);
        // The history is opened on a thread of its own: on a busy machine it may be said late.
        const auto aside = [this] { return QDir(h->dir.filePath(QStringLiteral("Log"))).entryList({"history.sqlite.damaged-*"}).size(); };
        QTRY_COMPARE_WITH_TIMEOUT(aside(), lockMs > 0 ? 0 : 1, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(h->messages().filter(QStringLiteral("历史记录已损坏, 已移至")).size(), lockMs > 0 ? 0 : 1, 10000);
        QTRY_COMPARE(countOf(historyPath(), "SELECT count(*) FROM visits"), qint64(30));
    }

    // A kill loses at most the last second's visits, and leaves a file that opens whole.
    void killLosesAtMostASecond()
    {
        const QString path = h->dir.filePath(QStringLiteral("killed.sqlite"));
        QProcess p;
        p.start(cliPath(), {"--base-url", QString::fromLatin1(h->server.baseUrl() + "/u/"), "--start", QString::number(kFirst),
                            "--end", QString::number(kFirst + 999), "--pause", "50", "--quiet", "--history", path});
        QVERIFY(p.waitForStarted());
        QTest::qWait(3000);
        const qint64 killedAt = h->clock.elapsed();
        p.kill();
        p.waitForFinished();
        qint64 readBefore = -1; // the IDs asked for more than a second before the kill, and answered
        for (const QList<qint64> &times : std::as_const(h->times))
            readBefore += times.first() < killedAt - 1100;
        QVERIFY(readBefore > 10);
        QCOMPARE(countOf(path, "SELECT count(*) FROM pragma_quick_check WHERE quick_check = 'ok'"), qint64(1));
        QVERIFY2(countOf(path, "SELECT count(*) FROM visits") >= readBefore, qPrintable(QString::number(readBefore)));
    }

    // Two programs recording into one file at once: both harvests land whole.
    void twoProgramsShareOneFile()
    {
        const QString path = h->dir.filePath(QStringLiteral("shared.sqlite"));
        QProcess a, b;
        const auto start = [&](QProcess &p, qint64 first) {
            p.start(cliPath(), {"--base-url", QString::fromLatin1(h->server.baseUrl() + "/u/"), "--start", QString::number(first),
                                "--end", QString::number(first + 299), "--pause", "0", "--quiet", "--history", path});
        };
        start(a, kFirst);
        start(b, kFirst + 1000);
        QTRY_VERIFY_WITH_TIMEOUT(a.state() == QProcess::NotRunning && b.state() == QProcess::NotRunning, 60000);
        QCOMPARE(a.exitCode() + b.exitCode(), 0);
        QCOMPARE(countOf(path, "SELECT count(*) FROM visits"), qint64(600));
        QCOMPARE(countOf(path, "SELECT count(*) FROM harvests WHERE ended IS NOT NULL"), qint64(2));
    }
};

QTEST_MAIN(TestHistory)
#include "tst_history.moc"
