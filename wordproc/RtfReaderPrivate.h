#pragma once

// The RTF reader's insides, shared by the files it is split into: the tokenizer (RtfTokenizer.cpp), the
// destinations and the words they take (RtfDestinations.cpp), character, paragraph and page properties
// (RtfReader.cpp), field codes (RtfFields.cpp), pictures and shapes (RtfPictures.cpp) and tables and
// borders (RtfTables.cpp). Nothing outside wordproc/Rtf*.cpp includes it.

#include "errors/Failure.h"
#include "wordproc/FormatTable.h"
#include "wordproc/ReaderLimits.h"
#include "wordproc/SymbolFonts.h"
#include "wordproc/Template.h"
#include "wordproc/WordErrors.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringDecoder>
#include <array>
#include <bitset>
#include <deque>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace wordproc::rtf {

// Word nests a few dozen groups deep at most; anything far beyond is damage or malice, and the reader
// recurses once per group.
constexpr int kMaxDepth = 200;
constexpr int kMaxWordLength = 32;
// Each text box is laid out as a document of its own for every letter; a letter has a few.
constexpr size_t kMaxTextBoxes = 64;
// Shapes are painted on every page of every letter; a letter draws a few dozen at most.
constexpr size_t kMaxShapes = 512;
// Each section keeps copies of its headers and footers; past this many, the last one goes on.
constexpr size_t kMaxSections = 64;
// Each page's notes are laid out for every letter; a long report has a few hundred.
constexpr size_t kMaxNotes = 1000;

enum class Dest : quint8 {
    Body, // text that belongs to a story (or a field result)
    Skip, // everything ignored
    FontTable,
    ColorTable,
    Picture,
    Field,     // the \field group itself: its text is ignored, its subgroups are not
    FieldInst, // the field code
    MailMerge,
    Shape,      // a shape and its instructions: their words place it, their text is ignored
    ShapeName,  // a shape property's name
    ShapeValue, // a shape property's value
    ListTable,  // \listtable and \listoverridetable: the lists that number paragraphs
    ListText,   // a list level's \leveltext: its bytes as they stand, placeholders and all
    StyleSheet, // \stylesheet: the character properties each paragraph style gives
};

// A control word's letters, as they stand in the document.
using Word = std::string_view;

// The words that open a destination whose content never shows.
bool isSkippedDestination(Word word);

// The language fontconfig knows for a Windows language number (LCID) whose text it finds East Asian
// faces for; empty for the others.
QString asianLanguageOf(int lcid);

// The character property a character word sets, as a StyleChar bit; 0 for the others.
quint16 styleCharOf(Word word);

struct PictureData {
    QByteArray bytes;
    bool png = false;
    bool jpeg = false;
    bool wmf = false;  // \wmetafileN: a Windows metafile
    bool emf = false;  // \emfblip: an enhanced one
    bool pict = false; // \macpict: a QuickDraw picture
    int highNibble = -1;
    int widthPx = 0;
    int heightPx = 0;
    int widthGoal = 0;
    int heightGoal = 0;
    int scaleX = 100;
    int scaleY = 100;
};

// A shape being read: the picture it shows and where; a property being read.
struct ShapeProperty {
    QString name;
    QString value;
};

// Which edge the rule words (\brdrs, \brdrw, ...) describe: the last \brdrt, \box, \clbrdrb or \chbrdr
// given.
enum class BorderTarget : quint8 { None, Paragraph, AllOfParagraph, Cell, Page, Characters };

// A positioned frame as a paragraph's words give it (\posx, \pvpg, \absw...): paragraphs in a row with
// the same words make one frame.
struct FrameWords {
    enum class Across : quint8 { At, Left, Center, Right };
    enum class Down : quint8 { At, Top, Center, Bottom };
    bool set = false;
    Floating::From fromX = Floating::From::Margin;
    Floating::From fromY = Floating::From::Paragraph;
    Across across = Across::At;
    Down down = Down::At;
    int x = 0, y = 0;
    int width = 0;  // 0: as wide as the column
    int height = 0; // 0: as tall as its text; < 0 exactly
    int gap = 0;    // the distance kept between the frame and the text below it
    bool noWrap = false;
    bool operator==(const FrameWords&) const = default;
};

