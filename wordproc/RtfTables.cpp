// Tables and borders: row and cell definitions, the rows being filled, and the rules around paragraphs
// and cells.

#include "wordproc/RtfReaderPrivate.h"
#include "wordproc/Twips.h"

namespace wordproc::rtf {

bool Reader::tableWord(State& st, Word w, int param) {
    const bool body = st.dest == Dest::Body;
    if (w == "cell") {
        if (body)
            endCell(st);
    } else if (w == "row" || w == "nestrow") {
        if (body)
            endRow(st);
    } else if (w == "intbl") {
        st.inTable = true;
    } else if (w == "cellx") {
        if (st.story)
            endCellDefinition(*st.story, clampTwips(param));
    } else if (st.story && (w == "clcbpat" || w == "clcfpat" || w == "clshdng")) {
        (w == "clcbpat"   ? st.story->cellBack
         : w == "clcfpat" ? st.story->cellFore
                          : st.story->cellShade) = param;
    } else if (st.story && (w == "clpadt" || w == "clpadr")) {
        // Word writes a cell's left padding as \clpadt (and its top as \clpadl); LibreOffice follows.
        (w == "clpadt" ? st.story->cellDef.leftPadTwips : st.story->cellDef.rightPadTwips) =
            qBound(0, param, 1440 * 22);
    } else if (w == "trowd") {
        if (st.story) {
            st.story->rowDef = Row{};
            st.story->cellDef = Cell{};
            st.story->cellBack = st.story->cellFore = -1;
            st.story->cellShade = 0;
        }
        st.border = BorderTarget::None;
    } else if (w == "trgaph") {
        if (st.story)
            st.story->rowDef.gapTwips = clampPositiveTwips(param);
    } else if (w == "trleft") {
        if (st.story)
            st.story->rowDef.leftTwips = clampTwips(param);
    } else if (w == "trrh") {
        if (st.story)
            st.story->rowDef.heightTwips = clampTwips(param);
    } else if (w == "trqc" || w == "trqr" || w == "trql") {
        if (st.story)
            st.story->rowDef.align = w == "trqc" ? Row::Center : w == "trqr" ? Row::Right : Row::Left;
    } else {
        return false;
    }
    return true;
}

// The words that say which edge the rule words describe, and the rule words themselves.
bool Reader::borderTargetWord(State& st, Word w, int param) {
    if (w == "brdrt" || w == "brdrl" || w == "brdrb" || w == "brdrr") {
        st.border = BorderTarget::Paragraph;
        st.borderSide = w == "brdrt"   ? Side::Top
                        : w == "brdrl" ? Side::Left
                        : w == "brdrb" ? Side::Bottom
                                       : Side::Right;
    } else if (w == "box") {
        st.border = BorderTarget::AllOfParagraph;
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
    for (Border* b : edges) {
        if (!b)
            continue;
        if (w == "brdrw")
            b->widthTwips = qBound(0, param, 255);
        else if (w == "brsp")
            b->spaceTwips = qBound(0, param, 1440);
        else if (w == "brdrcf")
            b->color = color(param);
        else if (w == "brdrnone" || w == "brdrnil")
            b->style = Border::None;
        else if (w == "brdrdb")
            b->style = Border::Double;
        else if (w == "brdrdot")
            b->style = Border::Dotted;
        else if (w.starts_with("brdrdash"))
            b->style = Border::Dashed;
        else
            b->style = Border::Single; // \brdrs, \brdrth, \brdrhair and the fancier rules
    }
}

void Reader::endCellDefinition(StoryBuilder& b, int right) {
    Cell c = std::move(b.cellDef);
    c.rightTwips = right;
    c.shading = shading(b.cellBack, b.cellFore, b.cellShade);
    if (b.rowDef.cells.size() < kMaxCells)
        b.rowDef.cells.push_back(std::move(c));
    b.cellDef = Cell{};
    b.cellBack = b.cellFore = -1;
    b.cellShade = 0;
}

namespace {

// The paragraphs read since the last cell mark become a cell of the row being filled.
void closeCell(StoryBuilder& b) {
    if (b.cells.size() >= kMaxCells) {
        // More cells than a row can hold: the rest of the row's text goes into its last cell.
        auto& last = b.cells.back().paragraphs;
        std::move(b.cellParagraphs.begin(), b.cellParagraphs.end(), std::back_inserter(last));
        b.cellParagraphs.clear();
        return;
    }
    Cell cell;
    cell.paragraphs = std::move(b.cellParagraphs);
    b.cellParagraphs.clear();
    b.cells.push_back(std::move(cell));
}

} // namespace

void Reader::flushTable(StoryBuilder& b) {
    if (!b.cells.empty() || !b.cellParagraphs.empty()) {
        // Cells without a row end: keep them as a row of their own.
        if (!b.cellParagraphs.empty())
            closeCell(b);
        b.table.rows.push_back(takeRow(b));
    }
    if (!b.table.rows.empty()) {
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
    row.cells.reserve(b.cells.size());
    int lastRight = 0;
    for (size_t i = 0; i < b.cells.size(); ++i) {
        Cell c = i < b.rowDef.cells.size() ? b.rowDef.cells[i] : Cell{};
        c.paragraphs = std::move(b.cells[i].paragraphs);
        if (c.rightTwips <= lastRight) // a cell the definition forgot, or out of order: one inch
            c.rightTwips = clampTwips(qint64(lastRight) + 1440, 1);
        lastRight = c.rightTwips;
        row.cells.push_back(std::move(c));
    }
    b.cells.clear();
    return row;
}

void Reader::endCell(State& st) {
    flushText(st);
    StoryBuilder* b = st.story;
    if (!b || st.inResult || st.target)
        return;
    Paragraph p = takeParagraph(st, *b);
    b->cellParagraphs.push_back(std::move(p));
    if (b->cells.empty() && b->table.rows.empty() && (b->breakPending || b->sectionPending)) {
        b->tableBreakPending = true;
        b->breakPending = b->sectionPending = false;
    }
    closeCell(*b);
}

void Reader::endRow(State& st) {
    flushText(st);
    StoryBuilder* b = st.story;
    if (!b || st.inResult || st.target)
        return;
    // Text after the last cell mark of a row has nowhere to go; Word never writes any.
    b->runs.clear();
    b->cellParagraphs.clear();
    if (b->cells.empty())
        return;
    Row row = takeRow(*b);
    if (!b->table.rows.empty() && b->table.rows.back().cells.size() != row.cells.size()) {
        b->story->blocks.emplace_back(std::move(b->table));
        b->table = Table{};
    }
    if (b->table.rows.empty() && b->tableBreakPending) {
        b->table.pageBreakBefore = true;
        b->tableBreakPending = false;
    }
    b->table.rows.push_back(std::move(row));
}

} // namespace wordproc::rtf
