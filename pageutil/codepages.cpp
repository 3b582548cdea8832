#include "codepages_p.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QList>

namespace Module1::detail {

namespace {
// A decoder kept for reuse: opening one by name costs more than decoding a row with it (a
// million rows spent seconds in the lookup of the name). Its error count, which resetting
// its state leaves as it was, is cleared before each use.
class ReusableDecoder : public QStringDecoder
{
public:
    explicit ReusableDecoder(const char *name) : QStringDecoder(name) {}
    QString decodeAfresh(QByteArrayView bytes, bool *error)
    {
        resetState();
        state.invalidChars = 0;
        QString text = decode(bytes);
        if (error)
            *error = hasError();
        return text;
    }
};
} // namespace

bool icuCodePages()
{
    static const bool icu = QStringEncoder("windows-936").isValid() && QStringEncoder("GB18030").isValid();
    return icu;
}

// Opening an encoder costs more than encoding a row with it, so each thread keeps one.
QByteArray cp936Encode(QStringView text)
{
    if (!icuCodePages())
        return systemEncode(936, text);
    thread_local QStringEncoder encoder("windows-936");
    return encoder.encode(text);
}

QString cp936Decode(QByteArrayView bytes, bool *error)
{
    if (!icuCodePages())
        return systemDecode(936, bytes, error);
    thread_local ReusableDecoder decoder("windows-936");
    return decoder.decodeAfresh(bytes, error);
}

QByteArray gb18030Encode(QStringView oneChar)
{
    if (!icuCodePages())
        return gb18030TableEncode(oneChar.toUcs4().value(0));
    thread_local QStringEncoder encoder("GB18030");
    return encoder.encode(oneChar);
}

QString gb18030Decode(QByteArrayView code, bool *error)
{
    if (!icuCodePages()) {
        QString text = gb18030TableDecode(code);
        if (code.size() == 2 && text.isEmpty())
            text = cp936Decode(code, error); // the two-byte codes the code pages share
        else if (error)
            *error = text.isEmpty();
        return text;
    }
    thread_local ReusableDecoder decoder("GB18030");
    return decoder.decodeAfresh(code, error);
}

} // namespace Module1::detail
