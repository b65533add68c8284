#pragma once

// The merger's insides, shared by its files: the builder that writes stories into one QTextDocument,
// with its stories, paragraphs, runs, fields and pictures (MergeBuilder.cpp), tables (MergeTables.cpp),
// page breaks (MergePageBreaks.cpp), footnotes and endnotes (MergeNotes.cpp) and floating pictures and
// text boxes (MergeFloating.cpp). Nothing outside wordproc/Merge*.cpp includes it.

#include "wordproc/Merge.h"
#include "wordproc/MergeFormats.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <tuple>
#include <vector>

namespace wordproc {

// How far a picture's outline and shadow reach out past the room kept round it (twips).
QMargins pictureBleed(const Picture& pic, const QMargins& room);
// The picture `shown` with its outline and shadow, within clear room round it (twips).
QImage framedPicture(QImage shown, const Picture& pic, const QMargins& room);

struct Merger::Cursor {
    int record = 0;
    bool exhausted = false; // a NEXT found no further record: the rest of the copy stays blank
};

// Writes stories into one QTextDocument.
class Merger::Builder {
    // Tables whose rows have a set height or whose cells set their text lower than the top: their
    // cells, with the padding the template gives them (Qt's units), to be fitted once laid out.
    struct SizedCell {
        int row, column, rows;
        Cell::VAlign align;
        double top, bottom;
    };
    struct SizedTable {
        QTextTable* table;
        const Table* source;
        std::vector<SizedCell> cells;
    };
    // Where a table's cell lies: its columns, and the rows a cell merged down the column spans.
    struct Place {
        int row, column, rows, columns;
        const Cell* cell;
        int folded = 0;             // narrow columns at its left that the cell reaches over from `column`
        const Cell* foot = nullptr; // the last cell a merge down the column covers: its rule ends it
        std::array<int, 2> ruledRows{0, 0}; // the rows its left and right rules run down from its top
    };
    // Where the notes' references stand; the cursors follow the text as it changes.
    struct NoteRef {
        QTextCursor at;
        int note;
        int record;
    };

public:
    Builder(Merger& merger, QTextDocument& doc) : m(merger), m_doc(doc), m_cursor(&doc) {}

    // Where each block of the last story starts down the document, in layout pixels.
    std::vector<double> storyBlockTops() const;
    // The number of the block the next story's text starts in.
    int nextBlock() const { return m_doc.blockCount() - (m_flow.fresh ? 1 : 0); }

    // Changes are batched into one edit, so that Qt lays the text out once, not after every run.
    void begin() { m_cursor.beginEditBlock(); }
    void end();

    void story(const Story& s, Cursor& c);

    // A page header or footer keeps the empty paragraph after its last table as a line, as Word and
    // LibreOffice do; a story on the page's body lets it take no room.
    void setBand() { m_band = true; }

    // The body's lines keep to the section's grid of lines, `twips` apart (0: none).
    void setLineGrid(int twips) { m_lineGrid = twipsToLayout(twips); }

    // The body is set in `count` columns, each a page of the document.
    void setColumns(int count) { m_columns = qMax(1, count); }

    // The cursor's block takes no room: a line of no height in a 1-point font.
    void makeBlockEmptyOfHeight();

    static bool isEmptyParagraph(const Block& b);

    // Gives rows with a set height their height, and sets the text of cells that ask for it in their
    // middle or at their foot, once the text is in and laid out: Qt knows neither.
    void finish();
    // A one-line paragraph whose right stop past its end was set at the end (keepTabsOnLine) reaches
    // past the margin to the stop, as LibreOffice sets it.
    void reachStopsPastEnd();
    // Cells of rows that break over a page's end (or of `only`'s rows) keep to their padding there, the
    // space below their last paragraph going on with it; a row whose first lines fit above the page's
    // foot then breaks there, as LibreOffice breaks it.
    void keepCellsToPadding(const QTextTable* only);

    // Qt's table lengths are in 96-dpi units; the layout's in its device's pixels.
    static constexpr double kQtScale = kLayoutDpi / 96.0;

