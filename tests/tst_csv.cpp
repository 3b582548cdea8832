#include "csv_reader.h"
#include "pageutil.h"
#include "test_files.h"
#include "result_model.h"

#include <QBuffer>
#include <QFile>
#include <QStandardItemModel>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

using Module1::exportListToCsv;

namespace {
QByteArray gbk(const QString &text)
{
    QStringEncoder e("GB18030");
    return e.encode(text);
}

QByteArray toBytes(const QAbstractItemModel &model, bool header)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (!exportListToCsv(model, buffer, header))
        return "<failed>";
    return buffer.data();
}

void fillRow(ResultModel &m, const QStringList &cells)
{
    m.appendRow(cells.value(0));
    for (int c = 1; c < cells.size(); ++c)
        m.setCell(m.rowCount() - 1, c, cells[c]);
}

} // namespace

// What a spreadsheet on a Chinese system reads: code page 936's bytes for what it has,
// GB18030's four bytes for what it lacks; and back again.
class TestCodePage : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void bytesForCodePage936_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("euro is one byte") << QStringLiteral("€") << QByteArray("\x80");
        QTest::newRow("Chinese") << QStringLiteral("歌手等级") << QByteArray("\xB8\xE8\xCA\xD6\xB5\xC8\xBC\xB6");
        QTest::newRow("emoji keeps GB18030's four bytes") << QStringLiteral("🎤") << QByteArray("\x94\x39\xC0\x32");
        QTest::newRow("private use as the code page maps it") << QStringLiteral("\uE76C") << QByteArray("\xA2\xE3");
        QTest::newRow("mixed") << QStringLiteral("a€中🎤,") << QByteArray("a\x80\xD6\xD0\x94\x39\xC0\x32,");
        QTest::newRow("a lone surrogate is a question mark") << QString(QChar(0xD83C)) << QByteArray("?");
    }
    void bytesForCodePage936()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        const QByteArray written = Module1::encodeText(text);
        QCOMPARE(written.toHex(' '), bytes.toHex(' '));
        if (bytes == "?")
            return;
        bool ok = false;
        QCOMPARE(Module1::decodeText(written, &ok), text);
        QVERIFY(ok);
    }

    void csvWithEuroChineseAndEmoji()
    {
        ResultModel m;
        fillRow(m, {"1", "€5 歌手🎤"});
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        QVERIFY(exportListToCsv(m, out, false));
        QVERIFY(out.data().startsWith("1,=\"\x80" "5 \xB8\xE8\xCA\xD6\x94\x39\xC0\x32\","));
    }
};

