#include "codepages_p.h"
#include "pageutil.h"
#include "utf8check_p.h"

#include <QByteArray>
#include <QStringDecoder>

#include <cstdint>

// Charset detection and decoding on any bytes and any Content-Type: never a crash, and the
// reusing form gives the same text as the plain one, as does the form kept for extraction;
// the fast UTF-8 check judges as Qt's does, and GB18030 read by table as ICU reads it.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray all(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype cut = all.indexOf('\n');
    const QByteArray contentType = cut >= 0 ? all.left(cut) : QByteArray();
    const QByteArray body = cut >= 0 ? all.mid(cut + 1) : all;
    const QString text = Module1::decodePage(body, contentType);
    QString reused = QStringLiteral("an earlier, longer page that leaves its storage behind");
    Module1::decodePage(body, contentType, reused);
    if (text != reused)
        __builtin_trap();
    // Read for extraction: kept as bytes only where those bytes are that very text.
    Module1::Page page;
    QByteArray taken = body;
    Module1::readPage(taken, contentType, page);
    const bool bom = page.utf8.startsWith("\xEF\xBB\xBF");
    const QString seen = page.isUtf8 ? QString(QStringDecoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom)(
                                           QByteArrayView(page.utf8).sliced(bom ? 3 : 0)))
                                     : page.text;
    if (seen != text || Module1::detail::isValidUtf8(body) != QByteArrayView(body).isValidUtf8())
        __builtin_trap();
    QString byTable;
    if (Module1::detail::decodeGb18030Quickly(body, byTable) && byTable != QStringDecoder("GB18030").decode(body))
        __builtin_trap();
    return 0;
}
