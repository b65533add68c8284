// Paragraph styles' character properties. Word leaves out of a paragraph what its style's base gives,
// and LibreOffice prints such text in the base's size, bold or colour. What the style itself gives is
// another matter: \plain's defaults stand over it, as LibreOffice reads them.

#include "wordproc/RtfReaderPrivate.h"

namespace wordproc::rtf {

quint16 styleCharOf(Word w) {
    if (w == "fs")
        return StyleSize;
    if (w == "b")
        return StyleBold;
    if (w == "i")
        return StyleItalic;
    if (w.starts_with("ul"))
        return StyleUnderline;
    if (w == "strike" || w == "striked")
        return StyleStrike;
    if (w == "caps" || w == "scaps")
        return StyleCaps;
    if (w == "super" || w == "sub" || w == "up" || w == "dn" || w == "nosupersub")
        return StyleScript;
    if (w == "cf")
        return StyleColor;
    return 0;
}

namespace {

void copyStyleChar(CharFormat& to, const CharFormat& from, quint16 property) {
    switch (property) {
    case StyleSize:
        to.halfPoints = from.halfPoints;
        break;
    case StyleBold:
        to.bold = from.bold;
        break;
    case StyleItalic:
        to.italic = from.italic;
        break;
    case StyleUnderline:
        to.underline = from.underline;
        to.underlineStyle = from.underlineStyle;
        break;
    case StyleStrike:
        to.strike = from.strike;
        to.doubleStrike = from.doubleStrike;
        break;
    case StyleCaps:
        to.caps = from.caps;
        break;
    case StyleScript:
        to.script = from.script;
        to.raiseHalfPoints = from.raiseHalfPoints;
        break;
    case StyleColor:
        to.color = from.color;
        break;
    default:
        break;
    }
}

} // namespace

bool Reader::openStyleSheet(State& st, GroupLocals&, Word) {
    flushText(st);
    st.dest = Dest::StyleSheet;
    st.chr = CharFormat{};
    st.charSet = 0;
    st.style = 0;
    st.basedOn = -1;
    st.para = ParaFormat{};
    return true;
}

// A style's entry is a group of its own; character and table styles open starred groups, skipped.
void Reader::styleSheetWord(State& st, Word w, bool hasParam, int param) {
    if (w == "s")
        st.style = param;
    else if (w == "sbasedon")
        st.basedOn = param;
    else if (w == "sl")
        st.para.lineTwips = param;
    else if (w == "slmult")
        st.para.lineMultiple = param == 1;
    else if (characterWord(st, w, hasParam, param))
        st.charSet |= styleCharOf(w);
}

void Reader::finishStyleEntry(const State& st) {
    if (m_styles.size() < 4096)
        m_styles[st.style] =
            StyleChars{st.chr, st.charSet, st.basedOn, st.para.lineTwips, st.para.lineMultiple};
}

// The properties not given since \plain: the default where the paragraph's style gives them itself,
// else what the styles it is based on give.
void Reader::inheritStyleChars(State& st) {
    if (m_styles.empty())
        return;
    const CharFormat plain;
    CharFormat chr = st.chr;
    const auto own = m_styles.find(st.style);
    for (quint16 property = 1; property & StyleAllChars; property <<= 1) {
        if (st.charSet & property)
            continue;
        const CharFormat* from = &plain;
        if (own != m_styles.end() && !(own->second.set & property)) {
            int base = own->second.basedOn;
            for (int depth = 0; depth < 16 && base >= 0 && base != st.style; ++depth) {
                const auto it = m_styles.find(base);
                if (it == m_styles.end())
                    break;
                if (it->second.set & property) {
                    from = &it->second.chr;
                    break;
                }
                base = it->second.basedOn;
            }
        }
        copyStyleChar(chr, *from, property);
    }
    if (chr == st.chr)
        return;
    flushText(st);
    st.chr = chr;
}

// A paragraph that gives no line spacing of its own takes its style's: LibreOffice sets a paragraph of
// a style of 1.5 lines at 1.5 lines though \pard came before \s. Word writes a style's spacing whole,
// leaving out only the single line, so a style without \sl is of single lines whatever its base gives.
void Reader::inheritStyleLine(State& st) const {
    const auto it = m_styles.find(st.style);
    const bool own = it != m_styles.end();
    st.para.lineTwips = own ? clampTwips(it->second.lineTwips) : 0;
    st.para.lineMultiple = own && it->second.lineMultiple;
}

} // namespace wordproc::rtf