class TestCsv : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void workedExampleByteForByte()
    {
        ResultModel m;
        fillRow(m, {"1", "abc", "50147164", "87654321", "闪亮新秀 3", "1024", "12", "3", "45", "678"});
        const QByteArray expected =
            gbk(QStringLiteral("Index,Lirra用户名,主页ID,用户ID,歌手等级,试听量,作品数,转发数,关注数,粉丝数,\r\n"
                               "1,=\"abc\",=\"50147164\",=\"87654321\",=\"闪亮新秀 3\",=\"1024\",=\"12\",=\"3\",=\"45\",=\"678\",\r\n"
                               "\r\n"));
        QCOMPARE(toBytes(m, true), expected);
        QVERIFY(expected.endsWith(QByteArray("\x2C\x0D\x0A\x0D\x0A")));
        QVERIFY(expected.contains("\xC9\xC1\xC1\xC1")); // 闪亮 in GBK: no BOM, no UTF-8
    }

    void layouts_data()
    {
        QTest::addColumn<bool>("header");
        QTest::addColumn<QStringList>("cells");
        QTest::addColumn<QString>("rowLine");
        QTest::newRow("headers off") << false << QStringList{"1", "a"} << "1,=\"a\",=\"\",=\"\",=\"\",=\"\",=\"\",=\"\",=\"\",=\"\",";
        QTest::newRow("never-set cells") << false << QStringList{"2"} << "2,=\"\",=\"\",=\"\",=\"\",=\"\",=\"\",=\"\",=\"\",=\"\",";
        QTest::newRow("comma protected") << false << QStringList{"1", "a,b"} << "1,\"=\"\"a,b\"\"\",=\"\",=\"\",=\"\",=\"\",=\"\",=\"\",=\"\",=\"\",";
        QTest::newRow("quote protected") << false << QStringList{"1", "a\"b"} << "1,\"=\"\"a\"\"\"\"b\"\"\",=\"\",=\"\",=\"\",=\"\",=\"\",=\"\",=\"\",=\"\",";
        QTest::newRow("line feed protected") << false << QStringList{"1", "a\nb"} << "1,\"=\"\"a\nb\"\"\",=\"\",=\"\",=\"\",=\"\",=\"\",=\"\",=\"\",=\"\",";
        QTest::newRow("carriage return protected") << false << QStringList{"1", "a\rb"} << "1,\"=\"\"a\rb\"\"\",=\"\",=\"\",=\"\",=\"\",=\"\",=\"\",=\"\",=\"\",";
        QTest::newRow("row text stays bare") << false << QStringList{"x,y"} << "x,y,=\"\",=\"\",=\"\",=\"\",=\"\",=\"\",=\"\",=\"\",=\"\",";
    }
    void layouts()
    {
        QFETCH(bool, header);
        QFETCH(QStringList, cells);
        QFETCH(QString, rowLine);
        ResultModel m;
        fillRow(m, cells);
        QCOMPARE(toBytes(m, header), gbk(rowLine + QStringLiteral("\r\n\r\n")));
    }

    void protectedValuesComeBackInTheirCells()
    {
        const QStringList values = {"a,b", "a\"b", "x\r\ny", "=\"1\"+HYPERLINK(\"x\")", "\"", ",,", "🎤,\"", ""};
        ResultModel m;
        fillRow(m, QStringList{"1"} + values);
        QStringDecoder decode("GB18030");
        const QList<QStringList> rows = readCsvBack(decode(toBytes(m, true)));
        QCOMPARE(rows.size(), 3); // header, the row, the closing empty line
        QCOMPARE(rows[1].mid(1, values.size()), values);
        QCOMPARE(rows[1].size(), 11); // ten cells and the empty text after the last comma
    }

    void oneColumnList()
    {
        QStandardItemModel m(2, 1);
        m.setHorizontalHeaderLabels({"Only"});
        m.setItem(0, 0, new QStandardItem("a"));
        m.setItem(1, 0, new QStandardItem("b"));
        QCOMPARE(toBytes(m, true), QByteArray("Only,\r\na,\r\nb,\r\n\r\n"));
    }

    void emojiIsKeptNotAFailure()
    {
        ResultModel m;
        fillRow(m, {"1", "歌🎤"});
        const QByteArray bytes = toBytes(m, false);
        QStringDecoder decode("GB18030");
        QVERIFY(QString(decode(bytes)).startsWith(QStringLiteral("1,=\"歌🎤\",")));
    }

    void emptyListTouchesNothing()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("old.csv"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("old content");
        f.close();
        ResultModel empty;
        QVERIFY(!exportListToCsv(empty, path, true));
        QCOMPARE(readFile(path), QByteArray("old content"));
        QVERIFY(!exportListToCsv(empty, dir.filePath(QStringLiteral("new.csv")), true));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("new.csv"))));
    }

    void secondWriteReplacesTheFirst()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("list.csv"));
        ResultModel m;
        fillRow(m, {"1", "first"});
        fillRow(m, {"2", "longer first content"});
        QVERIFY(exportListToCsv(m, path, true));
        ResultModel n;
        fillRow(n, {"1", "second"});
        QVERIFY(exportListToCsv(n, path, false));
        QCOMPARE(readFile(path), toBytes(n, false));
    }

    void failedSaveLeavesTheOldFile_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::newRow("missing folder") << "missing/list.csv";
        QTest::newRow("separator in the name") << "2024-a/b-c.csv";
        QTest::newRow("folder is a file") << "blocker/list.csv";
    }
    void failedSaveLeavesTheOldFile()
    {
        QFETCH(QString, relative);
        QTemporaryDir dir;
        QFile blocker(dir.filePath(QStringLiteral("blocker")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        ResultModel m;
        fillRow(m, {"1", "x"});
        QVERIFY(!exportListToCsv(m, dir.filePath(relative), true));
        QVERIFY(!QFile::exists(dir.filePath(relative)));
        QCOMPARE(readFile(blocker.fileName()), QByteArray());
        // Nothing half-written is left behind either.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot).size(), 1);
    }

    void failingDeviceReportsFalse()
    {
        ResultModel m;
        fillRow(m, {"1", "x"});
        QBuffer readOnly;
        readOnly.open(QIODevice::ReadOnly);
        QVERIFY(!exportListToCsv(m, readOnly, true));
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    TestCodePage codePage;
    TestCsv csv;
    return QTest::qExec(&codePage, argc, argv) | QTest::qExec(&csv, argc, argv);
}
#include "tst_csv.moc"
