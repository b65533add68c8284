#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <array>
#include <utility>
#include <variant>
#include <vector>

// What an RTF template holds once read: its page, its stories (body, page header, page footer) as
// paragraphs and tables of runs, its fields and pictures. Lengths are in twips (1/1440 inch) as the
// file gives them; the merge turns them into laid-out pages.
namespace wordproc {

// One edge's rule, of a paragraph, of a table cell or of a box round letters.
struct Border {
    enum Style : quint8 { None, Single, Double, Dotted, Dashed };
    Style style = None;
    int widthTwips = 0;
    int spaceTwips = 0; // paragraphs: the distance between the rule and the text
    QColor color;       // invalid: automatic (black)
    // \brdrsh: a rule with a shadow, not joined with an unshadowed neighbour's
    bool shadow = false;
    bool visible() const { return style != None; }
    bool operator==(const Border&) const = default;
};

struct CharFormat {
    enum class Script : quint8 { Normal, Super, Sub };
    enum class Caps : quint8 { None, All, Small };

    QString family; // empty: the document's default font
    // The font East Asian text is asked in and its language (w:lang w:eastAsia): LibreOffice sets a
    // line as tall as the face the system gives for both. Empty: the system's sans-serif face.
    QString asianFamily;
    QString asianLanguage;
    int halfPoints = 24;
    QColor color; // invalid: automatic (black)
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    // Word's kinds of underline that LibreOffice draws apart from a single line; words-only leaves the
    // spaces between words bare.
    enum class Line : quint8 { Single, Double, Thick, Dotted, Dashed, Wave, Words };
    Line underlineStyle = Line::Single;
    bool doubleStrike = false;
    Script script = Script::Normal;
    Caps caps = Caps::None;
    // Pairs are kerned in sizes of at least this many half-points; 0: never; -1: the template does not
    // say.
    int kerningFrom = -1;
    int spacingTwips = 0;    // added after each character: where Asian and Western text meet, or set
    int raiseHalfPoints = 0; // the text stands this far above its baseline (below: negative), unshrunk
    int widthPercent = 100;  // the letters drawn this wide
    QColor background;       // a highlight or shading behind the letters; invalid: none
    // A box round the letters (w:bdr, \chbrdr), the same rule on all four sides, its space between the
    // rule and the letters; runs side by side with the same box share one.
    Border border;

