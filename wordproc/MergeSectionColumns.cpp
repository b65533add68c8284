// Sections set in columns below the text before them, or in columns of their own widths: the body
// takes them as tables without rules, a cell a column.
#include "wordproc/Merge.h"
#include "wordproc/MergeBuilder.h"
#include "wordproc/Pages.h"
#include "wordproc/Template.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextFrame>
#include <QTextTable>
#include <QtGlobal>
#include <algorithm>
#include <numeric>
#include <optional>

namespace wordproc {

namespace {

bool breaksBefore(const Block& b) {
    const Paragraph* p = std::get_if<Paragraph>(&b);
    return p ? p->format.pageBreakBefore : std::get<Table>(b).pageBreakBefore;
}

} // namespace

namespace {

// A section's columns on its sheet: their widths and the gaps after them (twips).
struct ColumnSizes {
    std::vector<int> widths, gaps;
};

// Columns of their own widths as the section gives them; none when they are equal or not all given.
std::optional<ColumnSizes> ownColumnSizes(const PageSetup& page) {
    const size_t count = size_t(page.columns);
    if (count < 2 || page.columnWidths.size() != count || page.columnGaps.size() != count ||
        std::any_of(page.columnWidths.begin(), page.columnWidths.end(), [](int w) { return w < 720; }))
        return std::nullopt;
    ColumnSizes sizes{page.columnWidths, page.columnGaps};
    sizes.gaps.back() = 0;
    return sizes;
}

// A row of `sizes` columns without rules, a cell a column, on a sheet's text `text` twips wide.
Row columnsRow(const ColumnSizes& sizes, int text) {
    const size_t count = sizes.widths.size();
    Row row;
    row.leftPadTwips = 0;
    row.rightPadTwips = 0;
    int x = 0;
    for (size_t k = 0; k < count; ++k) {
        Cell& cell = row.cells.emplace_back();
        cell.leftPadTwips = k > 0 ? sizes.gaps[k - 1] / 2 : 0;
        cell.rightPadTwips = k + 1 < count ? sizes.gaps[k] - sizes.gaps[k] / 2 : 0;
        x += sizes.widths[k] + (k + 1 < count ? sizes.gaps[k] : 0);
        cell.rightTwips = k + 1 < count ? x - sizes.gaps[k] / 2 : text;
    }
    return row;
}

void addToColumn(Cell& cell, const Block& b) {
    if (const Paragraph* p = std::get_if<Paragraph>(&b)) {
        cell.paragraphs.push_back(*p);
        cell.paragraphs.back().format.pageBreakBefore = false;
    } else {
        cell.tables.push_back(NestedTable{cell.paragraphs.size(), std::get<Table>(b)});
        cell.tables.back().table.pageBreakBefore = false;
    }
}

// The columns each block goes in, from `first` on: text that another section running on follows is
// shared evenly among them (`balanced`), as Word balances them; other text fills each column to
// `height` before the next (`fill`), or stays in the first.
std::vector<size_t> columnsOf(const std::vector<qint64>& heights, size_t first, size_t count, qint64 height,
                              bool balanced, bool fill) {
    qint64 total = 0;
    for (size_t i = first; i < heights.size(); ++i)
        total += heights[i];
    std::vector<size_t> out;
    size_t column = 0;
    qint64 above = 0, filled = 0;
    for (size_t i = first; i < heights.size(); ++i) {
        const qint64 own = heights[i];
        const bool next = balanced ? (above + own / 2) * qint64(count) > total * qint64(column + 1)
                                   : fill && filled + own > height;
        if (i != first && column + 1 < count && next) {
            ++column;
            filled = 0;
        }
        above += own;
        filled += own;
        out.push_back(column);
    }
    return out;
}

// The section's text set in `sizes` columns as a table without rules, or none when it does not fit on
// its sheet: a column break starts the next column; other text is shared out as columnsOf() does. A
// section that runs on below other text and is longer than its sheet (`flowing`) goes down its columns
// sheet after sheet, a row a sheet: the first holds `room` twips, the room the text above leaves.
std::optional<Table> columnsTable(const std::vector<qint64>& heights,
                                  std::vector<Block>::const_iterator first,
                                  std::vector<Block>::const_iterator last, const ColumnSizes& sizes, int text,
                                  int height, bool balanced, bool fill, int room = 0) {
    const size_t count = sizes.widths.size();
    const bool broken = std::any_of(first + 1, last, breaksBefore);
    qint64 total = 0;
    for (qint64 h : heights)
        total += h;
    const bool flowing = !broken && !fill && total > height;
    if (flowing && room <= 0)
        return std::nullopt;
    Table table;
    table.rows.push_back(columnsRow(sizes, text));
    if (broken) {
        size_t column = 0;
        for (auto it = first; it != last; ++it) {
            if (it != first && column + 1 < count && breaksBefore(*it))
                ++column;
            addToColumn(table.rows[0].cells[column], *it);
        }
        return table;
    }
    // A flowing section fills whole rows first; what is left is set in the last row.
    size_t from = 0;
    if (flowing) {
        size_t column = 0;
        qint64 filled = 0, rest = total;
        for (size_t i = 0; i < heights.size(); ++i) {
            const qint64 space = table.rows.size() == 1 ? room : height;
            if (column == 0 && filled == 0 && rest <= space * qint64(count))
                break; // the rest fits in the row
            if (filled > 0 && filled + heights[i] > space) {
                filled = 0;
                if (++column == count) {
                    table.rows.push_back(columnsRow(sizes, text));
                    column = 0;
                    if (rest <= height * qint64(count))
                        break;
                }
            }
            addToColumn(table.rows.back().cells[column], *(first + ptrdiff_t(i)));
            filled += heights[i];
            rest -= heights[i];
            from = i + 1;
        }
    }
    const std::vector<size_t> columns = columnsOf(heights, from, count, height, balanced, fill || flowing);
    for (size_t i = from; i < heights.size(); ++i)
        addToColumn(table.rows.back().cells[columns[i - from]], *(first + ptrdiff_t(i)));
    if (fill) {
        qint64 filled = 0;
        for (size_t i = 0; i < heights.size(); ++i)
            filled = i > 0 && columns[i] == columns[i - 1] ? filled + heights[i] : heights[i];
        if (filled > height)
            return std::nullopt;
    }
    return table;
}

} // namespace

void Merger::setSectionColumns() {
    // A catalog's body repeats for every record: its sections are not told apart.
    if (m_t->type == MainType::Catalog && m_data)
        return;
    std::shared_ptr<Template> changed; // a copy of the template, once a section is set in columns
    PageSetup sheet = m_t->page;       // the paper and columns of the sheet the section runs on to
    int sheetStart = 0; // the block the sheet's text starts with; -1: not known, after columns that ran on
    // From the template's own first section (-1) on.
    for (int i = -1; i < int(m_t->sections.size()); ++i) {
        const Template& t = changed ? *changed : *m_t;
        const PageSetup& page = i < 0 ? t.page : t.sections[size_t(i)].page;
        const bool newPage = i < 0 || t.sections[size_t(i)].newPage;
        const int start = i < 0 ? 0 : t.sections[size_t(i)].firstBlock;
        const int end = size_t(i + 1) < t.sections.size() ? t.sections[size_t(i + 1)].firstBlock
                                                          : int(t.body.blocks.size());
        if (newPage) {
            sheet = page;
            sheetStart = start;
        }
        const bool balanced = size_t(i + 1) < t.sections.size() && !t.sections[size_t(i + 1)].newPage;
        if (start < 0 || end <= start || size_t(end) > t.body.blocks.size())
            continue;
        const int text = sheet.widthTwips - sheet.leftTwips - sheet.rightTwips;
        const int height = sheet.heightTwips - sheet.topTwips - sheet.bottomTwips;
        std::optional<Table> table;
        if (newPage) {
            // The body's pages here are its columns, all of one width: a section that starts a sheet in
            // columns of their own widths is set in a table when its text fits on the sheet.
            const std::optional<ColumnSizes> own = ownColumnSizes(page);
            if (!own)
                continue;
            table = columnsTable(measure(t.body.blocks, start, end, own->widths.front(), height).heights,
                                 t.body.blocks.begin() + start, t.body.blocks.begin() + end, *own, text,
                                 height, balanced, true);
        } else {
            // Word and LibreOffice set a section that runs on in more columns below the text before it
            // on the same sheet. Such a section is set in a table as well, a row a sheet when it is
            // longer than its sheet; a body already in columns keeps them.
            const int count = page.columns;
            if (count < 2 || sheet.columns != 1)
                continue;
            std::optional<ColumnSizes> sizes = ownColumnSizes(page);
            if (!sizes) {
                const int gap = qMax(0, page.columnGapTwips);
                const int width = (text - (count - 1) * gap) / count;
                if (width < 720)
                    continue;
                sizes =
                    ColumnSizes{std::vector<int>(size_t(count), width), std::vector<int>(size_t(count), gap)};
            }
            const std::vector<qint64> heights =
                measure(t.body.blocks, start, end, sizes->widths.front(), height).heights;
            // The room the text above leaves on its last page, for a section longer than a sheet.
            const bool longer = std::accumulate(heights.begin(), heights.end(), qint64(0)) > height;
            const int room = sheetStart < 0 || !longer
                                 ? 0
                                 : int(height - measure(t.body.blocks, sheetStart, start, text, height).end);
            table = columnsTable(heights, t.body.blocks.begin() + start, t.body.blocks.begin() + end, *sizes,
                                 text, height, balanced, false, room);
            if (table && table->rows.size() > 1)
                sheetStart = -1;
        }
        if (!table)
            continue;
        if (!changed)
            changed = std::make_shared<Template>(*m_t);
        std::vector<Block>& blocks = changed->body.blocks;
        const int removed = end - start - 1;
        blocks.erase(blocks.begin() + start + 1, blocks.begin() + end);
        table->pageBreakBefore = newPage && breaksBefore(blocks[size_t(start)]);
        blocks[size_t(start)] = std::move(*table);
        for (size_t k = size_t(i + 1); k < changed->sections.size(); ++k)
            changed->sections[k].firstBlock -= removed;
        if (newPage) {
            PageSetup& set = i < 0 ? changed->page : changed->sections[size_t(i)].page;
            set.columns = 1;
            sheet = set;
        }
    }
    if (changed)
        m_t = std::move(changed);
}

Merger::Measured Merger::measure(const std::vector<Block>& blocks, int first, int last, int width,
                                 int height) {
    Measured out;
    if (first >= last)
        return out;
    PageSetup page = m_t->page;
    page.widthTwips = width;
    page.leftTwips = page.rightTwips = 0;
    page.columns = 1;
    page.columnWidths.clear();
    const double pageHeight = twipsToLayout(qMax(720, height));
    const std::unique_ptr<QTextDocument> doc = newPagedDocument(page, m_t->defaultFamily, pageHeight);
    Story story;
    story.blocks.assign(blocks.begin() + first, blocks.begin() + last);
    std::vector<double> tops;
    {
        Builder builder(*this, *doc);
        builder.begin();
        Cursor cursor;
        builder.story(story, cursor);
        builder.end();
        builder.finish();
        tops = builder.storyBlockTops();
    }
    // The paragraphs laid out here are copies: what was kept by their addresses goes with them.
    m_blockFormats.clear();
    m_lineHeights.clear();
    QAbstractTextDocumentLayout* layout = doc->documentLayout();
    // The text ends with its last line's room, which lines set closer than their letters' height end
    // before their rectangle does.
    const QTextBlock lastBlock = doc->lastBlock();
    double end = layout->blockBoundingRect(lastBlock).bottom();
    if (const int count = lastBlock.layout()->lineCount(); count > 0) {
        end = lineRoomTop(lastBlock, count - 1) + lineRoomHeight(lastBlock, count - 1);
    }
    tops.resize(story.blocks.size(), end);
    tops.push_back(end);
    const auto twips = [](double layoutPixels) {
        return qint64(std::llround(layoutPixels * 1440.0 / kLayoutDpi));
    };
    for (size_t i = 0; i + 1 < tops.size(); ++i)
        out.heights.push_back(qMax<qint64>(0, twips(tops[i + 1] - tops[i])));
    out.end = twips(end - std::floor(end / pageHeight) * pageHeight);
    return out;
}

} // namespace wordproc