// A level of a list in \listtable: how its paragraphs are numbered.
struct ListLevel {
    int nfc = 0; // \levelnfc: 0 arabic, 1 and 2 roman, 3 and 4 letters, 22 two digits, 23 a bullet...
    int start = 1;
    int follow = 0; // \levelfollow: 0 a tab after the number, 1 a space, 2 nothing
    int jc = 0;     // \leveljc: 0 the number starts at the indent, 1 is centred on it, 2 ends there
    bool noRestart = false;
    bool legal = false; // \levellegal: the higher levels' numbers shown in arabic
    // \leveltext: its first character the length, characters below 9 standing for the levels' numbers,
    // bytes given as \' kept undecoded until the level's font is known.
    QString text;
    int font = -1;       // the number's own font, size, bold and italic; -1: the paragraph's
    int halfPoints = -1; // likewise
    int bold = -1, italic = -1;
};

struct ListDefinition {
    int id = 0;
    int count = 0; // levels given
    std::array<ListLevel, 9> levels;
};

// A \listoverride: what a paragraph's \ls names; the list it numbers by, where its levels start anew
// or what replaces them, and the counts so far.
struct ListOverride {
    int number = 0; // \ls
    int listId = 0;
    int levelsGiven = 0; // \lfolevel groups read
    std::array<int, 9> startAt{-1, -1, -1, -1, -1, -1, -1, -1, -1};
    std::array<bool, 9> replaced{};
    std::array<ListLevel, 9> levels; // where `replaced`
    std::array<int, 9> counters{};
    std::array<bool, 9> started{};
};

// One story being read: the paragraph being filled and the table rows around it.
struct StoryBuilder {
    Story* story = nullptr;
    std::vector<Run> runs;
    bool breakPending = false;   // the next paragraph starts a new page
    bool breakAfterText = false; // the break ended a paragraph's text, not a paragraph of its own
    bool sectionPending = false; // a section break waits to learn whether it is continuous
    // Tables: the row definition last given, the cells of the row being filled.
    Row rowDef;
    Cell cellDef; // the cell being defined: its borders and shading, until its \cellx
    int cellBack = -1, cellFore = -1, cellShade = 0;
    // Padding as given (-1: not given) and its units (-1: not given, 0: ignore it, 3: twips), by Side,
    // of the cell being defined and of the row.
    std::array<int, 4> cellPad{-1, -1, -1, -1}, cellPadUnit{-1, -1, -1, -1};
    std::array<int, 4> rowPad{-1, -1, -1, -1}, rowPadUnit{-1, -1, -1, -1};
    // The cell being defined: its preferred width in twips (0: none) and whether it is the first of
    // cells merged across (1) or continues the one before (2); the same for each cell defined.
    int cellWidth = 0;
    bool cellWidthInTwips = true;
    quint8 cellMerge = 0;
    std::vector<std::pair<int, quint8>> definedCells;
    int rowWidth = 0; // the row's preferred width in twips
    // \rtlrow: the row's cells run right to left. (LibreOffice lays out \taprtl rows left to right.)
    bool rowRightToLeft = false;
    std::vector<Paragraph> cellParagraphs;
    std::vector<NestedTable> cellTables; // the tables inside the cell being filled
    std::vector<Cell> cells;
    Table table;
    // Tables inside cells, one for each depth below the story's own table: the cell being filled
    // there, the cells of its row and the rows read so far.
    struct Nest {
        std::vector<Paragraph> paragraphs;
        std::vector<NestedTable> tables;
        std::vector<Cell> cells;
        Table table;
    };
    std::vector<Nest> nests;
    // The row definition of the table around a nested one, kept while the nested rows give theirs.
    struct RowDefinition {
        Row row;
        std::vector<std::pair<int, quint8>> definedCells;
        std::array<int, 4> pad, padUnit;
        int width = 0;
    };
    std::optional<RowDefinition> outerRow;
    bool tableBreakPending = false;
    // The last paragraph's style and whether it drops its spacing next to one of the same style.
    int lastStyle = -1;
    bool lastContextual = false;
    bool lastAutoAfter = false; // the last paragraph's space below is Word's automatic one
    int lastList = 0;           // the list (\ls) that numbers the last paragraph; 0: none
    // The frame being filled with paragraphs, and the frames that wait for the next paragraph to
    // anchor them.
    FrameWords frame;
    Story frameText;
    std::vector<Run> frameAnchors;
    // The number that Word wrote out for readers without lists (\listtext, \pntext): it prints where
    // the paragraph's own list does not give one.
    std::vector<Run> listText;
};