    bool operator==(const CharFormat&) const = default;
};

struct TabStop {
    enum Kind : quint8 { Left, Center, Right, Decimal };
    // What fills the space up to the stop: nothing, dots, hyphens, a rule, a thick rule, equal signs,
    // middle dots.
    enum Leader : quint8 { NoLeader, Dots, Hyphens, Underline, Thick, Equals, MiddleDots };
    int twips = 0;
    Kind kind = Left;
    Leader leader = NoLeader;
    bool operator==(const TabStop&) const = default;
};

enum class Side : quint8 { Top, Left, Bottom, Right };
// Indexed by Side.
using Borders = std::array<Border, 4>;
inline Border& edge(Borders& b, Side s) {
    return b[size_t(s)];
}
inline const Border& edge(const Borders& b, Side s) {
    return b[size_t(s)];
}

struct ParaFormat {
    enum Align : quint8 { Left, Center, Right, Justify };
    // A right-to-left paragraph (w:bidi, \rtlpar) mirrors the whole line: its Left alignment, left indent
    // and tab stops belong to its start, the right side, as LibreOffice sets them; Right is its left side.
    bool rightToLeft = false;
    Align align = Left;
    // A list item's number, its first run: Left starts it at the first line's indent, Right ends it
    // there, Center centres it on it.
    Align numberAlign = Left;
    int leftTwips = 0;
    int rightTwips = 0;
    int firstTwips = 0; // first-line indent, negative for a hanging indent
    int beforeTwips = 0;
    int afterTwips = 0;
    int lineTwips = 0; // 0 automatic; > 0 at least; < 0 exactly; with lineMultiple: 240 = single
    bool lineMultiple = false;
    bool pageBreakBefore = false;
    bool keepTogether = false;
    bool keepWithNext = false;
    // No first line alone at a page's foot, nor last line alone at a page's top.
    bool widowControl = false;
    // Its lines keep to the section's grid of lines, where the section has one.
    bool snapToGrid = true;
    std::vector<TabStop> tabs;
    // Bar tabs: vertical rules down the paragraph's lines at these distances from the margin, never
    // stops for the text.
    std::vector<int> barTabs;
    Borders borders;
    QColor shading; // invalid: none
};

struct Run {
    // Note: where a footnote's or endnote's reference stands, after its mark.
    enum Kind : quint8 { Text, Tab, LineBreak, Field, Picture, Floating, Note, CheckBox };
    Kind kind = Text;
    int format = 0; // index into Template::formats
    int index = -1; // Field: into Template::fields; Picture: into Template::pictures; Floating: floats;
                    // Note: into Template::notes; CheckBox: 1 ticked, 0 not
    QString text;   // Text only
};

struct Field {
    enum Kind : quint8 { Merge, Next, Date, Page, NumPages, If, Other };
    Kind kind = Other;
    QString instruction;      // the field code as written, without the fields nested in it
    QString name;             // Merge: the data field
    QStringList caseSwitches; // Merge: "Upper", "Lower", "Caps", "FirstCap", in the order given
    bool mergeFormat = false; // \* MERGEFORMAT: the value takes the stored result's formatting
    QString before;           // Merge: \b text, only when the value is not empty
    QString after;            // Merge: \f text, likewise
    QString datePicture;      // Date: \@ picture, empty for the default
    int codeFormat = 0;       // the format of the field code's first character
    std::vector<Run> result;  // the stored result
    // If: the code as runs, its text in its own formats and each field nested in it as a Field run.
    // A nested field stands before this one in Template::fields, and in no other field's code.
    std::vector<Run> code;
};

struct Picture {
    QImage image;
    int widthTwips = 0;
    int heightTwips = 0;
    // A picture stored only as a Windows metafile (WMF, or EMF when `enhanced`): its records, drawn at
    // the picture's size when the letter is laid out. The image stays null.
    QByteArray metafile;
    bool enhanced = false;
    bool quickDraw = false; // the metafile is a QuickDraw picture (PICT)
    // WordArt set in a line: `wordArt` in `wordArtFamily`, stretched to fill the picture's size, in
    // `wordArtColor`. The image stays null.
    QString wordArt;
    QString wordArtFamily;
    QColor wordArtColor;
    // The shares of the picture cut from its left, top, right and bottom before the rest is stretched
    // over the picture's size; a negative share leaves that much empty room on that side instead.
    std::array<double, 4> crop{};
    // Room kept clear before and after a picture set in a line, and above and below it.
    int leftTwips = 0;
    int rightTwips = 0;
    int topTwips = 0;
    int bottomTwips = 0;
    // An outline round it (invalid: none), `lineTwips` wide: over the picture's own edge, the picture
    // shrunk within it, or round its outside when it casts a shadow or has a 3-D look.
    QColor lineColor;
    int lineTwips = 0;
    bool lineOutside = false;
    // The shadow it casts (invalid: none), of the colour's opacity, shifted by `shadowShift` twips and
    // softened over `shadowBlurTwips`.
    QColor shadowColor;
    QPoint shadowShift;
    int shadowBlurTwips = 0;
};

// A picture or a text box placed on the page rather than in a line, anchored to the paragraph that holds
// its run: where it lies and how the text gives way to it.
struct Floating {
    // Across, Paragraph means the margin as well, and Column (across only) the column the anchor's text
    // lies in: the margin where the body has one column.
    enum class From : quint8 { Page, Margin, Paragraph, Column };
    enum class Wrap : quint8 { TopBottom, Around, None };
    int picture = -1; // into Template::pictures
    int text = -1;    // a text box: into Template::textBoxes
    // A text box's fill and outline (invalid: none), the outline's width and the text's distance from
    // the box's edges (left, top, right, bottom).
    QColor fill;
    QColor line;
    int lineTwips = 0;
    // The outline's dashes and the gaps between them, in the outline's widths, from where it starts (see
    // outlineDashes()); empty: solid.
    std::vector<double> dashes;
    std::array<int, 4> insetTwips{};
    // Where a text box's text stands in the room between its top and bottom insets when it is shorter.
    enum class TextAnchor : quint8 { Top, Middle, Bottom };
    TextAnchor textAnchor = TextAnchor::Top;
    // A text box that grows or shrinks to its text and insets, whatever height the file gives it.
    bool fitText = false;
    // A text box's lines turned a quarter: reading up, their tops to the box's left, or down, their
    // tops to its right.
    enum class Flow : quint8 { Across, Up, Down };
    Flow flow = Flow::Across;
    int leftTwips = 0;
    int topTwips = 0;
    int widthTwips = 0;
    int heightTwips = 0;
    From fromX = From::Margin;
    From fromY = From::Paragraph;
    // A drawing set in a line of text rather than anchored: the whole drawing's width (0 for one
    // anchored). It stands where its paragraph's line starts, by the indents and alignment, in a table's
    // cell as on the page; `leftTwips` is a piece's offset within it.
    int inLineTwips = 0;
    Wrap wrap = Wrap::TopBottom;
    // The side of a picture the text flows by (Both: by the wider one), and how far the text keeps from
    // its edges (left, top, right, bottom); an eighth of an inch beside it unless the file says.
    enum class Side : quint8 { Both, Left, Right, Largest };
    Side side = Side::Both;
    std::array<int, 4> gapTwips{180, 0, 180, 0};
    bool behindText = false;
    // Where it stands among the others, front to back: the higher in front, as Word stacks its
    // drawings (a drawing's relative height, a VML shape's z-index, RTF's \shpz).
    qint64 zOrder = 0;
    // A VML text box that LibreOffice sets as a frame of text: placed from a table cell's paragraph, it
    // stands no higher than the cell's top, however far up its offset reaches.
    bool belowCellTop = false;
    // A DrawingML shape's text, which LibreOffice sets off by the shape's distance from the text at its
    // left when the shape is anchored in a table's cell, its outline staying in place.
    bool textByGapInCell = false;
    // A drawn shape, neither picture nor text box: a box or an ellipse in `fill` and `line`, or lines
    // through `points` (twips from the box's corner; a closed figure when filled).
    enum class Shape : quint8 { None, Box, Ellipse, Lines, WordArt };
    Shape shape = Shape::None;
    // A box's corners rounded: the arc's radius as a share of half its shorter side. A text box's fill
    // and outline take `shape` too, a box where it has none.
    double rounding = 0;
    // WordArt (a watermark, say): `wordArt` in `wordArtFamily`, stretched to fill the box, turned
    // `rotation` degrees clockwise about the box's middle, in `fill`.
    QString wordArt;
    QString wordArtFamily;
    int rotation = 0;
    // A picture or drawn shape mirrored across or down within its box before it is turned; a text
    // box's text is turned with its box but never mirrored.
    bool flipH = false;
    bool flipV = false;
    // A fill that runs between colours instead of `fill`: the stops (0 to 1 along the way, colour),
    // along a line at `gradientAngle` degrees clockwise from left to right, or out from the box's
    // middle to its edges when `gradientFromMiddle`.
    std::vector<std::pair<double, QColor>> gradient;
    double gradientAngle = 0;
    bool gradientFromMiddle = false;
    std::vector<QPoint> points;
    // Where each figure after the first starts in `points`: a freeform drawn in Word may hold several,
    // the holes of a letter or a logo among them, which its fill leaves open.
    std::vector<int> figures;
};

// The dashes of a shape's outline of Word's dashing `style` (1 to 4 the short "system" dashes, dots,
// dash-dots and dash-dot-dots, 5 to 10 dots, dashes, long dashes, dash-dots, long dash-dots and long
// dash-dot-dots, as VML and DrawingML name them), as LibreOffice draws them: dashes and gaps in the
// outline's widths. Empty: solid. (LibreOffice draws an RTF shape's lineDashing solid.)
inline std::vector<double> outlineDashes(int style) {
    switch (style) {
    case 1:
        return {3, 1};
    case 2:
        return {1, 1};
    case 3:
        return {3, 1, 1, 1};
    case 4:
        return {3, 1, 1, 1, 1, 1};
    case 5:
        return {1, 3};
    case 6:
        return {4, 3};
    case 7:
        return {8, 3};
    case 8:
        return {4, 3, 1, 3};
    case 9:
        return {8, 3, 1, 3};
    case 10:
        return {8, 3, 1, 3, 1, 3};
    default:
        return {};
    }
}

struct Paragraph {
    ParaFormat format;
    int markFormat = 0; // the paragraph mark's character format: the height of an empty line
    // Where it is not -1, blanks (spaces and tabs) make no line taller, and a line of nothing else is as
    // tall as this format's text: the paragraph's own font, as its style gives it. LibreOffice sets Word
    // 2007+ files so.
    int blankFormat = -1;
    std::vector<Run> runs;
};

struct NestedTable;

struct Cell {
    // Cells merged down a column: the first holds the text, the ones below it continue it.
    enum class VMerge : quint8 { None, Restart, Continue };
    enum class VAlign : quint8 { Top, Center, Bottom };
    int rightTwips = 0; // right edge, from the row's left edge as the file gives it
    Borders borders;
    QColor shading;          // invalid: none
    int leftPadTwips = -1;   // -1: the row's padding
    int rightPadTwips = -1;  // likewise
    int topPadTwips = -1;    // likewise
    int bottomPadTwips = -1; // likewise
    VMerge vMerge = VMerge::None;
    VAlign vAlign = VAlign::Top;
    // Text turned a quarter: read from the bottom up (its lines' tops to the cell's left), or from the
    // top down (tops to the right).
    enum class Direction : quint8 { Across, Up, Down };
    Direction direction = Direction::Across;
    std::vector<Paragraph> paragraphs;
    // Tables inside the cell, in order, each standing before the paragraph it names (after the last
    // when it names none).
    std::vector<NestedTable> tables;
};

struct Row {
    enum Align : quint8 { Left, Center, Right };
    int leftTwips = 0;
    int gapTwips = 0;    // half the space between two cells' text
    int heightTwips = 0; // 0 automatic; > 0 at least; < 0 exactly
    // The cells' padding unless a cell sets its own; -1 left and right: the gap.
    int leftPadTwips = -1;
    int rightPadTwips = -1;
    int topPadTwips = 0;
    int bottomPadTwips = 0;
    Align align = Left;
    bool header = false; // repeated at the top of every page the table runs on to
    // Never broken across pages: the whole row goes on to the next page.
    bool keepTogether = false;
    std::vector<Cell> cells;
};

struct Table {
    bool pageBreakBefore = false;
    // Rows may differ in their cells: the table's columns fall where any row has a cell edge, and a
    // cell spans the columns between its edges.
    std::vector<Row> rows;
};

struct NestedTable {
    size_t before = 0; // the index of the cell's paragraph that follows the table
    Table table;
};

using Block = std::variant<Paragraph, Table>;

// A table whose columns run right to left (w:bidiVisual, \taprtl) stands where it would stand left to
// right, and LibreOffice lays its cells out mirrored in that place: the first cell at the right, each
// cell's left and right rules swapped, its padding as given.
void mirrorColumns(Table& table);

struct Story {
    std::vector<Block> blocks;
    bool empty() const { return blocks.empty(); }
};

// A footnote, printed at the foot of the page its reference falls on, or an endnote, printed after the
// body; its text starts with its own mark as the file gives it.
struct Note {
    bool endnote = false;
    Story text;
};

struct PageSetup {
    int widthTwips = 12240; // Letter
    int heightTwips = 15840;
    int leftTwips = 1800;
    int rightTwips = 1800;
    int topTwips = 1440;
    int bottomTwips = 1440;
    int headerTwips = 720; // from the top edge to the header's top
    int footerTwips = 720; // from the bottom edge to the footer's bottom
    int defaultTabTwips = 720;
    // The rule above the footnotes; a file whose own separator holds no rule draws none.
    bool noteRule = true;
    // The body's text runs in columns of equal width, this far apart, with a rule between them.
    int columns = 1;
    int columnGapTwips = 720;
    bool columnRule = false;
    // Columns of their own widths: each one's width, and the gap after it (none after the last); empty
    // when they are equal.
    std::vector<int> columnWidths;
    std::vector<int> columnGaps;
    // One of the body's equal columns: the text's whole width where it has one.
    int columnTwips() const {
        const int text = widthTwips - leftTwips - rightTwips;
        return columns > 1 ? qMax(1, int((qint64(text) - qint64(columnGapTwips) * (columns - 1)) / columns))
                           : text;
    }
    // The body's lines stand on a grid of lines this far apart (0: none): each line takes as many of
    // them as its text needs.
    int lineGridTwips = 0;
    // Rules around the page, each its space from the page's edge or, `pageBordersFromText`, from the
    // margins.
    Borders pageBorders;
    bool pageBordersFromText = true;
    // The body's lines numbered in the left margin: every `lineNumberStep`th (0: none), counting from
    // `lineNumberStart`, right-aligned `lineNumberGapTwips` before the text (0: Word's automatic
    // distance), and counted anew on each page, each section, or never.
    enum class Restart : quint8 { Page, Section, Continuous };
    int lineNumberStep = 0;
    int lineNumberStart = 1;
    int lineNumberGapTwips = 0;
    Restart lineNumberRestart = Restart::Page;
    // Page numbers: the first page's (0: 1, or on from the section before) and the way they are
    // written, in numbering.xml's names ("lowerRoman", "upperLetter"...; empty: decimal).
    int pageNumberStart = 0;
    QString pageNumberFormat;
};

enum class MainType { Letters, Catalog, Labels };

// A section of the body after the first: from the body's block `firstBlock` on, on a new page unless
// it runs on, with its own headers and footers (the section before's where the file gives none).
struct Section {
    int firstBlock = 0;
    bool newPage = true;
    PageSetup page; // as the file gives it; a section that runs on keeps the paper of the one before
    Story header;
    Story footer;
    Story firstHeader;
    Story firstFooter;
    Story evenHeader;
    Story evenFooter;
    bool titlePage = false;
};

struct Template {
    QString fileName;
    PageSetup page;
    MainType type = MainType::Letters;
    QString defaultFamily;
    Story body;
    // The page header and footer; with `titlePage`, page 1 has its own (empty ones print nothing), and
    // with `evenPages`, even pages have theirs while `header` and `footer` serve the odd ones.
    Story header;
    Story footer;
    Story firstHeader;
    Story firstFooter;
    Story evenHeader;
    Story evenFooter;
    bool titlePage = false;
    bool evenPages = false;
    // The space between two paragraphs is the larger of the one's space after and the next one's space
    // before, not their sum: Word 2007+ files as LibreOffice sets them.
    bool largerSpaceBetween = false;
    // Each space of a run of two or more is a sixth of an em wider: RTF's balancing of single-byte and
    // double-byte characters, on unless the file turns it off (\dntblnsbdb), as LibreOffice reads it.
    bool balanceSpaces = false;
    // A line of italic text breaks a twelfth of its height short of the margin, room for the letters'
    // slant: Word 2013+ files as LibreOffice sets them.
    bool italicsKeepRoom = false;
    // A paragraph's side rules stand their room outside its indents, the text on the indents: Word
    // 2007+ files with settings, as LibreOffice sets them (otherwise the text is set in by that room).
    bool sideRulesOutside = false;
    // East Asian letters and Latin letters or digits that meet are set a fifth of their size apart, as
    // LibreOffice sets Word 2007+ files, whatever their paragraphs ask (RTF's reader spaces them itself,
    // where a paragraph asks for it).
    bool spaceAsianText = false;
    // A justified paragraph's lines that end in a manual line break are justified too, unless a Word
    // 2007+ document's settings say not to (w:doNotExpandShiftReturn), as LibreOffice sets them; it
    // reads no such setting from RTF.
    bool justifyBrokenLines = true;
    // The colour every page is filled with before anything is drawn on it; invalid: none (white paper).
    QColor pageColor;
    std::vector<CharFormat> formats{CharFormat{}};
    std::vector<Field> fields;
    std::vector<Picture> pictures;
    std::vector<Floating> floats;
    std::vector<Story> textBoxes;
    std::vector<Note> notes; // in the order of their references
    // The sections after the first, whose page and headers are the ones above.
    std::vector<Section> sections;
};

// A section as it starts at a break, before its own settings are read: a copy of the section before it,
// or at the first break the page and bands the template opened with.
inline Section continuedSection(const Template& t) {
    if (!t.sections.empty())
        return t.sections.back();
    Section next;
    next.page = t.page;
    next.header = t.header;
    next.footer = t.footer;
    next.firstHeader = t.firstHeader;
    next.firstFooter = t.firstFooter;
    next.evenHeader = t.evenHeader;
    next.evenFooter = t.evenFooter;
    next.titlePage = t.titlePage;
    return next;
}

} // namespace wordproc
