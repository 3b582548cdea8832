#include "codepages_p.h"
#include "fetch_verdict.h"
#include "fixture.h"
#include "grade.h"
#include "utf8check_p.h"

using namespace Module1;

namespace {
const qint64 kOverflow = qint64(1) << 40; // stands for failure 6

struct Cut { QString text, start, end, expected; };
// A body as it came, read for extraction: whether it is kept as it came (UTF-8 and valid), and
// whether it may hold "class" (else a fetch looking for it need not decode the page).
struct Decoded { QByteArray body, contentType; QString expected; bool keptAsUtf8, mayHoldClass; };

void fillRow(ResultModel &m, const QStringList &cells)
{
    m.appendRow(cells.value(0));
    for (int c = 1; c < cells.size(); ++c)
        m.setCell(m.rowCount() - 1, c, cells[c]);
}

const QByteArray kHtml = "text/html; charset=utf-8";

// The reason is a failure's; for any answer it is "HTTP status".
struct Answer { QString page; Transport transport; int status; FetchVerdict::Kind verdict; const char *reason = ""; qint64 retryAfterMs = -1; };
} // namespace

// The page utilities: text, numbers and grades out of a page, its charset, the list's CSV,
// and fetching pages and waiting between them.
class TestPageUtil : public QObject
{
    Q_OBJECT
    std::unique_ptr<LoopbackServer> m_server;
    QString url(const char *path) const { return QString::fromLatin1(m_server->baseUrl() + path); }
    void serve(LoopbackServer::Handler handler)
    {
        m_server = std::make_unique<LoopbackServer>(std::move(handler));
        QVERIFY(m_server->listen());
    }

private Q_SLOTS:
    void init() { quickFetches(1500, {}, 64 * 1024); }

    // Each cut also on the text's UTF-8 bytes, as a page kept undecoded is read; an empty
    // end cuts after start as an anchor, "#" counts start instead; "!5" stands for failure 5.
    void textBetween_data()
    {
        QTest::addColumn<Cut>("row");
        QTest::newRow("first pair") << Cut{"ab[12]cd[34]", "[", "]", "12"};
        QTest::newRow("adjacent markers give empty") << Cut{"ab[]", "[", "]", ""};
        QTest::newRow("absent start gives Nothing") << Cut{"abc", "[", "]", "Nothing"};
        QTest::newRow("empty text gives Nothing") << Cut{"", "[", "]", "Nothing"};
        QTest::newRow("end only before start fails") << Cut{"x]ab[12", "[", "]", "!5"};
        QTest::newRow("end overlapping start is not found") << Cut{"<a<", "<a", "a<", "!5"};
        QTest::newRow("case sensitive start") << Cut{"Name:x;", "name:", ";", "Nothing"};
        QTest::newRow("multi-unit markers") << Cut{"个转发<12个转发<", "发<", "个转发<", "12"};
        QTest::newRow("emoji value kept") << Cut{"<b>🎤歌</b>", "<b>", "</b>", "🎤歌"};
        QTest::newRow("byte-order mark in a value kept") << Cut{QStringLiteral("<b>\uFEFF歌</b>"), "<b>", "</b>", QStringLiteral("\uFEFF歌")};
        QTest::newRow("anchor: first start after it") << Cut{"[1]A[2]", "A", "", "2"};
        QTest::newRow("anchor absent") << Cut{"[1]A[2]", "B", "", "Nothing"};
        QTest::newRow("anchor: start without end fails") << Cut{"[1]A[2", "A", "", "!5"};
        QTest::newRow("anchor: no start after it") << Cut{"[1]A", "A", "", "Nothing"};
        QTest::newRow("anchor: a start inside it is not used") << Cut{"x[A]y[3]", "[A", "", "3"};
        QTest::newRow("count: case sensitive") << Cut{"ABab", "ab", "#", "1"};
        QTest::newRow("count: empty text") << Cut{"", "ab", "#", "0"};
        QTest::newRow("count: non-overlapping from the left") << Cut{"aaaa", "aa", "#", "2"};
        QTest::newRow("count: odd overlap") << Cut{"aaa", "aa", "#", "1"};
        QTest::newRow("count: chinese marker") << Cut{"个粉丝个粉丝个", "个粉丝", "#", "2"};
        QTest::newRow("count: an empty marker overflows") << Cut{"abc", "", "#", "!6"};
    }
    void textBetween()
    {
        QFETCH(Cut, row);
        const QString &text = row.text, &start = row.start, &end = row.end;
        const QByteArray bytes = text.toUtf8(), start8 = start.toUtf8(), end8 = end.toUtf8();
        const auto cut = [&](bool utf8) {
            if (end == u"#")
                return QString::number(Module1::countOccurrences(text, start));
            if (end.isEmpty()) // start is an anchor before "[" ... "]"
                return utf8 ? textAfterAnchor(QUtf8StringView(bytes), start8, "[", "]") : textAfterAnchor(text, start, u"[", u"]");
            return utf8 ? Module1::textBetween(QUtf8StringView(bytes), start8, end8) : Module1::textBetween(text, start, end);
        };
        for (bool utf8 : {false, true}) {
            try {
                QCOMPARE(cut(utf8), row.expected);
            } catch (const Failure &f) {
                QCOMPARE(QStringLiteral("!%1").arg(f.code()), row.expected);
                QCOMPARE(f.message(), f.code() == 5 ? QStringLiteral("无效的过程调用或参数") : QStringLiteral("溢出"));
            }
        }
    }

