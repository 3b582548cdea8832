#include "utf8check_p.h"

#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
#include <tmmintrin.h>
#define VQ_UTF8_SSSE3 1
#endif

namespace Module1::detail {

#ifdef VQ_UTF8_SSSE3
namespace {
// Each pair of neighbouring bytes is looked up by three nibbles (the first byte's high and
// low, the second's high); a pair is wrong when all three lookups share an error bit. The
// bits name the error each pattern can be part of.
constexpr char TooShort = 1 << 0, TooLong = 1 << 1, Overlong3 = 1 << 2, TooLarge = 1 << 3,
               Surrogate = 1 << 4, Overlong2 = 1 << 5, TooLarge1000 = 1 << 6, Overlong4 = 1 << 6;
constexpr char TwoConts = char(1 << 7);
constexpr char Carry = TooShort | TooLong | TwoConts;
constexpr char Big = Carry | TooLarge | TooLarge1000;

__attribute__((target("ssse3"))) __m128i highNibbles(__m128i v)
{
    return _mm_and_si128(_mm_srli_epi16(v, 4), _mm_set1_epi8(0x0F));
}

// The errors of the sixteen bytes `in`, `prev` being the sixteen before them.
__attribute__((target("ssse3"))) __m128i blockErrors(__m128i in, __m128i prev)
{
    const __m128i prev1 = _mm_alignr_epi8(in, prev, 15);
    const __m128i firstHigh = _mm_shuffle_epi8(
        _mm_setr_epi8(TooLong, TooLong, TooLong, TooLong, TooLong, TooLong, TooLong, TooLong, TwoConts, TwoConts,
                      TwoConts, TwoConts, TooShort | Overlong2, TooShort, TooShort | Overlong3 | Surrogate,
                      TooShort | TooLarge | TooLarge1000 | Overlong4),
        highNibbles(prev1));
    const __m128i firstLow = _mm_shuffle_epi8(
        _mm_setr_epi8(Carry | Overlong3 | Overlong2 | Overlong4, Carry | Overlong2, Carry, Carry, Carry | TooLarge,
                      Big, Big, Big, Big, Big, Big, Big, Big, Big | Surrogate, Big, Big),
        _mm_and_si128(prev1, _mm_set1_epi8(0x0F)));
    constexpr char Cont = TooLong | Overlong2 | TwoConts;
    const __m128i secondHigh = _mm_shuffle_epi8(
        _mm_setr_epi8(TooShort, TooShort, TooShort, TooShort, TooShort, TooShort, TooShort, TooShort,
                      Cont | Overlong3 | TooLarge1000 | Overlong4, Cont | Overlong3 | TooLarge, Cont | Surrogate | TooLarge,
                      Cont | Surrogate | TooLarge, TooShort, TooShort, TooShort, TooShort),
        highNibbles(in));
    const __m128i pairs = _mm_and_si128(_mm_and_si128(firstHigh, firstLow), secondHigh);
    // A byte two after a three- or four-byte lead, or three after a four-byte lead, must be
    // a continuation: the pair test marks two continuations in a row, and exactly these may.
    const __m128i third = _mm_subs_epu8(_mm_alignr_epi8(in, prev, 14), _mm_set1_epi8(char(0xE0 - 0x80)));
    const __m128i fourth = _mm_subs_epu8(_mm_alignr_epi8(in, prev, 13), _mm_set1_epi8(char(0xF0 - 0x80)));
    const __m128i mustContinue = _mm_and_si128(_mm_or_si128(third, fourth), _mm_set1_epi8(TwoConts));
    return _mm_xor_si128(mustContinue, pairs);
}

__attribute__((target("ssse3"))) bool isValidSsse3(const char *s, qsizetype n)
{
    __m128i errors = _mm_setzero_si128(), prev = _mm_setzero_si128();
    qsizetype i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s + i));
        errors = _mm_or_si128(errors, blockErrors(in, prev));
        prev = in;
    }
    // The rest, padded with zeros: a text that ends inside a character is then followed
    // by a byte that is no continuation, and fails like any other.
    alignas(16) char tail[16] = {};
    for (qsizetype j = 0; i + j < n; ++j)
        tail[j] = s[i + j];
    errors = _mm_or_si128(errors, blockErrors(_mm_load_si128(reinterpret_cast<const __m128i *>(tail)), prev));
    return _mm_movemask_epi8(_mm_cmpeq_epi8(errors, _mm_setzero_si128())) == 0xFFFF;
}
} // namespace
#endif

bool isValidUtf8(QByteArrayView bytes)
{
#ifdef VQ_UTF8_SSSE3
    static const bool ssse3 = __builtin_cpu_supports("ssse3");
    if (ssse3)
        return isValidSsse3(bytes.data(), bytes.size());
#endif
    return bytes.isValidUtf8();
}

} // namespace Module1::detail
