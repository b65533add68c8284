// Destinations: the words that open one at the start of a group, and the handler that takes the words
// inside each, chosen from a table by the destination that is open.

#include "wordproc/RtfReaderPrivate.h"

namespace wordproc::rtf {

// Destinations whose content never shows: skipped with everything inside them.
bool isSkippedDestination(Word word) {
    static const char* const names[] = {
        "info",
        "footnote",
        "annotation",
        "pn",
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
        "objname",
        "objalias",
        "objtopic",
        "objsect",
        "objitem",
        "objtime",
        "nonesttables", // a nested table's text again, for readers that do not know them
    };
    for (const char* n : names)
        if (word == n)
            return true;
    return false;
}

void Reader::controlWord(State& st, GroupLocals& local, Word w, bool hasParam, int param, bool first,
                         bool starred) {
    // Of the separator above the footnotes, LibreOffice draws the rule where Word's separator character
    // stands, and neither text nor rule where the file gives anything else.
    if (st.noteSeparator && w == "chftnsep")
        m_t.page.noteRule = true;
    if (st.dest == Dest::Field && st.field == &local.field && w == "fldlock")
        local.locked = true;
    // A check box's state or a drop-down's choice and entries, in its code's \formfield group, which is
    // otherwise skipped.
    if (w == "ffres")
        m_checkBoxResult = param;
    else if (w == "ffdefres")
        m_checkBoxDefault = param;
    else if (w == "ffl" && first) {
        st.dropDownEntry = true;
        m_dropDownEntries.emplace_back();
    }
    if (st.dropDownEntry && (w == "u" || w == "uc")) {
        specialWord(st, w, hasParam, param);
        return;
    }
    // The group's first word may open a destination.
    if (first && openDestination(st, local, w, starred))
        return;
    static constexpr std::array<WordHandler, 14> handlers{
        &Reader::propertyWord,   // Body
        &Reader::ignoreWord,     // Skip
        &Reader::fontTableWord,  // FontTable
        &Reader::colorTableWord, // ColorTable
        &Reader::pictureWord,    // Picture
        &Reader::ignoreWord,     // Field: \flddirty, \fldlock and the like
        &Reader::propertyWord,   // FieldInst: for the code's formatting
        &Reader::mailMergeWord,  // MailMerge
        &Reader::shapeWord,      // Shape
        &Reader::ignoreWord,     // ShapeName
        &Reader::ignoreWord,     // ShapeValue
        &Reader::listWord,       // ListTable
        &Reader::listWord,       // ListText
        &Reader::styleSheetWord, // StyleSheet
    };
    static_assert(size_t(Dest::StyleSheet) + 1 == handlers.size());
    (this->*handlers[size_t(st.dest)])(st, w, hasParam, param);
}

// True when the word was taken as the start of a destination (or one to skip).
bool Reader::openDestination(State& st, GroupLocals& local, Word w, bool starred) {
    if (st.dest == Dest::Skip)
        return true;
    struct Entry {
        const char* word;
        Opener open;
    };
    static constexpr Entry openers[] = {
        {"fonttbl", &Reader::openFontTable},
        {"colortbl", &Reader::openColorTable},
        {"stylesheet", &Reader::openStyleSheet},
        {"pict", &Reader::openPicture},
        {"field", &Reader::openField},
        {"fldinst", &Reader::keepDestination}, // placed by the enclosing field group
        {"fldrslt", &Reader::keepDestination},
        {"mailmerge", &Reader::openMailMerge},
        {"shppict", &Reader::openPictureChoice},
        {"nonshppict", &Reader::openPictureChoice},
        {"shp", &Reader::openShape},
        {"background", &Reader::openBackground},
        {"shpinst", &Reader::openShapePart},
        {"sp", &Reader::openShapePart},
        {"sn", &Reader::openShapePart},
        {"sv", &Reader::openShapePart},
        {"shptxt", &Reader::openShapeText},
        {"do", &Reader::openDrawingObject},
        {"object", &Reader::openObject},
        {"result", &Reader::openObject},
        {"dptxbxtext", &Reader::openShapeText},
        {"header", &Reader::openHeaderFooter},
        {"headerr", &Reader::openHeaderFooter},
        {"headerl", &Reader::openHeaderFooter},
        {"footer", &Reader::openHeaderFooter},
        {"footerr", &Reader::openHeaderFooter},
        {"footerl", &Reader::openHeaderFooter},
        {"falt", &Reader::openFontAlternative},
        {"headerf", &Reader::openHeaderFooter},
        {"footerf", &Reader::openHeaderFooter},
        {"footnote", &Reader::openNote},
        {"ftnsep", &Reader::openNoteSeparator},
        {"listtable", &Reader::openList},
        {"listoverridetable", &Reader::openList},
        {"list", &Reader::openList},
        {"listlevel", &Reader::openList},
        {"leveltext", &Reader::openList},
        {"levelnumbers", &Reader::openList},
        {"listname", &Reader::openList},
        {"listoverride", &Reader::openList},
        {"lfolevel", &Reader::openList},
        {"listtext", &Reader::openListText},
        {"pntext", &Reader::openListText},
        {"nesttableprops", &Reader::openNestedRow},
    };
    for (const Entry& e : openers)
        if (w == e.word)
            if ((this->*e.open)(st, local, w))
                return true;
    if (isSkippedDestination(w) || starred) {
        flushText(st);
        st.dest = Dest::Skip;
        return true;
    }
    return false;
}

bool Reader::openNoteSeparator(State& st, GroupLocals&, Word) {
    flushText(st);
    st.dest = Dest::Skip;
    st.noteSeparator = true;
    m_t.page.noteRule = false;
    return true;
}

bool Reader::openFontTable(State& st, GroupLocals&, Word) {
    st.dest = Dest::FontTable;
    return true;
}

// A font's alternative name, for where the named face is missing.
bool Reader::openFontAlternative(State& st, GroupLocals&, Word) {
    if (st.dest != Dest::FontTable)
        return false;
    st.fontAlt = true;
    return true;
}

bool Reader::openColorTable(State& st, GroupLocals&, Word) {
    st.dest = Dest::ColorTable;
    return true;
}

bool Reader::openPicture(State& st, GroupLocals& local, Word) {
    flushText(st);
    if (!st.inShapePicture)
        m_shapePictureShown = false; // a picture of its own between them: no longer a pair
    st.dest = Dest::Picture;
    st.picture = &local.picture;
    return true;
}

bool Reader::openField(State& st, GroupLocals& local, Word) {
    flushText(st);
    if (st.dest == Dest::FieldInst && st.field && st.fieldDepth < kMaxFieldDepth) {
        // A field inside another's code joins that code, where an IF takes its value.
        st.target = &st.field->code;
        ++st.fieldDepth;
    } else if (st.dest != Dest::Body) {
        // Too deep, or no code to join: the code it stood in is not whole, and is not evaluated.
        if (st.dest == Dest::FieldInst && st.codeCut)
            *st.codeCut = true;
        st.dest = Dest::Skip;
        return true;
    } else {
        m_checkBoxResult = m_checkBoxDefault = -1;
        m_dropDownEntries.clear();
        st.fieldDepth = 1;
    }
    st.dest = Dest::Field;
    st.field = &local.field;
    st.codeCut = &local.codeCut;
    return true;
}

bool Reader::openMailMerge(State& st, GroupLocals&, Word) {
    st.dest = Dest::MailMerge;
    return true;
}

bool Reader::keepDestination(State&, GroupLocals&, Word) {
    return true;
}

// Word writes a picture twice: as it is (\shppict, often PNG) and as a metafile for readers without
// shapes (\nonshppict). The first shown serves; a document with only the second still shows it.
bool Reader::openPictureChoice(State& st, GroupLocals&, Word w) {
    if (w == "shppict") {
        st.inShapePicture = true;
        m_shapePictureShown = false;
        return true;
    }
    if (m_shapePictureShown) {
        m_shapePictureShown = false;
        flushText(st);
        st.dest = Dest::Skip;
    }
    return true;
}

bool Reader::openShape(State& st, GroupLocals& local, Word) {
    flushText(st);
    // A shape inside a field's code, another shape or a text box shows nothing.
    const bool background = st.inBackground && st.dest == Dest::Shape && !st.shape;
    st.dest = (st.dest == Dest::Body && !st.inTextBox) || background ? Dest::Shape : Dest::Skip;
    st.shape = &local.shape;
    return true;
}

// The document's background: a shape whose fill is the paper's colour, read as a shape's instructions
// are, its text ignored.
bool Reader::openBackground(State& st, GroupLocals&, Word) {
    flushText(st);
    const bool atTop = st.dest == Dest::Body && st.story == &m_body && !st.inTextBox;
    st.dest = atTop ? Dest::Shape : Dest::Skip;
    st.shape = nullptr;
    st.inBackground = atTop;
    return true;
}

// An embedded object prints as the picture (or text) stored in its \result; its data, class and name do
// not. Text written in the object itself, outside these, prints too, as LibreOffice prints it.
bool Reader::openObject(State& st, GroupLocals&, Word w) {
    if (w == "object") {
        flushText(st);
        if (st.dest == Dest::Body)
            st.inObject = true;
        else
            st.dest = Dest::Skip;
        return true;
    }
    if (!st.inObject || st.dest != Dest::Body)
        return false;
    st.inObject = false;
    return true;
}

// A Word 97 drawing object: read as a shape is, its words those of its primitives.
bool Reader::openDrawingObject(State& st, GroupLocals& local, Word w) {
    openShape(st, local, w);
    local.shape.drawing = true;
    local.shape.floating.wrap = Floating::Wrap::None;
    return true;
}

// The parts of a shape: its instructions, a property, a property's name and value.
bool Reader::openShapePart(State& st, GroupLocals& local, Word w) {
    if (st.dest != Dest::Shape)
        return false;
    if (w == "sp")
        st.property = &local.property;
    else if (w == "sn" || w == "sv")
        st.dest = w == "sn" ? Dest::ShapeName : Dest::ShapeValue;
    return true;
}

namespace {

// The story a header or footer word fills, in the template (the first section) or a later section.
template <class Stories> Story& bandStory(Stories& s, Word w) {
    if (w == "headerf")
        return s.firstHeader;
    if (w == "footerf")
        return s.firstFooter;
    if (w == "headerl")
        return s.evenHeader;
    if (w == "footerl")
        return s.evenFooter;
    return w.starts_with("header") ? s.header : s.footer;
}

} // namespace

bool Reader::openHeaderFooter(State& st, GroupLocals& local, Word w) {
    flushText(st);
    if (st.dest != Dest::Body || st.target || st.inTextBox || st.story == &m_band) {
        st.dest = Dest::Skip;
        return true;
    }
    Story& story = m_t.sections.empty() ? bandStory(m_t, w) : bandStory(m_t.sections.back(), w);
    // A section repeats the headers of the one before unless it gives its own.
    story = Story{};
    if (w == "header")
        m_bothHeader = true;
    else if (w == "footer")
        m_bothFooter = true;
    else if (w == "headerl")
        m_leftHeader = true;
    else if (w == "footerl")
        m_leftFooter = true;
    m_band = StoryBuilder{};
    m_band.story = &story;
    st.story = &m_band;
    st.target = nullptr;
    st.inResult = false;
    st.inTable = false;
    st.tableDepth = 0;
    local.opened = &m_band;
    return true;
}

// A footnote or endnote: its text is a story of its own, its place a run where its reference stands.
// Notes in headers, text boxes or other notes are left out.
bool Reader::openNote(State& st, GroupLocals& local, Word) {
    flushText(st);
    if (st.dest != Dest::Body || st.inTextBox || st.story == &m_band || st.story == &m_note ||
        m_t.notes.size() >= kMaxNotes)
        return false;
    // An endnote says so first.
    QByteArrayView ahead(m_p, qMin<qsizetype>(m_end - m_p, 64));
    while (!ahead.isEmpty() && (ahead.front() == ' ' || ahead.front() == '\r' || ahead.front() == '\n'))
        ahead = ahead.sliced(1);
    m_noteText = Note{};
    m_noteText.endnote = ahead.startsWith(QByteArrayView("\\ftnalt"));
    addRun(st, Run{Run::Note, format(st.chr), int(m_t.notes.size()), {}});
    m_note = StoryBuilder{};
    m_note.story = &m_noteText.text;
    st.story = &m_note;
    st.target = nullptr;
    st.inResult = false;
    st.inTable = false;
    st.tableDepth = 0;
    local.opened = &m_note;
    return true;
}

void Reader::finishNote() {
    m_t.notes.push_back(std::move(m_noteText));
    m_noteText = Note{};
}

// A shape's text: a story of its own, read as the body is, from a fresh paragraph.
bool Reader::openShapeText(State& st, GroupLocals& local, Word) {
    if (st.dest != Dest::Shape || !st.shape || st.shape->hasText) {
        st.dest = Dest::Skip;
        return true;
    }
    ShapeData& shape = *st.shape;
    shape.hasText = true;
    shape.textBuilder.story = &shape.text;
    st.story = &shape.textBuilder;
    st.dest = Dest::Body;
    st.shape = nullptr;
    st.inTextBox = true;
    st.target = nullptr;
    st.inResult = false;
    st.inTable = false;
    st.tableDepth = 0;
    st.para = ParaFormat{};
    st.chr = CharFormat{};
    st.paraBack = st.paraFore = -1;
    st.paraShade = 0;
    local.opened = &shape.textBuilder;
    return true;
}

void Reader::ignoreWord(State&, Word, bool, int) {}

void Reader::fontTableWord(State&, Word w, bool hasParam, int param) {
    if (w == "f") {
        m_fontNumber = param;
        return;
    }
    FontEntry& f = m_fonts[m_fontNumber];
    if (w == "fcharset") {
        f.charset = param;
    } else if (w == "cpg") {
        if (hasParam && param > 0)
            f.cpg = param;
    }
}

void Reader::colorTableWord(State&, Word w, bool, int param) {
    if (w == "red")
        m_red = param;
    else if (w == "green")
        m_green = param;
    else if (w == "blue")
        m_blue = param;
}

void Reader::mailMergeWord(State&, Word w, bool, int) {
    if (w == "mmmaintypecatalog")
        m_t.type = MainType::Catalog;
    else if (w == "mmmaintypelabels")
        m_t.type = MainType::Labels;
    else if (w.starts_with("mmmaintype"))
        m_t.type = MainType::Letters;
}

} // namespace wordproc::rtf
