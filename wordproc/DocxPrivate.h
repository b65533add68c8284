#pragma once

// The Word 2007+ reader's insides, shared by its files: the zip container and its XML parts
// (DocxPackage.cpp), styles, themes, numbering and the paragraph and character properties they give
// (DocxStyles.cpp), stories, paragraphs, runs and tables (DocxReader.cpp), fields (DocxFields.cpp), and
// pictures and text boxes (DocxDrawing.cpp). Nothing outside wordproc/Docx*.cpp includes it.

#include "wordproc/FormatTable.h"
#include "wordproc/ReaderLimits.h"
#include "wordproc/SymbolFonts.h"
#include "wordproc/Template.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <array>
#include <optional>
#include <unordered_map>
#include <vector>

struct zip;

namespace wordproc::docx {

// What a letter can need, and far more: a part's text, a picture's file, the whole package inflated,
// the parts a package holds, how deep XML nests and how many elements all parts hold together.
constexpr qint64 kMaxXmlBytes = 64ll << 20;
constexpr qint64 kMaxPictureBytes = 32ll << 20;
constexpr qint64 kMaxTotalBytes = 256ll << 20;
constexpr qint64 kMaxEntries = 10000;
constexpr int kMaxDepth = 256;
constexpr qint64 kMaxElements = 1000000;
// A picture is decoded only when it has at most this many pixels (an A4 page at 600 dpi has 35
// million), and all the pictures of a template together at most the second.
constexpr qint64 kMaxPicturePixels = 40000000;
constexpr qint64 kMaxAllPicturePixels = 120000000;
// As in RTF: a few text boxes a letter.
constexpr size_t kMaxTextBoxes = 64;
constexpr size_t kMaxSections = 64;

// One XML element: its name and its attributes' names as "w:p", "r:id", "wp:inline" whatever prefixes
// the file declares ("?:" for a namespace this reader does not know, none for attributes without one),
// its children, and its text where the text matters.
struct Node {
    QString name;
    std::vector<std::pair<QString, QString>> attributes;
    std::vector<Node> children;
    QString text;

    QString attr(QStringView key) const {
        for (const auto& [k, v] : attributes)
            if (k == key)
                return v;
        return {};
    }
    bool has(QStringView key) const {
        for (const auto& a : attributes)
            if (a.first == key)
                return true;
        return false;
    }
    const Node* child(QStringView childName) const {
        for (const Node& c : children)
            if (c.name == childName)
                return &c;
        return nullptr;
    }
    // The first element of that name below this one, at any depth.
    const Node* find(QStringView descendant) const;
};

struct Relationship {
    QString type;   // its last word: "styles", "image", "header", "officeDocument"...
    QString target; // the part's name within the package, or an address outside it
    bool external = false;
};
using Relationships = QHash<QString, Relationship>;

// The zip container, read from memory; every part is inflated under the limits above.
class Package {
public:
    Package(const QByteArray& data, QString fileName);
    ~Package();
    Package(const Package&) = delete;
    Package& operator=(const Package&) = delete;