// One primitive of a Word 97 drawing object (\do), read word by word until the next one starts. Lengths
// in twips; colours as red, green and blue.
struct DrawingPrimitive {
    bool seen = false;
    bool textBox = false;
    Floating::Shape shape = Floating::Shape::None;
    bool closed = false;
    int x = 0, y = 0, width = 0, height = 0;
    std::vector<QPoint> points;
    int pointX = 0;
    std::array<int, 3> line{0, 0, 0}, fore{0, 0, 0}, back{255, 255, 255};
    bool lineHollow = false;
    int lineTwips = 15;
    int pattern = 0; // 0: no fill; 1: solid; 2 to 13: a share of the foreground over the background
    int inset = -1;
};

// A shape being read: where it lies, and for a text box its look and its text.
struct ShapeData {
    Floating floating;
    int right = 0;
    int bottom = 0;
    bool filled = true, lined = true;
    QColor fill = Qt::white, line = Qt::black;
    int lineTwips = 15;
    std::array<int, 4> insetTwips{144, 72, 144, 72};
    bool hasText = false;
    Story text;
    StoryBuilder textBuilder;
    int type = -1; // the kind of shape: 1 a rectangle, 2 a rounded one, 3 an ellipse, 20 a line, ...
    bool flipH = false, flipV = false;
    // A block arrow's adjustments, in 21600ths of its box (-1: the kind's own): where its head meets
    // its shaft, and how far the shaft stands in from the head's sides.
    int adjust = -1, adjust2 = -1;
    bool drawing = false; // a Word 97 drawing object
    DrawingPrimitive primitive;
    // Word 2010's size by a share (tenths of a percent) of the page or a margin: what sizerelh and
    // sizerelv name, 0 the text's room, 1 the page, 2 and 3 the margins before and after it.
    int pctHoriz = 0, pctVert = 0;
    int sizeRelH = 0, sizeRelV = 0;
};

struct State {
    Dest dest = Dest::Body;
    CharFormat chr;
    ParaFormat para;
    TabStop::Kind tabKind = TabStop::Left;
    TabStop::Leader tabLeader = TabStop::NoLeader;
    BorderTarget border = BorderTarget::None;
    Side borderSide = Side::Top;
    bool thickRule = false; // the rule being described is \brdrth: twice the width given
    // A thick and a thin line, or three lines, drawn as a double rule as wide across: each of its lines
    // this percentage of the width given.
    int pairedRuleShare = 100;
    int paraBack = -1, paraFore = -1, paraShade = 0; // the paragraph's shading, as \cbpat, \cfpat, \shading
    // The letters' shading (\chcbpat, \chcfpat, \chshdng) and highlight (\highlight, 0: none), as
    // colour table entries: a highlight shows over the shading.
    int charBack = -1, charFore = -1, charShade = 0, highlight = 0;
    FrameWords frame;
    int uc = 1;
    int codePage = -1; // the text's code page: that of the font in force; -1: the default font's
    SymbolSet symbols = SymbolSet::None;
    bool fontAlt = false;       // in a font's \falt: its text is the alternative face's name
    bool noteSeparator = false; // in \ftnsep, the text between the body and its footnotes
    bool dropDownEntry = false; // in a drop-down form field's \ffl: the name of one of its entries
    // The paragraph's style (\s), whether its spacing is Word's automatic one (\sbauto, \saauto), and
    // whether it drops its spacing next to a paragraph of the same style (\contextualspace).
    int style = 0;
    // The character properties given since \plain (StyleChar bits): the paragraph's style holds the rest.
    // In a style's entry, the style it is based on.
    quint16 charSet = 0;
    int basedOn = -1;
    bool autoBefore = false, autoAfter = false, contextual = false;
    int list = 0, listLevel = 0; // \ls and \ilvl: the list that numbers the paragraph; 0: none
    bool hidden = false;
    bool otherScript = false; // after \rtlch or \dbch: \af names the font of right-to-left or Asian text
    bool asianScript = false; // after \dbch: \af and \f name the font of Asian text
    bool inTable = false;
    int tableDepth = 0;                 // \itap: 2 and more for a table inside a cell
    bool inResult = false;              // paragraph marks become line breaks
    std::vector<Run>* target = nullptr; // where runs go; null: the story's paragraph
    StoryBuilder* story = nullptr;
    Field* field = nullptr;  // inside a \field group
    int fieldDepth = 0;      // 1 in a field, 2 in a field in its code, and so on
    bool* codeCut = nullptr; // the innermost field's: a field nested in its code was left out
    PictureData* picture = nullptr;
    ShapeData* shape = nullptr;  // inside a shape: its picture goes there
    bool inTextBox = false;      // no shape, header or footer opens inside a text box
    bool inShapePicture = false; // inside \shppict, whose picture \nonshppict stands in for
    bool inObject = false;       // inside \object, outside its \result
    bool inBackground = false;   // inside \background, whose shape is the paper's colour
    ShapeProperty* property = nullptr;
};

