#include "codepages_p.h"

#include <algorithm>

// GB18030's codes where they differ from code page 936, made from ICU's GB18030 converter:
// the ranges of four-byte codes (a character and the linear index of its code, continuing
// one by one up to the next range), and the two-byte codes that code page 936 reads as a
// private-use character.
namespace Module1::detail {

namespace {
struct Range
{
    char16_t u;
    quint32 index;
};
struct TwoByte
{
    quint16 code;
    char16_t u;
};

const Range kRanges[] = {
    {0x0080, 0}, {0x00A5, 36}, {0x00A9, 38}, {0x00B2, 45}, {0x00B8, 50}, {0x00D8, 81},
    {0x00E2, 89}, {0x00EB, 95}, {0x00EE, 96}, {0x00F4, 100}, {0x00F8, 103}, {0x00FB, 104},
    {0x00FD, 105}, {0x0102, 109}, {0x0114, 126}, {0x011C, 133}, {0x012C, 148}, {0x0145, 172},
    {0x0149, 175}, {0x014E, 179}, {0x016C, 208}, {0x01CF, 306}, {0x01D1, 307}, {0x01D3, 308},
    {0x01D5, 309}, {0x01D7, 310}, {0x01D9, 311}, {0x01DB, 312}, {0x01DD, 313}, {0x01FA, 341},
    {0x0252, 428}, {0x0262, 443}, {0x02C8, 544}, {0x02CC, 545}, {0x02DA, 558}, {0x03A2, 741},
    {0x03AA, 742}, {0x03C2, 749}, {0x03CA, 750}, {0x0402, 805}, {0x0450, 819}, {0x0452, 820},
    {0x1E40, 7458}, {0x2011, 7922}, {0x2017, 7924}, {0x201A, 7925}, {0x201E, 7927}, {0x2027, 7934},
    {0x2031, 7943}, {0x2034, 7944}, {0x2036, 7945}, {0x203C, 7950}, {0x20AD, 8062}, {0x2104, 8148},
    {0x2106, 8149}, {0x210A, 8152}, {0x2117, 8164}, {0x2122, 8174}, {0x216C, 8236}, {0x217A, 8240},
    {0x2194, 8262}, {0x219A, 8264}, {0x2209, 8374}, {0x2210, 8380}, {0x2212, 8381}, {0x2216, 8384},
    {0x221B, 8388}, {0x2221, 8390}, {0x2224, 8392}, {0x2226, 8393}, {0x222C, 8394}, {0x222F, 8396},
    {0x2238, 8401}, {0x223E, 8406}, {0x2249, 8416}, {0x224D, 8419}, {0x2253, 8424}, {0x2262, 8437},
    {0x2268, 8439}, {0x2270, 8445}, {0x2296, 8482}, {0x229A, 8485}, {0x22A6, 8496}, {0x22C0, 8521},
    {0x2313, 8603}, {0x246A, 8936}, {0x249C, 8946}, {0x254C, 9046}, {0x2574, 9050}, {0x2590, 9063},
    {0x2596, 9066}, {0x25A2, 9076}, {0x25B4, 9092}, {0x25BE, 9100}, {0x25C8, 9108}, {0x25CC, 9111},
    {0x25D0, 9113}, {0x25E6, 9131}, {0x2607, 9162}, {0x260A, 9164}, {0x2641, 9218}, {0x2643, 9219},
    {0x2E82, 11329}, {0x2E85, 11331}, {0x2E89, 11334}, {0x2E8D, 11336}, {0x2E98, 11346}, {0x2EA8, 11361},
    {0x2EAB, 11363}, {0x2EAF, 11366}, {0x2EB4, 11370}, {0x2EB8, 11372}, {0x2EBC, 11375}, {0x2ECB, 11389},
    {0x2FFC, 11682}, {0x3004, 11686}, {0x3018, 11687}, {0x301F, 11692}, {0x302A, 11694}, {0x303F, 11714},
    {0x3094, 11716}, {0x309F, 11723}, {0x30F7, 11725}, {0x30FF, 11730}, {0x312A, 11736}, {0x322A, 11982},
    {0x3232, 11989}, {0x32A4, 12102}, {0x3390, 12336}, {0x339F, 12348}, {0x33A2, 12350}, {0x33C5, 12384},
    {0x33CF, 12393}, {0x33D3, 12395}, {0x33D6, 12397}, {0x3448, 12510}, {0x3474, 12553}, {0x359F, 12851},
    {0x360F, 12962}, {0x361B, 12973}, {0x3919, 13738}, {0x396F, 13823}, {0x39D1, 13919}, {0x39E0, 13933},
    {0x3A74, 14080}, {0x3B4F, 14298}, {0x3C6F, 14585}, {0x3CE1, 14698}, {0x4057, 15583}, {0x4160, 15847},
    {0x4338, 16318}, {0x43AD, 16434}, {0x43B2, 16438}, {0x43DE, 16481}, {0x44D7, 16729}, {0x464D, 17102},
    {0x4662, 17122}, {0x4724, 17315}, {0x472A, 17320}, {0x477D, 17402}, {0x478E, 17418}, {0x4948, 17859},
    {0x497B, 17909}, {0x497E, 17911}, {0x4984, 17915}, {0x4987, 17916}, {0x499C, 17936}, {0x49A0, 17939},
    {0x49B8, 17961}, {0x4C78, 18664}, {0x4CA4, 18703}, {0x4D1A, 18814}, {0x4DAF, 18962}, {0x9FA6, 19043},
    {0xE76C, 33469}, {0xE7C8, 33470}, {0xE7E7, 33471}, {0xE815, 33484}, {0xE819, 33485},
    {0xE81F, 33490}, {0xE827, 33497}, {0xE82D, 33501}, {0xE833, 33505}, {0xE83C, 33513}, {0xE844, 33520},
    {0xE856, 33536}, {0xE865, 33550}, {0xF92D, 37845}, {0xF97A, 37921}, {0xF996, 37948}, {0xF9E8, 38029},
    {0xF9F2, 38038}, {0xFA10, 38064}, {0xFA12, 38065}, {0xFA15, 38066}, {0xFA19, 38069}, {0xFA22, 38075},
    {0xFA25, 38076}, {0xFA2A, 38078}, {0xFE32, 39108}, {0xFE45, 39109}, {0xFE53, 39113}, {0xFE58, 39114},
    {0xFE67, 39115}, {0xFE6C, 39116}, {0xFF5F, 39265}, {0xFFE6, 39394},
};

const TwoByte kTwoByte[] = {
    {0xA2E3, 0x20AC}, {0xA8BC, 0x1E3F}, {0xA8BF, 0x01F9}, {0xA989, 0x303E}, {0xA98A, 0x2FF0}, {0xA98B, 0x2FF1}, {0xA98C, 0x2FF2}, {0xA98D, 0x2FF3},
    {0xA98E, 0x2FF4}, {0xA98F, 0x2FF5}, {0xA990, 0x2FF6}, {0xA991, 0x2FF7}, {0xA992, 0x2FF8}, {0xA993, 0x2FF9}, {0xA994, 0x2FFA}, {0xA995, 0x2FFB},
    {0xFE50, 0x2E81}, {0xFE54, 0x2E84}, {0xFE55, 0x3473}, {0xFE56, 0x3447}, {0xFE57, 0x2E88}, {0xFE58, 0x2E8B}, {0xFE5A, 0x359E}, {0xFE5B, 0x361A},
    {0xFE5C, 0x360E}, {0xFE5D, 0x2E8C}, {0xFE5E, 0x2E97}, {0xFE5F, 0x396E}, {0xFE60, 0x3918}, {0xFE62, 0x39CF}, {0xFE63, 0x39DF}, {0xFE64, 0x3A73},
    {0xFE65, 0x39D0}, {0xFE68, 0x3B4E}, {0xFE69, 0x3C6E}, {0xFE6A, 0x3CE0}, {0xFE6B, 0x2EA7}, {0xFE6E, 0x2EAA}, {0xFE6F, 0x4056}, {0xFE70, 0x415F},
    {0xFE71, 0x2EAE}, {0xFE72, 0x4337}, {0xFE73, 0x2EB3}, {0xFE74, 0x2EB6}, {0xFE75, 0x2EB7}, {0xFE77, 0x43B1}, {0xFE78, 0x43AC}, {0xFE79, 0x2EBB},
    {0xFE7A, 0x43DD}, {0xFE7B, 0x44D6}, {0xFE7C, 0x4661}, {0xFE7D, 0x464C}, {0xFE80, 0x4723}, {0xFE81, 0x4729}, {0xFE82, 0x477C}, {0xFE83, 0x478D},
    {0xFE84, 0x2ECA}, {0xFE85, 0x4947}, {0xFE86, 0x497A}, {0xFE87, 0x497D}, {0xFE88, 0x4982}, {0xFE89, 0x4983}, {0xFE8A, 0x4985}, {0xFE8B, 0x4986},
    {0xFE8C, 0x499F}, {0xFE8D, 0x499B}, {0xFE8E, 0x49B7}, {0xFE8F, 0x49B6}, {0xFE92, 0x4CA3}, {0xFE93, 0x4C9F}, {0xFE94, 0x4CA0}, {0xFE95, 0x4CA1},
    {0xFE96, 0x4C77}, {0xFE97, 0x4CA2}, {0xFE98, 0x4D13}, {0xFE99, 0x4D14}, {0xFE9A, 0x4D15}, {0xFE9B, 0x4D16}, {0xFE9C, 0x4D17}, {0xFE9D, 0x4D18},
    {0xFE9E, 0x4D19}, {0xFE9F, 0x4DAE},
};

// The one four-byte code out of its range's order: 81 35 F4 37, once ḿ's, is U+E7C7's since
// ḿ took the two-byte A8 BC.
constexpr quint32 kOutOfOrderIndex = 7457;
constexpr char16_t kOutOfOrderChar = 0xE7C7;
constexpr quint32 kBmpIndexes = 39420;    // four-byte codes of the BMP: 81 30 81 30 to 84 31 A4 39
constexpr quint32 kSupplementary = 189000; // 90 30 81 30, U+10000, and on to U+10FFFF

QByteArray fourBytes(quint32 index)
{
    QByteArray out(4, '\0');
    out[3] = char(0x30 + index % 10);
    index /= 10;
    out[2] = char(0x81 + index % 126);
    index /= 126;
    out[1] = char(0x30 + index % 10);
    out[0] = char(0x81 + index / 10);
    return out;
}
} // namespace

QByteArray gb18030TableEncode(char32_t u)
{
    if (u >= 0x10000)
        return u <= 0x10FFFF ? fourBytes(kSupplementary + (u - 0x10000)) : QByteArray();
    for (const TwoByte &t : kTwoByte) {
        if (t.u == u)
            return QByteArray(1, char(t.code >> 8)) + char(t.code & 0xFF);
    }
    if (u == kOutOfOrderChar)
        return fourBytes(kOutOfOrderIndex);
    const auto next = std::upper_bound(std::begin(kRanges), std::end(kRanges), u,
                                       [](char32_t c, const Range &r) { return c < r.u; });
    if (next == std::begin(kRanges))
        return {};
    const Range &r = *(next - 1);
    const quint32 index = r.index + (u - r.u);
    // Past the end of its range the character has a two-byte code (or none).
    const quint32 end = next == std::end(kRanges) ? kBmpIndexes : next->index;
    return index < end ? fourBytes(index) : QByteArray();
}

QString gb18030TableDecode(QByteArrayView code)
{
    const auto b = [&code](int i) { return uchar(code[i]); };
    if (code.size() == 2) {
        const quint16 c = quint16(b(0) << 8 | b(1));
        for (const TwoByte &t : kTwoByte) {
            if (t.code == c)
                return QString(QChar(t.u));
        }
        return {};
    }
    if (code.size() != 4 || b(0) < 0x81 || b(0) > 0xFE || b(1) < 0x30 || b(1) > 0x39 || b(2) < 0x81 || b(2) > 0xFE
        || b(3) < 0x30 || b(3) > 0x39)
        return {};
    const quint32 index = ((b(0) - 0x81) * 10 + (b(1) - 0x30)) * 1260 + (b(2) - 0x81) * 10 + (b(3) - 0x30);
    if (index >= kSupplementary) {
        const char32_t u = 0x10000 + (index - kSupplementary);
        return u <= 0x10FFFF ? QString::fromUcs4(&u, 1) : QString();
    }
    if (index >= kBmpIndexes)
        return {};
    if (index == kOutOfOrderIndex)
        return QString(QChar(kOutOfOrderChar));
    const auto next = std::upper_bound(std::begin(kRanges), std::end(kRanges), index,
                                       [](quint32 i, const Range &r) { return i < r.index; });
    const Range &r = *(next - 1);
    return QString(QChar(char16_t(r.u + (index - r.index))));
}

} // namespace Module1::detail
