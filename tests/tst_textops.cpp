#include "grade.h"
#include "pageutil.h"

#include <QRandomGenerator>
#include <QStringEncoder>
#include <QTest>

using namespace Module1;

Q_DECLARE_METATYPE(std::optional<int>)

class TestTextOps : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void textBetween_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::addColumn<QString>("expected"); // "!5" means failure 5
        QTest::newRow("first pair") << "ab[12]cd[34]" << "[" << "]" << "12";
        QTest::newRow("adjacent markers give empty") << "ab[]" << "[" << "]" << "";
        QTest::newRow("absent start gives Nothing") << "abc" << "[" << "]" << "Nothing";
        QTest::newRow("empty text gives Nothing") << "" << "[" << "]" << "Nothing";
        QTest::newRow("end only before start fails") << "x]ab[12" << "[" << "]" << "!5";
        QTest::newRow("end overlapping start is not found") << "<a<" << "<a" << "a<" << "!5";
        QTest::newRow("case sensitive start") << "Name:x;" << "name:" << ";" << "Nothing";
        QTest::newRow("multi-unit markers") << "个转发<12个转发<" << "发<" << "个转发<" << "12";
        QTest::newRow("emoji value kept") << "<b>🎤歌</b>" << "<b>" << "</b>" << "🎤歌";
        QTest::newRow("byte-order mark in a value kept") << QStringLiteral("<b>\uFEFF歌</b>") << "<b>" << "</b>" << QStringLiteral("\uFEFF歌");
    }
    void textBetween()
    {
        QFETCH(QString, text);
        QFETCH(QString, start);
        QFETCH(QString, end);
        QFETCH(QString, expected);
        // The same cut on the text's UTF-8 bytes, as a page kept undecoded is read.
        const QByteArray bytes = text.toUtf8(), start8 = start.toUtf8(), end8 = end.toUtf8();
        if (expected.startsWith(u'!')) {
            try {
                Module1::textBetween(text, start, end);
                QFAIL("no failure raised");
            } catch (const Failure &f) {
                QCOMPARE(f.code(), expected.mid(1).toInt());
                QCOMPARE(f.message(), QStringLiteral("无效的过程调用或参数"));
            }
            QVERIFY_THROWS_EXCEPTION(Failure, Module1::textBetween(QUtf8StringView(bytes), start8, end8));
        } else {
            QCOMPARE(Module1::textBetween(text, start, end), expected);
            QCOMPARE(Module1::textBetween(QUtf8StringView(bytes), start8, end8), expected);
        }
    }

    void textAfterAnchor_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("anchor");
        QTest::addColumn<QString>("expected");
        QTest::newRow("first start after anchor") << "[1]A[2]" << "A" << "2";
        QTest::newRow("absent anchor") << "[1]A[2]" << "B" << "Nothing";
        QTest::newRow("start without end fails") << "[1]A[2" << "A" << "!5";
        QTest::newRow("no start after anchor") << "[1]A" << "A" << "Nothing";
        QTest::newRow("start inside anchor is not used") << "x[A]y[3]" << "[A" << "3";
    }
    void textAfterAnchor()
    {
        QFETCH(QString, text);
        QFETCH(QString, anchor);
        QFETCH(QString, expected);
        const QByteArray bytes = text.toUtf8(), anchor8 = anchor.toUtf8();
        if (expected.startsWith(u'!')) {
            QVERIFY_THROWS_EXCEPTION(Failure, Module1::textAfterAnchor(text, anchor, u"[", u"]"));
            QVERIFY_THROWS_EXCEPTION(Failure, Module1::textAfterAnchor(QUtf8StringView(bytes), anchor8, "[", "]"));
        } else {
            QCOMPARE(Module1::textAfterAnchor(text, anchor, u"[", u"]"), expected);
            QCOMPARE(Module1::textAfterAnchor(QUtf8StringView(bytes), anchor8, "[", "]"), expected);
        }
    }

    // The vectorised search must find exactly what a plain search finds, at every length,
    // offset and tail; a small alphabet makes near misses common.
    void findMarkerAgreesWithPlainSearch()
    {
        QRandomGenerator rng(20261206);
        const QString alphabet = QStringLiteral("ab\"<>=歌🎤 ");
        const auto randomText = [&](int length) {
            QString out;
            for (int i = 0; i < length; ++i)
                out += alphabet[rng.bounded(int(alphabet.size()))];
            return out;
        };
        int checked = 0;
        for (int round = 0; round < 3000; ++round) {
            const QString text = randomText(rng.bounded(0, 120));
            QString marker = randomText(rng.bounded(1, 8));
            if (rng.bounded(3) == 0 && text.size() > 4) { // often a marker that does occur
                const int at = rng.bounded(int(text.size()) - 2);
                marker = text.mid(at, rng.bounded(2, int(text.size()) - at + 1));
            }
            const QByteArray bytes = text.toUtf8(), marker8 = marker.toUtf8();
            for (int from = 0; from <= text.size(); from += 1 + rng.bounded(5)) {
                QCOMPARE(Module1::findMarker(text, marker, from), QStringView(text).indexOf(marker, from));
                QCOMPARE(Module1::findMarker(QUtf8StringView(bytes), marker8, from), bytes.indexOf(marker8, from));
                ++checked;
            }
        }
        QVERIFY(checked > 10000);
        QCOMPARE(Module1::findMarker(u"abc", u"", 3), qsizetype(3));
        QCOMPARE(Module1::findMarker(u"abc", u"", 4), qsizetype(-1));
        QCOMPARE(Module1::findMarker(u"abc", u"c", -7), qsizetype(2));
    }

    void countOccurrences_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("marker");
        QTest::addColumn<int>("expected");
        QTest::newRow("case sensitive") << "ABab" << "ab" << 1;
        QTest::newRow("empty text") << "" << "ab" << 0;
        QTest::newRow("non-overlapping from the left") << "aaaa" << "aa" << 2;
        QTest::newRow("odd overlap") << "aaa" << "aa" << 1;
        QTest::newRow("chinese marker") << "个粉丝个粉丝个" << "个粉丝" << 2;
    }
    void countOccurrences()
    {
        QFETCH(QString, text);
        QFETCH(QString, marker);
        QFETCH(int, expected);
        QCOMPARE(Module1::countOccurrences(text, marker), expected);
    }

    void countOccurrences_emptyMarkerIsOverflow()
    {
        try {
            Module1::countOccurrences(u"abc", u"");
            QFAIL("no failure raised");
        } catch (const Failure &f) {
            QCOMPARE(f.code(), 6);
            QCOMPARE(f.message(), QStringLiteral("溢出"));
        }
    }

    void fieldNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("expected"); // 1LL << 40 stands for failure 6
        const qint64 overflow = qint64(1) << 40;
        QTest::newRow("plain") << "50147164" << qint64(50147164);
        QTest::newRow("empty gives 0") << "" << qint64(0);
        QTest::newRow("letters give 0") << "abc" << qint64(0);
        QTest::newRow("leading blanks") << "  \t42" << qint64(42);
        QTest::newRow("trailing junk ignored") << "12abc" << qint64(12);
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
        QTest::newRow("exponent not read") << "1e999" << qint64(1);
        QTest::newRow("full-width digits give 0") << "１２" << qint64(0);
        QTest::newRow("max") << "2147483647" << qint64(2147483647);
        QTest::newRow("min") << "-2147483648" << qint64(-2147483648LL);
        QTest::newRow("just above max") << "2147483648" << overflow;
        QTest::newRow("max plus half rounds up to overflow") << "2147483647.5" << overflow;
        QTest::newRow("min minus half rounds to even min") << "-2147483648.5" << qint64(-2147483648LL);
        QTest::newRow("below min") << "-2147483649" << overflow;
        QTest::newRow("very long digits") << QString(300, u'9') << overflow;
        QTest::newRow("long zeros") << QString(300, u'0') + u'7' << qint64(7);
    }
    void fieldNumber()
    {
        QFETCH(QString, text);
        QFETCH(qint64, expected);
        if (expected == (qint64(1) << 40)) {
            try {
                Module1::fieldNumber(text);
                QFAIL("no failure raised");
            } catch (const Failure &f) {
                QCOMPARE(f.code(), 6);
            }
        } else {
            QCOMPARE(qint64(Module1::fieldNumber(text)), expected);
        }
    }

    // The one-scan derivation must agree with the rule stated per marker.
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
        QString reference = QStringLiteral("尚未出道");
        const QString tiers[] = {{}, QStringLiteral("歌唱新人"), QStringLiteral("闪亮新秀"),
                                 QStringLiteral("人气偶像"), QStringLiteral("超级明星"),
                                 QStringLiteral("超级巨星")};
        for (int k = 1; k <= 5; ++k) {
            const QString marker = QStringLiteral("singergrade") + QString::number(k);
            if (page.contains(marker))
                reference = tiers[k] + u' ' + QString::number(Module1::countOccurrences(page, marker));
        }
        QCOMPARE(Grade::derive(page), reference);
    }

    void gradeScale()
    {
        QCOMPARE(Grade::scale().size(), 26);
        QCOMPARE(Grade::scale().at(0), QStringLiteral("尚未出道"));
        QCOMPARE(Grade::scale().at(6), QStringLiteral("闪亮新秀 1"));
        QCOMPARE(Grade::scale().at(25), QStringLiteral("超级巨星 5"));
        QCOMPARE(Grade::indexOf(u"人气偶像 3"), 13);
        QCOMPARE(Grade::indexOf(u"人气偶像 6"), 26);
        QCOMPARE(Grade::indexOf(u""), 26);
    }

    void decodePage_data()
    {
        const QString chinese = QStringLiteral("用户名 歌手等级 🎤");
        QStringEncoder gb("GB18030");
        const QByteArray gbBody = gb.encode(QStringLiteral("<html>") + chinese);
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("keptAsUtf8");
        QTest::newRow("utf-8 by header") << chinese.toUtf8() << QByteArray("text/html; charset=UTF-8") << chinese << true;
        QTest::newRow("invalid utf-8") << QByteArray("a\xE4<b\xFF") << QByteArray() << QStringLiteral("a\uFFFD<b\uFFFD") << false;
        QTest::newRow("no declaration is utf-8") << chinese.toUtf8() << QByteArray("text/html") << chinese << true;
        QTest::newRow("gbk by header") << gbBody << QByteArray("text/html;charset=gbk") << "<html>" + chinese << false;
        QTest::newRow("gb2312 label decodes as GB18030") << gbBody << QByteArray("text/html; charset=\"gb2312\"") << "<html>" + chinese << false;
        const QByteArray metaBody = "<html><head><meta charset=\"GBK\"></head>" + gb.encode(chinese);
        QTest::newRow("gbk by meta charset") << metaBody << QByteArray("text/html")
                                             << "<html><head><meta charset=\"GBK\"></head>" + chinese << false;
        const QByteArray equivBody = "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">" + gb.encode(chinese);
        QTest::newRow("gbk by http-equiv") << equivBody << QByteArray()
                                           << "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">" + chinese << false;
        QTest::newRow("meta beyond 1024 bytes ignored")
            << QByteArray(QByteArray(1100, ' ') + "<meta charset=gbk>" + chinese.toUtf8()) << QByteArray()
            << QString(QString(1100, u' ') + "<meta charset=gbk>" + chinese) << true;
        QTest::newRow("header wins over meta") << QByteArray("<meta charset=gbk>" + chinese.toUtf8())
                                               << QByteArray("text/html; charset=utf-8")
                                               << "<meta charset=gbk>" + chinese << true;
        QTest::newRow("utf-8 bom") << QByteArray("\xEF\xBB\xBF" + chinese.toUtf8()) << QByteArray() << chinese << true;
        QTest::newRow("utf-16le bom") << QByteArray("\xFF\xFE" + QByteArray(reinterpret_cast<const char *>(chinese.utf16()), chinese.size() * 2))
                                      << QByteArray() << chinese << false;
        QTest::newRow("unknown label falls back to utf-8") << chinese.toUtf8() << QByteArray("text/html; charset=x-nonsense") << chinese << true;
    }
    void decodePage()
    {
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, contentType);
        QFETCH(QString, expected);
        QCOMPARE(Module1::decodePage(body, contentType), expected);
        // Read for extraction, a body is kept as it came exactly when it is UTF-8 and valid.
        Module1::Page page;
        QByteArray taken = body;
        Module1::readPage(taken, contentType, page);
        QFETCH(bool, keptAsUtf8);
        QCOMPARE(page.isUtf8, keptAsUtf8);
        QCOMPARE(page.isUtf8 ? QString::fromUtf8(page.utf8).remove(QChar(0xFEFF)) : page.text, expected);
    }

    void encodeText_isGbkForChineseAndKeepsEmoji()
    {
        QCOMPARE(Module1::encodeText(u"歌手等级"), QByteArray("\xB8\xE8\xCA\xD6\xB5\xC8\xBC\xB6"));
        QCOMPARE(Module1::encodeText(u"Index,"), QByteArray("Index,"));
        const QString emoji = QStringLiteral("a🎤b");
        QStringDecoder back("GB18030");
        QCOMPARE(QString(back.decode(Module1::encodeText(emoji))), emoji);
    }
};

QTEST_GUILESS_MAIN(TestTextOps)
#include "tst_textops.moc"
