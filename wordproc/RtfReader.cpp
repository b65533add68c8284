#include "wordproc/RtfReader.h"

#include "errors/Failure.h"
#include "wordproc/Twips.h"
#include "wordproc/WordErrors.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QUrl>
#include <array>
#include <cstring>
#include <unordered_map>

#ifdef Q_OS_UNIX
#include <csignal>
#include <unistd.h>
#endif

namespace wordproc {

namespace {

// Word nests a few dozen groups deep at most; anything far beyond is damage or malice, and the reader
// recurses once per group.
constexpr int kMaxDepth = 200;
constexpr int kMaxWordLength = 32;
// Word's own limits: a row holds at most 63 cells and a paragraph at most 64 tab stops. Beyond them a
// file could make every stored row or paragraph as large as the whole file.
constexpr size_t kMaxCells = 63;
constexpr size_t kMaxTabs = 64;

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
};

// Destinations whose content never shows: skipped with everything inside them.
bool isSkippedDestination(const QByteArray& word) {
    static const char* const names[] = {
        "info",
        "stylesheet",
        "footnote",
        "annotation",
        "nonshppict",
        "headerf",
        "footerf",
        "pn",
        "object",
        "do",
        "shprslt",
        "xe",
        "tc",
        "txe",
        "rxe",
        "comment",
        "listtable",
        "listoverridetable",
        "revtbl",
        "rsidtbl",
        "generator",
        "themedata",
        "colorschememapping",
        "latentstyles",
        "datastore",
        "xmlnstbl",
        "pgdsctbl",
        "ftnsep",
        "ftnsepc",
        "aftnsep",
        "aftnsepc",
        "aftncn",
        "ftncn",
        "template",
        "userprops",
        "docvar",
        "atnid",
        "atnauthor",
        "mmathPr",
        "defchp",
        "defpap",
        "private",
        "bkmkstart",
        "bkmkend",
        "fldtype",
        "buptim",
        "creatim",
        "printim",
        "revtim",
        "title",
        "subject",
        "author",
        "operator",
        "keywords",
        "doccomm",
        "company",
        "category",
        "manager",
        "hlinkbase",
        "field_placeholder",
        "wgrffmtfilter",
        "pnseclvl",
        "picprop",
        "blipuid",
        "panose",
        "falt",
        "fname",
        "listpicture",
        "pgptbl",
        "protusertbl",
        "filetbl",
        "objdata",
        "objclass",
        "result",
    };
    for (const char* n : names)
        if (word == n)
            return true;
    return false;
}

struct PictureData {
    QByteArray bytes;
    bool png = false;
    bool jpeg = false;
    int highNibble = -1;
    int widthPx = 0;
    int heightPx = 0;
    int widthGoal = 0;
    int heightGoal = 0;
    int scaleX = 100;
    int scaleY = 100;
};

// A shape being read: the picture it shows and where; a property being read.
struct ShapeData {
    Floating floating;
    int right = 0;
    int bottom = 0;
};
struct ShapeProperty {
    QString name;
    QString value;
};

// Which edge the rule words (\brdrs, \brdrw, ...) describe: the last \brdrt, \box or \clbrdrb given.
enum class BorderTarget : quint8 { None, Paragraph, AllOfParagraph, Cell };

// One story being read: the paragraph being filled and the table rows around it.
struct StoryBuilder {
    Story* story = nullptr;
    std::vector<Run> runs;
    bool breakPending = false;   // the next paragraph starts a new page
    bool sectionPending = false; // a section break waits to learn whether it is continuous
    // Tables: the row definition last given, the cells of the row being filled.
    Row rowDef;
    Cell cellDef; // the cell being defined: its borders and shading, until its \cellx
    int cellBack = -1, cellFore = -1, cellShade = 0;
    std::vector<Paragraph> cellParagraphs;
    std::vector<Cell> cells;
    Table table;
    bool tableBreakPending = false;
};

struct State {
    Dest dest = Dest::Body;
    CharFormat chr;
    ParaFormat para;
    TabStop::Kind tabKind = TabStop::Left;
    TabStop::Leader tabLeader = TabStop::NoLeader;
    BorderTarget border = BorderTarget::None;
    Side borderSide = Side::Top;
    int uc = 1;
    bool symbolFont = false;
    bool hidden = false;
    bool inTable = false;
    bool inResult = false;              // paragraph marks become line breaks
    std::vector<Run>* target = nullptr; // where runs go; null: the story's paragraph
    StoryBuilder* story = nullptr;
    Field* field = nullptr; // inside a \field group
    PictureData* picture = nullptr;
    ShapeData* shape = nullptr; // inside a shape: its picture goes there
    ShapeProperty* property = nullptr;
};

// What a group owns when its first word opens a destination.
struct GroupLocals {
    PictureData picture;
    ShapeData shape;
    ShapeProperty property;
    Field field;
    bool hadInstruction = false;
    StoryBuilder* opened = nullptr; // a header or footer story this group holds
};

// Hashes the parts of a character format that tell formats apart most often; equal formats hash alike
// whatever else a format holds.
struct CharFormatHash {
    size_t operator()(const CharFormat& f) const noexcept {
        size_t h = qHash(f.family);
        h = h * 31 + size_t(f.halfPoints);
        h = h * 31 + (f.color.isValid() ? f.color.rgba() : 0u);
        h = h * 31 +
            (size_t(f.bold) | size_t(f.italic) << 1 | size_t(f.underline) << 2 | size_t(f.strike) << 3);
        h = h * 31 + (size_t(f.script) << 2 | size_t(f.caps));
        return h;
    }
};

struct FontEntry {
    QString name;
    bool symbol = false;
};

class Reader {
public:
    Reader(const QByteArray& data, QString fileName)
        : m_p(data.constData()), m_end(data.constData() + data.size()), m_fileName(std::move(fileName)) {
        setCodePage(1252);
    }

    Template run();

private:
    [[noreturn]] void fail(const QString& why) const {
        throw Failure(errors::UnreadableDocument,
                      QStringLiteral("The template \"%1\" could not be read: %2.").arg(m_fileName, why));
    }