// How deep in tables the paragraph stands: 0 in none, 1 in the story's own, more in one inside a cell.
int tableDepth(const State& st);
// The paragraph joins the cell being filled at `depth`; the tables nested deeper are complete.
void addCellParagraph(StoryBuilder& b, Paragraph p, int depth);

// What a group owns when its first word opens a destination.
struct GroupLocals {
    PictureData picture;
    ShapeData shape;
    ShapeProperty property;
    Field field;
    bool hadInstruction = false;
    bool resultInBody = false;      // the field's result went to the story as its own paragraphs
    bool locked = false;            // \fldlock: the field keeps its stored result
    bool codeCut = false;           // a field nested too deep was left out of its code
    StoryBuilder* opened = nullptr; // a header or footer story this group holds
};

// A code page's bytes as characters; in the double-byte ones (Japanese, Chinese, Korean) the bytes that
// lead a pair, which the decoder turns into one character with the byte after them.
struct CodePage {
    std::array<QChar, 256> chars{};
    std::bitset<256> lead;
    mutable QStringDecoder pairs; // stateless: decoding leaves nothing behind
};

// A byte of a symbol font as the character it shows; `plain` where it shows none that Unicode has.

// The character properties a paragraph style can give its text, as bits.
enum StyleChar : quint16 {
    StyleSize = 1,
    StyleBold = 2,
    StyleItalic = 4,
    StyleUnderline = 8,
    StyleStrike = 16,
    StyleCaps = 32,
    StyleScript = 64,
    StyleColor = 128,
    StyleAllChars = 255,
};

// A paragraph style's own character properties (those `set`), its line spacing (\sl and \slmult; 0:
// none of its own) and the style it is based on.
struct StyleChars {
    CharFormat chr;
    quint16 set = 0;
    int basedOn = -1;
    int lineTwips = 0;
    bool lineMultiple = false;
};

struct FontEntry {
    QString name;
    QString altName;  // \falt: the face to use where the named one is missing
    int charset = -1; // \fcharset; -1: none given
    int cpg = 0;      // \cpg, which stands over the character set's code page; 0: none given
    int codePage = 0; // the one the font's text is in; 0: the document's
    SymbolSet symbols = SymbolSet::None;
};

class Reader {
public:
    Reader(const QByteArray& data, QString fileName)
        : m_p(data.constData()), m_end(data.constData() + data.size()), m_fileName(std::move(fileName)) {}

    Template run();

private:
    [[noreturn]] void fail(const QString& why) const {
        throw Failure(errors::UnreadableDocument,
                      QStringLiteral("The template \"%1\" could not be read: %2.").arg(m_fileName, why));
    }

    // The tokenizer: groups, control words and symbols, plain text.
    void parseGroup(State st, int depth);
    void closeGroup(State& st, GroupLocals& local);
    void readControlWord(State& st, GroupLocals& local, bool first, bool starred);
    void controlSymbol(State& st, uchar symbol);
    void plainText(State& st, uchar byte);
    void text(State& st, const QString& s);
    void textByte(State& st, uchar byte);
    void flushText(State& st);
    // Code pages and fonts (RtfCodePages.cpp).
    const CodePage& codePage(int number);
    const CodePage& textPage(const State& st);
    void decodeByte(State& st, uchar byte);
    void useFont(State& st, int number);
    // Font `number` as the one Asian text is asked in, with the language its character set writes.
    void useAsianFont(State& st, int number);
    void finishFontEntry();
    QString fontNameText(const QByteArray& bytes) const;