    [[noreturn]] void fail(const QString& why) const;
    bool has(const QString& part) const;
    QByteArray read(const QString& part, qint64 limit);
    // A part's XML; a missing part is empty when `optional`, a failure otherwise.
    Node xml(const QString& part, bool optional = false);
    // The relationships of a part; none when it has no relationship part.
    Relationships relationships(const QString& part);
    // The part a relationship of `source` names: a failure when it is missing, outside the package or
    // `source` itself.
    QString target(const Relationships& rels, const QString& id, const QString& source) const;
    // The main document part.
    QString mainPart();

private:
    QByteArray m_data;
    QString m_fileName;
    zip* m_zip = nullptr;
    qint64 m_total = 0;
    qint64 m_elements = 0;
    QHash<QString, QString> m_names; // element and attribute names, shared between nodes
};

// The part a relationship names, resolved against the folder of the part that holds it; empty when it
// climbs out of the package.
QString resolvePart(const QString& source, const QString& target);

// Numbers and lengths as attributes give them.
int intAttr(const Node& n, QStringView key, int fallback = 0);
bool onOff(const Node* n);             // a toggle: present and not "0", "false" or "off"
QColor hexColor(const QString& value); // "auto" or anything not a colour: invalid
// A freeform's figures (a:custGeom) into `g` as lines through points, for a shape of that size in twips
// and of that extent in its frame's units; false when it draws nothing this reader can follow.
bool customGeometry(const Node& geometry, int widthTwips, int heightTwips, double extentX, double extentY,
                    Floating& g);
// A display equation's place on its line as its m:jc value names it; fallback for any other value.
ParaFormat::Align mathAlign(const QString& value, ParaFormat::Align fallback);

struct CharProps {
    CharFormat format;
    bool hidden = false;
    bool highlighted = false; // a highlight shows over the run's shading
    // Letters of the right-to-left scripts (Hebrew, Arabic and their like) print in the run's own face,
    // size, weight and slant for them (w:cs, w:szCs, w:bCs, w:iCs), as LibreOffice prints them; the
    // spaces, figures and signs among them go with them. Empty face, 0 size: the run's others.
    QString complexFamily;
    int complexHalfPoints = 0;
    bool complexBold = false, complexItalic = false;
    CharFormat complexFormat() const;
};

// Whether a letter is of a right-to-left script; whether a character belongs to no script at all,
// going with the letters around it.
bool complexLetter(QChar c);
bool weakCharacter(QChar c);

struct ParaProps {
    ParaFormat format;
    bool contextual = false;
    bool autoBefore = false, autoAfter = false; // spaced automatically, as a web page's paragraph
    QString numId;
    int level = 0;
    bool hasNumbering = false;
};

// A list level of numbering.xml.
struct Level {
    int start = 1;
    // The one-based level after whose use this one starts again (0: never); none: after any above it.
    std::optional<int> restart;
    bool legal = false; // every level's number in its text shown in Arabic numerals
    QString format = QStringLiteral("decimal");
    QString text;
    QString suffix = QStringLiteral("tab");
    QString jc;      // w:lvlJc: where the number stands against the indent
    QString picture; // w:lvlPicBulletId: the bullet is that picture, not the text
    const Node* pPr = nullptr;
    const Node* rPr = nullptr;
};

struct Style {
    QString type;
    QString basedOn;
    const Node* pPr = nullptr;
    const Node* rPr = nullptr;
    const Node* tblPr = nullptr;
    const Node* trPr = nullptr;
    const Node* tcPr = nullptr;
    const Node* numPr = nullptr;
    std::vector<std::pair<QString, const Node*>> conditions; // tblStylePr by its type
    int order = 0;                                           // where it stands among the styles part's styles
    bool baseLater = false;   // the style it is based on comes after it in the styles part
    bool headingLike = false; // one of Word's headings, a title or a subtitle
};

// Styles, theme fonts and colours and list definitions, and the properties they give.
class StyleSheet {
public:
    void readTheme(const Node& theme);
    void readStyles(const Node& styles);
    void readNumbering(const Node& numbering);

    // The styles a style is based on, the farthest first, ending with the style itself.
    std::vector<const Style*> chain(const QString& id) const;
    QString defaultStyle(const QString& type) const { return m_defaults.value(type); }
    // The id of the style Word names `name` ("header"); empty when the document has none.
    QString styleNamed(const QString& name) const { return m_named.value(name); }
    // The character properties every run starts from: the document's defaults over the size and face
    // Word takes where they are given as none, or over those of LibreOffice's new document where the
    // styles give no character defaults at all.
    void applyDefaultRPr(CharProps& p) const;
    // The face of text that names none: Word's, or that of LibreOffice's new document (see above).
    QString defaultFamily() const {
        return m_hasRPrDefault ? QStringLiteral("Times New Roman") : QStringLiteral("Calibri");
    }
    // The paragraph properties every paragraph starts from (see DocxStyles.cpp).
    void applyDefaultPPr(ParaProps& p) const;
    void setLinkedStyles(bool linked) { m_linkedStyles = linked; }

    void applyRPr(const Node* rPr, CharProps& p) const;
    void applyPPr(const Node* pPr, ParaProps& p) const;
    // A style's paragraph properties over those of the styles it is based on (see DocxStyles.cpp).
    void applyStylePPr(const Style& s, ParaProps& p) const;
    QColor themeColor(const QString& name) const;
    QString themeFont(const QString& which) const;
    // settings.xml's w:themeFontLang w:bidi: which script's theme font the right-to-left theme fonts are.
    void setBidiLanguage(const QString& language);

