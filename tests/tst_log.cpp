#include "main_window.h"
#include "test_files.h"

#include <QDateTime>
#include "pageutil.h"

#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>

namespace {
QString rollOverName(const QDateTime &at)
{
    return at.toString(QStringLiteral("MMdd-HHmm")) + QStringLiteral("-Log.txt");
}
} // namespace

class TestLog : public QObject
{
    Q_OBJECT
    QPlainTextEdit *box(frmMain &w) { return w.findChild<QPlainTextEdit *>(QStringLiteral("Alog")); }

private Q_SLOTS:
    void linesAreNewestFirstWithTimeOfDay()
    {
        QTemporaryDir dir;
        frmMain w(frmMain::kFetchBaseUrl, dir.path());
        w.Ag(QStringLiteral("second"));
        w.Ag(QStringLiteral("ignored"), QStringLiteral("坏了"), 5);
        w.Ag(QStringLiteral("zero"), QString(), 0);
        const QStringList lines = w.logText().split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 5); // four lines and the empty text after the last CR LF
        const QRegularExpression time(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d  "));
        for (int i = 0; i < 4; ++i)
            QVERIFY2(time.match(lines[i]).hasMatch(), qPrintable(lines[i]));
        QCOMPARE(lines[0].mid(8), QStringLiteral("  zero"));
        QCOMPARE(lines[1].mid(8), QStringLiteral("  错误: 坏了 代码: 5"));
        QCOMPARE(lines[2].mid(8), QStringLiteral("  second"));
        QCOMPARE(lines[3].mid(8), QStringLiteral("  启动程序..."));
        QVERIFY(lines[4].isEmpty());
        QVERIFY(!lines[0].contains(QStringLiteral("代码")));
    }

