// Paragraphs and tables Word sets in frames of their own (w:framePr, w:tblpPr), and the text boxes
// they and drawings hold.
#include "wordproc/DocxPrivate.h"
#include "wordproc/Twips.h"

namespace wordproc::docx {

// A dropped capital has no frame of its own, and a paragraph's frame set in the line (as Word takes a
// style's frame off one paragraph) is none: LibreOffice keeps that paragraph in the text's flow. The
// paragraph's own frame properties take those of its style where they are silent: Word's envelope
// address style holds where the frame stands and the paragraph only how text goes round it. A style's
// frame with none of the paragraph's own sets no frame, as LibreOffice prints it.
std::optional<Node> Reader::frameOf(const Node& n) const {
    if (n.name == QLatin1String("w:tbl")) {
        const Node* tblPr = n.child(u"w:tblPr");
        const Node* frame = tblPr ? tblPr->child(u"w:tblpPr") : nullptr;
        return frame ? std::optional<Node>(*frame) : std::nullopt;
    }
    if (n.name != QLatin1String("w:p"))
        return std::nullopt;
    const Node* pPr = n.child(u"w:pPr");
    const Node* own = pPr ? pPr->child(u"w:framePr") : nullptr;
    if (!own || pPr->child(u"w:sectPr"))
        return std::nullopt;
    Node frame = *own;
    const Node* styleNode = pPr->child(u"w:pStyle");
    const std::vector<const Style*> chain = m_styles.chain(
        styleNode ? styleNode->attr(u"w:val") : m_styles.defaultStyle(QStringLiteral("paragraph")));
    // The chain runs from the style itself to its furthest base: the nearer gives the value.
    for (const Style* style : chain)
        if (const Node* given = style->pPr ? style->pPr->child(u"w:framePr") : nullptr)
            for (const auto& [key, value] : given->attributes)
                if (!frame.has(key))
                    frame.attributes.emplace_back(key, value);
    if (frame.attr(u"w:yAlign") == QLatin1String("inline"))
        return std::nullopt;
    const QString drop = frame.attr(u"w:dropCap");
    if (drop == QLatin1String("drop") || drop == QLatin1String("margin"))
        return std::nullopt;
    return frame;
}

int Reader::textBox(const Node& content, StoryState& st, int room) {
    if (st.inTextBox || m_t.textBoxes.size() >= kMaxTextBoxes)
        return -1;
    Story story;
    StoryState inner;
    inner.blocks = &story.blocks;
    inner.part = st.part;
    inner.rels = st.rels;
    inner.inTextBox = true;
    // A table's share of a hundred percent is of the box's width inside its margins.
    const int outerRoom = m_boxRoom;
    m_boxRoom = room;
    blocks(content, inner);
    m_boxRoom = outerRoom;
    finishStory(inner);
    if (story.empty())
        return -1;
    m_t.textBoxes.push_back(std::move(story));
    return int(m_t.textBoxes.size() - 1);
}

bool Reader::frame(const std::vector<const Node*>& nodes, const Node& props, StoryState& st) {
    if (m_t.textBoxes.size() >= kMaxTextBoxes)
        return false;
    const Node& first = *nodes.front();
    const bool isTable = first.name == QLatin1String("w:tbl");
    const auto attr = [&](QStringView frameName, QStringView tableName) {
        return props.attr(isTable ? tableName : frameName);
    };
    Node content;
    for (const Node* n : nodes)
        content.children.push_back(*n);
    Floating f;
    f.text = textBox(content, st);
    if (f.text < 0)
        return true; // nothing to print
    Story& story = m_t.textBoxes[size_t(f.text)];

    const PageSetup& pg = m_t.page;
    int width = 0, height = 0;
    if (isTable) {
        if (const Node* grid = first.child(u"w:tblGrid"))
            for (const Node& col : grid->children)
                if (col.name == QLatin1String("w:gridCol"))
                    width = clampTwips(qint64(width) + qBound(0, intAttr(col, u"w:w"), kMaxTwips));
    } else {
        width = qBound(0, intAttr(props, u"w:w"), kMaxTwips);
        // A height without a rule is the least the frame has; a frame of automatic height grows with
        // its text.
        if (props.attr(u"w:hRule") != QLatin1String("auto"))
            height = qBound(0, std::abs(intAttr(props, u"w:h")), kMaxTwips);
    }
    const QString hAnchor = attr(u"w:hAnchor", u"w:horzAnchor");
    const QString vAnchor = attr(u"w:vAnchor", u"w:vertAnchor");
    const QString xAlign = attr(u"w:xAlign", u"w:tblpXSpec");
    const QString yAlign = attr(u"w:yAlign", u"w:tblpYSpec");
    const int textWidth = pg.widthTwips - pg.leftTwips - pg.rightTwips;
    const int textHeight = pg.heightTwips - pg.topTwips - pg.bottomTwips;
    // A frame, a table's or a paragraph's, is placed from the text's column and paragraph unless it
    // says otherwise, as LibreOffice places it.
    const bool xPage = hAnchor == QLatin1String("page");
    const bool xMargin = hAnchor == QLatin1String("margin");
    f.fromX = xPage ? Floating::From::Page : xMargin ? Floating::From::Margin : Floating::From::Column;
    const int spanX = xPage ? pg.widthTwips : xMargin ? textWidth : pg.columnTwips();
    // A paragraph's frame that names no anchor down the page stands from the margin, as LibreOffice
    // places it.
    f.fromY = vAnchor == QLatin1String("page") ? Floating::From::Page
              : vAnchor == QLatin1String("margin") || (!isTable && vAnchor.isEmpty())
                  ? Floating::From::Margin
                  : Floating::From::Paragraph;
    const int spanY = f.fromY == Floating::From::Page     ? pg.heightTwips
                      : f.fromY == Floating::From::Margin ? textHeight
                                                          : 0;
    // A frame of no set width is as wide as its text: it is given the width it may have, and its text
    // keeps to the side the frame is aligned to.
    const bool fitted = width <= 0;
    if (fitted)
        width =
            qMax(1, spanX - (xAlign.isEmpty() ? qMax(0, intAttr(props, isTable ? u"w:tblpX" : u"w:x")) : 0));
    f.widthTwips = width;
    f.heightTwips = height;
    const bool right = xAlign == QLatin1String("right") || xAlign == QLatin1String("outside");
    f.leftTwips = xAlign == QLatin1String("center") ? (spanX - width) / 2
                  : right                           ? spanX - width
                  : xAlign.isEmpty()                ? intAttr(props, isTable ? u"w:tblpX" : u"w:x")
                                                    : 0;
    f.topTwips = yAlign == QLatin1String("center")   ? (spanY - height) / 2
                 : yAlign == QLatin1String("bottom") ? spanY - height
                 : yAlign.isEmpty()                  ? intAttr(props, isTable ? u"w:tblpY" : u"w:y")
                                                     : 0;
    if (isTable) {
        // A table's distances from the text beside it, taken from its room when it is set against a
        // side: LibreOffice keeps them between the table and the side it is aligned to as well.
        const auto gap = [&](QStringView name, int index) {
            if (props.has(name))
                f.gapTwips[size_t(index)] = qBound(0, intAttr(props, name), 1440 * 10);
        };
        gap(u"w:leftFromText", 0);
        gap(u"w:topFromText", 1);
        gap(u"w:rightFromText", 2);
        gap(u"w:bottomFromText", 3);
        // Set against a side or centred, its outer rule stands at the place found, not its text.
        const auto* table = story.blocks.empty() ? nullptr : std::get_if<Table>(&story.blocks.front());
        if (!xAlign.isEmpty() && table && !table->rows.empty())
            f.leftTwips -= qBound(-1440, table->rows.front().leftTwips, 1440);
        // Placed by its offset, its text stands there and its rules that far out: the text beside it
        // keeps its distance from the rules.
        else if (table && !table->rows.empty()) {
            const int out = qBound(-1440, table->rows.front().leftTwips, 1440);
            f.gapTwips[0] = qMax(0, f.gapTwips[0] - out);
            f.gapTwips[2] = qMax(0, f.gapTwips[2] + out);
            if (xAlign.isEmpty())
                m_mirroredFrameLeft.insert(int(m_t.floats.size()),
                                           clampTwips(qint64(spanX) - f.leftTwips - 2 * qint64(out) - width));
        }
        if (right)
            f.leftTwips -= f.gapTwips[2];
        else if (xAlign == QLatin1String("left") || xAlign == QLatin1String("inside"))
            f.leftTwips += f.gapTwips[0];
    }
    f.leftTwips = qBound(-1440 * 50, f.leftTwips, 1440 * 50);
    f.topTwips = qBound(-1440 * 50, f.topTwips, 1440 * 50);
    if (fitted && !xAlign.isEmpty())
        for (Block& b : story.blocks)
            if (auto* p = std::get_if<Paragraph>(&b))
                p->format.align = xAlign == QLatin1String("center") ? ParaFormat::Center
                                  : right                           ? ParaFormat::Right
                                                                    : ParaFormat::Left;
    // A frame of its own size with a rule on each side of its one paragraph has the rules round the
    // frame, not round the lines.
    if (!fitted && height > 0 && story.blocks.size() == 1)
        if (auto* p = std::get_if<Paragraph>(&story.blocks.front());
            p && std::all_of(p->format.borders.begin(), p->format.borders.end(),
                             [](const Border& b) { return b.visible(); })) {
            const Border& top = p->format.borders[size_t(Side::Top)];
            f.line = top.color.isValid() ? top.color : QColor(Qt::black);
            f.lineTwips = qMax(1, top.widthTwips);
            p->format.borders = Borders{};
        }

    const QString wrap = isTable ? QString() : props.attr(u"w:wrap");
    f.wrap = wrap == QLatin1String("none")        ? Floating::Wrap::None
             : wrap == QLatin1String("notBeside") ? Floating::Wrap::TopBottom
                                                  : Floating::Wrap::Around;
    // The text beside a frame as wide as its text keeps its lines: its width is not known here. Lines
    // beside a paragraph's frame placed on the page keep theirs too where they have room, as they
    // cannot be set round it and such a frame is seldom over the text; a table placed on the page is
    // a letterhead's or a form's box, which the text goes round.
    const int fromMargin = xPage ? f.leftTwips - pg.leftTwips : f.leftTwips;
    if (fitted || (!isTable && f.wrap == Floating::Wrap::Around && f.fromY != Floating::From::Paragraph &&
                   qMax(fromMargin, textWidth - fromMargin - width) >= 1440))
        f.wrap = Floating::Wrap::None;
    m_t.floats.push_back(f);
    st.frames.push_back(Run{Run::Floating, st.markFormat, int(m_t.floats.size() - 1), {}});
    return true;
}

} // namespace wordproc::docx
