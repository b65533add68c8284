#pragma once

#include "wordproc/Template.h"

#include <QImage>
#include <QPainter>
#include <QPolygonF>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFormat>
#include <QTextLayout>
#include <cmath>
#include <memory>
#include <optional>
#include <vector>

class QPaintDevice;
class QTextTable;

// Laid-out pages: merged text in QTextDocuments, paginated for the template's paper, and the painting
// of those pages onto a printer (a real one, a PDF file or the preview). Every document is laid out
// on one fixed-resolution device, so that the pages are the same wherever they are painted.
namespace wordproc {

// Fine enough for print positions, and coarse enough that 12-point text stays under the size up to
// which the font engine caches glyph metrics (at 1,200 dpi a merge spends much of its time re-reading
// them).
constexpr double kLayoutDpi = 288.0;
// Lengths in the layout device's pixels: the page size, a paragraph's left and right indents and its
// first-line indent.
inline double twipsToLayout(double twips) {
    return twips * kLayoutDpi / 1440.0;
}
// Lengths that Qt scales from 96 dpi to the device itself: spacing above and below paragraphs, line
// heights, tab stops, image sizes, and every length of a table.
inline double twipsToLogical(double twips) {
    return twips / 15.0;
}

// The page (from 0) that a position `y` of a document paginated to `pageHeight` lies on. Qt keeps
// positions in 64ths of a pixel: a line at a page's very top may stand a hair above the page's edge,
// and belongs to that page all the same; so does a first line whose gap is set above the document's top.
inline int pageAt(double y, double pageHeight) {
    return int(std::floor((qMax(0.0, y) + 0.5) / pageHeight));
}

// The top of the room of line `index` of `block` (a valid line), in document coordinates. Qt sets a
// line of a fixed height with its baseline at four fifths of the height, and a line of a minimum height
// at its room's foot: the line itself may stand above or below its room, and on another page than it.
double lineRoomTop(const QTextBlock& block, int index);

// How tall that room is: a line set closer than its letters' height (proportional spacing under one,
// which the faces' own line gaps are matched with) ends before Qt's rectangle of it does.
double lineRoomHeight(const QTextBlock& block, int index);

// How tall a laid-out header or footer is: with the space below its last paragraph, which Qt leaves out
// of the document's size and the common word processors keep. A footer ends that space above its
// distance from the paper's foot, and a header that reaches past the top margin pushes the body down by
// it.
double bandHeight(const QTextDocument& band);

// The device every document of the word processor is laid out for.
QPaintDevice* layoutDevice();

// A new empty document for the body of `page`: laid out on layoutDevice(), paginated to pages of
// `height` (layout pixels; the space between the margins when negative) and of one column's width,
// no undo history.
std::unique_ptr<QTextDocument> newPagedDocument(const PageSetup& page, const QString& defaultFamily,
                                                double height = -1);
// A new empty document for a page header or footer: as wide as the body, not paginated.
std::unique_ptr<QTextDocument> newBandDocument(const PageSetup& page, const QString& defaultFamily);

// What Qt's text layout does not draw itself travels with the documents as format properties, for
// paintDocument() to draw.
enum DecorationProperty {
    // Block: the paragraph's rules, four edges (top, left, bottom, right) of style (Border::Style),
    // width and space (twips) and colour (QRgb), as a QList<qreal>. An edge shared with the paragraph
    // before or after is left out.
    kBordersProperty = QTextFormat::UserProperty + 1,
    // Block: one character per tab position, its leader (TabStop::Leader, '0' + value).
    kLeadersProperty,
    // Character: a PAGE (1) or NUMPAGES (2) field's number, rewritten for each page.
    kPageFieldProperty,
    // Table cell: its rules, as kBordersProperty gives a paragraph's (space unused). Qt keeps their room
    // but leaves them undrawn: Qt would fill rectangles on whole layout pixels, where the common word
    // processors stroke lines of the rule's width on the cell's edges.
    kCellRulesProperty,
    // Block: the paragraph's shading (QRgb), over its lines and the space between its rules and text.
    kShadingProperty,
    // Block: how the paragraph may break across pages (KeepFlags).
    kKeepProperty,
    // Block: the largest gap between lines of its fonts as the common word processors take it (layout
    // pixels), where it is less than Qt's.
    kLeadingProperty,
    // Block: its lines are of proportional spacing (this percentage of Qt's line height), set as a fixed
    // height of that spacing only so that a line fits on a page by that height (Qt would fit a
    // proportional line by its font's own, taller one). They are painted where the proportional lines
    // would stand.
    kFittedHeightProperty,
    // Block: how much higher than Qt's ascent puts it the common word processors set its text in its
    // lines (layout pixels).
    kRaiseProperty,
    // Block: its bar tabs, their distances from the frame's edge (layout pixels), as a QList<qreal>.
    kBarTabsProperty,
    // Character: a PAGE field's numbers written as a list's are ("lowerRoman"...), and how far they
    // stand from the sheet's count (a document whose numbering starts past 1).
    kPageFormatProperty,
    kPageOffsetProperty,
    // Block: its tab stops where the file puts them (Qt's units, QList<qreal>), where right stops past
    // the line's end were set at its end.
    kStopsPastEndProperty,
    // Block: its lines are spaced closer than single (bool). LibreOffice stands the text of the first
    // line four fifths down its room, as in a line of set height; the lines after are cut from the top
    // (the difference is in kRaiseProperty).
    kCloseLinesProperty,
};

enum KeepFlags { kWidowControl = 1, kKeepWithNext = 2, kKeepTogether = 4 };

// Character: the lines Qt's text layout does not draw itself (ExtraLines), for paintDocument() to draw
// beside or over Qt's single underline and strike-through.
constexpr int kExtraLinesProperty = QTextFormat::UserProperty + 110;
enum ExtraLines { kDoubleUnderline = 1, kThickUnderline = 2, kDoubleStrike = 4, kWordsUnderline = 8 };
// Character: the face whose height East Asian text in this format gives its lines, where the template
// names one (QString).
constexpr int kAsianFaceProperty = QTextFormat::UserProperty + 111;
// Character: small capitals' full size in points (double), which their line is as tall as.
constexpr int kSmallCapsSizeProperty = QTextFormat::UserProperty + 112;
// Character: the box round its letters (CharFormat::border), as one edge of kBordersProperty: style,
// width and space (twips) and colour (QRgb), as a QList<qreal>.
constexpr int kLetterBoxProperty = QTextFormat::UserProperty + 113;
// Character: its text is of the automatic colour, black unless what it stands on is dark (bool).
constexpr int kAutoColorProperty = QTextFormat::UserProperty + 140;
// Block: the paragraph's own space before (Qt's units), in its top margin below the space after the
// paragraph before: a picture placed from the paragraph stands from above it.
constexpr int kOwnSpaceBeforeProperty = QTextFormat::UserProperty + 157;
// Block: the part of its top margin that is the space after the paragraph before (Qt's units).
constexpr int kCarriedSpaceProperty = QTextFormat::UserProperty + 163;

// Whether automatic text on `background` is white: Word and LibreOffice turn it so on a background
// this dark.
bool darkBehindText(const QColor& background);

// Paints what of `doc` meets `clip` (document coordinates; everything when empty), with the painter in
// the document's coordinates: the paragraphs' shading, the text as Qt lays it out with each line's gap
// above it, the tab leaders, and the rules of the paragraphs and table cells.
void paintDocument(QPainter& painter, const QTextDocument& doc, const QRectF& clip = QRectF());

// The gap between lines of `font` (layout pixels), as the common word processors take it: the room a
// font's horizontal header gives beyond its Windows ascent and descent. Qt adds the header's whole line
// gap to those, which sets Carlito (Calibri) a fifth taller than they do.
double wordLeading(const QFont& font, const QFontMetricsF& metrics);

// The height of `font`'s text above the baseline (layout pixels) as the common word processors set it.
double wordAscent(const QFont& font, const QFontMetricsF& metrics);
// The part of a line of `font` above the baseline (layout pixels) as LibreOffice takes it: the ascent
// and the header's line gap together.
double wordTop(const QFont& font, const QFontMetricsF& metrics);

// Qt rounds each line's height up to whole layout pixels (14 points for 12-point Liberation Serif
// where the common word processors set the font's 13.8); over a page that drifts by half a line.
// Scales the line height of the blocks from `first` through `last` back to their fonts' exact
// spacing. Fixed line heights stay as they are. With `fit`, lines of one height are set at a fixed
// height of that spacing (kFittedHeightProperty). Cells are not fitted: Qt moves a row on to the
// next page by where its cells' first lines stand, and a line of a fixed height stands a little above
// its room. On a `grid` of lines this far apart (layout pixels), each line takes whole lines of it.
// `basis`, where given, tells what beyond the text's formats set the heights.
struct HeightsBasis {
    bool lent = false;           // a face lent characters the text's own lack
    std::optional<bool> oneLine; // the text was measured: whether it surely fits on one line
};
void setExactLineHeights(QTextBlock first, const QTextBlock& last, bool fit = true, double grid = 0,
                         HeightsBasis* basis = nullptr);
// Whether the block's text surely fits on one line.
bool oneLine(const QTextBlock& block);

// Blanks (spaces and tabs) of the blocks from `first` through `last` that are set in a taller font than
// the text beside them are set in its font, as wide as before: they make no line taller. Blanks with
// no text in their paragraph are set in `own`, the paragraph's own font.
void lowerBlanks(QTextBlock first, const QTextBlock& last, const QTextCharFormat& own);

// The height LibreOffice gives a single line of `format`'s font (layout pixels), and that of the
// tallest font of the text in `block`.
double singleLineHeight(const QTextCharFormat& format, const QFont& base);
double singleLineHeight(const QTextBlock& block);

// A table row that Qt moved on to the next page though it fits at the foot of the page before by the
// spacing of its lines is set there, its cells' lines fitted (see setExactLineHeights) at that spacing.
void keepRowsAtPageFoot(QTextTable& table, double pageHeight);

// Takes the table's row on to the page after the one ending at `pageEnd` (layout pixels), the row before
// it holding the room left: false where there is no row before it to do so.
bool holdRowOn(QTextTable& table, int row, double pageEnd);

// LibreOffice and Word set a font's line gap above its text, Qt sets it below: lines of single or
// proportional spacing that meet `clip` (document coordinates; all when empty) stand their gap lower
// while this lives, for painting, and go back when it ends. Set line heights keep their place.
class LeadingAbove {
public:
    explicit LeadingAbove(const QTextDocument& doc, const QRectF& clip = QRectF());
    ~LeadingAbove();
    LeadingAbove(const LeadingAbove&) = delete;
    LeadingAbove& operator=(const LeadingAbove&) = delete;
    // The furthest a line reaches below its room: the largest gap a line was moved by, and a fitted
    // line's height beyond its set one.
    double most() const { return m_most; }
    // The most a line was raised by.
    double raised() const { return m_raised; }

private:
    std::vector<std::pair<QTextLine, QPointF>> m_moved;
    double m_most = 0;
    double m_raised = 0;
};

// Sets the page-number fields of `doc`: to `page` and `pages`, or when `pageHeight` is positive, each
// to the sheet it lies on in a document paginated to that height, whose pages are set `columns` to a
// sheet.
void setPageNumbers(QTextDocument& doc, int page, int pages, double pageHeight = 0, int firstPage = 1,
                    int columns = 1);

// A floating picture or text box where it lies on the sheet.
struct PlacedPicture {
    int page = -1; // within its copy; -1: on every page (a header's or footer's)
    QRectF rect;   // layout pixels from the sheet's corner
    QImage image;
    bool behindText = false;
    qint64 zOrder = 0; // the higher in front; a header's and footer's behind the body's
    // A text box: its text, laid out as wide as the box less its insets, and how the box looks.
    std::shared_ptr<QTextDocument> text;
    QPointF textOffset; // from the box's corner
    QColor fill;        // invalid: none
    QColor line;        // invalid: none
    double lineWidth = 0;
    QList<qreal> dashes; // the outline's, in its widths (Floating::dashes)
    // Its text turned: laid out as long as the box is tall, read up from its foot or down from its
    // top, `textOffset` in from the end the lines start at and from the side their tops face.
    Floating::Flow turned = Floating::Flow::Across;
    // A drawn shape (no text, no image): its kind, and for lines their points from the box's corner.
    Floating::Shape shape = Floating::Shape::None;
    // The outline of a box or of a text box's fill and frame: a box, its corners rounded by
    // `rounding` (a share of half its shorter side), or an ellipse.
    Floating::Shape frame = Floating::Shape::Box;
    double rounding = 0;
    QPolygonF points;
    QString wordArt, wordArtFamily; // WordArt's text and face, stretched to the box and turned
    double rotation = 0;
    bool flipH = false, flipV = false;               // mirrored within `rect` before it is turned
    std::vector<std::pair<double, QColor>> gradient; // as Floating's, drawn instead of `fill`
    double gradientAngle = 0;
    bool gradientFromMiddle = false;
    const QTextDocument* band = nullptr; // a header's or footer's: printed on the pages that show it
    std::vector<int> figures;            // where each figure after the first starts in `points`
};

// The headers and footers of a section after the first, laid out: from which page of the copy on, and
// those of its first page and of even pages (null: none).
struct SectionBands {
    int fromPage = 0;
    bool titlePage = false;
    std::unique_ptr<QTextDocument> header, footer, firstHeader, firstFooter, evenHeader, evenFooter;
};

// Footnotes print at the foot of the body's room as LibreOffice sets them: under a rule a quarter of the
// text's width, which stands a little above them and further below the body's last line.
constexpr int kNoteRuleTwips = 15;    // the rule's width
constexpr int kNoteRuleGapTwips = 61; // from the rule to the notes' first line
constexpr int kNoteAreaTwips = 104;   // from the body's room to the notes' first line

// A piece of one page's notes, laid out as wide as the body: its text from `from` to `to` (document
// coordinates). Notes too long for their page run on to the next one.
struct NoteSlice {
    std::shared_ptr<QTextDocument> text;
    double from = 0, to = 0;
};

// One run of pages that starts on a new sheet: a letter's record, a label sheet's records, or the
// whole of a catalog.
struct PageCopy {
    std::unique_ptr<QTextDocument> body;
    std::unique_ptr<QTextDocument> header; // may be null
    std::unique_ptr<QTextDocument> footer; // may be null
    // With `titlePage` the document's first page shows its own (null: none), with `evenPages` even
    // pages show theirs; `header` and `footer` serve the others.
    std::unique_ptr<QTextDocument> firstHeader, firstFooter, evenHeader, evenFooter;
    bool titlePage = false;
    bool evenPages = false;
    QColor pageColor;                   // the paper's colour; invalid: white, left unpainted
    std::vector<SectionBands> sections; // the sections after the first, in order
    // Where the body's pages stand on their sheets, in layout pixels from the sheet's top (the top
    // margin when negative): a page's text starts lower when its own header or footer leaves it less
    // room than the body's pages have.
    double bodyTop = -1;
    std::optional<double> firstBodyTop; // the first sheet's, when it differs
    std::optional<double> evenBodyTop;  // even sheets', when they differ
    std::vector<PlacedPicture> pictures;
    // Per page, the footnotes at its foot, top to bottom (none past the last page that has any).
    std::vector<std::vector<NoteSlice>> notes;
    // A catalog too long for one layout comes in pieces that number their pages as one document.
    int firstPage = 1;       // what PAGE shows on this copy's first page
    int totalPages = 0;      // what NUMPAGES shows; 0: this copy's own page count
    bool pageFields = false; // PAGE or NUMPAGES in the body, header or footer
    // The body's pages are columns, this many side by side on a sheet, as wide as the body's page and
    // the paper's gap apart.
    int columns = 1;
    // Sections that start a new sheet on other paper, margins, headers or columns follow as parts of
    // their own, each laid out as a copy on its own `page`; their sheets come after this one's.
    std::vector<PageCopy> parts;
    std::optional<PageSetup> page; // a part's paper; the document's when not set
    // All sheets, the parts' included.
    int pageCount() const;
    int numberedPages() const { return totalPages > 0 ? totalPages : pageCount(); }
    // The sheets of this copy's own body, without its parts.
    int ownSheets() const;
};

// The part of `copy` (itself or one of its parts) that prints sheet `index`, and the sheet's index
// within that part.
std::pair<const PageCopy*, int> partOf(const PageCopy& copy, int index);

// The paper sheet `index` of `copy` is printed on: its part's own, else `page`.
const PageSetup& sheetPage(const PageCopy& copy, int index, const PageSetup& page);

// The header (or footer) that page `index` of `copy` shows: its section's, its first page's own or an
// even page's; null: none.
QTextDocument* bandOn(const PageCopy& copy, int index, bool header);

// Where the body's page stands on sheet `index` of `copy` (not of one of its parts), from the sheet's top.
double bodyTopOn(const PageCopy& copy, int index, const PageSetup& page);

// The brush a floating shape or text box is filled with: its colour, or the run between its gradient's
// colours across its box.
QBrush fillBrush(const PlacedPicture& p);

// Sets `painter` to draw `p` turned about its box's middle, and when `mirror`, mirrored within its box.
void turnAndMirror(QPainter& painter, const PlacedPicture& p, bool mirror);

// WordArt's letters stretched to fill `box`, turned `rotation` degrees clockwise about its middle, in
// the painter's brush.
void drawWordArt(QPainter& painter, const QRectF& box, const QString& family, const QString& text,
                 int rotation = 0);

// Paints page `index` of `copy`: body, header, footer and pictures, with the painter in layout pixels
// from the sheet's corner, on `page` unless its part has paper of its own. The printer, the PDF file
// and the preview all get their pages from here.
void paintSheet(QPainter& painter, const PageCopy& copy, int index, const PageSetup& page);

// The result of a merge to a new document (or a template shown as it stands).
struct MergedDocument {
    PageSetup page;
    QString name;
    std::vector<PageCopy> copies;
    int pageCount() const;
    // All text of all copies, pages in order (for checks and for the window's clipboard-free users).
    QString plainText() const;
};

} // namespace wordproc
