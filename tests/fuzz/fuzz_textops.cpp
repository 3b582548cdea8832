#include "fuzz_input.h"
#include "pageutil.h"

#include <QStringDecoder>

// Text extraction against its rules: the vectorised search agrees with a plain search, a
// value cut between markers stands right after the first start marker, and failures are
// only the documented ones.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QStringList p = fuzzParts(data, size, 4);
    const QString &text = p[0], &anchor = p[1], &start = p[2], &end = p[3];
    for (qsizetype from : {qsizetype(0), qsizetype(1), text.size() / 2, text.size()})
        FUZZ_CHECK(Module1::findMarker(text, start, from) == QStringView(text).indexOf(start, from));

    try {
        const QString value = Module1::textBetween(text, start, end);
        const qsizetype a = QStringView(text).indexOf(start);
        if (a < 0) {
            FUZZ_CHECK(value == Module1::missingValue());
        } else {
            const qsizetype b = a + start.size();
            FUZZ_CHECK(QStringView(text).mid(b, value.size()) == value);
            FUZZ_CHECK(QStringView(text).mid(b + value.size()).startsWith(end));
            FUZZ_CHECK(QStringView(text).mid(b, value.size()).indexOf(end) < 0 || end.isEmpty());
        }
    } catch (const Module1::Failure &f) {
        FUZZ_CHECK(f.code() == 5 && !f.message().isEmpty());
        FUZZ_CHECK(QStringView(text).indexOf(start) >= 0);
    }
    try {
        Module1::textAfterAnchor(text, anchor, start, end);
    } catch (const Module1::Failure &f) {
        FUZZ_CHECK(f.code() == 5);
    }

    // On UTF-8 bytes the cuts are those made in the decoded text.
    const QByteArray text8 = text.toUtf8(), anchor8 = anchor.toUtf8(), start8 = start.toUtf8(), end8 = end.toUtf8();
    const auto decode = [](const QByteArray &bytes) {
        return QString(QStringDecoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom)(bytes));
    };
    const QString decoded = decode(text8), anchor16 = decode(anchor8), start16 = decode(start8), end16 = decode(end8);
    FUZZ_CHECK(Module1::findMarker(QUtf8StringView(text8), start8, 1) == text8.indexOf(start8, 1));
    const auto outcome = [](auto cut) {
        try {
            return cut();
        } catch (const Module1::Failure &f) {
            return QStringLiteral("failure %1").arg(f.code());
        }
    };
    FUZZ_CHECK(outcome([&] { return Module1::textBetween(QUtf8StringView(text8), start8, end8); })
               == outcome([&] { return Module1::textBetween(decoded, start16, end16); }));
    FUZZ_CHECK(outcome([&] { return Module1::textAfterAnchor(QUtf8StringView(text8), anchor8, start8, end8); })
               == outcome([&] { return Module1::textAfterAnchor(decoded, anchor16, start16, end16); }));
    try {
        const int n = Module1::countOccurrences(text, start);
        FUZZ_CHECK(!start.isEmpty());
        FUZZ_CHECK(qsizetype(n) * start.size() <= text.size());
        FUZZ_CHECK(n == 0 || QStringView(text).indexOf(start) >= 0);
    } catch (const Module1::Failure &f) {
        FUZZ_CHECK(f.code() == 6 && start.isEmpty());
    }
    return 0;
}