    void fieldNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("expected");
        QTest::newRow("leading blanks") << "  \t42" << qint64(42);
        QTest::newRow("trailing junk ignored") << "12e9abc" << qint64(12);
        QTest::newRow("plus sign") << "+7" << qint64(7);
        QTest::newRow("minus sign") << "-5" << qint64(-5);
        QTest::newRow("blank after sign gives 0") << "- 5" << qint64(0);
        QTest::newRow("half rounds to even down") << "50147164.5" << qint64(50147164);
        QTest::newRow("half rounds to even up") << "50147165.5" << qint64(50147166);
        QTest::newRow("more than half") << "2.51" << qint64(3);
        QTest::newRow("half with trailing zeros") << "2.5000" << qint64(2);
        QTest::newRow("less than half") << "2.49999" << qint64(2);
        QTest::newRow("negative half to even") << "-3.5" << qint64(-4);
        QTest::newRow("fraction only") << ".7" << qint64(1);
        QTest::newRow("point alone gives 0") << "." << qint64(0);
        QTest::newRow("full-width digits give 0") << "１２" << qint64(0);
        QTest::newRow("max") << "2147483647" << qint64(2147483647);
        QTest::newRow("min") << "-2147483648" << qint64(-2147483648LL);
        QTest::newRow("just above max") << "2147483648" << kOverflow;
        QTest::newRow("max plus half rounds up to overflow") << "2147483647.5" << kOverflow;
        QTest::newRow("min minus half rounds to even min") << "-2147483648.5" << qint64(-2147483648LL);
        QTest::newRow("below min") << "-2147483649" << kOverflow;
        QTest::newRow("very long digits") << QString(300, u'9') << kOverflow;
        QTest::newRow("long zeros") << QString(300, u'0') + u'7' << qint64(7);
    }
    void fieldNumber()
    {
        QFETCH(QString, text);
        QFETCH(qint64, expected);
        try {
            QCOMPARE(qint64(Module1::fieldNumber(text)), expected);
        } catch (const Failure &f) {
            QCOMPARE(f.code(), 6);
            QCOMPARE(expected, kOverflow);
        }
    }

    void gradeDerivation_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no marker") << "<html>" << "尚未出道";
        QTest::newRow("stem without tier") << "singergrade singergrade9" << "尚未出道";
        QTest::newRow("three of tier 2") << "singergrade2 singergrade2 x singergrade2" << "闪亮新秀 3";
        QTest::newRow("highest tier wins") << "singergrade5 singergrade1 singergrade1" << "超级巨星 1";
        QTest::newRow("level outside scale") << QString(QStringLiteral("singergrade4 ").repeated(6)) << "超级明星 6";
        QTest::newRow("case sensitive") << "SingerGrade3 singergrade1" << "歌唱新人 1";
        QTest::newRow("digits after tier") << "singergrade12 singergrade1" << "歌唱新人 2";
    }
    void gradeDerivation()
    {
        QFETCH(QString, page);
        QFETCH(QString, expected);
        QCOMPARE(Grade::derive(page), expected);
        QCOMPARE(Grade::derive(QUtf8StringView(page.toUtf8())), expected);
    }

    void decodePage_data()
    {
        const QString chinese = QStringLiteral("用户名 歌手等级 🎤");
        const QByteArray gbBody = gbk(QStringLiteral("<html>") + chinese);
        QTest::addColumn<Decoded>("page");
        QTest::newRow("utf-8 by header") << Decoded{chinese.toUtf8(), QByteArray("text/html; charset=UTF-8"), chinese, true, false};
        QTest::newRow("invalid utf-8") << Decoded{QByteArray("a\xE4<b\xFF"), QByteArray(), QStringLiteral("a\uFFFD<b\uFFFD"), false, false};
        QTest::newRow("no declaration is utf-8") << Decoded{chinese.toUtf8(), QByteArray("text/html"), chinese, true, false};
        QTest::newRow("gbk by header") << Decoded{gbBody, QByteArray("text/html;charset=gbk"), "<html>" + chinese, false, false};
        QTest::newRow("gb2312 label decodes as GB18030") << Decoded{gbBody, QByteArray("text/html; charset=\"gb2312\""), "<html>" + chinese, false, false};
        QTest::newRow("gbk by meta charset") << Decoded{QByteArray("<html><meta charset=\"GBK\">" + gbk(chinese)), QByteArray("text/html"),
                                                        "<html><meta charset=\"GBK\">" + chinese, false, false};
        const QString equiv = QStringLiteral("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">");
        QTest::newRow("gbk by http-equiv") << Decoded{QByteArray(equiv.toLatin1() + gbk(chinese)), QByteArray(), equiv + chinese, false, false};
        QTest::newRow("meta beyond 1024 bytes ignored") << Decoded{QByteArray(QByteArray(1100, ' ') + "<meta charset=gbk>" + chinese.toUtf8()),
                                                                   QByteArray(), QString(QString(1100, u' ') + "<meta charset=gbk>" + chinese), true, false};
        QTest::newRow("header wins over meta") << Decoded{QByteArray("<meta charset=gbk>" + chinese.toUtf8()),
                                                          QByteArray("text/html; charset=utf-8"), "<meta charset=gbk>" + chinese, true, false};
        QTest::newRow("utf-8 bom") << Decoded{QByteArray("\xEF\xBB\xBF" + chinese.toUtf8()), QByteArray(), chinese, true, false};
        QTest::newRow("utf-16le bom") << Decoded{QByteArray("\xFF\xFE" + QByteArray(reinterpret_cast<const char *>(chinese.utf16()), chinese.size() * 2)),
                                                 QByteArray(), chinese, false, true}; // its ASCII is spread out
        QTest::newRow("unknown label falls back to utf-8") << Decoded{chinese.toUtf8(), QByteArray("text/html; charset=x-nonsense"), chinese, true, false};
        const QString marked = QStringLiteral("<p>歌手 <b class=\"mark\">x</b></p>");
        QTest::newRow("utf-8 with the marker") << Decoded{marked.toUtf8(), QByteArray("text/html"), marked, true, true};
        QTest::newRow("gbk with the marker") << Decoded{gbk(marked), QByteArray("text/html; charset=gbk"), marked, false, true};
        QTest::newRow("utf-16 declared") << Decoded{QStringEncoder(QStringConverter::Utf16LE).encode(marked).operator QByteArray(),
                                                    QByteArray("text/html; charset=utf-16le"), marked, false, true};
    }
    // Read for extraction, a body is kept as it came exactly when it is UTF-8 and valid.
    void decodePage()
    {
        QFETCH(Decoded, page);
        const auto [body, contentType, expected, keptAsUtf8, mayHoldClass] = page;
        QCOMPARE(Module1::decodePage(body, contentType), expected);
        QCOMPARE(pageMayContain(body, contentType, "class"), mayHoldClass);
        Page read;
        QByteArray taken = body;
        readPage(taken, contentType, read);
        QCOMPARE(read.isUtf8, keptAsUtf8);
        QCOMPARE(read.isUtf8 ? QString::fromUtf8(read.utf8).remove(QChar(0xFEFF)) : read.text, expected);
    }

    // The fast UTF-8 check judges as Qt's does: any lead byte with the kinds of bytes that
    // can follow it, cut short or whole, ending the text or not, across a block of sixteen.
    void utf8CheckAgreesWithQt()
    {
        const char second[] = {0, 0x41, 0x7F, char(0x80), char(0x8F), char(0x90), char(0x9F), char(0xA0), char(0xBF), char(0xC0), char(0xF5), char(0xFF)};
        const char later[] = {0x41, char(0x80), char(0xBF), char(0xC2)};
        for (int lead = 0; lead < 256; ++lead)
            for (const char b : second)
                for (const char c : later)
                    for (const char d : later)
                        for (const int at : {0, 13, 14, 15})
                            for (int size = 1; size <= 4; ++size) {
                                const char code[] = {char(lead), b, c, d};
                                const QByteArray text = QByteArray(at, 'a') + QByteArray(code, size);
                                for (const QByteArray &bytes : {text, text + "0123456789abcdef"})
                                    if (detail::isValidUtf8(bytes) != QByteArrayView(bytes).isValidUtf8())
                                        QFAIL(bytes.toHex(' ').constData());
                            }
    }

    // What a page without a profile says of itself: its title, else its first words.
    void pageGist_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("type");
        QTest::addColumn<QString>("gist");
        QTest::newRow("title") << QByteArray("<html><title>\n 安全 验证 </title><body>x") << QByteArray() << "安全 验证";
        QTest::newRow("title in capitals, gbk") << QByteArray("<TITLE>" + gbk(QStringLiteral("用户不存在")) + "</TITLE>")
                                                << QByteArray("text/html; charset=gbk") << "用户不存在";
        QTest::newRow("first words, scripts and styles left out")
            << QByteArray("<html><script>var a = '<b>';</script><style>p{}</style><h1>请 登录</h1><p>再继续</p>") << QByteArray()
            << "请 登录 再继续";
        QTest::newRow("cut to sixty") << QByteArray(100, 'a') << QByteArray() << QString(60, u'a');
    }
    void pageGist()
    {
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, type);
        QFETCH(QString, gist);
        QCOMPARE(Module1::pageGist(body, type), gist);
        QCOMPARE(Module1::pageGist(Module1::decodePage(body, type)), gist);
    }

    void csvWorkedExampleByteForByte()
    {
        ResultModel m;
        fillRow(m, {"1", "abc", "50147164", "87654321", "闪亮新秀 3", "1024", "12", "3", "45", "678"});
        QCOMPARE(csvBytes(m, true), gbk(QStringLiteral("Index,Lirra用户名,主页ID,用户ID,歌手等级,试听量,作品数,转发数,关注数,粉丝数,\r\n"
                                                       "1,=\"abc\",=\"50147164\",=\"87654321\",=\"闪亮新秀 3\",=\"1024\",=\"12\",=\"3\",=\"45\",=\"678\",\r\n"
                                                       "\r\n")));
    }

    // A row's line in a saved list. Its text is what a spreadsheet on a Chinese system reads:
    // code page 936's bytes for what it has, GB18030's four bytes for what it lacks.
    void csvLayouts_data()
    {
        QTest::addColumn<QStringList>("cells");
        QTest::addColumn<QByteArray>("rowLine");
        const QByteArray empties = QByteArray(",=\"\"").repeated(8) + ',';
        QTest::newRow("headers off") << QStringList{"1", "a"} << "1,=\"a\"" + empties;
        QTest::newRow("never-set cells") << QStringList{"2"} << "2,=\"\"" + empties;
        QTest::newRow("comma protected") << QStringList{"1", "a,b"} << "1,\"=\"\"a,b\"\"\"" + empties;
        QTest::newRow("quote protected") << QStringList{"1", "a\"b"} << "1,\"=\"\"a\"\"\"\"b\"\"\"" + empties;
        QTest::newRow("line feed protected") << QStringList{"1", "a\nb"} << "1,\"=\"\"a\nb\"\"\"" + empties;
        QTest::newRow("carriage return protected") << QStringList{"1", "a\rb"} << "1,\"=\"\"a\rb\"\"\"" + empties;
        QTest::newRow("row text stays bare") << QStringList{"x,y"} << "x,y,=\"\"" + empties;
        QTest::newRow("euro is one byte") << QStringList{"1", "€"} << "1,=\"\x80\"" + empties;
        QTest::newRow("Chinese") << QStringList{"1", "歌手等级"} << "1,=\"\xB8\xE8\xCA\xD6\xB5\xC8\xBC\xB6\"" + empties;
        QTest::newRow("emoji keeps GB18030's four bytes") << QStringList{"1", "🎤"} << "1,=\"\x94\x39\xC0\x32\"" + empties;
        // A private-use character goes in GB18030's four bytes where GB18030 reads its code page
        // bytes as another character, so that the list reads back exactly.
        QTest::newRow("private use GB18030 reads as the euro, in four bytes") << QStringList{"1", "\uE76C"} << "1,=\"\x83\x36\xC7\x39\"" + empties;
        QTest::newRow("pinyin the code page lacks, in GB18030's two bytes") << QStringList{"1", "ǹ"} << "1,=\"\xA8\xBF\"" + empties;
        QTest::newRow("private use those two bytes would give, in four") << QStringList{"1", "\uE7C8"} << "1,=\"\x83\x36\xC8\x30\"" + empties;
        QTest::newRow("mixed") << QStringList{"1", "a€中🎤"} << "1,=\"a\x80\xD6\xD0\x94\x39\xC0\x32\"" + empties;
        QTest::newRow("a lone surrogate is a question mark") << QStringList{"1", QString(QChar(0xD83C))} << "1,=\"?\"" + empties;
    }
    // A list long enough to be written in several pieces comes out whole and in order.
    void longListInPieces()
    {
        ResultModel m;
        QByteArray expected;
        for (int r = 0; r < 6000; ++r) {
            fillRow(m, {QString::number(r), QString(100, QChar(u'a' + r % 26)) + QStringLiteral("ǹ€")});
            expected += QByteArray::number(r) + ",=\"" + QByteArray(100, char('a' + r % 26)) + "\xA8\xBF\x80\"," + QByteArray("=\"\",").repeated(8) + "\r\n";
        }
        QCOMPARE(csvBytes(m, false), expected + "\r\n");
    }
    void csvLayouts()
    {
        QFETCH(QStringList, cells);
        QFETCH(QByteArray, rowLine);
        ResultModel m;
        fillRow(m, cells);
        QCOMPARE(csvBytes(m, false).toHex(' '), QByteArray(rowLine + "\r\n\r\n").toHex(' '));
        bool ok = false; // and read back, to the same text
        QCOMPARE(encodeText(decodeText(rowLine, &ok)).toHex(' '), rowLine.toHex(' '));
        QVERIFY(ok);
        QString line;
        appendCsvRow(line, m, 0);
        if (!rowLine.contains('?'))
            QCOMPARE(decodeText(rowLine + "\r\n"), line);
    }

    // GB18030 from the table, as a Qt without ICU writes and reads it, is ICU's, code for code.
    void gb18030Table()
    {
        if (!detail::icuCodePages())
            QSKIP("no ICU here to hold the table against");
        QStringEncoder icu("GB18030"), cp936("windows-936");
        for (char32_t u = 0x80; u <= 0x10FFFF; u += u < 0x10000 ? 1 : 97) {
            const QString one = QString::fromUcs4(&u, 1);
            const QByteArray bytes = icu.encode(one), table = detail::gb18030TableEncode(u);
            // Wherever GB18030 differs from code page 936, the table must say so.
            if ((u < 0xD800 || u > 0xDFFF) && !bytes.isEmpty() && (bytes != cp936.encode(one) || !table.isEmpty())) {
                QCOMPARE(table.toHex(), bytes.toHex());
                QCOMPARE(detail::gb18030TableDecode(bytes), one);
            }
        }
    }

    // Pages in GB18030 read by table read as ICU reads them: every two-byte code, four-byte
    // codes in and beyond the BMP, a byte-order mark, and what the table leaves to ICU (bytes
    // that are no code, four-byte codes with no character).
    void gb18030ByTable()
    {
        if (!detail::icuCodePages())
            QSKIP("no ICU here to read the pages against");
        QList<std::pair<QByteArray, bool>> pages; // and whether the table reads it
        for (int lead = 0x81; lead <= 0xFE; ++lead) {
            QByteArray page("<p class=\"two-byte codes\">");
            for (int trail = 0x40; trail <= 0xFE; ++trail)
                page.append(char(lead)).append(char(trail)).append(trail == 0x7E ? "a" : "");
            pages.append({page.replace(char(lead) + QByteArray("\x7F"), ""), true});
        }
        for (const int lead : {0x81, 0x90, 0x84, 0x85, 0xE4}) {
            QByteArray page;
            for (char b = '0'; b <= '9'; ++b)
                for (int third = 0x81; third <= 0xFE; third += 5)
                    for (char d = '0'; d <= '9'; ++d)
                        page.append(char(lead)).append(b).append(char(third)).append(d);
            pages.append({page, lead == 0x81 || lead == 0x90});
        }
        pages.append({"\x84\x31\x95\x33<p>", true}); // a byte-order mark, kept as ICU keeps it
        for (const char *bytes : {"a\x80", "\x80\x40", "\xFF\x40", "\x81", "\x81\x7F", "\x81\x30\x81", "\x81\x30\x81\x29"})
            pages.append({QByteArray(bytes), false});
        for (const auto &[page, byTable] : pages) {
            const QString expected = QStringDecoder("GB18030").decode(page);
            QString quick;
            QCOMPARE(detail::decodeGb18030Quickly(page, quick) ? quick : QString(), byTable ? expected : QString());
            QCOMPARE(Module1::decodePage(page, "text/html; charset=gbk"), expected);
        }
        QString cut; // a four-byte code cut short by the end, whatever follows in memory
        QVERIFY(!detail::decodeGb18030Quickly(QByteArrayView("\x81\x30\x81\x30").chopped(1), cut));
    }

    // A save replaces the file whole, or leaves what was there untouched.
    void csvFiles()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("list.csv"));
        QVERIFY(writeFile(path, "old content"));
        ResultModel empty, first, second;
        QVERIFY(!exportListToCsv(empty, path, true));
        QVERIFY(!exportListToCsv(empty, dir.filePath(QStringLiteral("new.csv")), true));
        QCOMPARE(readFile(path), QByteArray("old content"));
        fillRow(first, {"1", "longer first content"});
        fillRow(second, {"1", "second"});
        QVERIFY(exportListToCsv(first, path, true));
        QVERIFY(exportListToCsv(second, path, false));
        QCOMPARE(readFile(path), csvBytes(second, false));
        QVERIFY(writeFile(dir.filePath(QStringLiteral("blocker")), ""));
        for (const char *bad : {"2024-a/b-c.csv", "blocker/list.csv"})
            QVERIFY(!exportListToCsv(second, dir.filePath(QString::fromLatin1(bad)), true));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), (QStringList{"blocker", "list.csv"})); // nothing half-written
        QBuffer readOnly;
        readOnly.open(QIODevice::ReadOnly);
        QVERIFY(!exportListToCsv(second, readOnly, true));
    }


    // What a fetch makes of each kind of answer: the decoded body of any status, or the
    // empty text, what happened, and what a run makes of that.
    void answer_data()
    {
        QTest::addColumn<Answer>("expected"); // the row's name is the answer served
        using V = FetchVerdict::Kind;
        const auto row = [](const char *answer, const Answer &expected) { QTest::newRow(answer) << expected; };
        const QString body = QStringLiteral("<p>/u/1 歌手</p>"), profile = QString::fromUtf8(profilePage(QStringLiteral("x")));
        row("200", {body, Transport::Ok, 200, V::Absent});
        row("404", {body, Transport::Ok, 404, V::Absent});
        row("500", {body, Transport::Ok, 500, V::Transient});
        row("503 come back in 7 s", {body, Transport::Ok, 503, V::Transient, "", 7000});
        row("429 zero asks for nothing more", {body, Transport::Ok, 429, V::Transient});
        row("403 blocks", {body, Transport::Ok, 403, V::GiveUp});
        row("400", {body, Transport::Ok, 400, V::GiveUp});
        row("501", {body, Transport::Ok, 501, V::GiveUp});
        row("403 with a profile", {profile, Transport::Ok, 403, V::Page});
        row("at the cap", {QString(64 * 1024, u'a'), Transport::Ok, 200, V::Absent});
        row("deflated", {QStringLiteral("<b>") + QString(20000, u'z') + QStringLiteral("</b>"), Transport::Ok, 200, V::Absent});
        row("redirect", {QStringLiteral("landed /u/2"), Transport::Ok, 200, V::Absent});
        row("halfway", {{}, Transport::Timeout, 0, V::Transient, "超时"}); // libcurl's deadline moved on, then nothing came
        row("over the cap", {{}, Transport::TooLarge, 0, V::GiveUp, "页面过大"});
        row("bomb", {{}, Transport::TooLarge, 0, V::GiveUp, "页面过大"});
        row("endless", {{}, Transport::TooLarge, 0, V::GiveUp, "页面过大"});
        row("short", {{}, Transport::Partial, 0, V::Transient, "数据不完整"});
        row("reset", {{}, Transport::EmptyReply, 0, V::Transient, "服务器无响应"});
        row("redirect to a local file", {{}, Transport::Scheme, 0, V::GiveUp, "不支持的协议"}); // never reads the file
        row("refused", {{}, Transport::Refused, 0, V::Transient, "无法连接服务器"}); // no server there any more
    }
    void answer()
    {
        QFETCH(Answer, expected);
        const QString answer = QString::fromLatin1(QTest::currentDataTag());
#ifdef Q_OS_WIN
        if (answer == u"deflated" || answer == u"bomb")
            QSKIP("the libcurl for Windows is built without zlib, so it asks for no compressed answer");
#endif
        serve([&](const LoopbackServer::Request &r, QTcpSocket *s) {
            const QByteArray body = "<p>" + r.path + " 歌手</p>";
            const int code = answer.section(u' ', 0, 0).toInt();
            if (serveFault(answer, r, s))
                return;
            if (code == 503 || code == 429)
                LoopbackServer::respond(s, code, kHtml, body, {{"Retry-After", code == 503 ? "7" : "0"}});
            else if (code > 0)
                LoopbackServer::respond(s, code, kHtml, answer.endsWith(u"profile") ? expected.page.toUtf8() : body);
            else if (answer == u"at the cap" || answer == u"over the cap")
                LoopbackServer::respond(s, 200, kHtml, QByteArray(64 * 1024 + (answer == u"over the cap"), 'a'));
            else if (answer == u"deflated")
                LoopbackServer::respond(s, 200, kHtml, qCompress(expected.page.toUtf8()).mid(4), {{"Content-Encoding", "deflate"}});
            else if (answer == u"redirect" && r.path == "/u/1")
                LoopbackServer::respond(s, 301, kHtml, "", {{"Location", "/u/2"}});
            else if (answer == u"redirect")
                LoopbackServer::respond(s, 200, kHtml, "landed " + r.path);
            else
                LoopbackServer::respond(s, 302, kHtml, "", {{"Location", QUrl::fromLocalFile(QCoreApplication::applicationFilePath()).toEncoded()}});
        });
        QTimer watchdog; // a fetch that never ends is ended here, and fails the row
        connect(&watchdog, &QTimer::timeout, this, [] { cancelWaits(); });
        watchdog.start(10000);
        QElapsedTimer clock;
        clock.start();
        const QString target = url("/u/1");
        if (answer == u"refused")
            m_server.reset();
        QString text = QStringLiteral("stale");
        const FetchOutcome outcome = fetchPageOutcome(target, text, {}, testSettings().fetch);
        QVERIFY2(clock.elapsed() < 10000, "a fetch did not end by itself");
        QCOMPARE(text, expected.page);
        QCOMPARE(int(outcome.transport), int(expected.transport));
        QCOMPARE(outcome.httpStatus, expected.status);
        QCOMPARE(outcome.retryAfterMs, expected.retryAfterMs);
        QCOMPARE(int(FetchVerdict::classify(outcome, text)), int(expected.verdict));
        QCOMPARE(FetchVerdict::reason(outcome), expected.transport == Transport::Ok ? QStringLiteral("HTTP %1").arg(expected.status)
                                                                                   : QString::fromUtf8(expected.reason));
        if (answer == u"refused") { // as a name that cannot be looked up, which no test may make
            FetchOutcome noHost = outcome;
            noHost.transport = Transport::NoHost;
            QVERIFY(FetchVerdict::classify(noHost, text) == FetchVerdict::Transient && FetchVerdict::reason(noHost) == u"无法解析主机名");
        }
    }

    // Plain GETs without our headers, over one kept-alive connection, straight to this
    // machine; the system's proxy carries every other request.
    void plainRequestsAndTheSystemProxy()
    {
        QList<QByteArray> viaProxy;
        QList<LoopbackServer::Request> direct;
        QSet<QTcpSocket *> sockets;
        LoopbackServer proxy([&](const LoopbackServer::Request &r, QTcpSocket *s) {
            viaProxy.append(r.path);
            LoopbackServer::respond(s, 200, kHtml, "via proxy");
        });
        QVERIFY(proxy.listen());
        serve([&](const LoopbackServer::Request &r, QTcpSocket *s) {
            direct.append(r);
            sockets.insert(s);
            LoopbackServer::respond(s, 200, kHtml, "direct");
        });
        // The site's name is pinned to this machine: no DNS is asked even if the proxy were passed by.
        const QByteArray site = "lirra.test:" + QByteArray::number(m_server->port());
        FetchLimits limits = quickFetches(1500, {});
        limits.pinnedHosts = {site + ":127.0.0.1"};
        qputenv("http_proxy", proxy.baseUrl());
        qunsetenv("no_proxy");
        const auto restore = qScopeGuard([] { qunsetenv("http_proxy"); });
#ifndef Q_OS_WIN // Windows' proxy is the Internet settings', which a test cannot set for itself
        QCOMPARE(fetchPage(QString::fromLatin1("http://" + site + "/u/5"), limits), QStringLiteral("via proxy"));
        QCOMPARE(viaProxy, (QList<QByteArray>{"http://" + site + "/u/5"}));
#endif
        for (int i = 0; i < 5; ++i)
            QCOMPARE(fetchPage(url("/u/-6"), limits), QStringLiteral("direct"));
        QCOMPARE(sockets.size(), 1);
        QCOMPARE(direct.size(), 5);
        QCOMPARE(direct.first().method + ' ' + direct.first().path, QByteArray("GET /u/-6"));
        for (const auto &h : direct.first().headers)
            QVERIFY2(h.first != "cookie" && h.first != "referer", h.first.constData());
        QVERIFY(direct.first().headers.contains({"user-agent", "VqLirra/" VQ_VERSION}));
    }

    void pausesRunEventsForTheirTime()
    {
        for (int ms : {0, -5, int(std::numeric_limits<qint32>::min())}) {
            bool ran = false;
            QTimer::singleShot(0, this, [&ran] { ran = true; });
            pauseMs(ms); // no time, no events
            QVERIFY(!ran);
            QTRY_VERIFY(ran);
        }
        QElapsedTimer clock;
        clock.start();
        qint64 innerEnded = -1;
        QTimer::singleShot(10, this, [&] {
            pauseMs(80);
            innerEnded = clock.elapsed();
        });
        pauseMs(30);
        // Events ran, and the outer pause resumed only after the inner one, started inside it.
        QVERIFY(innerEnded >= 90 && clock.elapsed() >= innerEnded);
    }
};

QTEST_MAIN(TestPageUtil)
#include "tst_pageutil.moc"
