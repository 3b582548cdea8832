#include "pageutil.h"

#include <QtAlgorithms>

#include <cstring>

#if defined(__SSE2__) || defined(_M_X64) || defined(_M_AMD64)
#include <emmintrin.h>
#define VQ_HAVE_SSE2 1
#endif

namespace Module1 {

#ifdef VQ_HAVE_SSE2
namespace {
// How common a character is in web pages, roughly: higher is more common. Characters
// outside ASCII count as rare; a run of Chinese text rarely repeats a given one.
int commonness(char16_t c)
{
    static constexpr char order[] = "zqjx#k9876v5y43bw2g1f0u_mp:.dhlcrnsi-o/=a><t\"e ";
    if (c >= 128)
        return 0;
    for (int i = 0; order[i]; ++i) {
        if (order[i] == char(c))
            return i + 2;
    }
    return 1;
}
} // namespace
#endif

qsizetype findMarker(QStringView text, QStringView marker, qsizetype from)
{
    const qsizetype n = text.size();
    const qsizetype k = marker.size();
    if (from < 0)
        from = 0;
    if (k == 0)
        return from <= n ? from : -1;
    if (k > n - from)
        return -1;
#ifdef VQ_HAVE_SSE2
    if (k >= 2) {
        // Eight places at a time: a place is a candidate only when the marker's two least
        // common characters both stand where they would; only there is the rest compared.
        const char16_t *h = text.utf16();
        const char16_t *m = marker.utf16();
        qsizetype p1 = 0, p2 = k - 1;
        for (qsizetype j = 0; j < k; ++j) {
            if (commonness(m[j]) < commonness(m[p1]))
                p1 = j;
        }
        p2 = p1 == k - 1 ? 0 : k - 1;
        for (qsizetype j = 0; j < k; ++j) {
            if (j != p1 && commonness(m[j]) < commonness(m[p2]))
                p2 = j;
        }
        const size_t markerBytes = size_t(k) * sizeof(char16_t);
        const __m128i c1 = _mm_set1_epi16(short(m[p1]));
        const __m128i c2 = _mm_set1_epi16(short(m[p2]));
        const qsizetype lastStart = n - k;
        const auto candidates = [&](qsizetype at) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(h + at + p1));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(h + at + p2));
            return unsigned(
                _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi16(a, c1), _mm_cmpeq_epi16(b, c2))));
        };
        const auto verify = [&](qsizetype at, unsigned mask) -> qsizetype {
            while (mask) {
                const qsizetype j = qsizetype(qCountTrailingZeroBits(mask) / 2);
                if (std::memcmp(h + at + j, m, markerBytes) == 0)
                    return at + j;
                mask &= ~(3u << (2 * j));
            }
            return -1;
        };
        qsizetype i = from;
        for (; i + 15 <= lastStart; i += 16) {
            const unsigned low = candidates(i);
            const unsigned high = candidates(i + 8);
            if ((low | high) == 0)
                continue;
            if (const qsizetype at = verify(i, low); at >= 0)
                return at;
            if (const qsizetype at = verify(i + 8, high); at >= 0)
                return at;
        }
        for (; i + 7 <= lastStart; i += 8) {
            if (const qsizetype at = verify(i, candidates(i)); at >= 0)
                return at;
        }
        for (; i <= lastStart; ++i) {
            if (h[i + p1] == m[p1] && std::memcmp(h + i, m, markerBytes) == 0)
                return i;
        }
        return -1;
    }
#endif
    return text.indexOf(marker, from);
}

} // namespace Module1
