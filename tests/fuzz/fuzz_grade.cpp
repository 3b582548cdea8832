#include "fuzz_input.h"
#include "grade.h"
#include "pageutil.h"

// The one-scan grade derivation against the rule stated marker by marker.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString page = fuzzParts(data, size, 1).join(QChar(1));
    static const QString tiers[] = {{}, QStringLiteral("歌唱新人"), QStringLiteral("闪亮新秀"),
                                    QStringLiteral("人气偶像"), QStringLiteral("超级明星"),
                                    QStringLiteral("超级巨星")};
    QString expected = QStringLiteral("尚未出道");
    for (int k = 1; k <= 5; ++k) {
        const QString marker = QStringLiteral("singergrade") + QString::number(k);
        if (page.contains(marker))
            expected = tiers[k] + u' ' + QString::number(Module1::countOccurrences(page, marker));
    }
    FUZZ_CHECK(Grade::derive(page) == expected);
    const QByteArray bytes = page.toUtf8();
    FUZZ_CHECK(Grade::derive(QUtf8StringView(bytes)) == Grade::derive(QString::fromUtf8(bytes)));
    return 0;
}