    // Destinations: a group's first word may open one; the words inside go to its handler.
    using WordHandler = void (Reader::*)(State& st, Word word, bool hasParam, int param);
    using Opener = bool (Reader::*)(State& st, GroupLocals& local, Word word);
    void controlWord(State& st, GroupLocals& local, Word word, bool hasParam, int param, bool first,
                     bool starred);
    bool openDestination(State& st, GroupLocals& local, Word word, bool starred);
    bool openFontTable(State& st, GroupLocals& local, Word word);
    bool openFontAlternative(State& st, GroupLocals& local, Word word);
    bool openColorTable(State& st, GroupLocals& local, Word word);
    bool openPicture(State& st, GroupLocals& local, Word word);
    bool openField(State& st, GroupLocals& local, Word word);
    bool openMailMerge(State& st, GroupLocals& local, Word word);
    bool openShape(State& st, GroupLocals& local, Word word);
    bool openBackground(State& st, GroupLocals& local, Word word);
    bool openDrawingObject(State& st, GroupLocals& local, Word word);
    bool openObject(State& st, GroupLocals& local, Word word);
    bool openPictureChoice(State& st, GroupLocals& local, Word word);
    bool openShapePart(State& st, GroupLocals& local, Word word);
    bool openHeaderFooter(State& st, GroupLocals& local, Word word);
    bool openNote(State& st, GroupLocals& local, Word word);
    bool openNoteSeparator(State& st, GroupLocals& local, Word word);
    void finishNote();
    // Sections: the paper of the one being read, its end at \sect, its left pages' headers.
    PageSetup& sectionPage();
    // The width and the gap after it of the section's column `index` (from 0), read one word at a time.
    std::pair<int&, int&> columnSize(int index);
    void startSection(State& st);
    void closeSection();
    bool keepDestination(State& st, GroupLocals& local, Word word);
    void ignoreWord(State& st, Word word, bool hasParam, int param);
    void fontTableWord(State& st, Word word, bool hasParam, int param);
    void colorTableWord(State& st, Word word, bool hasParam, int param);
    void mailMergeWord(State& st, Word word, bool hasParam, int param);
    // Paragraph styles' character properties (RtfStyles.cpp).
    bool openStyleSheet(State& st, GroupLocals& local, Word word);
    void styleSheetWord(State& st, Word word, bool hasParam, int param);
    void finishStyleEntry(const State& st);
    void inheritStyleChars(State& st);
    void inheritStyleLine(State& st) const;
    // Lists (RtfLists.cpp): their tables, and the number that a paragraph of one starts with.
    bool openList(State& st, GroupLocals& local, Word word);
    bool openListText(State& st, GroupLocals& local, Word word);
    void listWord(State& st, Word word, bool hasParam, int param);
    ListLevel* listLevel(int override, int level, ListOverride** found);
    std::vector<Run> listNumber(const State& st, StoryBuilder& b, ParaFormat& para);
    void spaceAsianText(std::vector<Run>& runs); // RtfAsianText.cpp

    // Properties and special characters: valid in the body, a field's code and a field's result.
    void propertyWord(State& st, Word word, bool hasParam, int param);
    bool characterWord(State& st, Word word, bool hasParam, int param);
    // The colour of a tracked change's author, by the order the authors first appear in.
    QColor authorColor(int author);
    std::vector<int> m_revisionAuthors;
    bool paragraphWord(State& st, Word word, int param);
    bool pageWord(State& st, Word word, bool hasParam, int param);
    bool specialWord(State& st, Word word, bool hasParam, int param);
    void special(State& st, char16_t ch);
    int format(const CharFormat& f);
    void addRun(State& st, Run run);
    void endParagraph(State& st, bool mark);
    Paragraph takeParagraph(State& st, StoryBuilder& b);
    void finishStory(StoryBuilder& b, const State& st);
    QColor color(int index) const;
    // A background colour, a pattern colour and the pattern's share in hundredths of a percent, mixed.
    QColor shading(int back, int fore, int percent) const;
    void shadeLetters(State& st);

    // Tables and borders.
    bool tableWord(State& st, Word word, int param);
    bool borderTargetWord(State& st, Word word, int param);
    void borderWord(State& st, Word w, int param);
    bool frameWord(State& st, Word w, int param);
    void flushFrame(StoryBuilder& b, const State& st);
    void endCell(State& st);
    void endNestedCell(State& st);
    void endNestedRow(State& st);
    bool openNestedRow(State& st, GroupLocals& local, Word w);
    void endRow(State& st);
    void flushTable(StoryBuilder& b);
    Row takeRow(StoryBuilder& b);
    void endCellDefinition(StoryBuilder& b, int right);

    // Fields.
    State subgroupState(const State& st, GroupLocals& local);
    // `codeCut`: a field nested in the code was left out, and the code is not evaluated.
    void finishField(State& st, Field& field, bool hadInstruction, bool locked = false, bool codeCut = false);
    std::optional<Run> fieldCharacter(const Field& field);