    // The heights of the table's rows that their set height makes, by row, as fitted. `fitted` marks
    // the cells fitted so far (one flag for each of the table's sized cells); `changed` is set when a
    // cell is changed.
    template <typename PageOf>
    std::map<int, double> fitRows(QAbstractTextDocumentLayout& layout, const SizedTable& st,
                                  std::vector<char>& fitted, bool& changed, const PageOf& page);

    // Qt breaks any row over a page's end; one that must not break goes on to the next page whole, as
    // in the common word processors, unless it is taller than a page.
    void keepRowsTogether(QAbstractTextDocumentLayout& layout, double pageHeight);
    // Takes a table's last row (or the table) on with `next`, the paragraph after it, where the row
    // is to be kept with it and `next` stands on a later page: whether it did.
    bool keepTableFootWith(const QTextBlock& next, double pageHeight);

    bool hasPageFields() const { return m_pageFields; }

    // Notes' references in the stories to come are kept, for endnotes() and placeNotes().
    void collectNotes() { m_collectNotes = true; }

    // The endnotes `refs` (note and record), one after the other.
    void endnotes(const std::vector<std::pair<int, int>>& refs);
    // The endnotes referred to in this builder's text, as note and record.
    std::vector<std::pair<int, int>> endnoteRefs() const;

    // Sets the footnotes at the foot of the pages their references fall on, and keeps the body clear of
    // them: the lines that would run into the notes go on to the next page, the paragraph split there.
    // Notes taller than most of a page run on to the next page, at worst onto one of their own.
    void placeNotes(std::vector<std::vector<NoteSlice>>& out, double pageHeight);

    // The page of the document that the story's block `index` starts on, as the last story() laid it
    // out in pages of `pageHeight`.
    int pageOfStoryBlock(size_t index, double pageHeight) const;

    // The story's first page starts `height` layout pixels lower than the others: an empty line of that
    // height comes first.
    void startLower(double height);

    // Where the body's page `page` stands on its sheet, in layout pixels from the sheet's top, and how
    // much of it its text leaves empty at its top: the sheet's own header or footer may leave it less
    // room than the body's pages have. The first page's room is left by startLower().
    struct PageRoom {
        double top = 0, above = 0;
    };
    void setPageRooms(std::function<PageRoom(int)> rooms) { m_rooms = std::move(rooms); }

    // Whether text flows beside a floating picture: where it is to and there is an inch of room.
    bool besideText(const Floating& fl) const;

    // Keeps the lines clear of a picture with an empty floating frame that covers it; the picture is
    // painted over that place. `cur`, at the start of an empty paragraph, goes on after it.
    QTextFrame* keepClear(QTextCursor& cur, const Floating& fl);

    // Whether a picture the text flows by stands left of the text (else right of it), and the room
    // beside it, gap included.
    bool clearsLeft(const Floating& fl, int* room = nullptr) const;
    // How far into the text from its edge on that side a picture and its gap reach, in twips.
    int reach(const Floating& fl, bool left) const;
    // The width of the text a picture stands by: the body's column where it has several.
    int textTwips() const;

    // A picture placed on the page or its margin keeps clear the lines from its anchor's top down to
    // its own bottom, `bottom` in the page's layout pixels, once the anchor's place is known.
    void reachClear(QTextFrame* frame, double anchorTop, double bottom);

    // A picture in a line taller than a page is cut at the page's foot, as Word and LibreOffice print
    // it: its line then fits a page of its own, and the text after it starts the next page.
    void cropTallPictures(double pageHeight);

    // A paragraph that the text runs on to a new page starts at the page's top, without its space
    // before, as in the common word processors; Qt keeps the space. Qt knows neither widows and orphans
    // nor paragraphs kept with the next one: the pages are broken again here where they ask for it.
    void dropSpaceAtPageTops(double pageHeight);
    // Whether each page that leaves room above its text opens with a paragraph, which holds that room:
    // a table's rows that run on to such a page, or a table that opens it, would start at its top.
    bool roomsKept(double pageHeight) const;