    // The level `level` of list `numId`, with the list's overrides; null when there is none.
    const Level* level(const QString& numId, int level) const;
    // Counts a paragraph of that list level and gives its number's text.
    QString nextNumber(const QString& numId, int level);
    // The relationship (of the numbering part) of picture bullet `id`'s picture; empty when none.
    QString pictureBullet(const QString& id) const { return m_pictureBullets.value(id); }

private:
    QHash<QString, Style> m_styles;
    QHash<QString, QString> m_named; // styles' ids by their names
    QHash<QString, QString> m_defaults;
    const Node* m_defaultRPr = nullptr;
    bool m_hasRPrDefault = false;
    const Node* m_defaultPPr = nullptr;
    bool m_linkedStyles = false; // the settings ask for the attached template's styles
    QString m_majorFont, m_minorFont;
    // The themes' East Asian fonts: the one for every script (key ""), and those for one ("Jpan").
    QHash<QString, QString> m_majorAsian, m_minorAsian;
    QString m_majorComplex, m_minorComplex; // the themes' a:cs faces
    QString m_bidiScript;                   // "Hebr", "Arab" or none
    QString themeAsianFont(const QString& which, const QString& language) const;
    QHash<QString, QColor> m_colors;
    struct Abstract {
        std::array<std::optional<Level>, 9> levels;
        QString styleLink;  // the list style whose levels it takes, where it has none of its own
        QString countsWith; // the definition it took them from, which it counts on with
    };
    struct List {
        QString abstract;
        std::array<std::optional<int>, 9> startOverride;
        std::array<std::optional<Level>, 9> levelOverride;
    };
    struct Counts {
        std::array<int, 9> counters{};
        std::array<bool, 9> started{};
    };
    QHash<QString, Abstract> m_abstracts;
    QHash<QString, List> m_lists;
    QHash<QString, QString> m_pictureBullets;
    // Lists of one definition count on together, by the definition's id.
    QHash<QString, Counts> m_counts;
    QSet<QString> m_listsUsed; // the lists that have numbered an item
};

Border border(const Node& b);
QColor shading(const Node& shd);
// A theme colour lightened by a tint or darkened by a shade, each as Word writes it (hex, 0 to FF).
QColor themeShaded(QColor color, const QString& tint, const QString& shade);
// Symbol and Wingdings characters (bullets above all) as the Unicode characters they show.
QString symbolCharacters(const QString& s);
// The same for a font known by name: the symbols of Symbol and Wingdings as what they picture.
QString symbolCharacters(const QString& s, SymbolSet set);

// The text of the element (or attribute) an XPath of the form "/a:root[1]/b:child[2]" names in `xml`,
// its prefixes standing for the namespaces `prefixMappings` gives them (Word's w:prefixMappings); none
// when the path leads nowhere or is of another form.
std::optional<QString> boundValue(const QByteArray& xml, const QString& xpath, const QString& prefixMappings);

// A field whose end is still to come: its code, then its stored result.
struct OpenField {
    Field field;
    bool inResult = false;
    bool locked = false;            // w:fldLock: an IF keeps its stored result
    bool codeCut = false;           // a field nested too deep was left out of the code
    const Node* formData = nullptr; // a legacy form field's settings
};

// Whether a field's mark or simple field says it is locked.
bool lockedField(const Node& n);

bool isContents(const OpenField& f); // a table of contents

// One story being read (the body, a header, a text box, a table cell): its blocks so far, the paragraph
// being filled and the fields open in it.
struct StoryState {
    std::vector<Block>* blocks = nullptr;
    QString part; // the part the story is in: its pictures follow that part's relationships
    const Relationships* rels = nullptr;
    bool inTextBox = false;
    bool inNote = false;
    bool breakPending = false; // the next block starts a new page
    // The paragraph being filled, in pieces split at its page breaks; `open` while a field runs on
    // past the paragraph's end.
    std::vector<std::vector<Run>> pieces;
    bool open = false;
    bool hiddenText = false;    // the paragraph being filled holds hidden text
    bool complexBefore = false; // the paragraph's last letter so far is of a right-to-left script
    int plainTextControls = 0;  // plain-text content controls the content read lies in
    ParaFormat format;
    int markFormat = 0;
    int ownFormat = -1; // the paragraph's own font, as its style gives it
    QString style;
    bool contextual = false;
    // Spaced automatically above and below, and the list it belongs to (empty: none).
    bool autoBefore = false, autoAfter = false;
    QString list;
    std::vector<OpenField> fields;
    int ignoredFields = 0; // fields nested past kMaxFieldDepth: their text stays, they do not
    // Fields whose results ran on past a paragraph as paragraphs of their own, outermost first, and
    // whether each is a table of contents; each goes with its end.
    std::vector<bool> ranOn;
    // The paragraph before, for spacing between paragraphs of one style.
    QString lastStyle;
    bool lastContextual = false;
    bool lastAutoAfter = false;
    bool firstAutoBefore = false; // the story's first block is a paragraph spaced automatically above
    QString lastList;
    // The text of the content control being read, from the document's data, in place of its own; and
    // whether it has been given.
    std::optional<QString> bound;
    bool boundShown = false;
    // The runs being read lie in a plain-text control: LibreOffice prints them in the paragraph's style
    // alone, whatever they or their character styles ask.
    int plainRuns = 0;
    // A content control that holds paragraphs is, to LibreOffice, a control around its first paragraph's
    // text alone: that paragraph, the next read, is plain or shows the control's value.
    struct ControlStart {
        bool plain = false;
        std::optional<QString> value;
    };
    std::optional<ControlStart> controlStart;
    // A dropped capital's letters, for the start of the paragraph they belong to.
    std::vector<Run> dropCap;
    // Frames read before the paragraph that anchors them: the next one the story has.
    std::vector<Run> frames;
    // The paragraph being ended has its mark hidden; an empty one such is left out, the last of them
    // kept for a story that would have no paragraph else.
    bool hiddenMark = false;
    std::optional<Paragraph> hiddenParagraph;
    // The table style's paragraph and character properties for a cell's text, in order.
    std::vector<const Node*> tablePPr, tableRPr;
    // Of those character properties, the ones the paragraph's style leaves unset: LibreOffice lets them
    // outrank a run's character style.
    std::vector<Node> tableOverStyles;
    // A tracked change being read: inserted text is underlined, deleted text struck through, both in
    // their author's colour over whatever colour their runs ask for.
    enum class Revision : quint8 { None, Inserted, Deleted };
    Revision revision = Revision::None;
    QColor revisionColor;
};

class Reader {
public:
    Reader(const QByteArray& data, const QString& fileName) : m_pkg(data, fileName), m_fileName(fileName) {}
    Template run();

private:
    // Parts and sections.
    void readSettings(const Node& settings);
    void pageSetup(const Node& sectPr, PageSetup& pg);
    template <class Bands> void sectionBands(const Node& sectPr, Bands& out);
    void startSection(const Node& sectPr);
    void firstSection(const Node& sectPr);
    Story storyPart(const QString& id);
    Story emptyBand(QStringView styleName);
    void finishStory(StoryState& st);