    // Pictures and shapes.
    void pictureWord(State& st, Word word, bool hasParam, int param);
    void shapeWord(State& st, Word word, bool hasParam, int param);
    void finishPicture(State& st, PictureData& pic);
    void finishShape(State& st, ShapeData& shape);
    void drawingWord(State& st, ShapeData& shape, Word word, int param);
    void finishPrimitive(State& st, ShapeData& shape);
    void addFloating(State& st, const Floating& f);
    bool openShapeText(State& st, GroupLocals& local, Word w);
    void shapeProperty(ShapeData& shape, const ShapeProperty& property);

    const char* m_p;
    const char* m_end;
    QString m_fileName;
    Template m_t;
    FormatTable m_formatTable; // into m_t.formats
    std::unordered_map<int, std::unique_ptr<CodePage>> m_codePages;
    int m_lastCodePage = 0; // the code page last asked for, which the next text is most likely in
    const CodePage* m_lastPage = nullptr;
    int m_documentCodePage = 1252; // \ansicpg, or the character set \mac, \pc or \pca names
    int m_column = 0;              // the section's column that \colw and \colsr size (\colno)
    int m_lead = -1;               // the first byte of a double-byte character, waiting for the second
    int m_skip = 0;                // fallback characters still to skip after \u
    // The tables of contents or indexes whose results are being read, and whether the paragraph being
    // read began in one.
    int m_openTablesOfEntries = 0;
    bool m_paragraphInTableOfEntries = false;
    char16_t m_highSurrogate = 0; // the first half of a character given as two \u, waiting for the second
    QString m_pending;            // text not yet made into a run
    std::unordered_map<int, FontEntry> m_fonts;
    // The names of the symbol fonts of the table, gathered once the body asks.
    std::optional<QSet<QString>> m_symbolFamilies;
    bool isSymbolFamily(const QString& family);
    int m_defaultFont = 0;
    int m_fontNumber = 0;
    QByteArray m_fontName;
    QString m_fontNameText; // the part of the name given as \u characters and symbols
    QByteArray m_fontAlt;
    int m_red = -1, m_green = -1, m_blue = -1;
    std::vector<QColor> m_colors;
    std::unordered_map<int, StyleChars> m_styles; // by \s number
    StoryBuilder m_body;
    StoryBuilder m_header;
    StoryBuilder m_footer;
    bool m_headerSeen = false;
    bool m_footerSeen = false;
    bool m_sectionSeen = false; // page settings of later sections do not override the first
    // A \shppict just showed its picture: the \nonshppict after it, the same picture for older readers,
    // is left out.
    bool m_shapePictureShown = false;
    // Footnotes and endnotes so far, and how their marks are numbered: '1' arabic, 'a' and 'A' letters,
    // 'i' and 'I' roman, '*' the symbols *, †, ‡, §.
    bool m_htmlAutoSpacing = false; // \htmautsp: automatic spacing as HTML's
    // The empty paragraph that ended a section opening with a table: LibreOffice keeps its line when the
    // next section runs on (\sbknone, read after \sect).
    std::optional<Paragraph> m_sectionMark;
    bool m_splitBreakAndMark = false; // \spltpgpar: a page break's paragraph mark goes to the next page
    bool m_showBackground = false;    // \viewbksp: the pages show the background's colour
    QColor m_background;              // the background shape's fill, if it has one
    int m_footnotes = 0, m_endnotes = 0;
    int m_footnoteStart = 1, m_endnoteStart = 1;
    char m_footnoteStyle = '1', m_endnoteStyle = 'i';
    QString noteMark();
    // The note being read, and the mark of the reference last read, which its \chftn repeats.
    StoryBuilder m_note;
    Note m_noteText;
    QString m_lastMark;
    StoryBuilder m_band; // the header or footer being read
    // What the section being read gave: a header or footer for both sides (\header), one for left
    // pages (\headerl); the left pages take the one for both unless they have their own.
    bool m_bothHeader = false, m_bothFooter = false;
    bool m_leftHeader = false, m_leftFooter = false;
    std::deque<ListDefinition> m_listDefinitions;
    std::deque<ListOverride> m_listOverrides;
    ListLevel* m_listLevel = nullptr; // the level being read
    bool m_listOverrideLast = false;  // the last list group opened was a \listoverride
    // The check box field being read: its \ffres and \ffdefres; -1 none given.
    int m_checkBoxResult = -1, m_checkBoxDefault = -1;
    int m_autoNumber = 0;         // the AUTONUM fields read so far
    bool m_listLatinFont = false; // in a level, \af now names the font of Latin text (\loch, \hich)
    // The drop-down form field being read: its entries.
    std::vector<QString> m_dropDownEntries;
};

} // namespace wordproc::rtf