    // A paragraph that runs over a page's end leaves at least two lines on the page and takes at least
    // two on to the next, as in the common word processors: where it would leave one it starts on the
    // next page, where it would take one it takes the line before as well, in a block of its own.
    // Ends block `b` after its line `line` - 1 and starts its further lines on the next page.
    void breakBeforeLine(const QTextBlock& b, int line);
    // The block opens page `page`: the room the page's sheet leaves empty above its text goes above it.
    void leaveRoomAbove(const QTextBlock& b, int page);
    double roomAbove(int page) const { return m_rooms && page > 0 ? m_rooms(page).above : 0.0; }

    template <typename LineTop, typename StartPage>
    void keepWidowsAndOrphans(const QTextBlock& b, double pageHeight, const LineTop& lineTop,
                              bool belowPageTop, const StartPage& startPage);

    // Lays out a text box's text with the record in force at its anchor, to be painted in its box.
    void textBox(PlacedPicture& placed, const Floating& fl, int record);

    // Places the pictures anchored in this document, whose top lies `origin` below the sheet's top and
    // whose pages are `pageHeight` tall (0: a header or footer, on every page). Text that must not run
    // under a picture starts below it.
    void placeFloats(std::vector<PlacedPicture>& out, double origin, double pageHeight,
                     const QTextDocument* band = nullptr);

private:
    // The page of the document that the text at `at` lies on.
    int pageOf(const QTextCursor& at, double pageHeight) const;

    // The notes of `refs`, one after the other, as wide as the body.
    std::shared_ptr<QTextDocument> layNotes(const std::vector<const NoteRef*>& refs);

    // The foot of the last line of `doc` that ends between `from` and `to`; failing that the foot of the
    // first line below `from`, so that each page takes at least a line; `from` when there is none.
    static double lineEndBefore(const QTextDocument& doc, double from, double to);

    // A new empty page at the end of the document, for notes that run on past the text.
    void addEmptyPage();

    // Moves the first line of page `page` that reaches below `limit` (document coordinates) on to the
    // next page, with what follows it; false when there is none, or it cannot move: it opens its page,
    // or it lies in a table that started on a page before.
    bool moveOn(int page, double limit, double pageHeight);
    // Tables that keepTableFootWith() sent on to a new page start where the text before them ends again.
    void unkeepTables();
    // One placing of the notes, as placeNotes(); whether it moved text on.
    bool placeNotesOnce(std::vector<std::vector<NoteSlice>>& out, double pageHeight);

    // Where the paragraphs of one flow (the story, a table cell) stand.
    struct Flow {
        bool fresh = true; // the flow's empty first block takes the next paragraph
        int afterTwips = 0;
        const Paragraph* previous = nullptr;
        QTextTable* table = nullptr; // a table in a cell that the next paragraph follows
    };

    static bool sameBorders(const Paragraph* a, const Paragraph* b);

    void paragraph(QTextCursor& cur, const Paragraph& p, Cursor& c, Flow& flow, const Paragraph* next);
    // Text of the automatic colour in the blocks from `first` to `last` turned white, where it stands
    // on `background` that is dark.
    static void lightenAutoText(const QTextBlock& first, const QTextBlock& last, const QColor& background);
    void alignListNumber(QTextBlockFormat& f, const Paragraph& p) const;

    // A paragraph of nothing but merge fields, and spaces or tabs, whose fields all come out empty.
    bool emptyMergeLine(const Paragraph& p, const Cursor& c) const;

    // Text of one format is gathered and inserted at once: fewer, longer insertions lay out faster.
    void text(QTextCursor& cur, const QString& s, int format, const Cursor& c);

    void flush();

    void runs(QTextCursor& cur, const std::vector<Run>& list, Cursor& c);

    void picture(QTextCursor& cur, const Run& r, const Cursor& c);

    // The format a field's value takes: the stored result's with MERGEFORMAT, else the field code's.
    int valueFormat(const Field& f) const;

