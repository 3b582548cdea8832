#include "pageutil.h"

#include <QByteArray>

#include <cstdint>

// Charset detection and decoding on any bytes and any Content-Type: never a crash, and the
// reusing form gives the same text as the plain one.
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
    return 0;
}
