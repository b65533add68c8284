// Text bytes as characters: the code page of the font in force (its \fcharset or \cpg), else the
// document's (\ansicpg, \mac, \pc, \pca); pairs of bytes in the double-byte code pages of Japanese,
// Chinese and Korean; the symbols of Symbol and Wingdings. Also the font table's entries.

#include "wordproc/RtfReaderPrivate.h"

namespace wordproc::rtf {

namespace {

// The Windows character sets a font table names, and their code pages.
struct Charset {
    int charset;
    int codePage;
};
constexpr Charset kCharsets[] = {
    {0, 1252},   {77, 10000}, {78, 932},   {79, 949},   {80, 936},   {81, 950},   {83, 1255},  {84, 1256},
    {85, 10006}, {86, 10081}, {87, 874},   {88, 10029}, {89, 10007}, {128, 932},  {129, 949},  {130, 1361},
    {134, 936},  {136, 950},  {161, 1253}, {162, 1254}, {163, 1258}, {177, 1255}, {178, 1256}, {186, 1257},
    {204, 1251}, {222, 874},  {238, 1250}, {254, 437},  {255, 850},
};

int codePageOfCharset(int charset) {
    for (const Charset& c : kCharsets)
        if (c.charset == charset)
            return c.codePage;
    return 0; // DEFAULT_CHARSET (1) and anything unknown: the document's
}

// Which bytes lead a pair in the double-byte code pages; none elsewhere.
std::bitset<256> leadBytes(int codePage) {
    std::bitset<256> lead;
    const auto mark = [&lead](int from, int to) {
        for (int b = from; b <= to; ++b)
            lead.set(size_t(b));
    };
    if (codePage == 932) {
        mark(0x81, 0x9F);
        mark(0xE0, 0xFC);
    } else if (codePage == 936 || codePage == 949 || codePage == 950 || codePage == 1361) {
        mark(0x81, 0xFE);
    }
    return lead;
}

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

// The Wingdings characters that Word offers as bullets and check boxes.
struct Wingding {
    uchar byte;
    char16_t ch;
};
constexpr Wingding kWingdings[] = {
    {0x6C, 0x25CF}, {0x6E, 0x25A0}, {0x6F, 0x25A1}, {0x71, 0x2751}, {0x75, 0x25C6},
    {0x76, 0x2756}, {0x77, 0x2B25}, {0x78, 0x2327}, {0x9F, 0x2022}, {0xA1, 0x25CB},
    {0xA7, 0x25AA}, {0xA8, 0x25FB}, {0xD8, 0x27A2}, {0xE0, 0x2192}, {0xE8, 0x2794},
    {0xF0, 0x21E8}, {0xFB, 0x2718}, {0xFC, 0x2714}, {0xFD, 0x2612}, {0xFE, 0x2611},
};

// Word's names for a face in another character set ("Times New Roman CE", "Arial Cyr"): the face.
QString withoutCharsetSuffix(const QString& name) {
    static const char* const suffixes[] = {" CE",     " Cyr",      " Greek",    " Tur",
                                           " Baltic", " (Hebrew)", " (Arabic)", " (Vietnamese)",
                                           " (Thai)", " Cyrillic", " Turkish"};
    for (const char* s : suffixes) {
        const QLatin1StringView suffix(s);
        if (name.endsWith(suffix, Qt::CaseInsensitive) && name.size() > suffix.size())
            return name.chopped(suffix.size());
    }
    return name;
}

} // namespace

// A byte of a symbol font as the character it shows; the byte's own character where there is none.
QChar symbolCharacter(SymbolSet set, uchar byte, QChar plain) {
    if (set == SymbolSet::Symbol && byte >= 0x20) {
        const char16_t c = kSymbol[byte - 0x20];
        return c ? QChar(c) : plain;
    }
    if (set == SymbolSet::Wingdings)
        for (const Wingding& w : kWingdings)
            if (w.byte == byte)
                return QChar(w.ch);
    return plain;
}

const CodePage& Reader::codePage(int number) {
    if (number == m_lastCodePage && m_lastPage)
        return *m_lastPage;
    // A document uses a handful of code pages; a file that names thousands gets Windows-1252 for the rest
    // rather than a table for each.
    constexpr size_t maxCodePages = 32;
    if (m_codePages.size() >= maxCodePages && !m_codePages.count(number))
        number = 1252;
    auto& slot = m_codePages[number];
    m_lastCodePage = number;
    if (slot) {
        m_lastPage = slot.get();
        return *slot;
    }
    slot = std::make_unique<CodePage>();
    CodePage& page = *slot;
    // ICU, which Qt decodes with, knows the Windows and Mac code pages by these names.
    for (const QString& name :
         {QStringLiteral("windows-%1").arg(number), QStringLiteral("ibm-%1").arg(number)}) {
        page.pairs = QStringDecoder(name.toLatin1().constData(), QStringDecoder::Flag::Stateless);
        if (page.pairs.isValid())
            break;
    }
    if (!page.pairs.isValid())
        page.pairs = QStringDecoder("windows-1252", QStringDecoder::Flag::Stateless);
    if (page.pairs.isValid())
        page.lead = leadBytes(number);
    for (int i = 0; i < 256; ++i) {
        const char byte = char(i);
        const QString s = page.lead.test(size_t(i)) || !page.pairs.isValid()
                              ? QString()
                              : QString(page.pairs.decode(QByteArrayView(&byte, 1)));
        page.chars[size_t(i)] = s.size() == 1 ? s.at(0) : i < 0x80 ? QChar(i) : QChar(0xFFFD);
    }
    m_lastPage = &page;
    return page;
}

const CodePage& Reader::textPage(const State& st) {
    int number = st.codePage;
    if (number < 0) {
        const auto it = m_fonts.find(m_defaultFont);
        number = it != m_fonts.end() ? it->second.codePage : 0;
    }
    return codePage(number > 0 ? number : m_documentCodePage);
}

// A byte of text in the body, a field's code or a shape's property.
void Reader::decodeByte(State& st, uchar byte) {
    const CodePage& page = textPage(st);
    if (m_lead >= 0) {
        const char pair[2] = {char(m_lead), char(byte)};
        m_lead = -1;
        const QString s = page.pairs.decode(QByteArrayView(pair, 2));
        text(st, s.isEmpty() ? QString(QChar(0xFFFD)) : s);
        return;
    }
    if (page.lead.test(byte) && st.symbols == SymbolSet::None) {
        m_lead = byte;
        return;
    }
    const QChar c = page.chars[byte];
    text(st, QString(st.symbols == SymbolSet::None ? c : symbolCharacter(st.symbols, byte, c)));
}

void Reader::useFont(State& st, int number) {
    const auto it = m_fonts.find(number);
    if (it != m_fonts.end()) {
        st.chr.family = it->second.name;
        st.codePage = it->second.codePage;
        st.symbols = it->second.symbols;
        return;
    }
    // Word 2007 and later set text in the theme's fonts by these numbers, and name them in the font
    // table; a table that leaves them out gets the faces of Office's own theme.
    static const char* const themeFaces[] = {"Calibri Light",   "Times New Roman", "Calibri Light",
                                             "Times New Roman", "Calibri",         "Times New Roman",
                                             "Calibri",         "Times New Roman"};
    st.chr.family =
        number >= 31500 && number <= 31507 ? QString::fromLatin1(themeFaces[number - 31500]) : QString();
    st.codePage = -1;
    st.symbols = SymbolSet::None;
}

QString Reader::fontNameText(const QByteArray& bytes) const {
    if (bytes.isEmpty())
        return {};
    const auto it = m_fonts.find(m_fontNumber);
    int number = it != m_fonts.end() ? it->second.codePage : 0;
    if (number <= 0)
        number = m_documentCodePage;
    const auto page = m_codePages.find(number);
    if (page == m_codePages.end() || !page->second->pairs.isValid())
        return QString::fromLatin1(bytes);
    return page->second->pairs.decode(bytes);
}

// The font table's entry ended (at its ';'): its name, and the face it is drawn in.
void Reader::finishFontEntry() {
    FontEntry& f = m_fonts[m_fontNumber];
    f.codePage = f.cpg > 0 ? f.cpg : codePageOfCharset(f.charset);
    codePage(f.codePage > 0 ? f.codePage : m_documentCodePage); // for the name's bytes
    const QString name = withoutCharsetSuffix((m_fontNameText + fontNameText(m_fontName)).trimmed());
    const QString alt = fontNameText(m_fontAlt).trimmed();
    m_fontName.clear();
    m_fontNameText.clear();
    m_fontAlt.clear();
    const QString symbolName = name.section(QLatin1Char(' '), 0, 0);
    if (symbolName.compare(QLatin1String("Wingdings"), Qt::CaseInsensitive) == 0)
        f.symbols = SymbolSet::Wingdings;
    else if (f.charset == 2 || name.compare(QLatin1String("Symbol"), Qt::CaseInsensitive) == 0)
        f.symbols = SymbolSet::Symbol;
    // An unknown face is drawn as LibreOffice draws it, in the sans-serif that the font matching gives,
    // whatever its alternative name or its family says; a font named only by its alternative takes that.
    f.name = name.isEmpty() ? alt : name;
    f.altName = alt;
}

} // namespace wordproc::rtf
