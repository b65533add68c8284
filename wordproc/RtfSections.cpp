// Reading RTF: the words that set a section's page, start and close sections, and place frames.

#include "wordproc/RtfReaderPrivate.h"
#include "wordproc/Twips.h"

namespace wordproc {

namespace rtf {

// The document's and the sections' words: code page, default font, paper, margins, breaks.
bool Reader::pageWord(State& st, Word w, bool hasParam, int param) {
    const bool body = st.dest == Dest::Body;
    PageSetup& page = m_t.page;
    // A section's words in a header, footer, note or text box set nothing: Word leaves a \sectd there
    // when such text was pasted with its section mark, and the section it stands in keeps its columns.
    if (st.story != &m_body &&
        (w == "sectd" || w == "cols" || w == "colsx" || w == "colsr" || w == "colno" || w == "colw" ||
         w == "linebetcol" || w == "linemod" || w == "linex" || w == "linestarts" || w == "linerestart" ||
         w == "lineppage" || w == "linecont" || w.ends_with("sxn")))
        return true;
    if (w == "ansicpg") {
        if (hasParam && param > 0)
            m_documentCodePage = param;
    } else if (w == "mac" || w == "pc" || w == "pca") {
        m_documentCodePage = w == "mac" ? 10000 : w == "pc" ? 437 : 850;
    } else if (w == "dntblnsbdb") {
        m_t.balanceSpaces = false;
    } else if (w == "viewbksp") {
        m_showBackground = !hasParam || param != 0;
    } else if (w == "deff") {
        m_defaultFont = param;
    } else if (w == "deftab") {
        if (param > 0)
            page.defaultTabTwips = clampPositiveTwips(param);
    } else if (w == "headery" || w == "headerysxn") {
        if (param > 0)
            sectionPage().headerTwips = clampPositiveTwips(param);
    } else if (w == "footery" || w == "footerysxn") {
        if (param > 0)
            sectionPage().footerTwips = clampPositiveTwips(param);
    } else if (w.starts_with("mmmaintype")) {
        m_t.type = w == "mmmaintypecatalog"  ? MainType::Catalog
                   : w == "mmmaintypelabels" ? MainType::Labels
                                             : MainType::Letters;
    } else if (w.starts_with("marg")) {
        // The document's margins come before any section; a section's own are its.
        PageSetup& pg = w.ends_with("sxn") ? sectionPage() : page;
        if (w == "margl" || w == "marglsxn")
            pg.leftTwips = clampPositiveTwips(param);
        else if (w == "margr" || w == "margrsxn")
            pg.rightTwips = clampPositiveTwips(param);
        else if (w == "margt" || w == "margtsxn")
            pg.topTwips = clampPositiveTwips(param);
        else if (w == "margb" || w == "margbsxn")
            pg.bottomTwips = clampPositiveTwips(param);
    } else if (w == "paperw" || w == "pgwsxn") {
        if (param > 0)
            (w == "pgwsxn" ? sectionPage() : page).widthTwips = clampPositiveTwips(param);
    } else if (w == "paperh" || w == "pghsxn") {
        if (param > 0)
            (w == "pghsxn" ? sectionPage() : page).heightTwips = clampPositiveTwips(param);
    } else if (w == "lndscpsxn") {
        // Word gives a landscape section's paper as it stands, wide side first; turned only when not.
        PageSetup& pg = sectionPage();
        if (pg.widthTwips < pg.heightTwips)
            std::swap(pg.widthTwips, pg.heightTwips);
    } else if (w == "cols") {
        sectionPage().columns = qBound(1, param, 45);
    } else if (w == "colsx" || w == "colsr") {
        // Where columns of their own widths cannot be set so, they are equal ones with the last gap given
        // between them.
        sectionPage().columnGapTwips = clampPositiveTwips(param);
        if (w == "colsr")
            columnSize(m_column).second = clampPositiveTwips(param);
    } else if (w == "colno") {
        m_column = qBound(1, param, 45) - 1;
    } else if (w == "colw") {
        columnSize(m_column).first = clampPositiveTwips(param);
    } else if (w == "linebetcol") {
        sectionPage().columnRule = true;
    } else if (w == "linemod") {
        sectionPage().lineNumberStep = qBound(0, param, 100);
    } else if (w == "linex") {
        sectionPage().lineNumberGapTwips = qBound(0, param, 1440 * 4);
    } else if (w == "linestarts") {
        sectionPage().lineNumberStart = qBound(0, param, 32767);
    } else if (w == "linerestart" || w == "lineppage" || w == "linecont") {
        sectionPage().lineNumberRestart = w == "lineppage"     ? PageSetup::Restart::Page
                                          : w == "linerestart" ? PageSetup::Restart::Section
                                                               : PageSetup::Restart::Continuous;
    } else if (w == "pgnrestart" || w == "pgncont") {
        // LibreOffice starts a section's numbers anew at 1 whatever \pgnstarts gives.
        sectionPage().pageNumberStart = w == "pgnrestart" ? 1 : 0;
    } else if (w == "pgndec" || w == "pgnucrm" || w == "pgnlcrm" || w == "pgnucltr" || w == "pgnlcltr") {
        sectionPage().pageNumberFormat = w == "pgnucrm"    ? QStringLiteral("upperRoman")
                                         : w == "pgnlcrm"  ? QStringLiteral("lowerRoman")
                                         : w == "pgnucltr" ? QStringLiteral("upperLetter")
                                         : w == "pgnlcltr" ? QStringLiteral("lowerLetter")
                                                           : QString();
    } else if (w == "sectd") {
        // A section's columns, rules around the page and line numbers are its own: a section that gives
        // none has one column, no rules and no numbers.
        PageSetup& pg = sectionPage();
        pg.columns = 1;
        pg.columnGapTwips = 720;
        pg.columnRule = false;
        pg.columnWidths.clear();
        pg.columnGaps.clear();
        m_column = 0;
        pg.pageBorders = Borders{};
        pg.pageBordersFromText = true;
        pg.lineNumberStep = 0;
        pg.lineNumberStart = 1;
        pg.lineNumberGapTwips = 0;
        pg.lineNumberRestart = PageSetup::Restart::Section;
        pg.pageNumberStart = 0;
        pg.pageNumberFormat.clear();
    } else if (w == "page" || w == "column") {
        // A column ends where the next column's page of text starts.
        if (body && !st.inResult && !st.target && st.story) {
            flushText(st);
            st.story->breakAfterText = !st.story->runs.empty();
            if (st.story->breakAfterText)
                endParagraph(st, false);
            st.story->breakPending = true;
        }
    } else if (w.starts_with("ftnn") || w.starts_with("aftnn")) {
        const Word style = w.substr(w.front() == 'a' ? 5 : 4);
        const char c = style == "alc"   ? 'a'
                       : style == "auc" ? 'A'
                       : style == "rlc" ? 'i'
                       : style == "ruc" ? 'I'
                       : style == "chi" ? '*'
                                        : '1';
        (w.front() == 'a' ? m_endnoteStyle : m_footnoteStyle) = c;
    } else if (w == "ftnstart" || w == "aftnstart") {
        (w.front() == 'a' ? m_endnoteStart : m_footnoteStart) = qBound(1, param, 32767);
    } else if (w == "htmautsp") {
        m_htmlAutoSpacing = true;
    } else if (w == "spltpgpar") {
        m_splitBreakAndMark = true;
    } else if (w == "sect") {
        if (body && !st.inResult && !st.target && st.story == &m_body)
            startSection(st);
    } else if (w == "titlepg") {
        (m_t.sections.empty() ? m_t.titlePage : m_t.sections.back().titlePage) = true;
    } else if (w == "facingp") {
        m_t.evenPages = true;
    } else if (w == "sbknone") {
        if (st.story)
            st.story->sectionPending = false;
        if (!m_t.sections.empty()) {
            Section& s = m_t.sections.back();
            s.newPage = false;
            if (m_sectionMark && s.firstBlock == int(m_body.story->blocks.size())) {
                m_body.story->blocks.emplace_back(std::move(*m_sectionMark));
                ++s.firstBlock;
            }
        }
        m_sectionMark.reset();
    } else if (w == "sbkpage" || w == "sbkodd" || w == "sbkeven" || w == "sbkcol") {
        // Odd and even page starts begin a new page too: the blank page between is left out.
        if (!m_t.sections.empty() && st.story == &m_body) {
            m_t.sections.back().newPage = true;
            m_body.sectionPending = true;
        }
    } else {
        return false;
    }
    return true;
}

// A positioned frame's words: where it lies, from what, how large, and whether text goes beside it.
bool Reader::frameWord(State& st, Word w, int param) {
    FrameWords& f = st.frame;
    using From = Floating::From;
    if (w == "phpg" || w == "phmrg" || w == "phcol") {
        f.fromX = w == "phpg" ? From::Page : From::Margin;
    } else if (w == "pvpg" || w == "pvmrg" || w == "pvpara") {
        f.fromY = w == "pvpg" ? From::Page : w == "pvmrg" ? From::Margin : From::Paragraph;
    } else if (w == "posx" || w == "posnegx") {
        f.x = clampTwips(param);
        f.across = FrameWords::Across::At;
    } else if (w == "posy" || w == "posnegy") {
        f.y = clampTwips(param);
        f.down = FrameWords::Down::At;
    } else if (w == "posxl" || w == "posxi") {
        f.across = FrameWords::Across::Left;
    } else if (w == "posxc") {
        f.across = FrameWords::Across::Center;
    } else if (w == "posxr" || w == "posxo") {
        f.across = FrameWords::Across::Right;
    } else if (w == "posyt" || w == "posyil" || w == "posyin") {
        f.down = FrameWords::Down::Top;
    } else if (w == "posyc") {
        f.down = FrameWords::Down::Center;
    } else if (w == "posyb" || w == "posyout") {
        f.down = FrameWords::Down::Bottom;
    } else if (w == "absw") {
        f.width = clampPositiveTwips(param);
    } else if (w == "absh") {
        f.height = clampTwips(param);
    } else if (w == "nowrap" || w == "overlay") {
        f.noWrap = true;
    } else if (w == "dxfrtext") {
        f.gap = qBound(0, param, 1440);
    } else if (w == "dfrmtxtx" || w == "dfrmtxty" || w == "absnoovrlp" || w == "abslock") {
        // LibreOffice keeps \dxfrtext below a frame whatever these say; beside it, the eighth of an
        // inch of any float.
    } else {
        return false;
    }
    // Any of them makes the paragraph a frame's.
    f.set = true;
    return true;
}

PageSetup& Reader::sectionPage() {
    return m_t.sections.empty() ? m_t.page : m_t.sections.back().page;
}

std::pair<int&, int&> Reader::columnSize(int index) {
    PageSetup& pg = sectionPage();
    const size_t count = size_t(index) + 1;
    if (pg.columnWidths.size() < count) {
        pg.columnWidths.resize(count, 0);
        pg.columnGaps.resize(count, 0);
    }
    return {pg.columnWidths[size_t(index)], pg.columnGaps[size_t(index)]};
}

// A section ends: the next one starts with the body's next block, on the paper and with the headers of
// this one until it gives its own.
void Reader::startSection(State& st) {
    flushText(st);
    const bool emptyMark = m_body.runs.empty() && m_body.listText.empty() && m_body.frameAnchors.empty();
    if (!emptyMark)
        endParagraph(st, false);
    flushTable(m_body);
    closeSection();
    m_sectionMark.reset();
    const std::vector<Block>& blocks = m_body.story->blocks;
    const size_t opening = m_t.sections.empty() ? 0 : size_t(m_t.sections.back().firstBlock);
    // Only right after a table: an empty paragraph ended by \par before \sect is the section's last.
    if (emptyMark && opening < blocks.size() && std::holds_alternative<Table>(blocks[opening]) &&
        std::holds_alternative<Table>(blocks.back())) {
        Paragraph mark;
        mark.format = st.para;
        mark.markFormat = format(st.chr);
        m_sectionMark = std::move(mark);
    }
    Section next = continuedSection(m_t);
    next.firstBlock = int(m_body.story->blocks.size());
    next.newPage = true;
    // A first page of its own is each section's say; Word repeats \sectd within a section, so it is
    // not what turns it off.
    next.titlePage = false;
    m_body.sectionPending = true;
    if (m_t.sections.size() < kMaxSections)
        m_t.sections.push_back(std::move(next));
}

void Reader::closeSection() {
    const auto close = [this](auto& s) {
        if (m_bothHeader && !m_leftHeader)
            s.evenHeader = s.header;
        if (m_bothFooter && !m_leftFooter)
            s.evenFooter = s.footer;
    };
    if (m_t.sections.empty())
        close(m_t);
    else
        close(m_t.sections.back());
    m_bothHeader = m_bothFooter = m_leftHeader = m_leftFooter = false;
}

} // namespace rtf

} // namespace wordproc
