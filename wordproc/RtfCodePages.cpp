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

void Reader::useAsianFont(State& st, int number) {
    const auto it = m_fonts.find(number);
    if (it != m_fonts.end())
        st.chr.asianFamily = it->second.name;
}

QString asianLanguageOf(int lcid) {
    // The languages fontconfig finds East Asian faces for; any other leaves the face to the font's name.
    switch (lcid) {
    case 0x0411:
        return QStringLiteral("ja");
    case 0x0412:
        return QStringLiteral("ko");
    case 0x0804:
    case 0x1004:
        return QStringLiteral("zh-cn");
    case 0x0404:
    case 0x0c04:
    case 0x1404:
        return QStringLiteral("zh-tw");
    default:
        return {};
    }
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
    f.symbols = symbolSetOfFont(name);
    if (f.symbols == SymbolSet::None && f.charset == 2)
        f.symbols = SymbolSet::Symbol;
    // An unknown face is drawn as LibreOffice draws it, in the sans-serif that the font matching gives,
    // whatever its alternative name or its family says; a font named only by its alternative takes that.
    f.name = name.isEmpty() ? alt : name;
    f.altName = alt;
}

} // namespace wordproc::rtf