    // Blocks, paragraphs and runs.
    void blocks(const Node& container, StoryState& st);
    void paragraph(const Node& p, StoryState& st);
    void endParagraph(StoryState& st);
    void inlines(const Node& parent, StoryState& st, const CharProps& base);
    void run(const Node& r, StoryState& st, const CharProps& base);
    void math(const Node& n, StoryState& st, const CharProps& base, CharFormat::Script script);
    void mathRun(const Node& r, StoryState& st, const CharProps& base, CharFormat::Script script);
    // A run's properties over `base`: its character style's, then its own; without `styled`, its own only.
    CharProps runProps(const CharProps& base, const Node* rPr, bool styled = true) const;
    int format(const CharFormat& f);
    std::vector<Run>* target(StoryState& st);
    void addRun(StoryState& st, Run run);
    void addText(StoryState& st, const QString& text, int format);
    void symbol(StoryState& st, const QString& font, char16_t code, int format);
    void pageBreak(StoryState& st, int format);
    void fieldChar(StoryState& st, const Node& mark, int format);
    void shownByCode(Field& f);
    void checkBoxResult(const Node& box, Field& f);
    void dropDownResult(const Node& list, Field& f);
    // `endFormat`: the format of the run holding the field's end mark (-1: none).
    void endField(StoryState& st, int endFormat = -1);
    void dropField(StoryState& st);
    bool resultsStandAsStored(const StoryState& st) const;
    void simpleField(const Node& f, StoryState& st, const CharProps& base);

    // Content controls bound to the document's data (DocxBindings.cpp).
    void readStores();
    // The value a control bound to the document's data shows; `block`: the control holds paragraphs.
    std::optional<QString> boundText(const Node& sdtPr, bool block);
    // Content controls around blocks and within a line, their text replaced by their bound values where
    // they have them.
    void blockControl(const Node& sdt, const Node& content, StoryState& st);
    void inlineControl(const Node& sdt, const Node& content, StoryState& st, const CharProps& base);
    void addBoundText(StoryState& st, int format);

    // Tables.
    void table(const Node& tbl, StoryState& st);
    std::vector<int> impliedGrid(const Node* tblPr, const std::vector<const Node*>& rows) const;
    int tableRoom() const;
    int textRoom() const;

