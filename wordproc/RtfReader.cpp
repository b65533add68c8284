// Reading RTF: the document's start and end, paragraphs and stories, and the words that set character
// and paragraph properties or stand for special characters.

#include "wordproc/RtfReader.h"

#include "wordproc/RtfReaderPrivate.h"
#include "wordproc/Twips.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace wordproc {

namespace rtf {

Template Reader::run() {
    m_t.balanceSpaces = true;
    // Leading white space and a byte-order mark are tolerated; anything else must be RTF.
    while (m_p < m_end &&
           (uchar(*m_p) <= ' ' || uchar(*m_p) == 0xEF || uchar(*m_p) == 0xBB || uchar(*m_p) == 0xBF))
        ++m_p;
    if (m_end - m_p < 5 || std::memcmp(m_p, "{\\rtf", 5) != 0)
        fail(QStringLiteral("it is not an RTF document"));
    ++m_p;
    // A file that gives no side margins gets LibreOffice's inch, not the 1.25 inches of Word's own page.
    m_t.page.leftTwips = m_t.page.rightTwips = 1440;
    m_body.story = &m_t.body;
    State st;
    st.story = &m_body;
    parseGroup(st, 1);
    finishStory(m_body, st);
    closeSection();
    if (m_showBackground)
        m_t.pageColor = m_background;
    const auto it = m_fonts.find(m_defaultFont);
    m_t.defaultFamily = it != m_fonts.end() ? it->second.name : QString();
    m_t.fileName = m_fileName;
    leaveRoomToWrite(m_t.page);
    return std::move(m_t);
}

int Reader::format(const CharFormat& f) {
    return m_formatTable.indexOf(m_t.formats, f);
}

void Reader::addRun(State& st, Run run) {
    std::vector<Run>* target = st.target ? st.target : (st.story ? &st.story->runs : nullptr);
    if (!target)
        return;
    if (run.kind == Run::Text && !target->empty() && target->back().kind == Run::Text &&
        target->back().format == run.format) {
        target->back().text += run.text;
        return;
    }
    target->push_back(std::move(run));
}

// The paragraph ended now: the text gathered so far with the paragraph and mark formats in force.
Paragraph Reader::takeParagraph(State& st, StoryBuilder& b) {
    Paragraph p;
    p.format = st.para;
    // Word's automatic spacing, as LibreOffice reads it: 5 points above and below; with HTML's spacing
    // (\htmautsp) 14 points, but none above the first paragraph of the document or of a cell, nor
    // between two paragraphs that both space themselves so, where the one above already gives it.
    const bool firstInCell = st.inTable && b.cellParagraphs.empty();
    const bool firstInStory = !st.inTable && b.story && b.story->blocks.empty() && b.table.rows.empty() &&
                              b.cells.empty() && !b.breakPending && !b.sectionPending;
    const int autoSpacing = m_htmlAutoSpacing ? 280 : 100;
    if (st.autoBefore)
        p.format.beforeTwips =
            m_htmlAutoSpacing && (firstInCell || firstInStory || b.lastAutoAfter) ? 0 : autoSpacing;
    if (st.autoAfter)
        p.format.afterTwips = autoSpacing;
    const bool previousAutoAfter = b.lastAutoAfter;
    b.lastAutoAfter = st.autoAfter;
    // Between two paragraphs of the same style, each that asks for it drops its spacing on that side.
    Paragraph* previous = nullptr;
    if (st.inTable && !b.cellParagraphs.empty())
        previous = &b.cellParagraphs.back();
    else if (!st.inTable && b.story && !b.story->blocks.empty() && b.table.rows.empty() && b.cells.empty())
        previous = std::get_if<Paragraph>(&b.story->blocks.back());
    if (previous && b.lastStyle == st.style) {
        if (b.lastContextual)
            previous->format.afterTwips = 0;
        if (st.contextual)
            p.format.beforeTwips = 0;
    }
    // Automatic spacing keeps around a list, not between its items, at whatever level they stand; an
    // item below one spaced so loses its own space above too, as in LibreOffice.
    if (previous && st.list != 0 && st.list == b.lastList) {
        if (st.autoBefore || previousAutoAfter)
            p.format.beforeTwips = 0;
        if (previousAutoAfter)
            previous->format.afterTwips = 0;
    }
    b.lastList = st.list;
    // Under HTML's spacing LibreOffice sets two paragraphs the larger of the space after the one and
    // before the other apart, not both; a page break keeps the space before whole.
    if (m_htmlAutoSpacing && previous && !b.breakPending && !b.sectionPending && !p.format.pageBreakBefore)
        p.format.beforeTwips = qMax(0, p.format.beforeTwips - previous->format.afterTwips);
    b.lastStyle = st.style;
    b.lastContextual = st.contextual;
    p.format.shading = shading(st.paraBack, st.paraFore, st.paraShade);
    // An RTF paragraph's \ql and \qr are the sides they name whatever its direction, as LibreOffice
    // reads them; a right-to-left paragraph's Left is its start, the right side.
    if (p.format.rightToLeft && (p.format.align == ParaFormat::Left || p.format.align == ParaFormat::Right))
        p.format.align = p.format.align == ParaFormat::Left ? ParaFormat::Right : ParaFormat::Left;
    p.markFormat = format(st.chr);
    p.runs = listNumber(st, b, p.format);
    p.runs.insert(p.runs.end(), std::make_move_iterator(b.runs.begin()),
                  std::make_move_iterator(b.runs.end()));
    b.runs.clear();
    // LibreOffice spaces every paragraph so, \aspalpha or not.
    spaceAsianText(p.runs);
    return p;
}

void Reader::endParagraph(State& st, bool mark) {
    flushText(st);
    if (st.inResult || st.target) {
        if (mark)
            addRun(st, Run{Run::LineBreak, format(st.chr), -1, {}});
        return;
    }
    StoryBuilder* b = st.story;
    if (!b)
        return;
    m_paragraphInTableOfEntries = m_openTablesOfEntries > 0;
    // Word keeps the mark of a paragraph that ends in a page or column break on the page before the
    // break, so the next paragraph, not an empty line, opens the new page; \spltpgpar asks for the
    // empty line of Word 2000 after text, which LibreOffice leaves out after a break alone.
    if (mark && b->breakPending && (!m_splitBreakAndMark || !b->breakAfterText) && b->runs.empty() &&
        b->listText.empty() && b->frameAnchors.empty() && st.list <= 0 && tableDepth(st) == 0 &&
        !st.frame.set)
        return;
    Paragraph p = takeParagraph(st, *b);
    if (const int depth = tableDepth(st); depth > 0) {
        addCellParagraph(*b, std::move(p), depth);
        return;
    }
    flushTable(*b);
    if (st.frame.set && !st.inTextBox) {
        // A frame's paragraphs float where the frame lies; the text around them goes on.
        if (!(b->frame == st.frame))
            flushFrame(*b, st);
        b->frame = st.frame;
        b->frameText.blocks.emplace_back(std::move(p));
        return;
    }
    flushFrame(*b, st);
    if (b->breakPending || b->sectionPending) {
        p.format.pageBreakBefore = true;
        b->breakPending = b->sectionPending = false;
    }
    if (!b->frameAnchors.empty()) {
        p.runs.insert(p.runs.begin(), b->frameAnchors.begin(), b->frameAnchors.end());
        b->frameAnchors.clear();
    }
    b->story->blocks.emplace_back(std::move(p));
}

// The paragraphs of the frame being read become a text box of no fill or outline where the frame
// lies, anchored in the next paragraph of the story.
void Reader::flushFrame(StoryBuilder& b, const State& st) {
    if (b.frameText.empty())
        return;
    const FrameWords w = b.frame;
    Story text = std::move(b.frameText);
    b.frameText = Story{};
    b.frame = FrameWords{};
    if (m_t.textBoxes.size() >= kMaxTextBoxes) {
        // Past what a letter lays out: the frame's text stays in the flow.
        for (Block& block : text.blocks)
            b.story->blocks.push_back(std::move(block));
        return;
    }
    const PageSetup& pg = m_t.page;
    const int column = pg.widthTwips - pg.leftTwips - pg.rightTwips;
    Floating f;
    f.fromX = w.fromX;
    f.fromY = w.fromY;
    f.widthTwips = w.width > 0 ? w.width : column;
    // A frame without a width is as wide as its text, at the right or in the middle too: its text
    // keeps to that side of a frame as wide as the column (a footer's page number at the margin).
    if (w.width <= 0 && (w.across == FrameWords::Across::Right || w.across == FrameWords::Across::Center))
        for (Block& block : text.blocks)
            if (auto* para = std::get_if<Paragraph>(&block); para && para->format.align == ParaFormat::Left)
                para->format.align =
                    w.across == FrameWords::Across::Right ? ParaFormat::Right : ParaFormat::Center;
    f.heightTwips = w.height == 0 ? 0 : std::abs(w.height);
    const int across = w.fromX == Floating::From::Page ? pg.widthTwips : column;
    f.leftTwips = w.across == FrameWords::Across::Center  ? (across - f.widthTwips) / 2
                  : w.across == FrameWords::Across::Right ? across - f.widthTwips
                  : w.across == FrameWords::Across::Left  ? 0
                                                          : w.x;
    // Centred or at the bottom only with a height given; a frame as tall as its text stands at the top.
    const int down =
        w.fromY == Floating::From::Page ? pg.heightTwips : pg.heightTwips - pg.topTwips - pg.bottomTwips;
    f.topTwips = w.down == FrameWords::Down::At ? w.y : 0;
    if (w.down == FrameWords::Down::Center && f.heightTwips > 0)
        f.topTwips = (down - f.heightTwips) / 2;
    else if (w.down == FrameWords::Down::Bottom && f.heightTwips > 0)
        f.topTwips = down - f.heightTwips;
    // The distance to the text below is kept as the box's own room under its text.
    f.insetTwips[3] = w.gap;
    if (f.heightTwips > 0)
        f.heightTwips += w.gap;
    // A frame placed on the page rather than by its paragraph keeps the text below it, as the common
    // word processors print Word's frames.
    f.wrap = w.noWrap                               ? Floating::Wrap::None
             : w.fromY == Floating::From::Paragraph ? Floating::Wrap::Around
                                                    : Floating::Wrap::TopBottom;
    f.lineTwips = 0;
    m_t.textBoxes.push_back(std::move(text));
    f.text = int(m_t.textBoxes.size() - 1);
    m_t.floats.push_back(f);
    b.frameAnchors.push_back(Run{Run::Floating, format(st.chr), int(m_t.floats.size() - 1), {}});
}

void Reader::finishStory(StoryBuilder& b, const State& st) {
    State s = st;
    s.story = &b;
    s.target = nullptr;
    s.inResult = false;
    s.dest = Dest::Body;
    flushText(s);
    if (!b.runs.empty()) {
        s.inTable = false;
        s.tableDepth = 0;
        endParagraph(s, false);
    }
    flushTable(b);
    // A header or footer that ends with a table ends, in LibreOffice, with an empty paragraph after it,
    // which raises a footer by its line. It is a fresh paragraph of the default style, in the letters
    // the header's own group sets (not those of a group nested in it), and of that style's line spacing.
    if (&b == &m_band && !b.story->blocks.empty() && std::holds_alternative<Table>(b.story->blocks.back())) {
        State fresh = s;
        fresh.style = 0;
        fresh.para = ParaFormat{};
        inheritStyleLine(fresh);
        b.story->blocks.emplace_back(Paragraph{fresh.para, format(fresh.chr), -1, {}});
    }
    flushFrame(b, s);
    if (!b.frameAnchors.empty()) {
        // Frames at the story's end: its last paragraph anchors them.
        if (b.story->blocks.empty() || !std::holds_alternative<Paragraph>(b.story->blocks.back()))
            b.story->blocks.emplace_back(Paragraph{});
        auto& runs = std::get<Paragraph>(b.story->blocks.back()).runs;
        runs.insert(runs.end(), b.frameAnchors.begin(), b.frameAnchors.end());
        b.frameAnchors.clear();
    }
}

QColor Reader::shading(int back, int fore, int percent) const {
    // A shading percentage mixes the pattern colour (black by default) into the background (white).
    const QColor bg = color(back), fg = color(fore);
    const double share = qBound(0, percent, 10000) / 10000.0;
    if (share <= 0)
        return bg;
    const QColor under = bg.isValid() ? bg : QColor(Qt::white);
    const QColor over = fg.isValid() ? fg : QColor(Qt::black);
    const auto mix = [share](int a, int z) { return qRound(a + (z - a) * share); };
    return QColor(mix(under.red(), over.red()), mix(under.green(), over.green()),
                  mix(under.blue(), over.blue()));
}

void Reader::shadeLetters(State& st) {
    if (st.highlight > 0)
        st.chr.background = color(st.highlight);
    else if (st.charBack >= 0 || st.charShade > 0)
        st.chr.background = shading(st.charBack, st.charFore, st.charShade);
    else
        st.chr.background = QColor();
}

QColor Reader::color(int index) const {
    return index > 0 && size_t(index) < m_colors.size() ? m_colors[size_t(index)] : QColor();
}

void Reader::special(State& st, char16_t ch) {
    if (m_skip > 0) {
        --m_skip;
        return;
    }
    text(st, QString(QChar(ch)));
}

namespace {

// Which handlers take the words that begin with each letter, so that a word is compared only with the
// words it could be.
enum WordKinds : quint8 {
    Character = 1,
    Paragraph = 2,
    BorderEdge = 4,
    TableWord = 8,
    PageWord = 16,
    Special = 32,
    FrameWord = 64
};

constexpr std::array<quint8, 26> kKindsByLetter = [] {
    std::array<quint8, 26> kinds{};
    const auto set = [&kinds](char letter, int k) { kinds[size_t(letter - 'a')] = quint8(k); };
    set('a', Character | Paragraph | PageWord | FrameWord);
    set('b', Character | BorderEdge | Special);
    set('c', Character | Paragraph | BorderEdge | TableWord | PageWord | Special);
    set('d', Character | PageWord | FrameWord);
    set('e', Character | Special);
    set('f', Character | Paragraph | PageWord);
    set('h', Character | PageWord);
    set('i', Character | Paragraph | TableWord);
    set('k', Character | Paragraph);
    set('l', Character | Paragraph | PageWord | Special);
    set('m', PageWord);
    set('n', Character | Paragraph | TableWord | FrameWord);
    set('p', Character | Paragraph | BorderEdge | PageWord | Special | FrameWord);
    set('o', FrameWord);
    set('q', Paragraph);
    set('r', Character | Paragraph | TableWord | Special);
    set('s', Character | Paragraph | PageWord);
    set('t', Paragraph | BorderEdge | TableWord | PageWord | Special);
    set('u', Character | Special);
    set('v', Character | PageWord);
    set('w', Paragraph);
    return kinds;
}();

} // namespace

// Character, paragraph, section and document properties, table words and special characters. Each word
// belongs to one handler only.
void Reader::propertyWord(State& st, Word w, bool hasParam, int param) {
    const uchar letter = w.empty() ? 0 : uchar(w.front());
    if (letter < 'a' || letter > 'z')
        return;
    const quint8 kinds = kKindsByLetter[size_t(letter - 'a')];
    if ((kinds & Character) && characterWord(st, w, hasParam, param)) {
        if (w == "plain") {
            st.charSet = 0;
            inheritStyleChars(st);
        } else {
            st.charSet |= styleCharOf(w);
        }
        return;
    }
    if ((kinds & Paragraph) && paragraphWord(st, w, param)) {
        if (w == "s" || w == "pard")
            inheritStyleChars(st);
        return;
    }
    if ((kinds & BorderEdge) && borderTargetWord(st, w, param))
        return;
    if ((kinds & TableWord) && tableWord(st, w, param))
        return;
    if ((kinds & PageWord) && pageWord(st, w, hasParam, param))
        return;
    if ((kinds & FrameWord) && frameWord(st, w, param))
        return;
    if (kinds & Special)
        specialWord(st, w, hasParam, param);
}

QColor Reader::authorColor(int author) {
    auto at = std::find(m_revisionAuthors.begin(), m_revisionAuthors.end(), author);
    if (at == m_revisionAuthors.end())
        at = m_revisionAuthors.insert(at, author);
    return revisionAuthorColour(at - m_revisionAuthors.begin());
}

bool Reader::characterWord(State& st, Word w, bool hasParam, int param) {
    const bool on = !hasParam || param != 0;
    CharFormat& chr = st.chr;
    const auto script = [&](CharFormat::Script s) {
        flushText(st);
        chr.script = on ? s : CharFormat::Script::Normal;
    };
    if (w == "kerning") {
        flushText(st);
        chr.kerningFrom = hasParam ? qBound(0, param, 3276) : 0;
    } else if (w == "b") {
        flushText(st);
        chr.bold = on;
    } else if (w == "i") {
        flushText(st);
        chr.italic = on;
    } else if (w == "strike" || w == "striked") {
        flushText(st);
        chr.strike = on;
        chr.doubleStrike = on && w == "striked";
    } else if (w == "ul" || w == "uld" || w == "uldb" || w == "uldash" || w == "ulw" || w == "ulth" ||
               w == "ulwave" || w == "uldashd" || w == "uldashdd" || w == "ulhwave" || w == "ulldash" ||
               w == "ulthd" || w == "ulthdash" || w == "ulthldash" || w == "ulthdashd" || w == "ulthdashdd" ||
               w == "ululdbwave") {
        flushText(st);
        chr.underline = on;
        using Line = CharFormat::Line;
        chr.underlineStyle =
            w == "uldb" || w == "ululdbwave" ? Line::Double
            : w == "ulth"                    ? Line::Thick
            : w == "uld" || w == "ulthd"     ? Line::Dotted
            : w.starts_with("uldash") || w == "ulldash" || w.starts_with("ulthdash") || w == "ulthldash"
                ? Line::Dashed
            : w == "ulwave" || w == "ulhwave" ? Line::Wave
            : w == "ulw"                      ? Line::Words
                                              : Line::Single;
    } else if (w == "revised" || w == "deleted") {
        // A tracked change, shown marked as LibreOffice prints it: inserted text underlined, deleted
        // text struck through, in its author's colour (\revauth, \revauthdel).
        flushText(st);
        (w == "revised" ? chr.underline : chr.strike) = on;
        if (w == "revised")
            chr.underlineStyle = CharFormat::Line::Single;
        chr.color = on ? revisionAuthorColour(0) : QColor(); // the first author's, until \revauth names one
    } else if (w == "revauth" || w == "revauthdel") {
        flushText(st);
        if (chr.color.isValid() && (w == "revauth" ? chr.underline : chr.strike))
            chr.color = authorColor(qBound(0, param, 1000));
    } else if (w == "ulnone") {
        flushText(st);
        chr.underline = false;
    } else if (w == "super") {
        script(CharFormat::Script::Super);
    } else if (w == "sub") {
        script(CharFormat::Script::Sub);
    } else if (w == "up" || w == "dn") {
        // Raised or lowered by so many half-points (six when not said), the letters at their own size.
        flushText(st);
        const int by = hasParam ? qBound(-3276, param, 3276) : 6;
        chr.raiseHalfPoints = w == "up" ? by : -by;
    } else if (w == "nosupersub") {
        flushText(st);
        chr.script = CharFormat::Script::Normal;
        chr.raiseHalfPoints = 0;
    } else if (w == "expndtw" || w == "expnd") {
        // Space after each letter, in twips or in quarter points; condensed when negative.
        flushText(st);
        chr.spacingTwips = qBound(-1440, w == "expnd" ? param * 5 : param, 1440);
    } else if (w == "charscalex") {
        flushText(st);
        chr.widthPercent = param > 0 ? qBound(1, param, 600) : 100;
    } else if (w == "caps") {
        flushText(st);
        chr.caps = on ? CharFormat::Caps::All : CharFormat::Caps::None;
    } else if (w == "scaps") {
        flushText(st);
        // Capitals win over small capitals switched on or off: LibreOffice prints \caps\scaps0 in
        // capitals, and \scaps\caps0 plain.
        if (chr.caps != CharFormat::Caps::All)
            chr.caps = on ? CharFormat::Caps::Small : CharFormat::Caps::None;
    } else if (w == "cf") {
        flushText(st);
        chr.color = color(param);
    } else if (w == "highlight" || w == "chcbpat" || w == "chcfpat" || w == "chshdng") {
        flushText(st);
        (w == "highlight" ? st.highlight
         : w == "chcbpat" ? st.charBack
         : w == "chcfpat" ? st.charFore
                          : st.charShade) = param;
        shadeLetters(st);
    } else if (w == "f") {
        flushText(st);
        useFont(st, param);
        if (st.asianScript)
            useAsianFont(st, param);
    } else if (w == "loch" || w == "hich") {
        st.otherScript = st.asianScript = false;
    } else if (w == "rtlch" || w == "dbch") {
        st.otherScript = true;
        st.asianScript = w == "dbch";
    } else if (w == "af") {
        // Word names the font of Latin text by \af after \loch or \hich, as it does a paragraph mark's
        // font (which sets the height of an empty line); after \rtlch or \dbch, \af names the font of
        // right-to-left or Asian text, which keeps the Latin one.
        flushText(st);
        if (!st.otherScript)
            useFont(st, param);
        else if (st.asianScript)
            useAsianFont(st, param);
    } else if (w == "lang" || w == "langfe") {
        // LibreOffice takes either word, the later one winning, as the language of the run's Asian
        // text; the document's default Asian language and the Asian font's character set leave it unknown.
        flushText(st);
        chr.asianLanguage = asianLanguageOf(param);
    } else if (w == "fs") {
        flushText(st);
        chr.halfPoints = param > 0 ? qBound(2, param, 3276) : 24;
    } else if (w == "v") {
        flushText(st);
        st.hidden = on;
    } else if (w == "plain") {
        flushText(st);
        chr = CharFormat{};
        useFont(st, m_defaultFont);
        st.charBack = st.charFore = -1;
        st.charShade = st.highlight = 0;
        st.hidden = false;
        st.otherScript = st.asianScript = false;
    } else {
        return false;
    }
    return true;
}

bool Reader::paragraphWord(State& st, Word w, int param) {
    ParaFormat& para = st.para;
    if (w == "pard") {
        para = ParaFormat{};
        st.frame = FrameWords{};
        st.inTable = false;
        st.tableDepth = 0;
        st.tabKind = TabStop::Left;
        st.tabLeader = TabStop::NoLeader;
        st.border = BorderTarget::None;
        st.paraBack = st.paraFore = -1;
        st.paraShade = 0;
        st.style = 0;
        st.autoBefore = st.autoAfter = st.contextual = false;
        st.list = st.listLevel = 0;
        inheritStyleLine(st);
    } else if (w == "ls") {
        st.list = param;
    } else if (w == "ilvl") {
        st.listLevel = qBound(0, param, 8);
    } else if (w == "s") {
        st.style = param;
        inheritStyleLine(st);
    } else if (w == "sbauto") {
        st.autoBefore = param == 1;
    } else if (w == "saauto") {
        st.autoAfter = param == 1;
    } else if (w == "contextualspace") {
        st.contextual = true;
    } else if (w == "cbpat") {
        st.paraBack = param;
    } else if (w == "cfpat") {
        st.paraFore = param;
    } else if (w == "shading") {
        st.paraShade = param;
    } else if (w == "fi") {
        para.firstTwips = clampTwips(param);
    } else if (w == "li" || w == "lin") {
        para.leftTwips = clampTwips(param);
    } else if (w == "ri" || w == "rin") {
        para.rightTwips = clampTwips(param);
    } else if (w == "sb") {
        para.beforeTwips = clampPositiveTwips(param);
    } else if (w == "sa") {
        para.afterTwips = clampPositiveTwips(param);
    } else if (w == "sl") {
        para.lineTwips = clampTwips(param);
    } else if (w == "slmult") {
        para.lineMultiple = param == 1;
    } else if (w == "keep") {
        para.keepTogether = true;
    } else if (w == "keepn") {
        para.keepWithNext = true;
    } else if (w == "widctlpar") {
        para.widowControl = true;
    } else if (w == "nowidctlpar") {
        para.widowControl = false;
    } else if (w == "pagebb") {
        para.pageBreakBefore = true;
    } else if (w == "rtlpar" || w == "ltrpar") {
        para.rightToLeft = w == "rtlpar";
    } else if (w == "ql" || w == "qc" || w == "qr" || w == "qj" || w == "qd") {
        para.align = w == "ql"   ? ParaFormat::Left
                     : w == "qc" ? ParaFormat::Center
                     : w == "qr" ? ParaFormat::Right
                                 : ParaFormat::Justify;
    } else if (w == "tx") {
        if (para.tabs.size() < kMaxTabs)
            para.tabs.push_back(TabStop{clampTwips(param), st.tabKind, st.tabLeader});
        st.tabKind = TabStop::Left;
        st.tabLeader = TabStop::NoLeader;
    } else if (w == "tb") {
        if (para.barTabs.size() < kMaxTabs)
            para.barTabs.push_back(clampTwips(param));
        st.tabKind = TabStop::Left;
        st.tabLeader = TabStop::NoLeader;
    } else if (w.starts_with("tl")) {
        st.tabLeader = w == "tldot"    ? TabStop::Dots
                       : w == "tlhyph" ? TabStop::Hyphens
                       : w == "tlul"   ? TabStop::Underline
                       : w == "tlth"   ? TabStop::Thick
                       : w == "tleq"   ? TabStop::Equals
                       : w == "tlmdot" ? TabStop::MiddleDots
                                       : TabStop::NoLeader;
    } else if (w == "tqr") {
        st.tabKind = TabStop::Right;
    } else if (w == "tqc") {
        st.tabKind = TabStop::Center;
    } else if (w == "tqdec") {
        st.tabKind = TabStop::Decimal;
    } else {
        return false;
    }
    return true;
}

// Paragraph and line ends, tabs, Unicode characters, typographic characters, the older page number.
bool Reader::specialWord(State& st, Word w, bool hasParam, int param) {
    static constexpr struct {
        const char* word;
        char16_t ch;
    } characters[] = {
        {"bullet", 0x2022},    {"emdash", 0x2014},  {"endash", 0x2013},
        {"emspace", 0x2003},   {"enspace", 0x2002}, {"lquote", 0x2018},
        {"ldblquote", 0x201C}, {"rquote", 0x2019},  {"rdblquote", 0x201D},
    };
    if (w == "par") {
        if (st.dest == Dest::Body)
            endParagraph(st, true);
    } else if (w == "line") {
        flushText(st);
        if (!st.hidden && m_skip == 0)
            addRun(st, Run{Run::LineBreak, format(st.chr), -1, {}});
    } else if (w == "tab") {
        flushText(st);
        if (!st.hidden && m_skip == 0)
            addRun(st, Run{Run::Tab, format(st.chr), -1, {}});
        else if (m_skip > 0)
            --m_skip;
    } else if (w == "u") {
        if (!hasParam)
            return true;
        int code = param < 0 ? param + 65536 : param;
        m_skip = 0;
        // Word gives a symbol font's characters in the private range that the font's own cmap uses.
        // Characters beyond the first 65536 come as two \u, a high and a low surrogate; either alone is
        // no character and is left out.
        const char16_t high = std::exchange(m_highSurrogate, 0);
        if (st.symbols != SymbolSet::None && code >= 0xF020 && code <= 0xF0FF)
            text(st, QString(symbolCharacter(st.symbols, uchar(code - 0xF000), QChar(char16_t(code)))));
        else if (QChar::isHighSurrogate(char32_t(code)))
            m_highSurrogate = char16_t(code);
        else if (QChar::isLowSurrogate(char32_t(code)) && high)
            text(st, QString(QChar(high)) + QChar(char16_t(code)));
        else if (code > 0 && code < 65536 && !QChar::isSurrogate(char32_t(code)))
            text(st, QString(QChar(char16_t(code))));
        m_skip = st.uc;
    } else if (w == "uc") {
        st.uc = qBound(0, param, 16);
    } else if (w == "chftn") {
        // The note's number where its reference stands, and again at the start of the note's text.
        if (st.dest == Dest::Body && m_skip == 0)
            text(st, st.story == &m_note ? m_lastMark : (m_lastMark = noteMark()));
        else if (m_skip > 0)
            --m_skip;
    } else if (w == "chpgn") {
        // The older form of a PAGE field.
        flushText(st);
        Field page;
        page.instruction = QStringLiteral("PAGE");
        page.codeFormat = format(st.chr);
        finishField(st, page, true);
    } else {
        for (const auto& c : characters) {
            if (w == c.word) {
                special(st, c.ch);
                return true;
            }
        }
        return false;
    }
    return true;
}

// The mark of the note whose reference is being read: Word writes the note right after it, and an
// endnote says so (\ftnalt) before anything else.
QString Reader::noteMark() {
    constexpr qsizetype lookahead = 256;
    const QByteArrayView ahead(m_p, qMin<qsizetype>(m_end - m_p, lookahead));
    bool endnote = false;
    const qsizetype at = ahead.indexOf(QByteArrayView("\\footnote"));
    if (at >= 0) {
        QByteArrayView rest = ahead.sliced(at + 9);
        while (!rest.isEmpty() && (rest.front() == ' ' || rest.front() == '\r' || rest.front() == '\n'))
            rest = rest.sliced(1);
        endnote = rest.startsWith(QByteArrayView("\\ftnalt"));
    }
    const int number = endnote ? m_endnoteStart + m_endnotes++ : m_footnoteStart + m_footnotes++;
    const char style = endnote ? m_endnoteStyle : m_footnoteStyle;
    switch (style) {
    case 'a':
    case 'A': {
        // a ... z, then aa ... zz, as Word counts on.
        const int n = number - 1;
        return QString(n / 26 + 1, QChar(char16_t((style == 'a' ? 'a' : 'A') + n % 26)));
    }
    case 'i':
    case 'I': {
        static const char* const tens[] = {"", "x", "xx", "xxx", "xl", "l", "lx", "lxx", "lxxx", "xc"};
        static const char* const ones[] = {"", "i", "ii", "iii", "iv", "v", "vi", "vii", "viii", "ix"};
        const QString roman = QString(number / 100, QLatin1Char('c')) +
                              QLatin1String(tens[number / 10 % 10]) + QLatin1String(ones[number % 10]);
        return style == 'I' ? roman.toUpper() : roman;
    }
    case '*': {
        static const char16_t symbols[] = {u'*', u'\u2020', u'\u2021', u'\u00A7'};
        const int n = number - 1;
        return QString(n / 4 + 1, QChar(symbols[n % 4]));
    }
    default:
        return QString::number(number);
    }
}

} // namespace rtf

Template readRtf(const QByteArray& rtf, const QString& fileName) {
    rtf::Reader reader(rtf, fileName);
    return reader.run();
}

QColor revisionAuthorColour(qsizetype order) {
    static const std::array<QColor, 9> colours{
        QColor(198, 146, 0),  QColor(6, 70, 162),  QColor(87, 157, 28),
        QColor(105, 43, 157), QColor(197, 0, 11),  QColor(0, 128, 128),
        QColor(140, 132, 0),  QColor(53, 85, 107), QColor(209, 118, 0)};
    return colours[size_t(order) % colours.size()];
}

} // namespace wordproc
