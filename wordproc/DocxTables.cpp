// Reading Word 2007+ tables: table properties and styles' conditional formats, the grid, merged
// cells, borders, margins and row heights, into the rows and cells the layout sets.

#include "wordproc/DocxPrivate.h"
#include "wordproc/Twips.h"

namespace wordproc {

namespace docx {

namespace {

struct TableProps {
    Borders outer;
    Border insideH, insideV;
    std::array<int, 4> margins{0, 108, 0, 108}; // top, left, bottom, right: Word's defaults
    int indent = 0;
    Row::Align align = Row::Left;
    int bandSize = 1;
    bool rightToLeft = false;
};

void edges(const Node& borders, Borders& out, Border* insideH, Border* insideV) {
    for (const Node& b : borders.children) {
        const QStringView side = QStringView(b.name).mid(2);
        if (side == u"top")
            edge(out, Side::Top) = border(b);
        else if (side == u"bottom")
            edge(out, Side::Bottom) = border(b);
        else if (side == u"left" || side == u"start")
            edge(out, Side::Left) = border(b);
        else if (side == u"right" || side == u"end")
            edge(out, Side::Right) = border(b);
        else if (side == u"insideH" && insideH)
            *insideH = border(b);
        else if (side == u"insideV" && insideV)
            *insideV = border(b);
    }
}

void margins(const Node& mar, std::array<int, 4>& out) {
    for (const Node& m : mar.children) {
        const QStringView side = QStringView(m.name).mid(2);
        const int w = qBound(0, intAttr(m, u"w:w"), 1440 * 22);
        if (side == u"top")
            out[0] = w;
        else if (side == u"left" || side == u"start")
            out[1] = w;
        else if (side == u"bottom")
            out[2] = w;
        else if (side == u"right" || side == u"end")
            out[3] = w;
    }
}

void tableProps(const Node* tblPr, TableProps& tp) {
    if (!tblPr)
        return;
    if (const Node* b = tblPr->child(u"w:tblBorders"))
        edges(*b, tp.outer, &tp.insideH, &tp.insideV);
    if (const Node* m = tblPr->child(u"w:tblCellMar"))
        margins(*m, tp.margins);
    if (const Node* ind = tblPr->child(u"w:tblInd"))
        if (ind->attr(u"w:type") != QLatin1String("pct"))
            tp.indent = clampTwips(intAttr(*ind, u"w:w"));
    if (const Node* jc = tblPr->child(u"w:jc")) {
        const QString v = jc->attr(u"w:val");
        tp.align = v == QLatin1String("center")                               ? Row::Center
                   : v == QLatin1String("right") || v == QLatin1String("end") ? Row::Right
                                                                              : Row::Left;
    }
    if (const Node* bidi = tblPr->child(u"w:bidiVisual"))
        tp.rightToLeft = onOff(bidi);
    if (const Node* band = tblPr->child(u"w:tblStyleRowBandSize"))
        tp.bandSize = qBound(1, intAttr(*band, u"w:val", 1), 100);
}

// The rows of a table, or the cells of a row, also where content controls wrap them; with `controls`,
// the innermost control around each, if any.
void gather(const Node& parent, QStringView name, std::vector<const Node*>& out,
            std::vector<const Node*>* controls = nullptr, const Node* control = nullptr, int depth = 0) {
    for (const Node& c : parent.children) {
        if (c.name == name) {
            out.push_back(&c);
            if (controls)
                controls->push_back(control);
        } else if (depth < 8 &&
                   (c.name == QLatin1String("w:sdt") || c.name == QLatin1String("w:customXml"))) {
            const bool sdt = c.name == QLatin1String("w:sdt");
            if (const Node* content = sdt ? c.child(u"w:sdtContent") : &c)
                gather(*content, name, out, controls, sdt ? &c : control, depth + 1);
        }
    }
}

bool lookFlag(const Node* look, QStringView attribute, int bit, bool fallback) {
    if (!look)
        return fallback;
    if (look->has(attribute)) {
        const QString v = look->attr(attribute);
        return v == QLatin1String("1") || v == QLatin1String("true") || v == QLatin1String("on");
    }
    bool ok = false;
    const int bits = look->attr(u"w:val").toInt(&ok, 16);
    return ok ? (bits & bit) != 0 : fallback;
}

// A table's width as a length (dxa) or a share of `room` (pct, in fiftieths of a percent or written
// with a percent sign, at most the whole room); 0 where it is automatic or its kind is not written, as
// LibreOffice takes it.
int tableWidth(const Node* tblPr, int room) {
    const Node* w = tblPr ? tblPr->child(u"w:tblW") : nullptr;
    if (!w)
        return 0;
    const QString type = w->attr(u"w:type");
    const QString value = w->attr(u"w:w");
    if (type == QLatin1String("pct")) {
        bool ok = false;
        const double share =
            value.endsWith(u'%') ? value.chopped(1).toDouble(&ok) / 100 : value.toDouble(&ok) / 5000;
        return ok && share > 0 ? int(qMin(1.0, share) * room) : 0;
    }
    if (type == QLatin1String("dxa"))
        return qBound(0, value.toInt(), kMaxTwips);
    return 0;
}

// A table that sets its width has its grid stretched or shrunk to it, each column keeping its share,
// fixed layout or not: LibreOffice prints the columns so, where Word would fit automatic ones to their
// text.
void fitGrid(std::vector<int>& grid, int width) {
    qint64 total = 0;
    for (int w : grid)
        total += w;
    if (width <= 0 || total <= 0 || total == width)
        return;
    qint64 edge = 0;
    int before = 0;
    for (int& w : grid) {
        edge += w;
        const int at = int((edge * width + total / 2) / total);
        w = at - before;
        before = at;
    }
}

// LibreOffice keeps a table's inner edges as shares of the grid's width, in ten-thousandths, and takes
// them back down to whole twips: an edge may come up to a twip short, and a word that Word's fitting
// made just as wide as its column then breaks in it.
int sharedEdge(int x, qint64 gridWidth) {
    if (gridWidth <= 0 || x <= 0 || x >= gridWidth)
        return x;
    const qint64 share = (qint64(x) * 10000 + gridWidth / 2) / gridWidth;
    return int(share * gridWidth / 10000);
}

} // namespace

// Without a grid the table's columns share its width, the text's width unless it sets its own: as
// LibreOffice lays them out, where Word would fit them to their text.
std::vector<int> Reader::impliedGrid(const Node* tblPr, const std::vector<const Node*>& rows) const {
    int columns = 0;
    for (const Node* tr : rows) {
        std::vector<const Node*> cells;
        gather(*tr, u"w:tc", cells);
        int n = 0;
        for (const Node* tc : cells) {
            const Node* tcPr = tc->child(u"w:tcPr");
            const Node* gs = tcPr ? tcPr->child(u"w:gridSpan") : nullptr;
            n += gs ? qBound(1, intAttr(*gs, u"w:val", 1), 1000) : 1;
        }
        columns = qBound(columns, n, 1000);
    }
    if (columns == 0)
        return {};
    const int room = textRoom();
    const int width = tableWidth(tblPr, tableRoom());
    return std::vector<int>(size_t(columns), qMax(1, (width > 0 ? width : room) / columns));
}

// The width a table's share of a hundred percent comes to: the text's, or inside a cell or a text box
// the cell's or the box's less its margins.
int Reader::tableRoom() const {
    return m_tableDepth > 0 ? qMax(1, m_cellRoom) : m_boxRoom > 0 ? m_boxRoom : textRoom();
}

int Reader::textRoom() const {
    const PageSetup& page = m_t.sections.empty() ? m_t.page : m_t.sections.back().page;
    return qMax(1440, page.widthTwips - page.leftTwips - page.rightTwips);
}

namespace {

// The cell that stands for the columns of the grid a row of `cells`, `before` columns in, leaves out at
// its end (none where it leaves none, or where they are not in the grid).
Node gridAfterCell(const Node* trPr, const std::vector<const Node*>& cells, int before, size_t grid) {
    const Node* after = trPr ? trPr->child(u"w:gridAfter") : nullptr;
    const int columns = after ? intAttr(*after, u"w:val") : 0;
    qint64 used = before;
    for (const Node* tc : cells) {
        const Node* tcPr = tc->child(u"w:tcPr");
        const Node* gs = tcPr ? tcPr->child(u"w:gridSpan") : nullptr;
        used += gs ? qBound(1, intAttr(*gs, u"w:val", 1), 1000) : 1;
    }
    if (columns <= 0 || used + columns > qint64(grid))
        return {};
    const auto node = [](const char* name, std::vector<std::pair<QString, QString>> attributes = {},
                         std::vector<Node> children = {}) {
        return Node{QString::fromLatin1(name), std::move(attributes), std::move(children), {}};
    };
    std::vector<Node> rules;
    for (const char* side : {"w:top", "w:left", "w:bottom", "w:right"})
        rules.push_back(node(side, {{QStringLiteral("w:val"), QStringLiteral("nil")}}));
    std::vector<Node> props{node("w:gridSpan", {{QStringLiteral("w:val"), QString::number(columns)}}),
                            node("w:tcBorders", {}, std::move(rules))};
    if (const Node* width = trPr->child(u"w:wAfter"))
        props.push_back(node("w:tcW", width->attributes));
    return node("w:tc", {}, {node("w:tcPr", {}, std::move(props)), node("w:p")});
}

} // namespace

void Reader::table(const Node& tbl, StoryState& st) {
    while (!st.fields.empty())
        dropField(st);
    if (st.open || (!st.pieces.empty() && !st.pieces.front().empty()))
        endParagraph(st);
    const Node* tblPr = tbl.child(u"w:tblPr");
    const Node* styleNode = tblPr ? tblPr->child(u"w:tblStyle") : nullptr;
    const QString styleId =
        styleNode ? styleNode->attr(u"w:val") : m_styles.defaultStyle(QStringLiteral("table"));
    const std::vector<const Style*> chain = m_styles.chain(styleId);
    TableProps tp;
    for (const Style* s : chain)
        tableProps(s->tblPr, tp);
    tableProps(tblPr, tp);
    const Node* look = tblPr ? tblPr->child(u"w:tblLook") : nullptr;
    // Word's look for a new table: header row and first column, rows banded.
    const bool firstRow = lookFlag(look, u"w:firstRow", 0x20, true);
    const bool lastRow = lookFlag(look, u"w:lastRow", 0x40, false);
    const bool firstColumn = lookFlag(look, u"w:firstColumn", 0x80, true);
    const bool lastColumn = lookFlag(look, u"w:lastColumn", 0x100, false);
    const bool noHBand = lookFlag(look, u"w:noHBand", 0x200, false);
    const bool noVBand = lookFlag(look, u"w:noVBand", 0x400, true);

    std::vector<int> grid;
    if (const Node* g = tbl.child(u"w:tblGrid"))
        for (const Node& col : g->children)
            if (col.name == QLatin1String("w:gridCol") && grid.size() < 1000)
                grid.push_back(qBound(0, intAttr(col, u"w:w"), kMaxTwips));
    std::vector<const Node*> rows;
    gather(tbl, u"w:tr", rows);
    const bool implied = grid.empty();
    if (implied)
        grid = impliedGrid(tblPr, rows);
    else
        fitGrid(grid, tableWidth(tblPr, tableRoom()));
    qint64 gridWidth = 0;
    for (int w : grid)
        gridWidth += w;

    // Word 2013 and later put the cells' edge at the indent; earlier ones put the text there.
    // Inside a cell LibreOffice puts the edge at the indent either way.
    const int origin = tp.indent - (m_compatibility >= 15 || m_tableDepth > 0 ? 0 : tp.margins[1]);
    const auto conditions = [&](const QString& type) {
        std::vector<const Node*> out;
        for (const Style* s : chain)
            for (const auto& [t, node] : s->conditions)
                if (t == type)
                    out.push_back(node);
        return out;
    };
    Table current;
    current.pageBreakBefore = st.breakPending;
    st.breakPending = false;
    const auto flush = [&] {
        if (tp.rightToLeft)
            mirrorColumns(current);
        if (!current.rows.empty())
            st.blocks->emplace_back(std::move(current));
        current = Table{};
    };
    const int headerRows = firstRow ? 1 : 0;
    for (size_t r = 0; r < rows.size(); ++r) {
        const Node& tr = *rows[r];
        const Node* trPr = tr.child(u"w:trPr");
        // A row's own table borders (written for rows that once stood in tables of their own): LibreOffice
        // rules every cell of the row with their outer edges, the edges between cells as well, and leaves
        // the inside rules the table's.
        const Node* exception = tr.child(u"w:tblPrEx");
        const Node* rowBorders = exception ? exception->child(u"w:tblBorders") : nullptr;
        Row row;
        int before = 0;
        if (trPr) {
            if (const Node* h = trPr->child(u"w:trHeight")) {
                const int height = clampPositiveTwips(intAttr(*h, u"w:val"));
                const QString rule = h->attr(u"w:hRule");
                row.heightTwips = rule == QLatin1String("exact")  ? -height
                                  : rule == QLatin1String("auto") ? 0
                                                                  : height;
            }
            row.header = onOff(trPr->child(u"w:tblHeader"));
            row.keepTogether = onOff(trPr->child(u"w:cantSplit"));
            if (const Node* gb = trPr->child(u"w:gridBefore"))
                before = qBound(0, intAttr(*gb, u"w:val"), int(grid.size()));
        }
        int x = 0;
        for (int i = 0; i < before; ++i)
            x += grid[size_t(i)];
        row.leftTwips = clampTwips(qint64(origin) + x);
        row.gapTwips = tp.margins[1];
        row.leftPadTwips = tp.margins[1];
        row.rightPadTwips = tp.margins[3];
        row.topPadTwips = tp.margins[0];
        row.bottomPadTwips = tp.margins[2];
        row.align = tp.align;
        std::vector<const Node*> cells, controls;
        gather(tr, u"w:tc", cells, &controls);
        if (cells.empty())
            continue;
        const size_t real = cells.size();
        // LibreOffice fills the columns a row leaves out at its end with a cell of no rules that holds an
        // empty paragraph of the document's own style: a short row is at least as tall as that paragraph
        // and its spacing.
        const Node filler = implied ? Node{} : gridAfterCell(trPr, cells, before, grid.size());
        if (!filler.children.empty())
            cells.push_back(&filler);
        const bool isFirst = r == 0 && firstRow;
        const bool isLast = r + 1 == rows.size() && lastRow;
        const int band = (int(r) - headerRows) / tp.bandSize;
        int column = before;
        for (size_t ci = 0; ci < cells.size(); ++ci) {
            const Node& tc = *cells[ci];
            const Node* tcPr = tc.child(u"w:tcPr");
            int span = 1;
            if (tcPr)
                if (const Node* gs = tcPr->child(u"w:gridSpan"))
                    span = qBound(1, intAttr(*gs, u"w:val", 1), 1000);
            qint64 width = 0;
            const Node* tcW = tcPr ? tcPr->child(u"w:tcW") : nullptr;
            if (implied && tcW && tcW->attr(u"w:type") == QLatin1String("dxa") && intAttr(*tcW, u"w:w") > 0) {
                width = intAttr(*tcW, u"w:w");
            } else if (column + span <= int(grid.size())) {
                for (int i = column; i < column + span; ++i)
                    width += grid[size_t(i)];
            } else if (const Node* w = tcPr ? tcPr->child(u"w:tcW") : nullptr;
                       w && w->attr(u"w:type") != QLatin1String("pct") && intAttr(*w, u"w:w") > 0) {
                width = intAttr(*w, u"w:w");
            } else {
                width = 1440;
            }
            column += span;
            x = clampTwips(qint64(x) + qMax(qint64(1), width));
            const int shared = column < int(grid.size()) && !implied ? sharedEdge(x, gridWidth) : x;

            // The table style's look for this cell: banding, then first and last column, then first and
            // last row, each over the one before.
            std::vector<const Node*> conditional;
            const auto add = [&](const QString& type) {
                for (const Node* n : conditions(type))
                    conditional.push_back(n);
            };
            const int columnBand = int(ci) - (firstColumn ? 1 : 0);
            if (!noVBand && !(firstColumn && ci == 0))
                add(columnBand % 2 == 0 ? QStringLiteral("band1Vert") : QStringLiteral("band2Vert"));
            if (!noHBand && !isFirst && !isLast && int(r) >= headerRows)
                add(band % 2 == 0 ? QStringLiteral("band1Horz") : QStringLiteral("band2Horz"));
            if (firstColumn && ci == 0)
                add(QStringLiteral("firstCol"));
            if (lastColumn && ci + 1 == real)
                add(QStringLiteral("lastCol"));
            if (isFirst)
                add(QStringLiteral("firstRow"));
            if (isLast)
                add(QStringLiteral("lastRow"));

            Cell cell;
            cell.rightTwips = clampTwips(qint64(origin) + shared);
            edge(cell.borders, Side::Top) = r == 0 ? edge(tp.outer, Side::Top) : tp.insideH;
            edge(cell.borders, Side::Bottom) =
                r + 1 == rows.size() ? edge(tp.outer, Side::Bottom) : tp.insideH;
            edge(cell.borders, Side::Left) = ci == 0 ? edge(tp.outer, Side::Left) : tp.insideV;
            edge(cell.borders, Side::Right) = ci + 1 == real ? edge(tp.outer, Side::Right) : tp.insideV;
            if (rowBorders)
                edges(*rowBorders, cell.borders, nullptr, nullptr);
            std::array<int, 4> pad{-1, -1, -1, -1};
            std::vector<const Node*> cellProps;
            for (const Style* s : chain)
                cellProps.push_back(s->tcPr);
            for (const Node* n : conditional)
                cellProps.push_back(n->child(u"w:tcPr"));
            cellProps.push_back(tcPr);
            for (const Node* props : cellProps) {
                if (!props)
                    continue;
                if (const Node* b = props->child(u"w:tcBorders"))
                    edges(*b, cell.borders, nullptr, nullptr);
                if (const Node* shd = props->child(u"w:shd"))
                    cell.shading = shading(*shd);
                if (const Node* m = props->child(u"w:tcMar"))
                    margins(*m, pad);
                if (const Node* v = props->child(u"w:vAlign")) {
                    const QString a = v->attr(u"w:val");
                    cell.vAlign = a == QLatin1String("center")   ? Cell::VAlign::Center
                                  : a == QLatin1String("bottom") ? Cell::VAlign::Bottom
                                                                 : Cell::VAlign::Top;
                }
            }
            if (const Node* d = tcPr ? tcPr->child(u"w:textDirection") : nullptr) {
                // Transitional names, then strict ones.
                const QString v = d->attr(u"w:val");
                if (v == QLatin1String("btLr") || v == QLatin1String("lr"))
                    cell.direction = Cell::Direction::Up;
                else if (v == QLatin1String("tbRl") || v == QLatin1String("tbRlV") ||
                         v == QLatin1String("rl") || v == QLatin1String("rlV"))
                    cell.direction = Cell::Direction::Down;
            }
            if (tcPr)
                if (const Node* vm = tcPr->child(u"w:vMerge"))
                    cell.vMerge = vm->attr(u"w:val") == QLatin1String("restart") ? Cell::VMerge::Restart
                                                                                 : Cell::VMerge::Continue;
            cell.topPadTwips = pad[0];
            cell.leftPadTwips = pad[1] >= 0 ? pad[1] : tp.margins[1];
            cell.bottomPadTwips = pad[2];
            cell.rightPadTwips = pad[3] >= 0 ? pad[3] : tp.margins[3];

            // The cell's text, with the table style's paragraph and character properties beneath its own.
            std::vector<Block> content;
            StoryState inner;
            inner.blocks = &content;
            inner.part = st.part;
            inner.rels = st.rels;
            inner.inTextBox = st.inTextBox;
            // Frames just before the table, with no paragraph between, stand in its first cell:
            // LibreOffice anchors them to that cell's first paragraph and places them from the cell.
            if (r == 0 && ci == 0)
                std::swap(inner.frames, st.frames);
            for (const Style* s : chain)
                inner.tablePPr.push_back(s->pPr), inner.tableRPr.push_back(s->rPr);
            for (const Node* n : conditional)
                inner.tablePPr.push_back(n->child(u"w:pPr")), inner.tableRPr.push_back(n->child(u"w:rPr"));
            const int outerRoom = m_cellRoom;
            m_cellRoom = int(width) - cell.leftPadTwips - cell.rightPadTwips;
            ++m_tableDepth;
            // A control around the cell is one around its paragraphs.
            if (ci < controls.size() && controls[ci])
                blockControl(*controls[ci], tc, inner);
            else
                blocks(tc, inner);
            --m_tableDepth;
            m_cellRoom = outerRoom;
            finishStory(inner);
            for (Block& b : content) {
                if (Paragraph* p = std::get_if<Paragraph>(&b)) {
                    p->format.pageBreakBefore = false;
                    cell.paragraphs.push_back(std::move(*p));
                } else if (m_tableDepth >= kMaxTableDepth) {
                    // Tables nested deeper than any letter has them keep their text, as paragraphs.
                    for (Row& nested : std::get<Table>(b).rows)
                        for (Cell& c : nested.cells)
                            for (Paragraph& p : c.paragraphs)
                                cell.paragraphs.push_back(std::move(p));
                } else {
                    Table& nested = std::get<Table>(b);
                    nested.pageBreakBefore = false;
                    cell.tables.push_back(NestedTable{cell.paragraphs.size(), std::move(nested)});
                }
            }
            // Automatic spacing keeps off a cell's edges, as a web page's does: none above the cell's
            // first paragraph, none below its last.
            if (!content.empty() && std::holds_alternative<Paragraph>(content.front()) &&
                inner.firstAutoBefore && !cell.paragraphs.empty())
                cell.paragraphs.front().format.beforeTwips = 0;
            if (!content.empty() && std::holds_alternative<Paragraph>(content.back()) &&
                inner.lastAutoAfter && !cell.paragraphs.empty())
                cell.paragraphs.back().format.afterTwips = 0;
            if (cell.paragraphs.empty())
                cell.paragraphs.emplace_back();
            // Text left in a cell that a merge down the column covers is not shown, in Word as in
            // LibreOffice.
            if (cell.vMerge == Cell::VMerge::Continue) {
                cell.paragraphs.resize(1);
                cell.paragraphs.front().runs.clear();
                cell.tables.clear();
            }
            if (row.cells.size() < kMaxCells) {
                row.cells.push_back(std::move(cell));
            } else {
                Cell& last = row.cells.back();
                for (NestedTable& t : cell.tables) {
                    t.before += last.paragraphs.size();
                    last.tables.push_back(std::move(t));
                }
                std::move(cell.paragraphs.begin(), cell.paragraphs.end(),
                          std::back_inserter(last.paragraphs));
            }
        }
        current.rows.push_back(std::move(row));
    }
    flush();
    st.lastStyle.clear();
}

} // namespace docx

} // namespace wordproc