    void rollOverBound_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("rolls");
        QTest::newRow("exactly 50000") << QString(50000, u'x') << true;
        QTest::newRow("49999") << QString(49999, u'x') << false;
        // Counted with CR LF line ends: 49,991 characters in the box, 50,000 as log text.
        QTest::newRow("line ends count twice") << QString(QString(49982, u'x') + QString(9, u'\n')) << true;
    }
    void rollOverBound()
    {
        QFETCH(QString, text);
        QFETCH(bool, rolls);
        QTemporaryDir dir;
        frmMain w(frmMain::kFetchBaseUrl, dir.path());
        box(w)->setPlainText(text);
        const QString before = w.logText();
        const QDateTime t0 = QDateTime::currentDateTime();
        w.Ag(QStringLiteral("next"));
        const QDateTime t1 = QDateTime::currentDateTime();
        const QString logDir = dir.filePath(QStringLiteral("Log"));
        const QStringList files = QDir(logDir).entryList(QDir::Files);
        if (!rolls) {
            QVERIFY(files.isEmpty());
            QCOMPARE(w.logText().size(), 10 + 4 + 2 + before.size());
            return;
        }
        QCOMPARE(files.size(), 1);
        QVERIFY(files.first() == rollOverName(t0) || files.first() == rollOverName(t1));
        // The file holds the log exactly, one more CR LF, in the tool's text encoding.
        const QByteArray bytes = readFile(QDir(logDir).filePath(files.first()));
        QStringDecoder gb("GB18030");
        QCOMPARE(QString(gb.decode(bytes)), before + QStringLiteral("\r\n"));
        QCOMPARE(w.logText().count(QStringLiteral("\r\n")), 1);
        QVERIFY(w.logText().endsWith(QStringLiteral("  next\r\n")));
    }

    void readBackExactly_data()
    {
        QTest::addColumn<QString>("line");
        QTest::newRow("no-break space") << QStringLiteral("a\u00A0b");
        QTest::newRow("line separator") << QStringLiteral("a\u2028b");
        QTest::newRow("paragraph separator") << QStringLiteral("a\u2029b");
        QTest::newRow("all three") << QStringLiteral("\u00A0x\u2028y\u2029z\u00A0");
    }
    // What Ag reads, what the 50,000 rule counts and what a roll-over file holds is the text
    // exactly as it was set or typed.
    void readBackExactly()
    {
        QFETCH(QString, line);
        QTemporaryDir dir;
        frmMain w(frmMain::kFetchBaseUrl, dir.path());
        w.Ag(line);
        QVERIFY(w.logText().startsWith(w.logText().left(10) + line + QStringLiteral("\r\n")));
        QCOMPARE(w.logText().size(), 2 * (10 + 2) + QStringLiteral("启动程序...").size() + line.size());

        // Typed into the box, between the two lines, beside what Ag wrote.
        auto *edit = box(w);
        QTextCursor cursor = edit->textCursor();
        cursor.setPosition(10 + line.size()); // the end of the first line
        edit->setTextCursor(cursor);
        QTest::keyClicks(edit, QStringLiteral("\u00A0!"));
        const QString expected = w.logText().left(10) + line + QStringLiteral("\u00A0!\r\n");
        QVERIFY2(w.logText().startsWith(expected), w.logText().left(40).toUtf8().toHex(' ').constData());

        // Filled up to the bound with it, and rolled over: the file holds it as it stood.
        const QString before = w.logText();
        edit->moveCursor(QTextCursor::End);
        edit->textCursor().insertText(QString(50000 - before.size(), u'x')); // a paste
        QCOMPARE(w.logText().size(), 50000);
        const QString full = w.logText();
        w.Ag(QStringLiteral("next"));
        const QStringList files = QDir(dir.filePath(QStringLiteral("Log"))).entryList({QStringLiteral("*-Log.txt")});
        QCOMPARE(files.size(), 1);
        QCOMPARE(Module1::decodeText(readFile(dir.filePath(QStringLiteral("Log/") + files.first()))),
                 full + QStringLiteral("\r\n"));
    }

    void rollOverKeepsChineseAndEmoji()
    {
        QTemporaryDir dir;
        frmMain w(frmMain::kFetchBaseUrl, dir.path());
        box(w)->setPlainText(QStringLiteral("歌手€🎤") + QString(50000, u'a'));
        w.Ag(QStringLiteral("x"));
        const QStringList files = QDir(dir.filePath(QStringLiteral("Log"))).entryList(QDir::Files);
        QCOMPARE(files.size(), 1);
        const QByteArray bytes = readFile(dir.filePath(QStringLiteral("Log/") + files.first()));
        // 歌手 and € as code page 936 has them, the emoji in GB18030's four bytes.
        QVERIFY2(bytes.startsWith("\xB8\xE8\xCA\xD6\x80\x94\x39\xC0\x32" "a"), bytes.left(12).toHex().constData());
        QVERIFY(Module1::decodeText(bytes).startsWith(QStringLiteral("歌手€🎤a")));
    }

    void twoRollOversInOneMinuteLeaveTheSecond()
    {
        QTemporaryDir dir;
        frmMain w(frmMain::kFetchBaseUrl, dir.path());
        // Skip the last seconds of a minute so that both land in one file name.
        while (QTime::currentTime().second() >= 58)
            QTest::qWait(200);
        box(w)->setPlainText(QString(50000, u'1'));
        w.Ag(QStringLiteral("a"));
        box(w)->setPlainText(QString(50000, u'2'));
        w.Ag(QStringLiteral("b"));
        const QStringList files = QDir(dir.filePath(QStringLiteral("Log"))).entryList(QDir::Files);
        QCOMPARE(files.size(), 1);
        const QByteArray bytes = readFile(dir.filePath(QStringLiteral("Log/") + files.first()));
        QCOMPARE(bytes, QByteArray(50000, '2') + "\r\n");
    }

    void unwritableLogFolderStillEmptiesTheBox()
    {
        QTemporaryDir dir;
        // A file stands where the Log folder would be made.
        const QString notADir = dir.filePath(QStringLiteral("Log"));
        QFile blocker(notADir);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        frmMain w(frmMain::kFetchBaseUrl, dir.path());
        for (int round = 0; round < 3; ++round) {
            box(w)->setPlainText(QString(60000, u'z'));
            w.Ag(QStringLiteral("requested"));
            const QStringList lines = w.logText().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
            QCOMPARE(lines.size(), 2);
            QVERIFY2(lines[0].contains(QStringLiteral("日志文件写入失败: ")) && lines[0].contains(notADir),
                     qPrintable(lines[0]));
            QVERIFY(lines[1].endsWith(QStringLiteral("  requested")));
        }
        QVERIFY(QFileInfo(notADir).isFile());
    }
};

QTEST_MAIN(TestLog)
#include "tst_log.moc"