    void parseGroup(State st, int depth);
    void controlWord(State& st, GroupLocals& local, const QByteArray& word, bool hasParam, int param,
                     bool first, bool starred);
    void text(State& st, const QString& s);
    void textByte(State& st, uchar byte);
    void flushText(State& st);
    int format(const CharFormat& f);
    void addRun(State& st, Run run);
    void endParagraph(State& st, bool mark);
    void endCell(State& st);
    void endRow(State& st);
    void flushTable(StoryBuilder& b);
    Row takeRow(StoryBuilder& b);
    void finishStory(StoryBuilder& b, const State& st);
    void finishPicture(State& st, PictureData& pic);
    void finishField(State& st, Field& field, bool hadInstruction);
    void finishShape(State& st, ShapeData& shape);
    void shapeWord(ShapeData& shape, const QByteArray& w, int param);
    void shapeProperty(ShapeData& shape, const ShapeProperty& property);
    void borderWord(State& st, const QByteArray& w, int param);
    void endCellDefinition(StoryBuilder& b, int right);
    QColor color(int index) const;
    void setCodePage(int cp);

    const char* m_p;
    const char* m_end;
    QString m_fileName;
    Template m_t;
    std::unordered_map<CharFormat, int, CharFormatHash> m_formatIndex; // into m_t.formats
    std::array<QChar, 256> m_codePage{};
    int m_skip = 0;    // fallback characters still to skip after \u
    QString m_pending; // text not yet made into a run
    std::unordered_map<int, FontEntry> m_fonts;
    int m_defaultFont = 0;
    int m_fontNumber = 0;
    QByteArray m_fontName;
    int m_red = -1, m_green = -1, m_blue = -1;
    std::vector<QColor> m_colors;
    StoryBuilder m_body;
    StoryBuilder m_header;
    StoryBuilder m_footer;
    bool m_headerSeen = false;
    bool m_footerSeen = false;
    bool m_sectionSeen = false; // page settings of later sections do not override the first
};

void Reader::setCodePage(int cp) {
    QStringDecoder decoder(QStringLiteral("windows-%1").arg(cp).toLatin1().constData());
    if (!decoder.isValid())
        decoder = QStringDecoder("windows-1252");
    for (int i = 0; i < 256; ++i) {
        const char byte = char(i);
        const QString s = decoder.decode(QByteArrayView(&byte, 1));
        m_codePage[size_t(i)] = s.isEmpty() ? QChar(0xFFFD) : s.at(0);
    }
}

int Reader::format(const CharFormat& f) {
    if (m_formatIndex.empty())
        for (size_t i = 0; i < m_t.formats.size(); ++i)
            m_formatIndex.emplace(m_t.formats[i], int(i));
    const auto [it, added] = m_formatIndex.emplace(f, int(m_t.formats.size()));
    if (added)
        m_t.formats.push_back(f);
    return it->second;
}

void Reader::addRun(State& st, Run run) {
    std::vector<Run>* target = st.target ? st.target : (st.story ? &st.story->runs : nullptr);
    if (!target)
        return;
    if (run.kind == Run::Text && !target->empty() && target->back().kind == Run::Text &&
        target->back().format == run.format) {
        target->back().text += run.text;
        return;
    }
    target->push_back(std::move(run));
}

void Reader::flushText(State& st) {
    if (m_pending.isEmpty())
        return;
    QString s;
    std::swap(s, m_pending);
    if (st.hidden)
        return;
    Run run;
    run.kind = Run::Text;
    run.format = format(st.chr);
    run.text = std::move(s);
    addRun(st, std::move(run));
}

void Reader::text(State& st, const QString& s) {
    switch (st.dest) {
    case Dest::Body:
        m_pending += s;
        break;
    case Dest::FieldInst:
        if (st.field) {
            if (st.field->instruction.isEmpty())
                st.field->codeFormat = format(st.chr);
            st.field->instruction += s;
        }
        break;
    case Dest::ShapeName:
        if (st.property)
            st.property->name += s;
        break;
    case Dest::ShapeValue:
        if (st.property)
            st.property->value += s;
        break;
    case Dest::FontTable:
        for (QChar c : s) {
            if (c == QLatin1Char(';')) {
                FontEntry& f = m_fonts[m_fontNumber];
                f.name = QString::fromLatin1(m_fontName).trimmed();
                m_fontName.clear();
            } else {
                m_fontName += c.toLatin1();
            }
        }
        break;
    case Dest::ColorTable:
        for (QChar c : s) {
            if (c == QLatin1Char(';')) {
                if (m_red < 0 && m_green < 0 && m_blue < 0)
                    m_colors.push_back(QColor());
                else
                    m_colors.push_back(
                        QColor(qBound(0, m_red, 255), qBound(0, m_green, 255), qBound(0, m_blue, 255)));
                m_red = m_green = m_blue = -1;
            }
        }
        break;
    default:
        break;
    }
}

void Reader::textByte(State& st, uchar byte) {
    if (m_skip > 0) {
        --m_skip;
        return;
    }
    if (st.dest == Dest::Picture) {
        int v = -1;
        if (byte >= '0' && byte <= '9')
            v = byte - '0';
        else if (byte >= 'a' && byte <= 'f')
            v = byte - 'a' + 10;
        else if (byte >= 'A' && byte <= 'F')
            v = byte - 'A' + 10;
        if (v >= 0 && st.picture) {
            if (st.picture->highNibble < 0) {
                st.picture->highNibble = v;
            } else {
                st.picture->bytes.append(char(st.picture->highNibble * 16 + v));
                st.picture->highNibble = -1;
            }
        }
        return;
    }
    if (st.dest == Dest::Body && byte == '\t') {
        flushText(st);
        if (!st.hidden)
            addRun(st, Run{Run::Tab, format(st.chr), -1, {}});
        return;
    }
    QChar c = m_codePage[byte];
    if (st.symbolFont && byte == 0xB7)
        c = QChar(0x2022);
    text(st, QString(c));
}

void Reader::flushTable(StoryBuilder& b) {
    if (!b.cells.empty() || !b.cellParagraphs.empty()) {
        // Cells without a row end: keep them as a row of their own.
        if (!b.cellParagraphs.empty()) {
            Cell cell;
            cell.paragraphs = std::move(b.cellParagraphs);
            b.cellParagraphs.clear();
            b.cells.push_back(std::move(cell));
        }
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

void Reader::endParagraph(State& st, bool mark) {
    flushText(st);
    if (st.inResult || st.target) {
        if (mark)
            addRun(st, Run{Run::LineBreak, format(st.chr), -1, {}});
        return;
    }
    StoryBuilder* b = st.story;
    if (!b)
        return;
    Paragraph p;
    p.format = st.para;
    p.markFormat = format(st.chr);
    p.runs = std::move(b->runs);
    b->runs.clear();
    if (st.inTable) {
        b->cellParagraphs.push_back(std::move(p));
        return;
    }
    flushTable(*b);
    if (b->breakPending || b->sectionPending) {
        p.format.pageBreakBefore = true;
        b->breakPending = b->sectionPending = false;
    }
    b->story->blocks.emplace_back(std::move(p));
}

void Reader::endCell(State& st) {
    flushText(st);
    StoryBuilder* b = st.story;
    if (!b || st.inResult || st.target)
        return;
    Paragraph p;
    p.format = st.para;
    p.markFormat = format(st.chr);
    p.runs = std::move(b->runs);
    b->runs.clear();
    b->cellParagraphs.push_back(std::move(p));
    if (b->cells.empty() && b->table.rows.empty() && (b->breakPending || b->sectionPending)) {
        b->tableBreakPending = true;
        b->breakPending = b->sectionPending = false;
    }
    if (b->cells.size() >= kMaxCells) {
        // More cells than a row can hold: the rest of the row's text goes into its last cell.
        auto& last = b->cells.back().paragraphs;
        std::move(b->cellParagraphs.begin(), b->cellParagraphs.end(), std::back_inserter(last));
        b->cellParagraphs.clear();
        return;
    }
    Cell cell;
    cell.paragraphs = std::move(b->cellParagraphs);
    b->cellParagraphs.clear();
    b->cells.push_back(std::move(cell));
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

void Reader::finishStory(StoryBuilder& b, const State& st) {
    State s = st;
    s.story = &b;
    s.target = nullptr;
    s.inResult = false;
    s.dest = Dest::Body;
    flushText(s);
    if (!b.runs.empty()) {
        s.inTable = false;
        endParagraph(s, false);
    }
    flushTable(b);
}

void Reader::finishPicture(State& st, PictureData& pic) {
    if (!(pic.png || pic.jpeg) || pic.bytes.isEmpty())
        return; // metafiles and other formats are left out
    QImage image;
    if (!image.loadFromData(pic.bytes, pic.png ? "PNG" : "JPEG") || image.isNull())
        return;
    Picture p;
    p.image = image;
    const qint64 w =
        pic.widthGoal > 0 ? pic.widthGoal : qint64(pic.widthPx > 0 ? pic.widthPx : image.width()) * 15;
    const qint64 h =
        pic.heightGoal > 0 ? pic.heightGoal : qint64(pic.heightPx > 0 ? pic.heightPx : image.height()) * 15;
    p.widthTwips = clampTwips(w * qBound(1, pic.scaleX, 1000) / 100, 1, kMaxTwips);
    p.heightTwips = clampTwips(h * qBound(1, pic.scaleY, 1000) / 100, 1, kMaxTwips);
    m_t.pictures.push_back(std::move(p));
    if (st.shape) {
        st.shape->floating.picture = int(m_t.pictures.size() - 1);
        return;
    }
    if (!st.hidden)
        addRun(st, Run{Run::Picture, format(st.chr), int(m_t.pictures.size() - 1), {}});
}

QColor Reader::color(int index) const {
    return index > 0 && size_t(index) < m_colors.size() ? m_colors[size_t(index)] : QColor();
}

void Reader::borderWord(State& st, const QByteArray& w, int param) {
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
        else if (w.startsWith("brdrdash"))
            b->style = Border::Dashed;
        else
            b->style = Border::Single; // \brdrs, \brdrth, \brdrhair and the fancier rules
    }
}

void Reader::endCellDefinition(StoryBuilder& b, int right) {
    Cell c = std::move(b.cellDef);
    c.rightTwips = right;
    // A shading percentage mixes the pattern colour (black by default) into the background (white).
    const QColor back = color(b.cellBack), fore = color(b.cellFore);
    const double share = qBound(0, b.cellShade, 10000) / 10000.0;
    if (share > 0) {
        const QColor bg = back.isValid() ? back : QColor(Qt::white);
        const QColor fg = fore.isValid() ? fore : QColor(Qt::black);
        const auto mix = [share](int a, int z) { return qRound(a + (z - a) * share); };
        c.shading = QColor(mix(bg.red(), fg.red()), mix(bg.green(), fg.green()), mix(bg.blue(), fg.blue()));
    } else {
        c.shading = back;
    }
    if (b.rowDef.cells.size() < kMaxCells)
        b.rowDef.cells.push_back(std::move(c));
    b.cellDef = Cell{};
    b.cellBack = b.cellFore = -1;
    b.cellShade = 0;
}

void Reader::shapeWord(ShapeData& shape, const QByteArray& w, int param) {
    Floating& f = shape.floating;
    if (w == "shpleft")
        f.leftTwips = clampTwips(param);
    else if (w == "shptop")
        f.topTwips = clampTwips(param);
    else if (w == "shpright")
        shape.right = clampTwips(param);
    else if (w == "shpbottom")
        shape.bottom = clampTwips(param);
    else if (w == "shpbxpage" || w == "shpbxmargin" || w == "shpbxcolumn")
        f.fromX = w == "shpbxpage" ? Floating::From::Page : Floating::From::Margin;
    else if (w == "shpbypage" || w == "shpbymargin" || w == "shpbypara")
        f.fromY = w == "shpbypage"     ? Floating::From::Page
                  : w == "shpbymargin" ? Floating::From::Margin
                                       : Floating::From::Paragraph;
    else if (w == "shpwr")
        f.wrap = param == 1                 ? Floating::Wrap::TopBottom
                 : param == 2 || param == 4 ? Floating::Wrap::Around
                                            : Floating::Wrap::None;
    else if (w == "shpfblwtxt")
        f.behindText = param == 1;
}

void Reader::shapeProperty(ShapeData& shape, const ShapeProperty& property) {
    // The few properties that say where the picture lies; the rest draw shapes this reader leaves out.
    const QString name = property.name.trimmed();
    bool ok = false;
    const int value = property.value.trimmed().toInt(&ok);
    if (!ok)
        return;
    Floating& f = shape.floating;
    if (name == QLatin1String("posrelh"))
        f.fromX = value == 1 ? Floating::From::Page : Floating::From::Margin;
    else if (name == QLatin1String("posrelv"))
        f.fromY = value == 1   ? Floating::From::Page
                  : value == 0 ? Floating::From::Margin
                               : Floating::From::Paragraph;
    else if (name == QLatin1String("fBehindDocument"))
        f.behindText = value != 0;
}

void Reader::finishShape(State& st, ShapeData& shape) {
    Floating f = shape.floating;
    if (f.picture < 0)
        return; // lines, boxes and text frames are left out
    const Picture& pic = m_t.pictures[size_t(f.picture)];
    // Anywhere on a sheet of up to 50 inches; the size as for an inline picture.
    f.leftTwips = qBound(-1440 * 50, f.leftTwips, 1440 * 50);
    f.topTwips = qBound(-1440 * 50, f.topTwips, 1440 * 50);
    f.widthTwips = shape.right > f.leftTwips ? int(qMin(qint64(shape.right) - f.leftTwips, qint64(1440 * 50)))
                                             : pic.widthTwips;
    f.heightTwips = shape.bottom > f.topTwips
                        ? int(qMin(qint64(shape.bottom) - f.topTwips, qint64(1440 * 50)))
                        : pic.heightTwips;
    m_t.floats.push_back(f);
    if (!st.hidden)
        addRun(st, Run{Run::Floating, format(st.chr), int(m_t.floats.size() - 1), {}});
}

void Reader::finishField(State& st, Field& field, bool hadInstruction) {
    if (!hadInstruction) {
        // Nothing to evaluate: the result stands as plain content.
        for (Run& r : field.result)
            addRun(st, std::move(r));
        return;
    }
    parseFieldInstruction(field);
    m_t.fields.push_back(std::move(field));
    addRun(st, Run{Run::Field, format(st.chr), int(m_t.fields.size() - 1), {}});
}

void Reader::parseGroup(State st, int depth) {
    if (depth > kMaxDepth)
        fail(QStringLiteral("its groups are nested more than %1 deep").arg(kMaxDepth));
    m_skip = 0;
    bool first = true;
    bool starred = false;
    GroupLocals local;

    while (true) {
        if (m_p >= m_end)
            fail(QStringLiteral("it ends before its last group is closed (the file is truncated)"));
        const uchar c = uchar(*m_p);
        if (c == '{') {
            ++m_p;
            flushText(st);
            State child = st;
            // Subgroups of a field: the code and the result.
            if (st.dest == Dest::Field) {
                const char* save = m_p;
                // Peek at the subgroup's first words.
                QByteArray peek;
                const char* q = m_p;
                while (q < m_end && q - m_p < 40 && *q != '{' && *q != '}')
                    peek += *q++;
                m_p = save;
                if (peek.contains("\\fldinst")) {
                    child.dest = Dest::FieldInst;
                    child.field = &local.field;
                    local.hadInstruction = true;
                } else if (peek.contains("\\fldrslt")) {
                    child.dest = Dest::Body;
                    child.target = &local.field.result;
                    child.inResult = true;
                } else {
                    child.dest = Dest::Skip;
                }
            } else if (st.dest == Dest::FieldInst) {
                child.dest = Dest::FieldInst; // nested groups of the code: formatting, nested fields
            }
            parseGroup(child, depth + 1);
            first = false;
            continue;
        }
        if (c == '}') {
            ++m_p;
            flushText(st);
            m_skip = 0;
            if (st.dest == Dest::Picture && st.picture == &local.picture) {
                finishPicture(st, local.picture);
            } else if (st.dest == Dest::Field && st.field == &local.field) {
                State outer = st;
                outer.dest = Dest::Body;
                finishField(outer, local.field, local.hadInstruction);
            } else if (st.dest == Dest::Shape && st.property == &local.property && st.shape) {
                shapeProperty(*st.shape, local.property);
            } else if (st.dest == Dest::Shape && st.shape == &local.shape) {
                State outer = st;
                outer.dest = Dest::Body;
                outer.shape = nullptr;
                finishShape(outer, local.shape);
            }
            if (local.opened)
                finishStory(*local.opened, st);
            return;
        }
        if (c == '\\') {
            ++m_p;
            if (m_p >= m_end)
                fail(QStringLiteral("it ends inside a control word"));
            const uchar d = uchar(*m_p);
            if ((d >= 'a' && d <= 'z') || (d >= 'A' && d <= 'Z')) {
                const char* start = m_p;
                while (m_p < m_end && ((*m_p >= 'a' && *m_p <= 'z') || (*m_p >= 'A' && *m_p <= 'Z')) &&
                       m_p - start < kMaxWordLength)
                    ++m_p;
                QByteArray word(start, m_p - start);
                bool hasParam = false;
                bool negative = false;
                qint64 value = 0;
                if (m_p < m_end && *m_p == '-') {
                    negative = true;
                    ++m_p;
                }
                int digits = 0;
                while (m_p < m_end && *m_p >= '0' && *m_p <= '9') {
                    if (digits < 10)
                        value = value * 10 + (*m_p - '0');
                    ++digits;
                    ++m_p;
                }
                hasParam = digits > 0;
                if (m_p < m_end && *m_p == ' ')
                    ++m_p;
                value = qBound(qint64(-2147483647), negative ? -value : value, qint64(2147483647));
                const int param = int(value);
                if (word == "bin") {
                    flushText(st);
                    if (param < 0 || param > m_end - m_p)
                        fail(QStringLiteral("it ends inside binary data"));
                    if (st.dest == Dest::Picture && st.picture)
                        st.picture->bytes.append(m_p, param);
                    m_p += param;
                } else {
                    if (m_skip > 0 && word != "u") {
                        --m_skip;
                    } else {
                        controlWord(st, local, word, hasParam, param, first, starred);
                    }
                }
                first = false;
                continue;
            }
            ++m_p;
            switch (d) {
            case '\'': {
                if (m_end - m_p < 2)
                    fail(QStringLiteral("it ends inside a character code"));
                const auto hex = [this](char h) -> int {
                    if (h >= '0' && h <= '9')
                        return h - '0';
                    if (h >= 'a' && h <= 'f')
                        return h - 'a' + 10;
                    if (h >= 'A' && h <= 'F')
                        return h - 'A' + 10;
                    return -1;
                };
                const int hi = hex(m_p[0]), lo = hex(m_p[1]);
                m_p += 2;
                if (hi >= 0 && lo >= 0 && st.dest != Dest::Picture)
                    textByte(st, uchar(hi * 16 + lo));
                break;
            }
            case '*':
                starred = true;
                continue; // the next word still counts as the group's first
            case '\\':
            case '{':
            case '}':
                if (m_skip > 0)
                    --m_skip;
                else
                    text(st, QString(QChar(d)));
                break;
            case '~':
                text(st, QString(QChar(0x00A0)));
                break;
            case '_':
                text(st, QString(QChar(0x2011)));
                break;
            case '\r':
            case '\n':
                if (st.dest == Dest::Body)
                    endParagraph(st, true);
                break;
            case '\t':
                textByte(st, '\t');
                break;
            default:
                break; // \- optional hyphen, \: index entries, \| formulas
            }
            first = false;
            continue;
        }
        ++m_p;
        if (c == '\r' || c == '\n')
            continue;
        if (st.dest == Dest::Skip || st.dest == Dest::MailMerge || st.dest == Dest::Field)
            continue;
        textByte(st, c);
        // Plain text comes in long stretches: take the rest of it at once.
        if (st.dest == Dest::Body && m_skip == 0) {
            while (m_p < m_end) {
                const uchar n = uchar(*m_p);
                if (n == '\\' || n == '{' || n == '}' || n == '\r' || n == '\n' || n == '\t')
                    break;
                m_pending += m_codePage[n];
                ++m_p;
            }
        }
        first = false;
    }
}

void Reader::controlWord(State& st, GroupLocals& local, const QByteArray& w, bool hasParam, int param,
                         bool first, bool starred) {
    // The group's first word may open a destination.
    if (first) {
        if (st.dest == Dest::Skip)
            return;
        if (w == "fonttbl") {
            st.dest = Dest::FontTable;
            return;
        }
        if (w == "colortbl") {
            st.dest = Dest::ColorTable;
            return;
        }
        if (w == "pict") {
            flushText(st);
            st.dest = Dest::Picture;
            st.picture = &local.picture;
            return;
        }
        if (w == "field") {
            flushText(st);
            if (st.dest != Dest::Body) {
                st.dest = Dest::Skip; // a field inside a field's code: the outer code is what counts
                return;
            }
            st.dest = Dest::Field;
            st.field = &local.field;
            return;
        }
        if (w == "fldinst" || w == "fldrslt")
            return; // placed by the enclosing field group
        if (w == "mailmerge") {
            st.dest = Dest::MailMerge;
            return;
        }
        if (w == "shppict")
            return; // the picture inside is the one to show
        if (w == "shp") {
            flushText(st);
            // A shape inside a field's code or another shape shows nothing.
            st.dest = st.dest == Dest::Body ? Dest::Shape : Dest::Skip;
            st.shape = &local.shape;
            return;
        }
        if (st.dest == Dest::Shape && (w == "shpinst" || w == "sp")) {
            if (w == "sp")
                st.property = &local.property;
            return;
        }
        if (st.dest == Dest::Shape && (w == "sn" || w == "sv")) {
            st.dest = w == "sn" ? Dest::ShapeName : Dest::ShapeValue;
            return;
        }
        if (w == "header" || w == "headerr" || w == "headerl" || w == "footer" || w == "footerr" ||
            w == "footerl") {
            flushText(st);
            const bool header = w.startsWith("header");
            bool& seen = header ? m_headerSeen : m_footerSeen;
            if (seen || st.dest != Dest::Body || st.target) {
                st.dest = Dest::Skip; // later sections' headers, left pages: the first one serves
                return;
            }
            seen = true;
            StoryBuilder& b = header ? m_header : m_footer;
            b.story = header ? &m_t.header : &m_t.footer;
            st.story = &b;
            st.target = nullptr;
            st.inResult = false;
            st.inTable = false;
            local.opened = &b;
            return;
        }
        if (isSkippedDestination(w) || starred) {
            flushText(st);
            st.dest = Dest::Skip;
            return;
        }
    }
    if (st.dest == Dest::Skip)
        return;
    if (st.dest == Dest::MailMerge) {
        if (w == "mmmaintypecatalog")
            m_t.type = MainType::Catalog;
        else if (w == "mmmaintypelabels")
            m_t.type = MainType::Labels;
        else if (w.startsWith("mmmaintype"))
            m_t.type = MainType::Letters;
        return;
    }
    if (st.dest == Dest::FontTable) {
        if (w == "f")
            m_fontNumber = param;
        else if (w == "fcharset")
            m_fonts[m_fontNumber].symbol = param == 2;
        return;
    }
    if (st.dest == Dest::ColorTable) {
        if (w == "red")
            m_red = param;
        else if (w == "green")
            m_green = param;
        else if (w == "blue")
            m_blue = param;
        return;
    }
    if (st.dest == Dest::Picture) {
        PictureData* pic = st.picture;
        if (!pic)
            return;
        if (w == "pngblip")
            pic->png = true;
        else if (w == "jpegblip")
            pic->jpeg = true;
        else if (w == "picw")
            pic->widthPx = clampPositiveTwips(param);
        else if (w == "pich")
            pic->heightPx = clampPositiveTwips(param);
        else if (w == "picwgoal")
            pic->widthGoal = clampPositiveTwips(param);
        else if (w == "pichgoal")
            pic->heightGoal = clampPositiveTwips(param);
        else if (w == "picscalex")
            pic->scaleX = param;
        else if (w == "picscaley")
            pic->scaleY = param;
        return;
    }
    if (st.dest == Dest::Field)
        return; // \flddirty, \fldlock and the like
    if (st.dest == Dest::Shape) {
        if (st.shape)
            shapeWord(*st.shape, w, param);
        return;
    }
    if (st.dest == Dest::ShapeName || st.dest == Dest::ShapeValue)
        return;

    // Document, section, paragraph and character properties, and special characters; valid in the
    // body, in a field's code (for its formatting) and in a field's result.
    const bool body = st.dest == Dest::Body;
    const auto on = [&] { return !hasParam || param != 0; };
    const auto special = [&](char16_t ch) {
        if (m_skip > 0) {
            --m_skip;
            return;
        }
        text(st, QString(QChar(ch)));
    };

    switch (w.isEmpty() ? 0 : w.at(0)) {
    case 'a':
        if (w == "ansicpg" && hasParam)
            setCodePage(param);
        return;
    case 'b':
        if (w == "b") {
            flushText(st);
            st.chr.bold = on();
        } else if (w == "bullet") {
            special(0x2022);
        } else if (w == "brdrt" || w == "brdrl" || w == "brdrb" || w == "brdrr") {
            st.border = BorderTarget::Paragraph;
            st.borderSide = w == "brdrt"   ? Side::Top
                            : w == "brdrl" ? Side::Left
                            : w == "brdrb" ? Side::Bottom
                                           : Side::Right;
        } else if (w == "box") {
            st.border = BorderTarget::AllOfParagraph;
        } else if (w == "brdrbtw" || w == "brdrbar") {
            st.border = BorderTarget::None;
        } else if (w.startsWith("brdr") || w == "brsp") {
            borderWord(st, w, param);
        }
        return;
    case 'c':
        if (w == "cf") {
            flushText(st);
            st.chr.color = color(param);
        } else if (w == "cell" || w == "nestcell") {
            if (body)
                endCell(st);
        } else if (w == "cellx") {
            if (st.story)
                endCellDefinition(*st.story, clampTwips(param));
        } else if (w == "chpgn") {
            // The older form of a PAGE field.
            flushText(st);
            Field page;
            page.instruction = QStringLiteral("PAGE");
            page.codeFormat = format(st.chr);
            finishField(st, page, true);
        } else if (w == "caps") {
            flushText(st);
            st.chr.caps = on() ? CharFormat::Caps::All : CharFormat::Caps::None;
        } else if (w == "clbrdrt" || w == "clbrdrl" || w == "clbrdrb" || w == "clbrdrr") {
            st.border = BorderTarget::Cell;
            st.borderSide = w == "clbrdrt"   ? Side::Top
                            : w == "clbrdrl" ? Side::Left
                            : w == "clbrdrb" ? Side::Bottom
                                             : Side::Right;
        } else if (st.story && (w == "clcbpat" || w == "clcfpat" || w == "clshdng")) {
            (w == "clcbpat"   ? st.story->cellBack
             : w == "clcfpat" ? st.story->cellFore
                              : st.story->cellShade) = param;
        } else if (st.story && (w == "clpadt" || w == "clpadr")) {
            // Word writes a cell's left padding as \clpadt (and its top as \clpadl); LibreOffice follows.
            (w == "clpadt" ? st.story->cellDef.leftPadTwips : st.story->cellDef.rightPadTwips) =
                qBound(0, param, 1440 * 22);
        }
        return;
    case 'd':
        if (w == "deff")
            m_defaultFont = param;
        else if (w == "deftab" && param > 0)
            m_t.page.defaultTabTwips = clampPositiveTwips(param);
        else if (w == "dn") {
            flushText(st);
            st.chr.script = on() ? CharFormat::Script::Sub : CharFormat::Script::Normal;
        }
        return;
    case 'e':
        if (w == "emdash")
            special(0x2014);
        else if (w == "endash")
            special(0x2013);
        else if (w == "emspace")
            special(0x2003);
        else if (w == "enspace")
            special(0x2002);
        return;
    case 'f':
        if (w == "f") {
            flushText(st);
            const auto it = m_fonts.find(param);
            st.chr.family = it != m_fonts.end() ? it->second.name : QString();
            st.symbolFont = it != m_fonts.end() && it->second.symbol;
        } else if (w == "fs") {
            flushText(st);
            st.chr.halfPoints = param > 0 ? qBound(2, param, 3276) : 24;
        } else if (w == "fi") {
            st.para.firstTwips = clampTwips(param);
        } else if (w == "footery" || w == "footerysxn") {
            if (param > 0)
                m_t.page.footerTwips = clampPositiveTwips(param);
        }
        return;
    case 'h':
        if (w == "headery" || w == "headerysxn") {
            if (param > 0)
                m_t.page.headerTwips = clampPositiveTwips(param);
        }
        return;
    case 'i':
        if (w == "i") {
            flushText(st);
            st.chr.italic = on();
        } else if (w == "intbl") {
            st.inTable = true;
        }
        return;
    case 'k':
        if (w == "keep")
            st.para.keepTogether = true;
        else if (w == "keepn")
            st.para.keepWithNext = true;
        return;
    case 'l':
        if (w == "li" || w == "lin")
            st.para.leftTwips = clampTwips(param);
        else if (w == "line") {
            flushText(st);
            if (!st.hidden && m_skip == 0)
                addRun(st, Run{Run::LineBreak, format(st.chr), -1, {}});
        } else if (w == "lquote")
            special(0x2018);
        else if (w == "ldblquote")
            special(0x201C);
        return;
    case 'm':
        if (w.startsWith("mmmaintype")) {
            m_t.type = w == "mmmaintypecatalog"  ? MainType::Catalog
                       : w == "mmmaintypelabels" ? MainType::Labels
                                                 : MainType::Letters;
            return;
        }
        if (m_sectionSeen && w.endsWith("sxn"))
            return;
        if (w == "margl" || w == "marglsxn")
            m_t.page.leftTwips = clampPositiveTwips(param);
        else if (w == "margr" || w == "margrsxn")
            m_t.page.rightTwips = clampPositiveTwips(param);
        else if (w == "margt" || w == "margtsxn")
            m_t.page.topTwips = clampPositiveTwips(param);
        else if (w == "margb" || w == "margbsxn")
            m_t.page.bottomTwips = clampPositiveTwips(param);
        return;
    case 'n':
        if (w == "nosupersub") {
            flushText(st);
            st.chr.script = CharFormat::Script::Normal;
        } else if (w == "nestrow") {
            if (body)
                endRow(st);
        }
        return;
    case 'p':
        if (w == "par") {
            if (body)
                endParagraph(st, true);
        } else if (w == "pard") {
            st.para = ParaFormat{};
            st.inTable = false;
            st.tabKind = TabStop::Left;
            st.tabLeader = TabStop::NoLeader;
            st.border = BorderTarget::None;
        } else if (w == "plain") {
            flushText(st);
            st.chr = CharFormat{};
            const auto it = m_fonts.find(m_defaultFont);
            st.chr.family = it != m_fonts.end() ? it->second.name : QString();
            st.symbolFont = false;
            st.hidden = false;
        } else if (w == "page") {
            if (body && !st.inResult && !st.target && st.story) {
                flushText(st);
                if (!st.story->runs.empty())
                    endParagraph(st, false);
                st.story->breakPending = true;
            }
        } else if (w == "paperw" || w == "pgwsxn") {
            if (param > 0 && !(m_sectionSeen && w == "pgwsxn"))
                m_t.page.widthTwips = clampPositiveTwips(param);
        } else if (w == "paperh" || w == "pghsxn") {
            if (param > 0 && !(m_sectionSeen && w == "pghsxn"))
                m_t.page.heightTwips = clampPositiveTwips(param);
        } else if (w == "pagebb") {
            st.para.pageBreakBefore = true;
        }
        return;
    case 'q':
        if (w == "ql")
            st.para.align = ParaFormat::Left;
        else if (w == "qc")
            st.para.align = ParaFormat::Center;
        else if (w == "qr")
            st.para.align = ParaFormat::Right;
        else if (w == "qj" || w == "qd")
            st.para.align = ParaFormat::Justify;
        return;
    case 'r':
        if (w == "ri" || w == "rin")
            st.para.rightTwips = clampTwips(param);
        else if (w == "rquote")
            special(0x2019);
        else if (w == "rdblquote")
            special(0x201D);
        else if (w == "row") {
            if (body)
                endRow(st);
        }
        return;
    case 's':
        if (w == "sb")
            st.para.beforeTwips = clampPositiveTwips(param);
        else if (w == "sa")
            st.para.afterTwips = clampPositiveTwips(param);
        else if (w == "sl")
            st.para.lineTwips = clampTwips(param);
        else if (w == "slmult")
            st.para.lineMultiple = param == 1;
        else if (w == "strike" || w == "striked") {
            flushText(st);
            st.chr.strike = on();
        } else if (w == "super") {
            flushText(st);
            st.chr.script = on() ? CharFormat::Script::Super : CharFormat::Script::Normal;
        } else if (w == "sub") {
            flushText(st);
            st.chr.script = on() ? CharFormat::Script::Sub : CharFormat::Script::Normal;
        } else if (w == "scaps") {
            flushText(st);
            st.chr.caps = on() ? CharFormat::Caps::Small : CharFormat::Caps::None;
        } else if (w == "sect") {
            if (body && !st.inResult && !st.target && st.story) {
                flushText(st);
                if (!st.story->runs.empty())
                    endParagraph(st, false);
                st.story->sectionPending = true;
                m_sectionSeen = true;
            }
        } else if (w == "sbknone") {
            if (st.story)
                st.story->sectionPending = false;
        }
        return;
    case 't':
        if (w == "tab") {
            flushText(st);
            if (!st.hidden && m_skip == 0)
                addRun(st, Run{Run::Tab, format(st.chr), -1, {}});
            else if (m_skip > 0)
                --m_skip;
        } else if (w == "tx") {
            if (st.para.tabs.size() < kMaxTabs)
                st.para.tabs.push_back(TabStop{clampTwips(param), st.tabKind, st.tabLeader});
            st.tabKind = TabStop::Left;
            st.tabLeader = TabStop::NoLeader;
        } else if (w.startsWith("tl")) {
            st.tabLeader = w == "tldot"    ? TabStop::Dots
                           : w == "tlhyph" ? TabStop::Hyphens
                           : w == "tlul"   ? TabStop::Underline
                           : w == "tlth"   ? TabStop::Thick
                           : w == "tleq"   ? TabStop::Equals
                           : w == "tlmdot" ? TabStop::MiddleDots
                                           : TabStop::NoLeader;
        } else if (w.startsWith("trbrdr")) {
            st.border = BorderTarget::None; // the cells' own borders are what is drawn
        } else if (w == "tqr") {
            st.tabKind = TabStop::Right;
        } else if (w == "tqc") {
            st.tabKind = TabStop::Center;
        } else if (w == "tqdec") {
            st.tabKind = TabStop::Decimal;
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
        }
        return;
    case 'u':
        if (w == "u" && hasParam) {
            int code = param < 0 ? param + 65536 : param;
            m_skip = 0;
            if (code > 0 && code < 65536 && !(code >= 0xD800 && code <= 0xDFFF))
                text(st, QString(QChar(char16_t(code))));
            m_skip = st.uc;
        } else if (w == "uc") {
            st.uc = qBound(0, param, 16);
        } else if (w == "ul" || w == "uld" || w == "uldb" || w == "uldash" || w == "ulw" || w == "ulth" ||
                   w == "ulwave" || w == "uldashd" || w == "uldashdd" || w == "ulhwave" || w == "ulldash") {
            flushText(st);
            st.chr.underline = on();
        } else if (w == "ulnone") {
            flushText(st);
            st.chr.underline = false;
        } else if (w == "up") {
            flushText(st);
            st.chr.script = on() ? CharFormat::Script::Super : CharFormat::Script::Normal;
        }
        return;
    case 'v':
        if (w == "v") {
            flushText(st);
            st.hidden = on();
        }
        return;
    default:
        return;
    }
}

Template Reader::run() {
    // Leading white space and a byte-order mark are tolerated; anything else must be RTF.
    while (m_p < m_end &&
           (uchar(*m_p) <= ' ' || uchar(*m_p) == 0xEF || uchar(*m_p) == 0xBB || uchar(*m_p) == 0xBF))
        ++m_p;
    if (m_end - m_p < 5 || std::memcmp(m_p, "{\\rtf", 5) != 0)
        fail(QStringLiteral("it is not an RTF document"));
    ++m_p;
    m_body.story = &m_t.body;
    State st;
    st.story = &m_body;
    parseGroup(st, 1);
    finishStory(m_body, st);
    const auto it = m_fonts.find(m_defaultFont);
    m_t.defaultFamily = it != m_fonts.end() ? it->second.name : QString();
    m_t.fileName = m_fileName;
    // The paper must leave room to write on.
    PageSetup& pg = m_t.page;
    pg.widthTwips = clampTwips(pg.widthTwips, 1440, kMaxTwips);
    pg.heightTwips = clampTwips(pg.heightTwips, 1440, kMaxTwips);
    if (qint64(pg.leftTwips) + pg.rightTwips > pg.widthTwips - 720)
        pg.leftTwips = pg.rightTwips = 360;
    if (qint64(pg.topTwips) + pg.bottomTwips > pg.heightTwips - 720)
        pg.topTwips = pg.bottomTwips = 360;
    return std::move(m_t);
}

// Splits a field code into words; a quoted text is one word without its quotes.
QStringList fieldWords(const QString& code) {
    QStringList words;
    int i = 0;
    const int n = int(code.size());
    while (i < n) {
        const QChar c = code.at(i);
        if (c.isSpace()) {
            ++i;
            continue;
        }
        QString word;
        if (c == QLatin1Char('"') || c == QChar(0x201C)) {
            ++i;
            while (i < n && code.at(i) != QLatin1Char('"') && code.at(i) != QChar(0x201D))
                word += code.at(i++);
            ++i;
            words << word;
            continue;
        }
        if (c == QLatin1Char('\\')) {
            // A switch: "\*", "\b", "\@"; its letter ends at the next blank or quote.
            word += c;
            ++i;
            while (i < n && !code.at(i).isSpace() && code.at(i) != QLatin1Char('"'))
                word += code.at(i++);
            words << word;
            continue;
        }
        while (i < n && !code.at(i).isSpace() && code.at(i) != QLatin1Char('"'))
            word += code.at(i++);
        words << word;
    }
    return words;
}

} // namespace

void parseFieldInstruction(Field& field) {
    const QStringList words = fieldWords(field.instruction);
    field.kind = Field::Other;
    if (words.isEmpty())
        return;
    const QString kind = words.first().toUpper();
    if (kind == QLatin1String("MERGEFIELD") && words.size() >= 2) {
        field.kind = Field::Merge;
        field.name = words.at(1);
        for (int i = 2; i < words.size(); ++i) {
            const QString sw = words.at(i);
            const QString next = i + 1 < words.size() ? words.at(i + 1) : QString();
            if (sw == QLatin1String("\\*")) {
                const QString f = next.toLower();
                if (f == QLatin1String("upper"))
                    field.caseSwitches << QStringLiteral("Upper");
                else if (f == QLatin1String("lower"))
                    field.caseSwitches << QStringLiteral("Lower");
                else if (f == QLatin1String("caps"))
                    field.caseSwitches << QStringLiteral("Caps");
                else if (f == QLatin1String("firstcap"))
                    field.caseSwitches << QStringLiteral("FirstCap");
                else if (f == QLatin1String("mergeformat"))
                    field.mergeFormat = true;
                ++i;
            } else if (sw.compare(QLatin1String("\\b"), Qt::CaseInsensitive) == 0) {
                field.before = next;
                ++i;
            } else if (sw.compare(QLatin1String("\\f"), Qt::CaseInsensitive) == 0) {
                field.after = next;
                ++i;
            }
        }
    } else if (kind == QLatin1String("NEXT")) {
        field.kind = Field::Next;
    } else if (kind == QLatin1String("PAGE")) {
        field.kind = Field::Page;
    } else if (kind == QLatin1String("NUMPAGES") || kind == QLatin1String("SECTIONPAGES")) {
        field.kind = Field::NumPages;
    } else if (kind == QLatin1String("DATE") || kind == QLatin1String("TIME")) {
        field.kind = Field::Date;
        for (int i = 1; i + 1 < words.size(); ++i)
            if (words.at(i) == QLatin1String("\\@"))
                field.datePicture = words.at(i + 1);
        if (field.datePicture.isEmpty())
            field.datePicture =
                kind == QLatin1String("DATE") ? QStringLiteral("M/d/yyyy") : QStringLiteral("h:mm am/pm");
    }
}

Template readRtf(const QByteArray& rtf, const QString& fileName) {
    Reader reader(rtf, fileName);
    return reader.run();
}

namespace {

// Word's binary documents (and templates) are OLE compound files.
bool isCompoundFile(const QByteArray& data) {
    return data.size() >= 8 && data.startsWith(QByteArray::fromHex("D0CF11E0A1B11AE1"));
}

// Ends the converter with everything it started: LibreOffice's launcher script leaves its real
// process behind when only the script is killed.
void stopConverter(QProcess& process) {
#ifdef Q_OS_UNIX
    if (process.processId() > 0)
        ::kill(-pid_t(process.processId()), SIGKILL);
#endif
    process.kill();
    process.waitForFinished(5000);
}

QByteArray convertThroughLibreOffice(const QString& path, const ConversionWatch& watch) {
    QString office = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (office.isEmpty())
        office = QStandardPaths::findExecutable(QStringLiteral("libreoffice"));
    if (office.isEmpty())
        throw Failure(
            errors::UnreadableDocument,
            QStringLiteral("The template \"%1\" is a Word binary document. Templates are read as RTF; "
                           "save it as Rich Text Format under the same name, or install "
                           "LibreOffice so that it can be converted.")
                .arg(QDir::toNativeSeparators(path)));
    QTemporaryDir dir;
    // LibreOffice names its output after the input; a copy with a plain name keeps that predictable.
    const QString input = dir.filePath(QStringLiteral("template.doc"));
    QFile::copy(path, input);
    QProcess process;
#ifdef Q_OS_UNIX
    // A process group of its own, so that the whole of it can be stopped.
    process.setChildProcessModifier([] { ::setsid(); });
#endif
    // A profile of its own, so that a LibreOffice the user has open does not take the job over.
    const QString profile = QStringLiteral("-env:UserInstallation=") +
                            QUrl::fromLocalFile(dir.filePath(QStringLiteral("profile"))).toString();
    process.start(office, {QStringLiteral("--headless"), profile, QStringLiteral("--convert-to"),
                           QStringLiteral("rtf"), QStringLiteral("--outdir"), dir.path(), input});
    QElapsedTimer clock;
    clock.start();
    while (!process.waitForFinished(250) && process.state() != QProcess::NotRunning) {
        const int seconds = int(clock.elapsed() / 1000);
        if (watch.progress && !watch.progress(seconds)) {
            stopConverter(process);
            throw Failure(errors::UnreadableDocument,
                          QStringLiteral("The conversion of the Word template \"%1\" through LibreOffice "
                                         "was stopped.")
                              .arg(QDir::toNativeSeparators(path)));
        }
        if (clock.elapsed() >= qint64(watch.timeLimitSeconds) * 1000) {
            stopConverter(process);
            throw Failure(errors::UnreadableDocument,
                          QStringLiteral("The template \"%1\" is a Word binary document and LibreOffice did "
                                         "not convert it to RTF within %2 seconds; the conversion was given "
                                         "up. Save the template as Rich Text Format under the same name.")
                              .arg(QDir::toNativeSeparators(path))
                              .arg(watch.timeLimitSeconds));
        }
    }
    QFile out(dir.filePath(QStringLiteral("template.rtf")));
    if (!out.open(QIODevice::ReadOnly))
        throw Failure(
            errors::UnreadableDocument,
            QStringLiteral("The template \"%1\" is a Word binary document and LibreOffice could not "
                           "convert it to RTF.")
                .arg(QDir::toNativeSeparators(path)));
    return out.readAll();
}

} // namespace

Template readTemplateFile(const QString& path, const ConversionWatch& watch) {
    QFile file(path);
    if (!QFileInfo(path).isFile())
        throw Failure(
            errors::FileNotFound,
            QStringLiteral("The template \"%1\" could not be found.").arg(QDir::toNativeSeparators(path)));
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(errors::UnreadableDocument,
                      QStringLiteral("The template \"%1\" could not be opened: %2.")
                          .arg(QDir::toNativeSeparators(path), file.errorString()));
    QByteArray data = file.readAll();
    file.close();
    if (isCompoundFile(data))
        data = convertThroughLibreOffice(path, watch);
    return readRtf(data, QDir::toNativeSeparators(path));
}

} // namespace wordproc
