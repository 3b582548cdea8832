#include "codepages_p.h"

#include <QStringDecoder>

#include <memory>

#if defined(__SSE2__) || defined(_M_X64) || defined(_M_AMD64)
#include <emmintrin.h>
#define VQ_GB_SSE2 1
#endif

// ICU's converter takes about 75 µs over a 30 KB Chinese page in GBK; a table of the two-byte
// codes, with the ASCII markup between them copied sixteen bytes at a time, about 18.
namespace Module1::detail {

namespace {
constexpr int kLeads = 0xFE - 0x81 + 1, kTrails = 0xFE - 0x40 + 1;

struct TwoByteCodes
{
    char16_t u[kLeads][kTrails] = {}; // 0: not in the table
};

// Made once from ICU's converter, a lead byte's codes at a time: every trail byte but 0x7F
// gives one character. A lead whose codes do not read back so is left out.
const TwoByteCodes &twoByteCodes()
{
    static const std::unique_ptr<TwoByteCodes> codes = [] {
        auto t = std::make_unique<TwoByteCodes>();
        for (int lead = 0x81; lead <= 0xFE; ++lead) {
            QByteArray bytes;
            for (int trail = 0x40; trail <= 0xFE; ++trail) {
                if (trail != 0x7F)
                    bytes.append(char(lead)).append(char(trail));
            }
            QStringDecoder decoder("GB18030");
            const QString text = decoder.decode(bytes);
            if (decoder.hasError() || text.size() != bytes.size() / 2 || text.contains(QChar::ReplacementCharacter))
                continue;
            for (qsizetype i = 0; i < text.size(); ++i) {
                if (!text[i].isSurrogate())
                    t->u[lead - 0x81][uchar(bytes[2 * i + 1]) - 0x40] = text[i].unicode();
            }
        }
        return t;
    }();
    return *codes;
}
} // namespace

bool decodeGb18030Quickly(QByteArrayView bytes, QString &out)
{
    const TwoByteCodes &codes = twoByteCodes();
    out.resize(bytes.size()); // never more characters than bytes: a four-byte code gives two at most
    char16_t *const begin = reinterpret_cast<char16_t *>(out.data());
    char16_t *o = begin;
    const uchar *s = reinterpret_cast<const uchar *>(bytes.data());
    const uchar *const end = s + bytes.size();
    while (s < end) {
        const uchar c = *s;
        if (c < 0x80) {
#ifdef VQ_GB_SSE2
            // The markup between the Chinese text: sixteen ASCII bytes at a time where they are.
            if (end - s >= 16) {
                const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s));
                if (_mm_movemask_epi8(v) == 0) {
                    _mm_storeu_si128(reinterpret_cast<__m128i *>(o), _mm_unpacklo_epi8(v, _mm_setzero_si128()));
                    _mm_storeu_si128(reinterpret_cast<__m128i *>(o + 8), _mm_unpackhi_epi8(v, _mm_setzero_si128()));
                    s += 16;
                    o += 16;
                    continue;
                }
            }
#endif
            *o++ = c;
            ++s;
            continue;
        }
        if (end - s < 2 || c < 0x81 || c > 0xFE)
            return false;
        if (s[1] >= 0x40) {
            const char16_t u = s[1] <= 0xFE ? codes.u[c - 0x81][s[1] - 0x40] : 0;
            if (u == 0)
                return false;
            *o++ = u;
            s += 2;
            continue;
        }
        const QString four = end - s >= 4 ? gb18030TableDecode(QByteArrayView(s, 4)) : QString();
        if (four.isEmpty())
            return false;
        for (const QChar ch : four)
            *o++ = ch.unicode();
        s += 4;
    }
    out.resize(o - begin);
    return true;
}

} // namespace Module1::detail
