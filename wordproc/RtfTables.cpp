// Tables and borders: row and cell definitions, the rows being filled, and the rules around paragraphs
// and cells.

#include "wordproc/RtfReaderPrivate.h"
#include "wordproc/Twips.h"

namespace wordproc::rtf {

namespace {

// The side a padding word sets. Word writes a cell's left padding as \clpadt and its top as \clpadl,
// and LibreOffice reads them so; the row's words mean what they say.
Side paddingSide(char letter, bool cell) {
    switch (letter) {
    case 'l':
        return cell ? Side::Top : Side::Left;
    case 't':
        return cell ? Side::Left : Side::Top;
    case 'b':
        return Side::Bottom;
    default:
        return Side::Right;
    }
}

// A padding as given, unless its units say to ignore it.
int padding(int value, int unit) {
    return unit == 0 ? -1 : value;
}

} // namespace

bool Reader::tableWord(State& st, Word w, int param) {
    const bool body = st.dest == Dest::Body;
    StoryBuilder* b = st.story;
    if (w == "cell") {
        if (body)
            endCell(st);
    } else if (w == "nestcell") {
        if (body)
            endNestedCell(st);
    } else if (w == "row") {
        if (body)
            endRow(st);
    } else if (w == "nestrow") {
        if (body)
            endNestedRow(st);
    } else if (w == "intbl") {
        st.inTable = true;
    } else if (w == "itap") {
        st.tableDepth = qBound(0, param, kMaxTableDepth);
    } else if (w == "cellx") {
        if (b)
            endCellDefinition(*b, clampTwips(param));
    } else if (b && (w == "clcbpat" || w == "clcfpat" || w == "clshdng")) {
        (w == "clcbpat" ? b->cellBack : w == "clcfpat" ? b->cellFore : b->cellShade) = param;
    } else if (b && w.size() == 6 && w.starts_with("clpad")) {
        b->cellPad[size_t(paddingSide(w[5], true))] = qBound(0, param, 1440 * 22);
    } else if (b && w.size() == 7 && w.starts_with("clpadf")) {
        b->cellPadUnit[size_t(paddingSide(w[6], true))] = param;
    } else if (b && w.size() == 7 && w.starts_with("trpadd")) {
        b->rowPad[size_t(paddingSide(w[6], false))] = qBound(0, param, 1440 * 22);
    } else if (b && w.size() == 8 && w.starts_with("trpaddf")) {
        b->rowPadUnit[size_t(paddingSide(w[7], false))] = param;
    } else if (b && (w == "clvmgf" || w == "clvmrg")) {
        b->cellDef.vMerge = w == "clvmgf" ? Cell::VMerge::Restart : Cell::VMerge::Continue;
    } else if (b && (w == "clmgf" || w == "clmrg")) {
        b->cellMerge = w == "clmgf" ? 1 : 2;
    } else if (b && (w == "clvertalt" || w == "clvertalc" || w == "clvertalb")) {
        b->cellDef.vAlign = w == "clvertalc"   ? Cell::VAlign::Center
                            : w == "clvertalb" ? Cell::VAlign::Bottom
                                               : Cell::VAlign::Top;
    } else if (b && (w == "cltxlrtb" || w == "cltxbtlr" || w == "cltxtbrl" || w == "cltxtbrlv")) {
        b->cellDef.direction = w == "cltxbtlr"   ? Cell::Direction::Up
                               : w == "cltxlrtb" ? Cell::Direction::Across
                                                 : Cell::Direction::Down;
    } else if (b && w == "clwWidth") {
        b->cellWidth = clampPositiveTwips(param);
    } else if (b && w == "clftsWidth") {
        b->cellWidthInTwips = param == 3; // a share of the table's width, or automatic, gives no size
    } else if (b && w == "trwWidth") {
        b->rowWidth = clampPositiveTwips(param);
    } else if (w == "trowd") {
        if (b) {
            b->rowDef = Row{};
            b->cellDef = Cell{};
            b->cellBack = b->cellFore = -1;
            b->cellShade = 0;
            b->cellPad = b->cellPadUnit = b->rowPad = b->rowPadUnit = {-1, -1, -1, -1};
            b->cellWidth = 0;
            b->cellWidthInTwips = true;
            b->cellMerge = 0;
            b->definedCells.clear();
            b->rowWidth = 0;
            b->rowRightToLeft = false;
        }
        st.border = BorderTarget::None;
    } else if (w == "rtlrow" || w == "ltrrow") {
        if (b)
            b->rowRightToLeft = w == "rtlrow";
    } else if (w == "trgaph") {
        if (b)
            b->rowDef.gapTwips = clampPositiveTwips(param);
    } else if (w == "trleft") {
        if (b)
            b->rowDef.leftTwips = clampTwips(param);
    } else if (w == "trrh") {
        if (b)
            b->rowDef.heightTwips = clampTwips(param);
    } else if (w == "trhdr") {
        // An RTF table's heading rows print once, where they stand, and the pages the table runs on
        // to open with its next row: that is how LibreOffice prints Word's RTF, which letters here are
        // measured against. (A .docx table's heading rows do repeat.)
    } else if (w == "trkeep") {
        if (b)
            b->rowDef.keepTogether = true;
    } else if (w == "trqc" || w == "trqr" || w == "trql") {
        if (b)
            b->rowDef.align = w == "trqc" ? Row::Center : w == "trqr" ? Row::Right : Row::Left;
    } else {
        return false;
    }
    return true;
}

namespace {

// Of a rule of a thick and a thin line, or of three lines, the share of its width (percent) each line of
// the double rule that stands for it gets: a thick line of the width, a thin one a third of it and a gap
// as wide (a larger gap for the medium and large ones), or three lines of the width with two gaps. The
// sunken and raised rules print about twice their width across, in two or three lines. 0 for other
// rules.
int pairedRuleShare(Word w) {
    if (w == "brdrtriple" || w.starts_with("brdrtnthtn"))
        return 167;
    if (w == "brdroutset" || w == "brdrinset" || w == "brdremboss" || w == "brdrengrave")
        return 67;
    if (!w.starts_with("brdrthtn") && !w.starts_with("brdrtnth"))
        return 0;
    return w.ends_with("lg") ? 100 : w.ends_with("mg") ? 78 : 60;
}

} // namespace

// The words that say which edge the rule words describe, and the rule words themselves.
bool Reader::borderTargetWord(State& st, Word w, int param) {
    const bool newEdge =
        w == "brdrt" || w == "brdrl" || w == "brdrb" || w == "brdrr" || w == "box" || w == "chbrdr";
    if (newEdge || (!w.starts_with("brdr") && w != "brsp")) {
        st.thickRule = false; // a new edge, or none
        st.pairedRuleShare = 100;
    }
    if (w == "brdrt" || w == "brdrl" || w == "brdrb" || w == "brdrr") {
        st.border = BorderTarget::Paragraph;
        st.borderSide = w == "brdrt"   ? Side::Top
                        : w == "brdrl" ? Side::Left
                        : w == "brdrb" ? Side::Bottom
                                       : Side::Right;
    } else if (w == "pgbrdrt" || w == "pgbrdrl" || w == "pgbrdrb" || w == "pgbrdrr") {
        st.border = st.story == &m_body ? BorderTarget::Page : BorderTarget::None;
        st.borderSide = w == "pgbrdrt"   ? Side::Top
                        : w == "pgbrdrl" ? Side::Left
                        : w == "pgbrdrb" ? Side::Bottom
                                         : Side::Right;
    } else if (w == "pgbrdropt") {
        // Bit 5: the rules' spaces are measured from the page's edge rather than from the text.
        if (st.story == &m_body)
            sectionPage().pageBordersFromText = !(param & 32);
    } else if (w.starts_with("pgbrdr")) {
        // Art borders, and whether the rules reach around the header and footer: plain rules around the
        // margins stand for them.
    } else if (w == "box") {
        st.border = BorderTarget::AllOfParagraph;
    } else if (w == "chbrdr") {
        st.border = BorderTarget::Characters;
    } else if (w == "brdrbtw" || w == "brdrbar") {
        st.border = BorderTarget::None;
    } else if (w.starts_with("brdr") || w == "brsp") {
        borderWord(st, w, param);
    } else if (w == "clbrdrt" || w == "clbrdrl" || w == "clbrdrb" || w == "clbrdrr") {
        st.border = BorderTarget::Cell;
        st.borderSide = w == "clbrdrt"   ? Side::Top
                        : w == "clbrdrl" ? Side::Left
                        : w == "clbrdrb" ? Side::Bottom
                                         : Side::Right;
    } else if (w.starts_with("trbrdr")) {
        st.border = BorderTarget::None; // the cells' own borders are what is drawn
    } else {
        return false;
    }
    return true;
}

void Reader::borderWord(State& st, Word w, int param) {
    std::array<Border*, 4> edges{};
    if (st.border == BorderTarget::Paragraph)
        edges[0] = &edge(st.para.borders, st.borderSide);
    else if (st.border == BorderTarget::AllOfParagraph)
        for (size_t i = 0; i < 4; ++i)
            edges[i] = &st.para.borders[i];
    else if (st.border == BorderTarget::Cell && st.story)
        edges[0] = &edge(st.story->cellDef.borders, st.borderSide);
    else if (st.border == BorderTarget::Page)
        edges[0] = &edge(sectionPage().pageBorders, st.borderSide);
    else if (st.border == BorderTarget::Characters) {
        // The text read so far keeps the box it was given.
        flushText(st);
        edges[0] = &st.chr.border;
    }
    for (Border* b : edges) {
        if (!b)
            continue;
        if (w == "brdrw")
            b->widthTwips = qBound(0, param, 255) * (st.thickRule ? 2 : 1) * st.pairedRuleShare / 100;
        else if (w == "brsp")
            b->spaceTwips = qBound(0, param, 1440);
        else if (w == "brdrcf")
            b->color = color(param);
        else if (w == "brdrnone" || w == "brdrnil" || w == "brdrtbl")
            b->style = Border::None;
        else if (w == "brdrsh")
            b->shadow = true;
        else if (w == "brdrdb")
            b->style = Border::Double;
        else if (pairedRuleShare(w) > 0) {
            // Thick and thin lines (\brdrthtnsg, \brdrtnthlg...), triple, sunken and raised ones, as a
            // double rule as wide across as they are.
            b->style = Border::Double;
            if (st.pairedRuleShare == 100)
                b->widthTwips = b->widthTwips * pairedRuleShare(w) / 100;
        } else if (w == "brdrdot")
            b->style = Border::Dotted;
        else if (w.starts_with("brdrdash"))
            b->style = Border::Dashed;
        else
            b->style = Border::Single; // \brdrs, \brdrth, \brdrhair and the fancier rules
        if (w == "brdrth" && !st.thickRule)
            b->widthTwips *= 2;
        // LibreOffice draws no box of a thick rule round letters, whatever the words around it.
        if (w == "brdrth" && st.border == BorderTarget::Characters)
            b->style = Border::None;
    }
    if (w == "brdrth")
        st.thickRule = true;
    if (pairedRuleShare(w) > 0)
        st.pairedRuleShare = pairedRuleShare(w);
}

void Reader::endCellDefinition(StoryBuilder& b, int right) {
    Cell c = std::move(b.cellDef);
    c.rightTwips = right;
    c.shading = shading(b.cellBack, b.cellFore, b.cellShade);
    for (size_t i = 0; i < 4; ++i) {
        const int pad = padding(b.cellPad[i], b.cellPadUnit[i]);
        if (pad >= 0)
            (Side(i) == Side::Top      ? c.topPadTwips
             : Side(i) == Side::Left   ? c.leftPadTwips
             : Side(i) == Side::Bottom ? c.bottomPadTwips
                                       : c.rightPadTwips) = pad;
    }
    if (b.rowDef.cells.size() < kMaxCells) {
        b.rowDef.cells.push_back(std::move(c));
        b.definedCells.emplace_back(b.cellWidthInTwips ? b.cellWidth : 0, b.cellMerge);
    }
    b.cellDef = Cell{};
    b.cellBack = b.cellFore = -1;
    b.cellShade = 0;
    b.cellPad = b.cellPadUnit = {-1, -1, -1, -1};
    b.cellWidth = 0;
    b.cellWidthInTwips = true;
    b.cellMerge = 0;
}

namespace {

// Appends the paragraphs and tables of one cell to another's.
void appendCell(std::vector<Paragraph>& paragraphs, std::vector<NestedTable>& tables,
                std::vector<Paragraph>&& morePara, std::vector<NestedTable>&& moreTables) {
    const size_t offset = paragraphs.size();
    for (NestedTable& t : moreTables) {
        t.before += offset;
        tables.push_back(std::move(t));
    }
    std::move(morePara.begin(), morePara.end(), std::back_inserter(paragraphs));
    morePara.clear();
    moreTables.clear();
}

// The paragraphs and tables read since the last cell mark become a cell of the row being filled.
void closeCell(std::vector<Paragraph>& paragraphs, std::vector<NestedTable>& tables,
               std::vector<Cell>& cells) {
    if (cells.size() >= kMaxCells) {
        // More cells than a row can hold: the rest of the row's text goes into its last cell.
        appendCell(cells.back().paragraphs, cells.back().tables, std::move(paragraphs), std::move(tables));
        return;
    }
    Cell cell;
    cell.paragraphs = std::move(paragraphs);
    cell.tables = std::move(tables);
    paragraphs.clear();
    tables.clear();
    cells.push_back(std::move(cell));
}

void closeCell(StoryBuilder& b) {
    closeCell(b.cellParagraphs, b.cellTables, b.cells);
}

// The paragraphs and tables of the cell being filled at `depth`.
std::pair<std::vector<Paragraph>*, std::vector<NestedTable>*> cellAt(StoryBuilder& b, int depth) {
    if (depth <= 1)
        return {&b.cellParagraphs, &b.cellTables};
    while (b.nests.size() < size_t(depth - 1))
        b.nests.emplace_back();
    StoryBuilder::Nest& n = b.nests[size_t(depth - 2)];
    return {&n.paragraphs, &n.tables};
}

// The tables nested deeper than `depth` are complete: each goes into the cell around it, where the text
// read so far ends. Cells left without their row end keep their text as a row of their own.
void closeNests(StoryBuilder& b, int depth) {
    while (b.nests.size() > size_t(qMax(0, depth - 1))) {
        StoryBuilder::Nest n = std::move(b.nests.back());
        b.nests.pop_back();
        auto [paragraphs, tables] = cellAt(b, int(b.nests.size()) + 1);
        if (!n.paragraphs.empty() || !n.tables.empty())
            closeCell(n.paragraphs, n.tables, n.cells);
        if (!n.cells.empty()) {
            Row row;
            int right = 0;
            for (Cell& c : n.cells) {
                right += 1440;
                c.rightTwips = right;
                row.cells.push_back(std::move(c));
            }
            n.table.rows.push_back(std::move(row));
        }
        if (!n.table.rows.empty())
            tables->push_back(NestedTable{paragraphs->size(), std::move(n.table)});
    }
}

} // namespace

int tableDepth(const State& st) {
    return qMax(st.inTable ? 1 : 0, st.tableDepth);
}

void addCellParagraph(StoryBuilder& b, Paragraph p, int depth) {
    closeNests(b, depth);
    cellAt(b, depth).first->push_back(std::move(p));
}

namespace {

// LibreOffice gives a Word table the last row's left padding (\trpaddl) as its own: every row's edges
// stand that far left of \trleft, and a row that names no padding of its own takes it. Where the last
// row names none, each row's edges stand its own cell gap left, whatever padding the row names.
void shareLastRowPadding(Table& table) {
    if (table.rows.size() < 2)
        return;
    const int last = table.rows.back().leftPadTwips;
    for (Row& row : table.rows) {
        const qint64 moved = row.leftPadTwips >= 0 ? row.leftPadTwips : row.gapTwips;
        const qint64 shift = last >= 0 ? last : row.gapTwips;
        if (last >= 0 && row.leftPadTwips < 0)
            row.leftPadTwips = last;
        if (moved == shift)
            continue;
        row.leftTwips = clampTwips(row.leftTwips + moved - shift);
        for (Cell& c : row.cells)
            c.rightTwips = clampTwips(c.rightTwips + moved - shift);
    }
}

} // namespace

void Reader::flushTable(StoryBuilder& b) {
    closeNests(b, 1);
    if (!b.cells.empty() || !b.cellParagraphs.empty() || !b.cellTables.empty()) {
        // Cells without a row end: keep them as a row of their own.
        if (!b.cellParagraphs.empty() || !b.cellTables.empty())
            closeCell(b);
        b.table.rows.push_back(takeRow(b));
    }
    if (!b.table.rows.empty()) {
        shareLastRowPadding(b.table);
        b.story->blocks.emplace_back(std::move(b.table));
        b.table = Table{};
    }
}

Row Reader::takeRow(StoryBuilder& b) {
    // The definition's row properties without its cells: a stored row keeps no more room than its own
    // cells need.
    std::vector<Cell> defined;
    std::swap(defined, b.rowDef.cells);
    Row row = b.rowDef;
    b.rowDef.cells = std::move(defined);
    for (size_t i = 0; i < 4; ++i) {
        const int pad = padding(b.rowPad[i], b.rowPadUnit[i]);
        if (pad >= 0)
            (Side(i) == Side::Top      ? row.topPadTwips
             : Side(i) == Side::Left   ? row.leftPadTwips
             : Side(i) == Side::Bottom ? row.bottomPadTwips
                                       : row.rightPadTwips) = pad;
    }
    // LibreOffice sets a row's cell edges its left padding left of where the file gives them, so that
    // the first cell's text starts at \trleft; Word's own tables come out a cell gap further left.
    const int shift = row.leftPadTwips >= 0 ? row.leftPadTwips : row.gapTwips;
    row.leftTwips = clampTwips(qint64(row.leftTwips) - shift);
    row.cells.reserve(b.cells.size());
    const qint64 share = b.rowWidth > 0 ? b.rowWidth / qint64(b.cells.size()) : 0;
    int lastRight = row.leftTwips;
    for (size_t i = 0; i < b.cells.size(); ++i) {
        const bool known = i < b.rowDef.cells.size();
        Cell c = known ? b.rowDef.cells[i] : Cell{};
        const auto [preferred, merge] = known ? b.definedCells[i] : std::pair<int, quint8>{0, 0};
        c.paragraphs = std::move(b.cells[i].paragraphs);
        c.tables = std::move(b.cells[i].tables);
        c.rightTwips = known ? clampTwips(qint64(c.rightTwips) - shift) : lastRight;
        // A cell the definition forgot, one without its edge, or out of order: as wide as it would
        // like, or its share of the row, or an inch.
        if (c.rightTwips <= lastRight)
            c.rightTwips = clampTwips(qint64(lastRight) + (preferred > 0 ? preferred
                                                           : share > 0   ? share
                                                                         : 1440),
                                      lastRight == kMaxTwips ? kMaxTwips : lastRight + 1);
        lastRight = c.rightTwips;
        if (merge == 2 && !row.cells.empty()) {
            // Merged with the cell before: one cell across both, with the text either holds.
            Cell& first = row.cells.back();
            first.rightTwips = c.rightTwips;
            edge(first.borders, Side::Right) = edge(c.borders, Side::Right);
            std::erase_if(c.paragraphs, [](const Paragraph& p) { return p.runs.empty(); });
            appendCell(first.paragraphs, first.tables, std::move(c.paragraphs), std::move(c.tables));
            continue;
        }
        row.cells.push_back(std::move(c));
    }
    b.cells.clear();
    if (b.rowRightToLeft) {
        Table one;
        one.rows.push_back(std::move(row));
        mirrorColumns(one);
        return std::move(one.rows.front());
    }
    return row;
}

void Reader::endCell(State& st) {
    flushText(st);
    StoryBuilder* b = st.story;
    if (!b || st.inResult || st.target)
        return;
    addCellParagraph(*b, takeParagraph(st, *b), 1);
    if (b->cells.empty() && b->table.rows.empty() && (b->breakPending || b->sectionPending)) {
        b->tableBreakPending = true;
        b->breakPending = b->sectionPending = false;
    }
    closeCell(*b);
}

void Reader::endNestedCell(State& st) {
    flushText(st);
    StoryBuilder* b = st.story;
    if (!b || st.inResult || st.target)
        return;
    const int depth = qMax(2, tableDepth(st));
    addCellParagraph(*b, takeParagraph(st, *b), depth);
    StoryBuilder::Nest& n = b->nests[size_t(depth - 2)];
    closeCell(n.paragraphs, n.tables, n.cells);
}

bool Reader::openNestedRow(State& st, GroupLocals&, Word) {
    flushText(st);
    // The row words that follow describe the nested row: the row around it keeps its own.
    if (StoryBuilder* b = st.story; b && !b->outerRow)
        b->outerRow =
            StoryBuilder::RowDefinition{b->rowDef, b->definedCells, b->rowPad, b->rowPadUnit, b->rowWidth};
    return true;
}

void Reader::endNestedRow(State& st) {
    flushText(st);
    StoryBuilder* b = st.story;
    if (!b || st.inResult || st.target)
        return;
    // The row mark's paragraph holds no text of its own.
    b->runs.clear();
    const int depth = qMax(2, tableDepth(st));
    closeNests(*b, depth);
    cellAt(*b, depth);
    StoryBuilder::Nest& n = b->nests[size_t(depth - 2)];
    if (!n.paragraphs.empty() || !n.tables.empty())
        closeCell(n.paragraphs, n.tables, n.cells);
    if (!n.cells.empty()) {
        std::swap(b->cells, n.cells);
        Row row = takeRow(*b);
        std::swap(b->cells, n.cells);
        // Inside a cell LibreOffice sets the row's edge, not its first text, at \trleft.
        const int shift = row.leftPadTwips >= 0 ? row.leftPadTwips : row.gapTwips;
        row.leftTwips = clampTwips(qint64(row.leftTwips) + shift);
        for (Cell& c : row.cells)
            c.rightTwips = clampTwips(qint64(c.rightTwips) + shift);
        n.table.rows.push_back(std::move(row));
    }
    if (b->outerRow) {
        b->rowDef = std::move(b->outerRow->row);
        b->definedCells = std::move(b->outerRow->definedCells);
        b->rowPad = b->outerRow->pad;
        b->rowPadUnit = b->outerRow->padUnit;
        b->rowWidth = b->outerRow->width;
        b->outerRow.reset();
    }
}

void Reader::endRow(State& st) {
    flushText(st);
    StoryBuilder* b = st.story;
    if (!b || st.inResult || st.target)
        return;
    // Text after the last cell mark of a row has nowhere to go; Word never writes any.
    b->runs.clear();
    closeNests(*b, 1);
    b->cellParagraphs.clear();
    b->cellTables.clear();
    if (b->cells.empty())
        return;
    Row row = takeRow(*b);
    if (b->table.rows.empty() && b->tableBreakPending) {
        b->table.pageBreakBefore = true;
        b->tableBreakPending = false;
    }
    b->table.rows.push_back(std::move(row));
}

} // namespace wordproc::rtf
