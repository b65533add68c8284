// Reading Word 2007+ documents: the main part, headers and footers, paragraphs and runs (sections and
// notes in DocxSections.cpp, tables in DocxTables.cpp, content controls in DocxBindings.cpp), into the
// same Template the RTF reader fills.

#include "wordproc/DocxReader.h"

#include "wordproc/DocxPrivate.h"
#include "wordproc/ListNumbers.h"
#include "wordproc/RtfReader.h"
#include "wordproc/Twips.h"

#include <QImageReader>
#include <algorithm>
#include <array>
#include <tuple>

namespace wordproc {

namespace docx {

Template Reader::run() {
    m_main = m_pkg.mainPart();
    m_mainRels = m_pkg.relationships(m_main);
    m_document = m_pkg.xml(m_main);
    const Node* body = m_document.child(u"w:body");
    if (m_document.name != QLatin1String("w:document") || !body)
        m_pkg.fail(QStringLiteral("its main part \"%1\" is not a Word document body").arg(m_main));
    // Word spaces paragraphs as HTML does, by the larger of the two spaces, unless its settings say not to.
    m_t.largerSpaceBetween = true;
    // The parts the styles need first: the theme's fonts, then the styles and lists.
    for (const char* type : {"theme", "styles", "numbering", "settings"})
        for (auto it = m_mainRels.constBegin(); it != m_mainRels.constEnd(); ++it) {
            if (it->type != QLatin1String(type) || it->external)
                continue;
            const QString part = m_pkg.target(m_mainRels, it.key(), m_main);
            if (it->type == QLatin1String("theme")) {
                m_themeXml = m_pkg.xml(part);
                m_styles.readTheme(m_themeXml);
            } else if (it->type == QLatin1String("styles")) {
                m_stylesXml = m_pkg.xml(part);
                m_styles.readStyles(m_stylesXml);
            } else if (it->type == QLatin1String("numbering")) {
                m_numberingXml = m_pkg.xml(part);
                m_numberingPart = part;
                m_numberingRels = m_pkg.relationships(part);
                m_styles.readNumbering(m_numberingXml);
            } else {
                readSettings(m_pkg.xml(part));
            }
            break;
        }
    m_t.italicsKeepRoom = m_compatibility >= 15;
    m_t.spaceAsianText = true;
    // The paper's colour prints only where the settings show it; a theme colour stands in its plain
    // value, as LibreOffice takes it.
    if (const Node* background = m_document.child(u"w:background"); background && m_showBackground)
        m_t.pageColor = hexColor(background->attr(u"w:color"));
    CharProps defaults;
    m_styles.applyDefaultRPr(defaults);
    m_t.defaultFamily = defaults.format.family.isEmpty() ? m_styles.defaultFamily() : defaults.format.family;

    // Sections end with the paragraph whose properties hold them, the last with the body.
    // Content controls and the like may wrap such a paragraph, as they wrap the body's others.
    const auto collect = [this](const auto& self, const Node& container, int depth) -> void {
        for (const Node& c : container.children) {
            if (c.name == QLatin1String("w:p")) {
                if (const Node* pPr = c.child(u"w:pPr"))
                    if (const Node* s = pPr->child(u"w:sectPr"))
                        m_sections.push_back(s);
            } else if (c.name == QLatin1String("w:sectPr") && depth == 0) {
                m_sections.push_back(&c);
            } else if (depth < kMaxDepth &&
                       (c.name == QLatin1String("w:customXml") || c.name == QLatin1String("w:ins") ||
                        c.name == QLatin1String("w:moveTo") || c.name == QLatin1String("w:smartTag"))) {
                self(self, c, depth + 1);
            } else if (depth < kMaxDepth && c.name == QLatin1String("w:sdt")) {
                if (const Node* content = c.child(u"w:sdtContent"))
                    self(self, *content, depth + 1);
            }
        }
    };
    collect(collect, *body, 0);
    if (!m_sections.empty()) {
        firstSection(*m_sections.front());
    }

    StoryState st;
    st.blocks = &m_t.body.blocks;
    st.part = m_main;
    st.rels = &m_mainRels;
    // LibreOffice sets an empty paragraph above a table that opens the document when the document has
    // a footnote or an endnote, in the table or anywhere after it.
    const Node opening{QStringLiteral("w:p"), {}, {}, {}};
    const auto first = std::find_if(body->children.begin(), body->children.end(), [](const Node& c) {
        return c.name == QLatin1String("w:p") || c.name == QLatin1String("w:tbl");
    });
    if (first != body->children.end() && first->name == QLatin1String("w:tbl") &&
        (body->find(u"w:footnoteReference") || body->find(u"w:endnoteReference")))
        paragraph(opening, st);
    blocks(*body, st);
    finishStory(st);
    // Automatic spacing sets nothing above the document's first paragraph, as a web page's body has
    // no margin above it; after a page break it does.
    if (st.firstAutoBefore && !m_t.body.blocks.empty())
        if (Paragraph* opening = std::get_if<Paragraph>(&m_t.body.blocks.front()))
            opening->format.beforeTwips = 0;
    // LibreOffice sets the document's last paragraph, when it is empty, in its style's letters: the
    // size its mark is given does not count, larger or smaller.
    if (!m_t.body.blocks.empty())
        if (Paragraph* last = std::get_if<Paragraph>(&m_t.body.blocks.back());
            last && last->runs.empty() && last->blankFormat >= 0)
            last->markFormat = last->blankFormat;

    m_t.fileName = m_fileName;
    leaveRoomToWrite(m_t.page);
    return std::move(m_t);
}

Story Reader::storyPart(const QString& id) {
    const QString part = m_pkg.target(m_mainRels, id, m_main);
    const auto known = m_storyParts.constFind(part);
    if (known != m_storyParts.constEnd())
        return *known;
    Story story;
    const Node root = m_pkg.xml(part);
    const Relationships rels = m_pkg.relationships(part);
    StoryState st;
    st.blocks = &story.blocks;
    st.part = part;
    st.rels = &rels;
    blocks(root, st);
    finishStory(st);
    m_storyParts.insert(part, story);
    return story;
}

void Reader::finishStory(StoryState& st) {
    // A field left open at the story's end: the line its paragraph's end made is no line.
    if (!st.fields.empty() && !st.fields.back().field.result.empty() &&
        st.fields.back().field.result.back().kind == Run::LineBreak)
        st.fields.back().field.result.pop_back();
    while (!st.fields.empty())
        dropField(st);
    if (st.open)
        endParagraph(st);
    if (!st.dropCap.empty()) {
        Paragraph last;
        last.runs = std::move(st.dropCap);
        st.blocks->emplace_back(std::move(last));
        st.dropCap.clear();
    }
    // Frames after the story's last paragraph: a paragraph of their own anchors them.
    if (!st.frames.empty()) {
        Paragraph last;
        last.runs = std::move(st.frames);
        st.blocks->emplace_back(std::move(last));
        st.frames.clear();
    }
    // A cell or a box keeps a line all the same.
    if (st.blocks->empty() && st.hiddenParagraph)
        st.blocks->emplace_back(std::move(*st.hiddenParagraph));
}

void Reader::blocks(const Node& container, StoryState& st) {
    const std::vector<Node>& children = container.children;
    for (size_t i = 0; i < children.size(); ++i) {
        const Node& c = children[i];
        if (const std::optional<Node> props =
                st.inTextBox || st.open || !st.fields.empty() ? std::nullopt : frameOf(c)) {
            // Paragraphs one after the other with the same frame properties share one frame.
            std::vector<const Node*> nodes{&c};
            while (c.name == QLatin1String("w:p") && i + 1 < children.size()) {
                const std::optional<Node> next = frameOf(children[i + 1]);
                if (!next || children[i + 1].name != QLatin1String("w:p") ||
                    next->attributes != props->attributes)
                    break;
                nodes.push_back(&children[++i]);
            }
            if (frame(nodes, *props, st))
                continue;
            for (const Node* n : nodes)
                n->name == QLatin1String("w:p") ? paragraph(*n, st) : table(*n, st);
            continue;
        }
        if (c.name == QLatin1String("w:p")) {
            paragraph(c, st);
        } else if (c.name == QLatin1String("w:tbl")) {
            table(c, st);
        } else if (c.name == QLatin1String("w:sdt")) {
            if (const Node* content = c.child(u"w:sdtContent"))
                blockControl(c, *content, st);
        } else if (c.name == QLatin1String("w:customXml") || c.name == QLatin1String("w:ins") ||
                   c.name == QLatin1String("w:moveTo") || c.name == QLatin1String("w:smartTag")) {
            blocks(c, st);
        }
    }
}

CharProps Reader::runProps(const CharProps& base, const Node* rPr, bool styled) const {
    CharProps p = base;
    if (!rPr)
        return p;
    if (const Node* style = styled ? rPr->child(u"w:rStyle") : nullptr)
        for (const Style* s : m_styles.chain(style->attr(u"w:val")))
            m_styles.applyRPr(s->rPr, p);
    m_styles.applyRPr(rPr, p);
    return p;
}

int Reader::format(const CharFormat& f) {
    return m_formatTable.indexOf(m_t.formats, f);
}

namespace {

// The paragraph's display equation when nothing of its own prints beside it.
const Node* displayEquation(const Node& p) {
    const Node* display = nullptr;
    for (const Node& c : p.children) {
        if (c.name == QLatin1String("m:oMathPara")) {
            if (display)
                return nullptr;
            display = &c;
        } else if (c.name == QLatin1String("w:r")) {
            for (const Node& inner : c.children)
                if (inner.name != QLatin1String("w:rPr") &&
                    inner.name != QLatin1String("w:lastRenderedPageBreak"))
                    return nullptr;
        } else if (c.name != QLatin1String("w:pPr") && c.name != QLatin1String("w:bookmarkStart") &&
                   c.name != QLatin1String("w:bookmarkEnd") && c.name != QLatin1String("w:proofErr")) {
            return nullptr;
        }
    }
    return display;
}

} // namespace

void Reader::paragraph(const Node& p, StoryState& st) {
    const Node* pPr = p.child(u"w:pPr");
    const std::optional<StoryState::ControlStart> control = std::exchange(st.controlStart, std::nullopt);
    // Word sets a dropped capital as a paragraph of its own in a frame beside the lines of the next; its
    // letters begin that paragraph's first word, and are printed there.
    if (const Node* frame = pPr ? pPr->child(u"w:framePr") : nullptr;
        frame && !st.open && st.fields.empty() && !pPr->child(u"w:sectPr") &&
        (frame->attr(u"w:dropCap") == QLatin1String("drop") ||
         frame->attr(u"w:dropCap") == QLatin1String("margin"))) {
        st.pieces.assign(1, {});
        CharProps base;
        m_styles.applyDefaultRPr(base);
        inlines(p, st, base);
        if (st.fields.empty())
            for (std::vector<Run>& piece : st.pieces)
                for (Run& r : piece)
                    if (r.kind == Run::Text)
                        st.dropCap.push_back(std::move(r));
        st.pieces.clear();
        return;
    }
    const Node* styleNode = pPr ? pPr->child(u"w:pStyle") : nullptr;
    const QString styleId =
        styleNode ? styleNode->attr(u"w:val") : m_styles.defaultStyle(QStringLiteral("paragraph"));
    const std::vector<const Style*> chain = m_styles.chain(styleId);

    // Properties in the order they override one another: the document's defaults, the table style, the
    // paragraph style and those it is based on, the list level, the paragraph's own. A list that a style
    // numbers by has its level just below that style instead: that style's own indents, and those of the
    // styles based on it, outrank the level's, as LibreOffice sets them.
    size_t levelAt = chain.size();
    if (!(pPr && pPr->child(u"w:numPr")))
        for (size_t i = chain.size(); i-- > 0;)
            if (chain[i]->pPr && chain[i]->pPr->child(u"w:numPr")) {
                levelAt = i;
                break;
            }
    const auto paraProps = [&](const Level* level) {
        ParaProps pp;
        // Word keeps widows and orphans off its pages unless told otherwise; only "off" is written.
        pp.format.widowControl = true;
        m_styles.applyDefaultPPr(pp);
        for (const Node* n : st.tablePPr)
            m_styles.applyPPr(n, pp);
        for (size_t i = 0; i <= chain.size(); ++i) {
            if (level && i == levelAt)
                m_styles.applyPPr(level->pPr, pp);
            if (i < chain.size())
                m_styles.applyStylePPr(*chain[i], pp);
        }
        m_styles.applyPPr(pPr, pp);
        return pp;
    };
    ParaProps pp = paraProps(nullptr);
    const Level* level = pp.hasNumbering ? m_styles.level(pp.numId, pp.level) : nullptr;
    if (level) {
        const ParaProps own = pp;
        pp = paraProps(level);
        pp.numId = own.numId;
        pp.level = own.level;
        pp.hasNumbering = true;
    }
    CharProps base;
    m_styles.applyDefaultRPr(base);
    for (const Node* n : st.tableRPr)
        m_styles.applyRPr(n, base);
    for (const Style* s : chain)
        m_styles.applyRPr(s->rPr, base);
    st.tableOverStyles.clear();
    for (const Node* n : st.tableRPr) {
        if (!n)
            continue;
        Node unset{n->name, {}, {}, {}};
        for (const Node& property : n->children)
            if (std::none_of(chain.begin(), chain.end(),
                             [&](const Style* s) { return s->rPr && s->rPr->child(property.name); }))
                unset.children.push_back(property);
        st.tableOverStyles.push_back(std::move(unset));
    }
    // The paragraph mark's highlight or shading is no letter's: Word shows it on no line.
    CharProps mark = runProps(base, pPr ? pPr->child(u"w:rPr") : nullptr);
    mark.format.background = QColor();

    // A hidden paragraph mark hides no number while the paragraph shows text, as in LibreOffice: the
    // number waits for the paragraph's text. A paragraph that shows nothing, its text or its mark
    // hidden, takes no line at all; its number is counted.
    const bool fresh = !st.open;
    QString number;
    const auto placeNumber = [&] {
        CharProps np = mark;
        np.hidden = false;
        m_styles.applyRPr(level->rPr, np);
        np.format.underline = false;
        // A bullet in a symbol font, which stands as the Unicode bullet it shows, prints in
        // LibreOffice's own symbol face, as LibreOffice prints it. Dingbats' pictures are none of
        // Word's usual bullets: they are read by that font's own encoding.
        QString shown = number;
        if (level->format == QLatin1String("bullet") &&
            symbolSetOfFont(np.format.family) == SymbolSet::Dingbats)
            shown = symbolCharacters(level->text, SymbolSet::Dingbats);
        if (level->format == QLatin1String("bullet") &&
            (np.format.family.contains(QLatin1String("Symbol")) ||
             np.format.family.contains(QLatin1String("Wingdings")) ||
             symbolSetOfFont(np.format.family) == SymbolSet::Dingbats))
            np.format.family = QStringLiteral("OpenSymbol");
        const int bullet = level->format == QLatin1String("bullet") ? pictureBullet(st, *level) : -1;
        if ((bullet >= 0 || !shown.isEmpty()) && !np.hidden) {
            if (bullet >= 0)
                addRun(st, Run{Run::Picture, format(np.format), bullet, {}});
            else
                addText(st, shown, format(np.format));
            const QString& jc = level->jc;
            st.format.numberAlign = jc == QLatin1String("center") ? ParaFormat::Center
                                    : jc == QLatin1String("right") || jc == QLatin1String("end")
                                        ? ParaFormat::Right
                                        : ParaFormat::Left;
            // In a right-to-left paragraph LibreOffice sets a left-aligned number with its left side on
            // the first line's indent, as it would a right-aligned one left to right: it ends there.
            if (st.format.rightToLeft && st.format.numberAlign != ParaFormat::Center)
                st.format.numberAlign =
                    st.format.numberAlign == ParaFormat::Left ? ParaFormat::Right : ParaFormat::Left;
            if (level->suffix == QLatin1String("space"))
                addText(st, QStringLiteral(" "), format(np.format));
            else if (level->suffix != QLatin1String("nothing"))
                addRun(st, Run{Run::Tab, format(np.format), -1, {}});
        }
        // The tab after the number stops at the hanging indent, as in Word.
        ParaFormat& f = st.format;
        if (f.firstTwips < 0 && f.tabs.size() < kMaxTabs &&
            std::none_of(f.tabs.begin(), f.tabs.end(), [&](const TabStop& t) {
                return t.twips > f.leftTwips + f.firstTwips && t.twips <= f.leftTwips;
            })) {
            f.tabs.push_back(TabStop{f.leftTwips, TabStop::Left, TabStop::NoLeader});
            std::sort(f.tabs.begin(), f.tabs.end(),
                      [](const TabStop& a, const TabStop& b) { return a.twips < b.twips; });
        }
    };
    if (!st.open) {
        st.pieces.assign(1, {});
        st.complexBefore = false;
        // LibreOffice anchors a table's frame in the paragraph after it; a right-to-left one has the
        // frame's offset count from the right, as it has a drawing's.
        for (Run& r : st.frames) {
            if (const auto mirrored = m_mirroredFrameLeft.constFind(r.index);
                pp.format.rightToLeft && r.kind == Run::Floating &&
                mirrored != m_mirroredFrameLeft.constEnd())
                m_t.floats[size_t(r.index)].leftTwips = qBound(-1440 * 50, *mirrored, 1440 * 50);
            addRun(st, std::move(r));
        }
        st.frames.clear();
        st.format = pp.format;
        // A display equation alone in its paragraph stands where the equation says, not where the
        // paragraph's own alignment would put text.
        if (const Node* display = displayEquation(p)) {
            const Node* props = display->child(u"m:oMathParaPr");
            const Node* jc = props ? props->child(u"m:jc") : nullptr;
            st.format.align = jc ? mathAlign(jc->attr(u"m:val"), m_mathAlign) : m_mathAlign;
        }
        st.markFormat = format(mark.format);
        st.ownFormat = format(base.format);
        st.style = styleId;
        st.contextual = pp.contextual;
        st.autoBefore = pp.autoBefore;
        st.autoAfter = pp.autoAfter;
        st.list = level ? pp.numId : QString();
        if (level)
            number = m_styles.nextNumber(pp.numId, pp.level);
        if (level && !mark.hidden)
            placeNumber();
    }
    if (!st.dropCap.empty() && !st.open) {
        // In the size of the paragraph's text and on its baseline (the letter's lowering is its frame's):
        // the line is not made taller for it.
        for (Run& r : st.dropCap) {
            CharFormat f = m_t.formats[size_t(r.format)];
            f.halfPoints = m_t.formats[size_t(st.markFormat)].halfPoints;
            f.raiseHalfPoints = 0;
            addText(st, r.text, format(f));
        }
        st.dropCap.clear();
    }
    if (fresh)
        st.hiddenText = false;
    const bool binds = control && control->value && !st.bound;
    if (binds) {
        st.bound = control->value;
        st.boundShown = false;
    }
    const int plain = control && control->plain ? 1 : 0;
    st.plainRuns += plain;
    inlines(p, st, base);
    st.plainRuns -= plain;
    if (binds) {
        if (!st.boundShown)
            addBoundText(st, format(plain ? base.format : mark.format));
        st.bound.reset();
    }
    const Node* sectPr = pPr ? pPr->child(u"w:sectPr") : nullptr;
    bool showsNothing = false;
    if (fresh && (mark.hidden || st.hiddenText) && st.fields.empty() && st.pieces.size() == 1) {
        showsNothing = st.pieces.front().empty() && st.dropCap.empty();
        if (!showsNothing && level && mark.hidden) {
            std::vector<Run> content = std::move(st.pieces.front());
            st.pieces.front().clear();
            placeNumber();
            st.pieces.front().insert(st.pieces.front().end(), std::make_move_iterator(content.begin()),
                                     std::make_move_iterator(content.end()));
        }
    }
    const size_t blocksBefore = st.blocks->size();
    if (resultsStandAsStored(st)) {
        // The fields' text so far joins the paragraph; the rest of their results follows as plain text,
        // and each end closes the field it stands for in `ranOn`.
        for (const OpenField& f : st.fields)
            st.ranOn.push_back(isContents(f));
        while (!st.fields.empty())
            dropField(st);
    }
    if (!st.fields.empty()) {
        // A field this program evaluates runs on past the paragraph's end: the paragraphs of its result
        // become lines of one.
        if (st.fields.back().inResult)
            addRun(st, Run{Run::LineBreak, st.markFormat, -1, {}});
        else
            st.fields.back().field.code.push_back(Run{Run::LineBreak, st.markFormat, -1, {}});
        st.open = true;
    } else {
        st.hiddenMark = showsNothing && !sectPr;
        endParagraph(st);
    }
    if (sectPr) {
        // A section starts a new page unless the next one says it goes on where this one ends.
        ++m_section;
        const Node* next = m_section < m_sections.size() ? m_sections[m_section] : nullptr;
        const Node* type = next ? next->child(u"w:type") : nullptr;
        const bool continuous = type && type->attr(u"w:val") == QLatin1String("continuous");
        if (!continuous)
            st.breakPending = true;
        const Paragraph* mark = st.blocks == &m_t.body.blocks && blocksBefore + 1 == st.blocks->size()
                                    ? std::get_if<Paragraph>(&st.blocks->back())
                                    : nullptr;
        const int sectionStart = m_t.sections.empty() ? 0 : m_t.sections.back().firstBlock;
        // LibreOffice keeps the line of a section that opens with a table where the next goes on.
        const bool opensWithTable = mark && size_t(sectionStart) < st.blocks->size() &&
                                    std::holds_alternative<Table>((*st.blocks)[size_t(sectionStart)]);
        // An empty paragraph that only ends a section takes no line in LibreOffice: neither where the
        // next section goes on on the same page, nor before a new page, where it would otherwise stand
        // alone on a page of its own after a page break or a full page. A section of nothing else keeps
        // it, and so its page.
        if (mark && mark->runs.empty() &&
            (continuous ? !mark->format.pageBreakBefore && !opensWithTable
                        : int(st.blocks->size()) - 1 > sectionStart))
            st.blocks->pop_back();
        if (next && st.blocks == &m_t.body.blocks)
            startSection(*next);
    }
}

void Reader::endParagraph(StoryState& st) {
    st.open = false;
    bool breakBefore = false;
    // Page breaks that end the paragraph break before the next one, as LibreOffice reads them: no empty
    // line opens the new page, and several breaks there make one.
    size_t end = st.pieces.size();
    while (end > 1 && st.pieces[end - 1].empty())
        --end;
    const bool breakAfter = end < st.pieces.size();
    // A paragraph that shows nothing, its mark or its text hidden, takes no line, in LibreOffice as in
    // Word.
    const bool hidden = st.hiddenMark && !st.breakPending && st.pieces.size() == 1 && st.pieces[0].empty();
    st.hiddenMark = false;
    for (size_t i = 0; i < end; ++i) {
        if (i == 0 && st.pieces[i].empty() && end > 1) {
            // A page break that opens the paragraph moves the whole of it.
            breakBefore = true;
            continue;
        }
        Paragraph para;
        para.format = st.format;
        para.markFormat = st.markFormat;
        para.blankFormat = st.ownFormat;
        para.runs = std::move(st.pieces[i]);
        if (hidden) {
            st.hiddenParagraph = std::move(para);
            st.pieces.clear();
            return;
        }
        if (i > 0 || breakBefore || st.breakPending)
            para.format.pageBreakBefore = true;
        st.breakPending = false;
        breakBefore = false;
        // Paragraphs of one style with contextual spacing keep no space between them.
        Paragraph* previous = !st.blocks->empty() ? std::get_if<Paragraph>(&st.blocks->back()) : nullptr;
        if (i == 0 && previous && st.style == st.lastStyle) {
            if (st.contextual)
                para.format.beforeTwips = 0;
            if (st.lastContextual)
                previous->format.afterTwips = 0;
        }
        if (st.blocks->empty())
            st.firstAutoBefore = st.autoBefore;
        // Word spaces the items of one list automatically around the list, not between its items; an
        // item below one spaced so loses its own space above too, as in LibreOffice.
        if (i == 0 && previous && !st.list.isEmpty() && st.list == st.lastList) {
            if (st.autoBefore || st.lastAutoAfter)
                para.format.beforeTwips = 0;
            if (st.lastAutoAfter)
                previous->format.afterTwips = 0;
        }
        st.blocks->emplace_back(std::move(para));
    }
    st.breakPending = st.breakPending || breakAfter;
    st.pieces.clear();
    st.lastStyle = st.style;
    st.lastContextual = st.contextual;
    st.lastAutoAfter = st.autoAfter;
    st.lastList = st.list;
}

void Reader::inlines(const Node& parent, StoryState& st, const CharProps& base) {
    for (const Node& c : parent.children) {
        const QString& name = c.name;
        if (name == QLatin1String("w:r")) {
            run(c, st, base);
        } else if (name == QLatin1String("w:ins") && m_showDeletions) {
            // Shown with its changes marked, as the document asks, the way LibreOffice prints them.
            const auto kept = std::make_pair(st.revision, st.revisionColor);
            st.revision = StoryState::Revision::Inserted;
            st.revisionColor = authorColor(c.attr(u"w:author"));
            inlines(c, st, base);
            std::tie(st.revision, st.revisionColor) = kept;
        } else if (name == QLatin1String("w:hyperlink") || name == QLatin1String("w:smartTag") ||
                   name == QLatin1String("w:customXml") || name == QLatin1String("w:ins") ||
                   name == QLatin1String("w:moveTo") || name == QLatin1String("w:dir") ||
                   name == QLatin1String("w:bdo")) {
            inlines(c, st, base);
        } else if (name == QLatin1String("w:sdt")) {
            if (const Node* content = c.child(u"w:sdtContent"))
                inlineControl(c, *content, st, base);
        } else if (name == QLatin1String("w:del") || name == QLatin1String("w:moveFrom")) {
            // Word and LibreOffice print a tracked deletion struck through, unless the document is set
            // to show its changes made.
            if (m_showDeletions) {
                const auto kept = std::make_pair(st.revision, st.revisionColor);
                st.revision = StoryState::Revision::Deleted;
                st.revisionColor = authorColor(c.attr(u"w:author"));
                inlines(c, st, base);
                std::tie(st.revision, st.revisionColor) = kept;
            }
        } else if (name == QLatin1String("w:fldSimple")) {
            simpleField(c, st, base);
        } else if (name == QLatin1String("m:oMathPara") || name == QLatin1String("m:oMath")) {
            math(c, st, base, CharFormat::Script::Normal);
        }
    }
}

QColor Reader::authorColor(const QString& author) {
    qsizetype at = m_revisionAuthors.indexOf(author);
    if (at < 0) {
        at = m_revisionAuthors.size();
        m_revisionAuthors << author;
    }
    return revisionAuthorColour(at);
}

namespace {

// Whether the text being read is a table of contents' stored entries.
bool inContents(const StoryState& st) {
    return std::any_of(st.fields.begin(), st.fields.end(),
                       [](const OpenField& f) { return f.inResult && isContents(f); }) ||
           std::find(st.ranOn.begin(), st.ranOn.end(), true) != st.ranOn.end();
}

} // namespace

void Reader::run(const Node& r, StoryState& st, const CharProps& base) {
    // LibreOffice sets a table of contents' entries without their character styles (the links' blue
    // underlining above all), keeping only what their runs say themselves.
    const Node* rPr = r.child(u"w:rPr");
    const Node* charStyle = rPr && !inContents(st) ? rPr->child(u"w:rStyle") : nullptr;
    CharProps props = base;
    if (st.plainRuns == 0 && charStyle && !st.tableOverStyles.empty()) {
        // In a table, the table style's letters outrank the run's character style, but not what the
        // paragraph's style or the run itself says.
        for (const Style* s : m_styles.chain(charStyle->attr(u"w:val")))
            m_styles.applyRPr(s->rPr, props);
        for (const Node& n : st.tableOverStyles)
            m_styles.applyRPr(&n, props);
        m_styles.applyRPr(rPr, props);
    } else if (st.plainRuns == 0) {
        props = runProps(base, rPr, !inContents(st));
    }
    if (st.revision != StoryState::Revision::None) {
        props.format.color = st.revisionColor;
        if (st.revision == StoryState::Revision::Inserted) {
            props.format.underline = true;
            props.format.underlineStyle = CharFormat::Line::Single;
        } else {
            props.format.strike = true;
        }
    }
    const int fmt = format(props.format);
    for (const Node& c : r.children) {
        const QString& name = c.name;
        if (name == QLatin1String("w:fldChar")) {
            fieldChar(st, c, fmt);
            continue;
        }
        if (name == QLatin1String("w:instrText") || name == QLatin1String("w:delInstrText")) {
            if (!st.fields.empty() && !st.fields.back().inResult && st.ignoredFields == 0) {
                Field& f = st.fields.back().field;
                f.instruction += c.text;
                if (!f.code.empty() && f.code.back().kind == Run::Text && f.code.back().format == fmt)
                    f.code.back().text += c.text;
                else
                    f.code.push_back(Run{Run::Text, fmt, -1, c.text});
            }
            continue;
        }
        if (props.hidden) {
            st.hiddenText = true;
            continue;
        }
        if (st.bound) {
            // A bound control's own text gives way to its value, in its first text's format.
            if (!st.boundShown && name == QLatin1String("w:t"))
                addBoundText(st, fmt);
            continue;
        }
        if (name == QLatin1String("w:t") || name == QLatin1String("w:delText")) {
            const CharFormat complex = props.complexFormat();
            if (complex == props.format) {
                addText(st, c.text, fmt);
                continue;
            }
            const int complexFmt = format(complex);
            qsizetype from = 0;
            for (qsizetype i = 0; i <= c.text.size(); ++i) {
                const bool now = i < c.text.size() && !weakCharacter(c.text.at(i))
                                     ? complexLetter(c.text.at(i))
                                     : st.complexBefore;
                if (i == c.text.size() || now != st.complexBefore) {
                    addText(st, c.text.mid(from, i - from), st.complexBefore ? complexFmt : fmt);
                    from = i;
                    st.complexBefore = now;
                }
            }
        } else if (name == QLatin1String("w:tab")) {
            addRun(st, Run{Run::Tab, fmt, -1, {}});
        } else if (name == QLatin1String("w:ptab")) {
            // LibreOffice sets an absolute tab as a plain one, to the paragraph's next stop whatever its
            // alignment and leader; one aligned left that follows text starts a new line instead.
            const bool text = std::any_of(st.pieces.begin(), st.pieces.end(),
                                          [](const std::vector<Run>& piece) { return !piece.empty(); });
            const bool left = c.attr(u"w:alignment") == QLatin1String("left");
            addRun(st, Run{left && text ? Run::LineBreak : Run::Tab, fmt, -1, {}});
        } else if (name == QLatin1String("w:br")) {
            const QString type = c.attr(u"w:type");
            if (type == QLatin1String("page") || type == QLatin1String("column"))
                pageBreak(st, fmt);
            else if (st.plainTextControls == 0)
                addRun(st, Run{Run::LineBreak, fmt, -1, {}});
        } else if (name == QLatin1String("w:cr")) {
            if (st.plainTextControls == 0)
                addRun(st, Run{Run::LineBreak, fmt, -1, {}});
        } else if (name == QLatin1String("w:noBreakHyphen")) {
            addText(st, QStringLiteral("\u2011"), fmt);
        } else if (name == QLatin1String("w:sym")) {
            bool ok = false;
            const uint code = c.attr(u"w:char").toUInt(&ok, 16);
            if (ok && code > 0 && code < 0xFFFF)
                symbol(st, c.attr(u"w:font"), char16_t(code), fmt);
        } else if (name == QLatin1String("w:ruby")) {
            // Text with a pronunciation guide: the text itself. The guide Word sets above it in small
            // letters is left out, as a line of its own would have to make room for it.
            if (const Node* text = c.child(u"w:rubyBase"))
                inlines(*text, st, props);
        } else if (name == QLatin1String("w:drawing")) {
            drawing(c, st, fmt);
        } else if (name == QLatin1String("w:pict") || name == QLatin1String("w:object")) {
            vml(c, st, fmt);
        } else if (name == QLatin1String("w:footnoteReference") ||
                   name == QLatin1String("w:endnoteReference")) {
            const bool endnote = name == QLatin1String("w:endnoteReference");
            // A mark of the file's own follows in the text; otherwise the notes are numbered in order.
            if (c.attr(u"w:customMarkFollows") == QLatin1String("1") ||
                c.attr(u"w:customMarkFollows") == QLatin1String("true")) {
                m_noteMark.clear();
            } else {
                int& count = endnote ? m_endnotes : m_footnotes;
                const size_t kind = endnote ? 1 : 0;
                m_noteMark = listNumberText(m_noteStarts[kind] + count++, m_noteFormats[kind]);
                addText(st, m_noteMark, fmt);
            }
            const int index = st.inNote || st.inTextBox ? -1 : note(c.attr(u"w:id"), endnote, st);
            if (index >= 0)
                addRun(st, Run{Run::Note, fmt, index, {}});
        } else if (name == QLatin1String("w:footnoteRef") || name == QLatin1String("w:endnoteRef")) {
            if (st.inNote)
                addText(st, m_noteMark, fmt);
        }
    }
}

std::vector<Run>* Reader::target(StoryState& st) {
    if (!st.fields.empty())
        return st.fields.back().inResult ? &st.fields.back().field.result : nullptr;
    if (st.pieces.empty())
        st.pieces.emplace_back();
    return &st.pieces.back();
}

void Reader::addRun(StoryState& st, Run run) {
    if (std::vector<Run>* t = target(st))
        t->push_back(std::move(run));
}

void Reader::addText(StoryState& st, const QString& text, int format) {
    std::vector<Run>* t = target(st);
    if (!t || text.isEmpty())
        return;
    if (!t->empty() && t->back().kind == Run::Text && t->back().format == format)
        t->back().text += text;
    else
        t->push_back(Run{Run::Text, format, -1, text});
}

void Reader::pageBreak(StoryState& st, int format) {
    if (!st.fields.empty()) {
        addRun(st, Run{Run::LineBreak, format, -1, {}});
        return;
    }
    st.pieces.emplace_back();
}

} // namespace docx

Template readDocx(const QByteArray& data, const QString& fileName) {
    // A picture larger than this is refused by the decoder whatever the file claims; the reader checks
    // pixel counts before decoding as well.
    if (QImageReader::allocationLimit() == 0 || QImageReader::allocationLimit() > 256)
        QImageReader::setAllocationLimit(256);
    docx::Reader reader(data, fileName);
    return reader.run();
}

} // namespace wordproc