    // Footnotes and endnotes: the note `id` of footnotes.xml or endnotes.xml as a Template::notes
    // entry, -1 when there is none.
    int note(const QString& id, bool endnote, StoryState& st);
    // Pictures and text boxes.
    void drawing(const Node& d, StoryState& st, int format);
    void placeDrawing(const Node& frame, StoryState& st, int format, bool anchored);
    void vml(const Node& pict, StoryState& st, int format);
    int picture(StoryState& st, const QString& id, int widthTwips, int heightTwips);
    // The picture of list level `level`'s picture bullet, as LibreOffice prints it; -1 when none.
    int pictureBullet(StoryState& st, const Level& level);
    // A chart part drawn as a picture, from the values Word keeps with it; -1 when it draws nothing.
    int chart(StoryState& st, const QString& id, int widthTwips, int heightTwips);
    int textBox(const Node& content, StoryState& st, int room = 0);
    // Paragraphs of one w:framePr, or a table of w:tblpPr, in a box of their own beside the text; false
    // when there is no box left for them.
    bool frame(const std::vector<const Node*>& nodes, const Node& props, StoryState& st);
    // The frame properties a paragraph or a table is set by, if it stands in a frame of its own.
    std::optional<Node> frameOf(const Node& n) const;
    void addFloating(StoryState& st, const Floating& f, int format);
    QColor drawingColor(const Node* fill) const;
    // A gradient fill (a:gradFill) as `g`'s gradient, its first colour its plain fill; `style` is the
    // shape's wps:style, whose theme fill gives the way a gradient runs when it gives none.
    void gradientFill(const Node& grad, Floating& g, const Node* style) const;
    const Node* themeFill(const Node* style) const;
    // A picture's outline and shadow, as LibreOffice draws them.
    void pictureOutline(const Node& pic, Picture& shown) const;

    Package m_pkg;
    QString m_fileName;
    Template m_t;
    StyleSheet m_styles;
    Node m_document, m_stylesXml, m_numberingXml, m_themeXml;
    // The numbering part, whose relationships hold the pictures of picture bullets.
    QString m_numberingPart;
    Relationships m_numberingRels;
    QString m_main;
    Relationships m_mainRels;
    FormatTable m_formatTable; // into m_t.formats
    struct Decoded {
        QImage image;
        QByteArray metafile;
        bool enhanced = false;
        bool usable = false;
    };
    QHash<QString, Decoded> m_decoded;
    qint64 m_pixels = 0;
    int m_compatibility = 12;
    // Where a display equation stands on its line unless it says otherwise: Word centres it.
    ParaFormat::Align m_mathAlign = ParaFormat::Center;
    int m_tableDepth = 0; // tables inside the cell being read
    int m_cellRoom = 0;   // the text's width in the cell being read
    int m_boxRoom = 0;    // the text's width in the text box being read, 0 where not known
    // Tables in frames placed by their offset, by their index in the floats: where their offset
    // counts from the right instead (a right-to-left paragraph anchors them), the place mirrored
    // within the room they are placed in.
    QHash<int, int> m_mirroredFrameLeft;
    bool m_showDeletions = true;
    bool m_showBackground = false; // the pages show the document's background colour
    // The authors of tracked changes, in the order they first appear: each has a colour of its own.
    QStringList m_revisionAuthors;
    QColor authorColor(const QString& author);
    int m_footnotes = 0, m_endnotes = 0;
    // The notes parts, read when a reference first needs them, and the mark their text starts with.
    struct NotesPart {
        bool read = false;
        QString part;
        Node xml;
        Relationships rels;
    };
    std::array<NotesPart, 2> m_notesParts; // footnotes, endnotes
    QString m_noteMark;
    // How the notes' marks are numbered: Word's defaults unless the settings say otherwise.
    std::array<QString, 2> m_noteFormats{QStringLiteral("decimal"), QStringLiteral("lowerRoman")};
    std::array<int, 2> m_noteStarts{1, 1};
    bool m_storesRead = false;
    std::vector<std::pair<QString, QString>> m_stores; // data stores' names and the parts holding them
    QHash<QString, QByteArray> m_storeXml;             // read when a control first needs it
    std::vector<const Node*> m_sections;
    size_t m_section = 0;
    // The width between the margins of the section being read, where its absolute tabs stand.
    int m_textWidthTwips = 8640;
    QHash<QString, Story> m_storyParts;
    // The VML shape types that are Word's text box, as "#id": a shape of one names it as its type.
    QSet<QString> m_textBoxTypes;
};

} // namespace wordproc::docx
