// Word 2007+ fields: simple ones, and complex ones in begin, separate and end marks, nested; legacy form
// fields' shown values.

#include "wordproc/DocxPrivate.h"
#include "wordproc/RtfReader.h"

#include <QRegularExpression>
#include <QStringDecoder>

namespace wordproc::docx {

bool lockedField(const Node& n) {
    const QString v = n.attr(u"w:fldLock");
    return v == QLatin1String("1") || v == QLatin1String("true") || v == QLatin1String("on");
}

void Reader::fieldChar(StoryState& st, const Node& mark, int format) {
    const QString type = mark.attr(u"w:fldCharType");
    if (type == QLatin1String("begin")) {
        if (st.ignoredFields > 0 || st.fields.size() >= size_t(kMaxFieldDepth)) {
            if (st.ignoredFields == 0 && !st.fields.back().inResult)
                st.fields.back().codeCut = true;
            ++st.ignoredFields;
            return;
        }
        OpenField f;
        f.field.codeFormat = format;
        f.formData = mark.child(u"w:ffData");
        f.locked = lockedField(mark);
        st.fields.push_back(std::move(f));
    } else if (type == QLatin1String("separate")) {
        if (st.ignoredFields == 0 && !st.fields.empty())
            st.fields.back().inResult = true;
    } else if (type == QLatin1String("end")) {
        if (st.ignoredFields > 0)
            --st.ignoredFields;
        else if (!st.fields.empty())
            endField(st, format);
        else if (!st.ranOn.empty())
            st.ranOn.pop_back();
    }
}

void Reader::endField(StoryState& st, int endFormat) {
    OpenField open = std::move(st.fields.back());
    st.fields.pop_back();
    Field& f = open.field;
    parseFieldInstruction(f);
    if (f.kind == Field::If && (open.locked || open.codeCut))
        f.kind = Field::Other; // never brought up to date: its stored result stands
    if (f.kind == Field::Other && !showFileName(f, m_fileName))
        shownByCode(f);
    if (f.kind == Field::Other && open.formData) {
        if (const Node* list = open.formData->child(u"w:ddList"))
            dropDownResult(*list, f);
        else if (const Node* box = open.formData->child(u"w:checkBox"))
            checkBoxResult(*box, f);
    }
    if (f.kind != Field::If)
        dropFieldCode(m_t, f);
    // A field inside another's code joins that code, where an IF takes its value.
    std::vector<Run>* code =
        !st.fields.empty() && !st.fields.back().inResult ? &st.fields.back().field.code : nullptr;
    if (f.kind == Field::Other) {
        // A field this program does not evaluate shows what Word last showed for it.
        for (Run& r : f.result)
            if (code)
                code->push_back(std::move(r));
            else if (r.kind == Run::Text)
                addText(st, r.text, r.format);
            else
                addRun(st, std::move(r));
        return;
    }
    // LibreOffice prints a value worked out anew (a page number, a merged value, a date) in the run
    // that closes the field, neither the one that opens it nor the stored result's, MERGEFORMAT or not:
    // Word gives that run the result's looks.
    if (endFormat >= 0) {
        f.codeFormat = endFormat;
        f.mergeFormat = false;
    }
    const int format = f.codeFormat;
    m_t.fields.push_back(std::move(f));
    const Run run{Run::Field, format, int(m_t.fields.size() - 1), {}};
    if (code)
        code->push_back(run);
    else
        addRun(st, run);
}

// Fields whose code says what they show, whatever result Word stored: a macro button shows its prompt,
// a symbol its character; ASK and SET only set a bookmark and show nothing.
void Reader::shownByCode(Field& f) {
    const QString code = f.instruction.trimmed();
    const qsizetype blank = code.indexOf(QRegularExpression(QStringLiteral("\\s")));
    const QString kind = code.left(blank < 0 ? code.size() : blank).toUpper();
    const QString rest = blank < 0 ? QString() : code.mid(blank).trimmed();
    const int format = !f.result.empty() ? f.result.front().format : f.codeFormat;
    if (kind == QLatin1String("ASK") || kind == QLatin1String("SET")) {
        f.result.clear();
    } else if (kind == QLatin1String("MACROBUTTON")) {
        // The macro's name, then the prompt as typed, spaces and all.
        const qsizetype end = rest.indexOf(QRegularExpression(QStringLiteral("\\s")));
        const QString prompt = end < 0 ? QString() : rest.mid(end).trimmed();
        f.result.assign(1, Run{Run::Text, f.codeFormat, -1, prompt});
    } else if (kind == QLatin1String("SYMBOL")) {
        const QStringList words = rest.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
        if (words.isEmpty())
            return;
        bool ok = false;
        const QString number = words.first();
        const uint value = number.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
                               ? number.mid(2).toUInt(&ok, 16)
                               : number.toUInt(&ok, 10);
        if (!ok || value == 0 || value > 0xFFFF)
            return;
        QString font;
        int points = 0;
        for (qsizetype i = 1; i + 1 < words.size(); ++i) {
            const QString sw = words.at(i).toLower();
            if (sw == QLatin1String("\\f")) {
                // A font's name may be quoted, and hold blanks.
                QString name = words.at(++i);
                if (name.startsWith(QLatin1Char('"')))
                    while (!name.endsWith(QLatin1Char('"')) && i + 1 < words.size())
                        name += QLatin1Char(' ') + words.at(++i);
                font = name.remove(QLatin1Char('"'));
            } else if (sw == QLatin1String("\\s")) {
                points = words.at(++i).toInt();
            }
        }
        const bool symbolFont = font.contains(QLatin1String("Symbol"), Qt::CaseInsensitive) ||
                                font.contains(QLatin1String("dings"), Qt::CaseInsensitive);
        // A code under 256 is a character of the font's own set: for a symbol font, the symbol it
        // pictures; else Windows' Western set.
        QString text;
        if (symbolFont && value < 0x100)
            text = symbolCharacters(QString(QChar(char16_t(0xF000 | value))), symbolSetOfFont(font));
        else if (value >= 0x80 && value < 0x100) {
            QStringDecoder western("windows-1252", QStringDecoder::Flag::Stateless);
            const char byte = char(value);
            text = western.isValid() ? QString(western.decode(QByteArrayView(&byte, 1)))
                                     : QString(QChar(char16_t(value)));
        } else
            text = QString(QChar(char16_t(value)));
        CharFormat shown = m_t.formats[size_t(format)];
        if (!font.isEmpty() && !symbolFont)
            shown.family = font;
        if (points > 0)
            shown.halfPoints = qBound(2, points * 2, 3276);
        f.result.assign(1, Run{Run::Text, this->format(shown), -1, text});
    }
}

// A drop-down form field shows the entry chosen, else its default, else its first; Word stores no result
// for it.
void Reader::dropDownResult(const Node& list, Field& f) {
    std::vector<const Node*> entries;
    for (const Node& c : list.children)
        if (c.name == QLatin1String("w:listEntry"))
            entries.push_back(&c);
    if (entries.empty())
        return;
    const Node* chosen = list.child(u"w:result");
    if (!chosen)
        chosen = list.child(u"w:default");
    const int index = chosen ? intAttr(*chosen, u"w:val") : 0;
    if (index < 0 || size_t(index) >= entries.size())
        return;
    const int format = !f.result.empty() ? f.result.front().format : f.codeFormat;
    f.result.assign(1, Run{Run::Text, format, -1, entries[size_t(index)]->attr(u"w:val")});
}

// A check box form field shows its box, ticked as it was left, else as its default; Word stores no
// result for it. A size of its own (in half points) stands for the text's.
void Reader::checkBoxResult(const Node& box, Field& f) {
    const auto on = [](const Node* n) {
        if (!n)
            return false;
        const QString v = n->attr(u"w:val");
        return v.isEmpty() || v == QLatin1String("1") || v == QLatin1String("true") ||
               v == QLatin1String("on");
    };
    const Node* checked = box.child(u"w:checked");
    const bool ticked = checked ? on(checked) : on(box.child(u"w:default"));
    CharFormat shown = m_t.formats[size_t(!f.result.empty() ? f.result.front().format : f.codeFormat)];
    if (const Node* size = box.child(u"w:size"); size && !box.child(u"w:sizeAuto"))
        shown.halfPoints = qBound(2, intAttr(*size, u"w:val", shown.halfPoints), 3276);
    f.result.assign(1, Run{Run::CheckBox, format(shown), ticked ? 1 : 0, {}});
}

bool isContents(const OpenField& f) {
    static const QRegularExpression contents(QStringLiteral("^\\s*TOC(\\s|$)"),
                                             QRegularExpression::CaseInsensitiveOption);
    return contents.match(f.field.instruction).hasMatch();
}

// A field left without its end: its result stays as plain text.
void Reader::dropField(StoryState& st) {
    OpenField open = std::move(st.fields.back());
    st.fields.pop_back();
    dropFieldCode(m_t, open.field);
    for (Run& r : open.field.result)
        addRun(st, std::move(r));
}

// Whether every open field shows its stored result as it stands, each already in that result: their
// paragraphs may then stay paragraphs, as LibreOffice keeps them, each with its own spacing and indent.
bool Reader::resultsStandAsStored(const StoryState& st) const {
    if (st.fields.empty() || st.ignoredFields > 0)
        return false;
    for (const OpenField& open : st.fields) {
        if (!open.inResult)
            return false;
        Field f = open.field;
        parseFieldInstruction(f);
        // An IF whose stored result runs on past its paragraph keeps that result, paragraphs and all.
        if ((f.kind != Field::Other && f.kind != Field::If) || showFileName(f, m_fileName))
            return false;
        if (open.formData && (open.formData->child(u"w:ddList") || open.formData->child(u"w:checkBox")))
            return false;
        static const QStringList byCode{QStringLiteral("ASK"), QStringLiteral("SET"),
                                        QStringLiteral("MACROBUTTON"), QStringLiteral("SYMBOL")};
        const QStringList words = f.instruction.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (!words.isEmpty() && byCode.contains(words.first().toUpper()))
            return false;
    }
    return true;
}

void Reader::simpleField(const Node& f, StoryState& st, const CharProps& base) {
    if (st.ignoredFields > 0 || st.fields.size() >= size_t(kMaxFieldDepth)) {
        inlines(f, st, base);
        return;
    }
    OpenField open;
    open.field.instruction = f.attr(u"w:instr");
    open.inResult = true;
    open.locked = lockedField(f);
    const Node* firstRun = f.child(u"w:r");
    open.field.codeFormat = format(runProps(base, firstRun ? firstRun->child(u"w:rPr") : nullptr).format);
    open.field.code.push_back(Run{Run::Text, open.field.codeFormat, -1, open.field.instruction});
    const size_t depth = st.fields.size();
    st.fields.push_back(std::move(open));
    inlines(f, st, base);
    while (st.fields.size() > depth + 1)
        dropField(st);
    if (st.fields.size() == depth + 1)
        endField(st);
}

// A character Word takes from a named font. LibreOffice prints the pictures of Word's symbol fonts in
// its own symbol face, as the symbols they are; other characters print as written, in the run's face.
void Reader::symbol(StoryState& st, const QString& font, char16_t code, int format) {
    const SymbolSet set = symbolSetOfFont(font);
    if (set == SymbolSet::None) {
        addText(st, symbolCharacters(QString(QChar(code))), format);
        return;
    }
    CharFormat face = m_t.formats.at(size_t(format));
    face.family = QStringLiteral("OpenSymbol");
    addText(st, symbolCharacters(QString(QChar(code)), set), this->format(face));
}

} // namespace wordproc::docx