    void field(QTextCursor& cur, const Run& r, Cursor& c);
    void fieldContent(QTextCursor& cur, const Run& r, Cursor& c);
    // The true or false text the IF field `index` shows for the record (MergeIfFields.cpp); none when
    // its code cannot be evaluated, which leaves its stored result.
    std::optional<std::vector<Run>> ifChoice(int index, const Cursor& c, int depth) const;
    // What runs, or a field nested in a code, come to as text for the record.
    QString runsText(const std::vector<Run>& list, const Cursor& c, int depth) const;
    QString fieldText(int index, const Cursor& c, int depth) const;

    // The padding of a cell in twips, on its own or from its row: left, top, right, bottom.
    static std::array<int, 4> cellPadding(const Row& row, const Cell& cell);

    void table(const Table& t, Cursor& c);
    // A table inside a table's cell, at `cur` in the cell's flow.
    void nestedTable(QTextCursor& cur, const Table& t, Cursor& c, Flow& flow);
    // Where each of the table's cells lies among the `columns` edges.
    static std::vector<Place> placeCells(const Table& t, const std::vector<int>& columns);
    // How much lower LibreOffice ends the cell than Qt, for the spacing of its last line (logical).
    double lastLineSpacing(const QTextTableCell& cell, const Cell& source) const;
    // Fills the cells with their paragraphs and gives them their padding, rules and shading; the cells
    // that are to be fitted once laid out are returned.
    SizedTable fillCells(QTextTable* qt, const Table& t, const std::vector<int>& columns,
                         const std::vector<Place>& places, Cursor& c);
    // Fills a new table, merges its spanning cells and keeps its sized cells for fitting.
    void fillAndMerge(QTextTable* qt, const Table& t, const std::vector<int>& columns, Cursor& c);

    Merger& m;
    QTextDocument& m_doc;
    QTextCursor m_cursor;
    Flow m_flow;
    QTextTable* m_table = nullptr; // the table just closed, until the paragraph after it
    struct Anchor {
        // The anchor's block: a cursor at its start, which keeps to it while text goes in before it,
        // as a table's cells filled after the ones below them put it.
        QTextCursor block;
        int index;                   // the float
        int record;                  // the record in force there, for a text box's fields
        QTextFrame* clear = nullptr; // the frame keepClear() put there
    };
    std::vector<Anchor> m_anchors;
    bool m_pageFields = false;
    bool m_lowered = false; // startLower() gave the first page's empty first line
    bool m_ledIn = false;   // an empty block of no height stands before the body's first paragraph
    std::function<PageRoom(int)> m_rooms;
    std::vector<int> m_blockStarts; // per block of the last story: the document block it starts in
    QString m_pending;
    int m_pendingFormat = -1;
    QTextCursor* m_pendingCursor = nullptr;
    std::set<int> m_pictures;
    std::vector<QTextCursor> m_pictureAfterText; // before inline pictures that text precedes
    std::vector<SizedTable> m_sized;
    // The tables of the story with rows that must not break across pages.
    std::vector<std::pair<QTextTable*, const Table*>> m_kept;
    // Cells whose padding holds the space above their first paragraph or below their last: the table,
    // row, column and those spaces.
    struct SpacedCell {
        QTextTable* table;
        int row, column;
        double above, below;
    };
    std::vector<SpacedCell> m_spaced;
    // Spaced cells whose space below went from their padding to a hair paragraph after them: by table,
    // row and column.
    std::set<std::tuple<const QTextTable*, int, int>> m_keptToPadding;
    bool m_collectNotes = false;
    bool m_breakNext = false; // the next paragraph of the story starts a new page
    bool m_band = false;      // the story is a page header or footer
    // What the story's text stands on where its paragraph has no shading of its own: the cell's
    // shading, the text box's fill (invalid: the page).
    QColor m_behind;
    double m_lineGrid = 0; // layout pixels
    int m_columns = 1;     // the body's columns, each a page of the document
    // How far the stories' paragraphs reach into the left and right margins (layout pixels).
    double m_reachLeft = 0, m_reachRight = 0;
    std::vector<NoteRef> m_noteRefs;
    std::vector<FieldSpan> m_fieldSpans; // the merge fields printed as the template stores them
    std::vector<int> m_splits;           // blocks that placeNotes() split off, in order
};

} // namespace wordproc
