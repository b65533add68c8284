// Word 2007+ documents' settings part and section properties: page size and margins, page rules, line
// and page numbers, columns, the headers and footers each section names, and the footnotes and
// endnotes the text refers to.

#include "wordproc/DocxPrivate.h"
#include "wordproc/Twips.h"

namespace wordproc {

namespace docx {

void Reader::readSettings(const Node& settings) {
    m_t.sideRulesOutside = true;
    for (const Node& c : settings.children) {
        if (c.name == QLatin1String("w:themeFontLang"))
            m_styles.setBidiLanguage(c.attr(u"w:bidi"));
        else if (c.name == QLatin1String("w:defaultTabStop"))
            m_t.page.defaultTabTwips = clampTwips(intAttr(c, u"w:val", 720), 36, kMaxTwips);
        else if (c.name == QLatin1String("w:footnotePr") || c.name == QLatin1String("w:endnotePr")) {
            const size_t kind = c.name == QLatin1String("w:endnotePr") ? 1 : 0;
            if (const Node* f = c.child(u"w:numFmt"); f && f->has(u"w:val"))
                m_noteFormats[kind] = f->attr(u"w:val");
            if (const Node* n = c.child(u"w:numStart"))
                m_noteStarts[kind] = qBound(0, intAttr(*n, u"w:val", 1), 32767);
        } else if (c.name == QLatin1String("w:evenAndOddHeaders"))
            m_t.evenPages = onOff(&c);
        else if (c.name == QLatin1String("w:linkStyles"))
            m_styles.setLinkedStyles(onOff(&c));
        else if (c.name == QLatin1String("w:displayBackgroundShape"))
            m_showBackground = onOff(&c);
        else if (c.name == QLatin1String("w:revisionView")) {
            const QString v = c.attr(u"w:insDel");
            m_showDeletions =
                v != QLatin1String("0") && v != QLatin1String("false") && v != QLatin1String("off");
        } else if (c.name == QLatin1String("w:compat")) {
            for (const Node& s : c.children)
                if (s.name == QLatin1String("w:compatSetting") &&
                    s.attr(u"w:name") == QLatin1String("compatibilityMode"))
                    m_compatibility = intAttr(s, u"w:val", 12);
                else if (s.name == QLatin1String("w:doNotUseHTMLParagraphAutoSpacing"))
                    m_t.largerSpaceBetween = !onOff(&s);
                else if (s.name == QLatin1String("w:doNotExpandShiftReturn"))
                    m_t.justifyBrokenLines = !onOff(&s);
        } else if (c.name == QLatin1String("m:mathPr")) {
            if (const Node* jc = c.child(u"m:defJc"))
                m_mathAlign = mathAlign(jc->attr(u"m:val"), m_mathAlign);
        } else if (c.name == QLatin1String("w:mailMerge")) {
            if (const Node* type = c.child(u"w:mainDocumentType")) {
                const QString v = type->attr(u"w:val");
                m_t.type = v == QLatin1String("catalog")         ? MainType::Catalog
                           : v == QLatin1String("mailingLabels") ? MainType::Labels
                                                                 : MainType::Letters;
            }
        }
    }
}

void Reader::pageSetup(const Node& sectPr, PageSetup& pg) {
    if (const Node* size = sectPr.child(u"w:pgSz")) {
        pg.widthTwips = intAttr(*size, u"w:w", pg.widthTwips);
        pg.heightTwips = intAttr(*size, u"w:h", pg.heightTwips);
        if (size->attr(u"w:orient") == QLatin1String("landscape") && pg.widthTwips < pg.heightTwips)
            std::swap(pg.widthTwips, pg.heightTwips);
    }
    if (const Node* m = sectPr.child(u"w:pgMar")) {
        // A negative top or bottom margin keeps the body there whatever the header's height.
        pg.topTwips = clampPositiveTwips(std::abs(qint64(intAttr(*m, u"w:top", pg.topTwips))));
        pg.bottomTwips = clampPositiveTwips(std::abs(qint64(intAttr(*m, u"w:bottom", pg.bottomTwips))));
        pg.leftTwips =
            clampPositiveTwips(qint64(intAttr(*m, u"w:left", pg.leftTwips)) + intAttr(*m, u"w:gutter"));
        pg.rightTwips = clampPositiveTwips(intAttr(*m, u"w:right", pg.rightTwips));
        pg.headerTwips = clampTwips(intAttr(*m, u"w:header", pg.headerTwips), 1, kMaxTwips);
        pg.footerTwips = clampTwips(intAttr(*m, u"w:footer", pg.footerTwips), 1, kMaxTwips);
    }
    m_textWidthTwips = qMax(0, pg.widthTwips - pg.leftTwips - pg.rightTwips);
    // Rules around the page and line numbers are the section's own as well.
    pg.pageBorders = Borders{};
    pg.pageBordersFromText = true;
    if (const Node* rules = sectPr.child(u"w:pgBorders")) {
        pg.pageBordersFromText = rules->attr(u"w:offsetFrom") != QLatin1String("page");
        const std::pair<const char16_t*, Side> sides[] = {{u"w:top", Side::Top},
                                                          {u"w:left", Side::Left},
                                                          {u"w:bottom", Side::Bottom},
                                                          {u"w:right", Side::Right}};
        for (const auto& [name, side] : sides)
            if (const Node* b = rules->child(name))
                edge(pg.pageBorders, side) = border(*b);
    }
    pg.lineNumberStep = 0;
    if (const Node* numbers = sectPr.child(u"w:lnNumType")) {
        // Word writes the first number less one.
        pg.lineNumberStep = qBound(0, intAttr(*numbers, u"w:countBy", 1), 100);
        pg.lineNumberStart = qBound(0, intAttr(*numbers, u"w:start", 0), 32766) + 1;
        pg.lineNumberGapTwips = qBound(0, intAttr(*numbers, u"w:distance", 0), 1440 * 4);
        const QString restart = numbers->attr(u"w:restart");
        pg.lineNumberRestart = restart == QLatin1String("newSection")   ? PageSetup::Restart::Section
                               : restart == QLatin1String("continuous") ? PageSetup::Restart::Continuous
                                                                        : PageSetup::Restart::Page;
    }
    pg.pageNumberStart = 0;
    pg.pageNumberFormat.clear();
    if (const Node* numbers = sectPr.child(u"w:pgNumType")) {
        pg.pageNumberStart = qBound(0, intAttr(*numbers, u"w:start"), 32767);
        const QString fmt = numbers->attr(u"w:fmt");
        if (fmt != QLatin1String("decimal"))
            pg.pageNumberFormat = fmt;
    }
    // A grid of lines that the text keeps to: East Asian layout, which Word offers any document.
    pg.lineGridTwips = 0;
    if (const Node* grid = sectPr.child(u"w:docGrid")) {
        const QString type = grid->attr(u"w:type");
        if (type == QLatin1String("lines") || type == QLatin1String("linesAndChars"))
            pg.lineGridTwips = clampTwips(intAttr(*grid, u"w:linePitch", 0), 0, kMaxTwips);
    }
    // A section's columns are its own: a section that gives none has one.
    pg.columns = 1;
    pg.columnGapTwips = 720;
    pg.columnRule = false;
    pg.columnWidths.clear();
    pg.columnGaps.clear();
    if (const Node* cols = sectPr.child(u"w:cols")) {
        const QString sep = cols->attr(u"w:sep");
        pg.columnRule = !sep.isEmpty() && sep != QLatin1String("0") && sep != QLatin1String("false") &&
                        sep != QLatin1String("off");
        pg.columns = qBound(1, intAttr(*cols, u"w:num", 1), 45);
        pg.columnGapTwips = clampPositiveTwips(intAttr(*cols, u"w:space", 720));
        // Columns of their own widths are set as equal ones, with the first gap given between them.
        const QString equal = cols->attr(u"w:equalWidth");
        if (equal == QLatin1String("0") || equal == QLatin1String("false") || equal == QLatin1String("off")) {
            int count = 0;
            for (const Node& c : cols->children)
                if (c.name == QLatin1String("w:col") && count < 45) {
                    if (count++ == 0 && c.has(u"w:space"))
                        pg.columnGapTwips = clampPositiveTwips(intAttr(c, u"w:space"));
                    pg.columnWidths.push_back(clampPositiveTwips(intAttr(c, u"w:w")));
                    pg.columnGaps.push_back(clampPositiveTwips(intAttr(c, u"w:space")));
                }
            if (count > 0)
                pg.columns = count;
        }
    }
}

// The headers and footers a section names; those it does not name stay as the section before left them.
template <class Bands> void Reader::sectionBands(const Node& sectPr, Bands& out) {
    out.titlePage = onOff(sectPr.child(u"w:titlePg"));
    for (const Node& c : sectPr.children) {
        const bool header = c.name == QLatin1String("w:headerReference");
        if (!header && c.name != QLatin1String("w:footerReference"))
            continue;
        const QString type = c.attr(u"w:type");
        Story& story = type == QLatin1String("first")  ? (header ? out.firstHeader : out.firstFooter)
                       : type == QLatin1String("even") ? (header ? out.evenHeader : out.evenFooter)
                                                       : (header ? out.header : out.footer);
        story = storyPart(c.attr(u"r:id"));
    }
    // A section with an even-page band and no default one still has a band on its other pages, as
    // LibreOffice sets it: an empty paragraph in the band's style, which prints nothing but takes room.
    if (out.header.empty() && !out.evenHeader.empty())
        out.header = emptyBand(u"header");
    if (out.footer.empty() && !out.evenFooter.empty())
        out.footer = emptyBand(u"footer");
}

// One empty paragraph in the style Word names `styleName`, or in the document's default style.
Story Reader::emptyBand(QStringView styleName) {
    Node pStyle;
    pStyle.name = QStringLiteral("w:pStyle");
    const QString id = m_styles.styleNamed(styleName.toString());
    if (!id.isEmpty())
        pStyle.attributes.emplace_back(QStringLiteral("w:val"), id);
    Node pPr;
    pPr.name = QStringLiteral("w:pPr");
    if (!id.isEmpty())
        pPr.children.push_back(std::move(pStyle));
    Node para;
    para.name = QStringLiteral("w:p");
    para.children.push_back(std::move(pPr));
    Node root;
    root.name = styleName == u"header" ? QStringLiteral("w:hdr") : QStringLiteral("w:ftr");
    root.children.push_back(std::move(para));
    Story story;
    StoryState st;
    st.blocks = &story.blocks;
    st.part = m_main;
    st.rels = &m_mainRels;
    blocks(root, st);
    finishStory(st);
    return story;
}

// The section that starts after the body's blocks so far, from `sectPr`, the properties that end it.
void Reader::startSection(const Node& sectPr) {
    if (m_t.sections.size() >= kMaxSections)
        return;
    Section next = continuedSection(m_t);
    next.firstBlock = int(m_t.body.blocks.size());
    const Node* type = sectPr.child(u"w:type");
    next.newPage = !type || type->attr(u"w:val") != QLatin1String("continuous");
    pageSetup(sectPr, next.page);
    sectionBands(sectPr, next);
    m_t.sections.push_back(std::move(next));
}

// The first section's setup is the document's own until a later section gives its own.
void Reader::firstSection(const Node& sectPr) {
    pageSetup(sectPr, m_t.page);
    sectionBands(sectPr, m_t);
}

int Reader::note(const QString& id, bool endnote, StoryState& st) {
    constexpr size_t kMaxNotes = 1000; // each page's notes are laid out for every letter
    NotesPart& notes = m_notesParts[endnote ? 1 : 0];
    if (!notes.read) {
        notes.read = true;
        for (auto it = m_mainRels.constBegin(); it != m_mainRels.constEnd(); ++it)
            if (it->type == QLatin1String(endnote ? "endnotes" : "footnotes") && !it->external) {
                notes.part = m_pkg.target(m_mainRels, it.key(), m_main);
                notes.xml = m_pkg.xml(notes.part);
                notes.rels = m_pkg.relationships(notes.part);
                break;
            }
    }
    if (m_t.notes.size() >= kMaxNotes)
        return -1;
    const QLatin1String element(endnote ? "w:endnote" : "w:footnote");
    for (const Node& n : notes.xml.children) {
        if (n.name != element || n.attr(u"w:id") != id)
            continue;
        Note out;
        out.endnote = endnote;
        StoryState inner;
        inner.blocks = &out.text.blocks;
        inner.part = notes.part;
        inner.rels = &notes.rels;
        inner.inNote = true;
        inner.inTextBox = st.inTextBox;
        blocks(n, inner);
        finishStory(inner);
        m_t.notes.push_back(std::move(out));
        return int(m_t.notes.size() - 1);
    }
    return -1;
}

} // namespace docx

} // namespace wordproc
