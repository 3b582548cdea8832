#include "codepages_p.h"

#include <qt_windows.h>

// Windows' own code page converters, for the charsets Qt without ICU cannot convert.
namespace Module1::detail {

int systemCodePage(QByteArrayView label)
{
    static const struct
    {
        const char *label;
        int codePage;
    } known[] = {
        {"windows-936", 936}, {"gbk", 936}, {"big5", 950}, {"shift_jis", 932}, {"euc-kr", 949},
        {"euc-jp", 20932}, {"koi8-r", 20866}, {"iso-8859-2", 28592}, {"iso-8859-5", 28595},
        {"windows-1250", 1250}, {"windows-1251", 1251}, {"windows-1252", 1252},
    };
    for (const auto &k : known) {
        if (label.compare(QByteArrayView(k.label), Qt::CaseInsensitive) == 0)
            return k.codePage;
    }
    return 0;
}

QString systemDecode(int codePage, QByteArrayView bytes, bool *error)
{
    if (error)
        *error = false;
    if (bytes.isEmpty())
        return {};
    const int n = int(bytes.size());
    int size = MultiByteToWideChar(UINT(codePage), MB_ERR_INVALID_CHARS, bytes.data(), n, nullptr, 0);
    DWORD flags = MB_ERR_INVALID_CHARS;
    if (size == 0) {
        // Bytes that are no text of the code page: converted all the same, and said so.
        if (error)
            *error = true;
        flags = 0;
        size = MultiByteToWideChar(UINT(codePage), 0, bytes.data(), n, nullptr, 0);
    }
    QString out(size, Qt::Uninitialized);
    MultiByteToWideChar(UINT(codePage), flags, bytes.data(), n, reinterpret_cast<wchar_t *>(out.data()), size);
    return out;
}

QByteArray systemEncode(int codePage, QStringView text)
{
    if (text.isEmpty())
        return {};
    const auto *wide = reinterpret_cast<const wchar_t *>(text.utf16());
    const int n = int(text.size());
    // No best fit: a character the code page lacks must not come back as a look-alike.
    const int size = WideCharToMultiByte(UINT(codePage), WC_NO_BEST_FIT_CHARS, wide, n, nullptr, 0, nullptr, nullptr);
    QByteArray out(size, Qt::Uninitialized);
    WideCharToMultiByte(UINT(codePage), WC_NO_BEST_FIT_CHARS, wide, n, out.data(), size, nullptr, nullptr);
    return out;
}

} // namespace Module1::detail
