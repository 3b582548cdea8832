#include "pageutil.h"

#include <QtAlgorithms>

#include <array>
#include <cstring>
#include <utility>

#if defined(__SSE2__) || defined(_M_X64) || defined(_M_AMD64)
#include <emmintrin.h>
#define VQ_HAVE_SSE2 1
#endif

namespace Module1 {

#ifdef VQ_HAVE_SSE2
namespace {
// How common a character is in web pages, roughly: higher is more common. Characters
// outside ASCII count as rare; a run of Chinese text rarely repeats a given one. A table,
// since every search weighs each character of its marker.
constexpr std::array<unsigned char, 128> kCommonness = [] {
    constexpr char order[] = "zqjx#k9876v5y43bw2g1f0u_mp:.dhlcrnsi-o/=a><t\"e ";
    std::array<unsigned char, 128> rank{};
    for (unsigned char &r : rank)
        r = 1;
    for (int i = int(sizeof order) - 2; i >= 0; --i)
        rank[size_t(order[i])] = static_cast<unsigned char>(i + 2);
    return rank;
}();

int commonness(char16_t c) { return c >= 128 ? 0 : kCommonness[c]; }
} // namespace
#endif

namespace {
#ifdef VQ_HAVE_SSE2
// The places in the marker of its two least common characters.
template <typename Char>
std::pair<qsizetype, qsizetype> rarestTwo(const Char *m, qsizetype k)
{
    qsizetype p1 = 0;
    for (qsizetype j = 0; j < k; ++j) {
        if (commonness(m[j]) < commonness(m[p1]))
            p1 = j;
    }
    qsizetype p2 = p1 == k - 1 ? 0 : k - 1;
    for (qsizetype j = 0; j < k; ++j) {
        if (j != p1 && commonness(m[j]) < commonness(m[p2]))
            p2 = j;
    }
    return {p1, p2};
}

// A vector's worth of places at a time, from from up to where a whole vector still fits: a
// place is a candidate only when the marker's two least common characters both stand where
// they would; only there is the rest compared. The place found, or -1 with from moved to
// where the places left begin.
template <typename Char>
qsizetype searchVectors(const Char *h, qsizetype lastStart, const Char *m, qsizetype k, qsizetype &from)
{
    constexpr qsizetype lanes = 16 / qsizetype(sizeof(Char));
    const auto [p1, p2] = rarestTwo(m, k);
    const auto splat = [](Char c) {
        if constexpr (sizeof(Char) == 1)
            return _mm_set1_epi8(char(c));
        else
            return _mm_set1_epi16(short(c));
    };
    const auto equal = [](__m128i a, __m128i b) {
        if constexpr (sizeof(Char) == 1)
            return _mm_cmpeq_epi8(a, b);
        else
            return _mm_cmpeq_epi16(a, b);
    };
    const __m128i c1 = splat(m[p1]);
    const __m128i c2 = splat(m[p2]);
    const auto candidates = [&, p1 = p1, p2 = p2](qsizetype at) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(h + at + p1));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(h + at + p2));
        return unsigned(_mm_movemask_epi8(_mm_and_si128(equal(a, c1), equal(b, c2))));
    };
    // The mask has one bit per byte, so a 16-bit unit owns two of them.
    const auto verify = [&](qsizetype at, unsigned mask) -> qsizetype {
        while (mask) {
            const qsizetype j = qsizetype(qCountTrailingZeroBits(mask) / sizeof(Char));
            if (std::memcmp(h + at + j, m, size_t(k) * sizeof(Char)) == 0)
                return at + j;
            mask &= ~(((1u << sizeof(Char)) - 1) << (sizeof(Char) * j));
        }
        return -1;
    };
    qsizetype i = from;
    for (; i + 2 * lanes - 1 <= lastStart; i += 2 * lanes) {
        const unsigned low = candidates(i);
        const unsigned high = candidates(i + lanes);
        if ((low | high) == 0)
            continue;
        if (const qsizetype at = verify(i, low); at >= 0)
            return at;
        if (const qsizetype at = verify(i + lanes, high); at >= 0)
            return at;
    }
    for (; i + lanes - 1 <= lastStart; i += lanes) {
        if (const qsizetype at = verify(i, candidates(i)); at >= 0)
            return at;
    }
    from = i;
    return -1;
}
#endif

// A search over 16-bit (UTF-16) or 8-bit (UTF-8) code units; one body serves both.
template <typename Char>
qsizetype search(const Char *h, qsizetype n, const Char *m, qsizetype k, qsizetype from)
{
    if (from < 0)
        from = 0;
    if (k == 0)
        return from <= n ? from : -1;
    if (k > n - from)
        return -1;
    const qsizetype lastStart = n - k;
#ifdef VQ_HAVE_SSE2
    if (k >= 2) {
        if (const qsizetype at = searchVectors(h, lastStart, m, k, from); at >= 0)
            return at;
    }
#endif
    for (qsizetype i = from; i <= lastStart; ++i) {
        if (h[i] == m[0] && std::memcmp(h + i, m, size_t(k) * sizeof(Char)) == 0)
            return i;
    }
    return -1;
}
} // namespace

qsizetype findMarker(QStringView text, QStringView marker, qsizetype from)
{
    return search(text.utf16(), text.size(), marker.utf16(), marker.size(), from);
}

qsizetype findMarker(QUtf8StringView text, QUtf8StringView marker, qsizetype from)
{
    return search(reinterpret_cast<const uchar *>(text.data()), text.size(),
                  reinterpret_cast<const uchar *>(marker.data()), marker.size(), from);
}

} // namespace Module1
