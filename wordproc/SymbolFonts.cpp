// The symbol fonts Word letters use, Symbol, Wingdings and Dingbats, whose bytes stand for pictures: the
// Unicode characters those pictures are, so that a letter prints them in any face.

#include "wordproc/SymbolFonts.h"

namespace wordproc {

namespace {

// The Symbol font's encoding from 0x20 on, as Adobe publishes its mapping to Unicode; 0 where the
// byte stands for a piece of a large bracket or nothing at all.
constexpr char16_t kSymbol[224] = {
    // 0x20
    0x0020,
    0x0021,
    0x2200,
    0x0023,
    0x2203,
    0x0025,
    0x0026,
    0x220B,
    0x0028,
    0x0029,
    0x2217,
    0x002B,
    0x002C,
    0x2212,
    0x002E,
    0x002F,
    0x0030,
    0x0031,
    0x0032,
    0x0033,
    0x0034,
    0x0035,
    0x0036,
    0x0037,
    0x0038,
    0x0039,
    0x003A,
    0x003B,
    0x003C,
    0x003D,
    0x003E,
    0x003F,
    // 0x40
    0x2245,
    0x0391,
    0x0392,
    0x03A7,
    0x0394,
    0x0395,
    0x03A6,
    0x0393,
    0x0397,
    0x0399,
    0x03D1,
    0x039A,
    0x039B,
    0x039C,
    0x039D,
    0x039F,
    0x03A0,
    0x0398,
    0x03A1,
    0x03A3,
    0x03A4,
    0x03A5,
    0x03C2,
    0x03A9,
    0x039E,
    0x03A8,
    0x0396,
    0x005B,
    0x2234,
    0x005D,
    0x22A5,
    0x005F,
    // 0x60
    0x203E,
    0x03B1,
    0x03B2,
    0x03C7,
    0x03B4,
    0x03B5,
    0x03C6,
    0x03B3,
    0x03B7,
    0x03B9,
    0x03D5,
    0x03BA,
    0x03BB,
    0x03BC,
    0x03BD,
    0x03BF,
    0x03C0,
    0x03B8,
    0x03C1,
    0x03C3,
    0x03C4,
    0x03C5,
    0x03D6,
    0x03C9,
    0x03BE,
    0x03C8,
    0x03B6,
    0x007B,
    0x007C,
    0x007D,
    0x223C,
    0,
    // 0x80: unused
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    // 0xA0
    0x20AC,
    0x03D2,
    0x2032,
    0x2264,
    0x2044,
    0x221E,
    0x0192,
    0x2663,
    0x2666,
    0x2665,
    0x2660,
    0x2194,
    0x2190,
    0x2191,
    0x2192,
    0x2193,
    0x00B0,
    0x00B1,
    0x2033,
    0x2265,
    0x00D7,
    0x221D,
    0x2202,
    0x2022,
    0x00F7,
    0x2260,
    0x2261,
    0x2248,
    0x2026,
    0x23D0,
    0x23AF,
    0x21B5,
    // 0xC0
    0x2135,
    0x2111,
    0x211C,
    0x2118,
    0x2297,
    0x2295,
    0x2205,
    0x2229,
    0x222A,
    0x2283,
    0x2287,
    0x2284,
    0x2282,
    0x2286,
    0x2208,
    0x2209,
    0x2220,
    0x2207,
    0x00AE,
    0x00A9,
    0x2122,
    0x220F,
    0x221A,
    0x22C5,
    0x00AC,
    0x2227,
    0x2228,
    0x21D4,
    0x21D0,
    0x21D1,
    0x21D2,
    0x21D3,
    // 0xE0
    0x25CA,
    0x2329,
    0x00AE,
    0x00A9,
    0x2122,
    0x2211,
    0x239B,
    0x239C,
    0x239D,
    0x23A1,
    0x23A2,
    0x23A3,
    0x23A7,
    0x23A8,
    0x23A9,
    0x23AA,
    0,
    0x232A,
    0x222B,
    0x2320,
    0x23AE,
    0x2321,
    0x239E,
    0x239F,
    0x23A0,
    0x23A4,
    0x23A5,
    0x23A6,
    0x23AB,
    0x23AC,
    0x23AD,
    0,
};

// Wingdings from 0x20 on, as the Unicode characters its pictures were given; 0 where Unicode has
// none in its basic plane. Bullets, check boxes, the telephone and envelope of letterheads.
constexpr char16_t kWingdings[224] = {
    // 0x20
    0x0020,
    0x270F,
    0x2702,
    0x2701,
    0,
    0,
    0,
    0,
    // 0x28
    0x260E,
    0x2706,
    0x2709,
    0,
    0,
    0,
    0,
    0,
    // 0x30
    0,
    0,
    0,
    0,
    0,
    0,
    0x231B,
    0x2328,
    // 0x38
    0,
    0,
    0,
    0,
    0,
    0,
    0x2707,
    0x270D,
    // 0x40
    0,
    0x270C,
    0,
    0,
    0,
    0x261C,
    0x261E,
    0x261D,
    // 0x48
    0x261F,
    0x270B,
    0x263A,
    0,
    0x2639,
    0,
    0x2620,
    0x2690,
    // 0x50
    0,
    0x2708,
    0x263C,
    0,
    0x2744,
    0,
    0x271E,
    0,
    // 0x58
    0x2720,
    0x2721,
    0x262A,
    0x262F,
    0x0950,
    0x2638,
    0x2648,
    0x2649,
    // 0x60
    0x264A,
    0x264B,
    0x264C,
    0x264D,
    0x264E,
    0x264F,
    0x2650,
    0x2651,
    // 0x68
    0x2652,
    0x2653,
    0x0026,
    0x0026,
    0x25CF,
    0x274D,
    0x25A0,
    0x25A1,
    // 0x70
    0,
    0x2751,
    0x2752,
    0x2B27,
    0x29EB,
    0x25C6,
    0x2756,
    0x2B25,
    // 0x78
    0x2327,
    0x2353,
    0x2318,
    0x2740,
    0x273F,
    0x275D,
    0x275E,
    0,
    // 0x80
    0x24EA,
    0x2460,
    0x2461,
    0x2462,
    0x2463,
    0x2464,
    0x2465,
    0x2466,
    // 0x88
    0x2467,
    0x2468,
    0x2469,
    0x24FF,
    0x2776,
    0x2777,
    0x2778,
    0x2779,
    // 0x90
    0x277A,
    0x277B,
    0x277C,
    0x277D,
    0x277E,
    0x277F,
    0,
    0,
    // 0x98
    0,
    0,
    0,
    0,
    0,
    0,
    0x00B7,
    0x2022,
    // 0xA0
    0x25AA,
    0x25CB,
    0x2B55,
    0,
    0x25C9,
    0x25CE,
    0,
    0x25AA,
    // 0xA8
    0x25FB,
    0,
    0x2726,
    0x2605,
    0x2736,
    0x2734,
    0x2739,
    0x2735,
    // 0xB0
    0,
    0x2316,
    0x27E1,
    0x2311,
    0,
    0x272A,
    0x2730,
    0,
    // 0xB8
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    // 0xC0
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    // 0xC8
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    // 0xD0
    0,
    0,
    0,
    0,
    0,
    0x232B,
    0x2326,
    0,
    // 0xD8
    0x27A2,
    0,
    0,
    0,
    0x27B2,
    0,
    0,
    0,
    // 0xE0
    0x2192,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    // 0xE8
    0x2794,
    0,
    0,
    0,
    0,
    0,
    0,
    0x21E6,
    // 0xF0
    0x21E8,
    0x21E7,
    0x21E9,
    0x2B04,
    0x21F3,
    0x2B00,
    0x2B01,
    0x2B03,
    // 0xF8
    0x2B02,
    0x25AD,
    0x25AB,
    0x2718,
    0x2714,
    0x2612,
    0x2611,
    0,
};

// Zapf Dingbats as Adobe maps it to Unicode: mostly in the order of Unicode's Dingbats block, which was
// made from it, with the few pictures Unicode had already elsewhere; 0 where the byte shows nothing.
char16_t dingbat(uchar byte) {
    switch (byte) {
    case 0x20:
        return 0x0020;
    case 0x25:
        return 0x260E;
    case 0x2A:
        return 0x261B;
    case 0x2B:
        return 0x261E;
    case 0x48:
        return 0x2605;
    case 0x6C:
        return 0x25CF;
    case 0x6E:
        return 0x25A0;
    case 0x73:
        return 0x25B2;
    case 0x74:
        return 0x25BC;
    case 0x75:
        return 0x25C6;
    case 0x77:
        return 0x25D7;
    case 0xA8:
        return 0x2663;
    case 0xA9:
        return 0x2666;
    case 0xAA:
        return 0x2665;
    case 0xAB:
        return 0x2660;
    case 0xD5:
        return 0x2192;
    case 0xD6:
        return 0x2194;
    case 0xD7:
        return 0x2195;
    default:
        break;
    }
    if (byte >= 0x21 && byte <= 0x7E)
        return char16_t(0x2701 + byte - 0x21);
    if (byte >= 0x80 && byte <= 0x8D)
        return char16_t(0x2768 + byte - 0x80);
    if (byte >= 0xA1 && byte <= 0xA7)
        return char16_t(0x2761 + byte - 0xA1);
    if (byte >= 0xAC && byte <= 0xB5)
        return char16_t(0x2460 + byte - 0xAC);
    if (byte >= 0xB6 && byte <= 0xD4)
        return char16_t(0x2776 + byte - 0xB6);
    if (byte >= 0xD8 && byte <= 0xEF)
        return char16_t(0x2798 + byte - 0xD8);
    if (byte >= 0xF1 && byte <= 0xFE)
        return char16_t(0x27B1 + byte - 0xF1);
    return 0;
}

} // namespace

SymbolSet symbolSetOfFont(const QString& name) {
    // "Wingdings 2" and "Wingdings 3" are taken for Wingdings, as Word's bullets in them mostly agree.
    if (name.section(QLatin1Char(' '), 0, 0).compare(QLatin1String("Wingdings"), Qt::CaseInsensitive) == 0)
        return SymbolSet::Wingdings;
    if (name.compare(QLatin1String("Symbol"), Qt::CaseInsensitive) == 0)
        return SymbolSet::Symbol;
    QString plain = name.toLower();
    plain.remove(QLatin1Char(' '));
    if (plain == QLatin1String("monotypesorts") || plain.endsWith(QLatin1String("dingbats")))
        return SymbolSet::Dingbats;
    return SymbolSet::None;
}

QChar symbolCharacter(SymbolSet set, uchar byte, QChar plain) {
    if (set == SymbolSet::None || byte < 0x20)
        return plain;
    const char16_t c = set == SymbolSet::Dingbats ? dingbat(byte)
                       : set == SymbolSet::Symbol ? kSymbol[byte - 0x20]
                                                  : kWingdings[byte - 0x20];
    return c ? QChar(c) : plain;
}

} // namespace wordproc
