// Field codes: the groups of a \\field, what its code says, and the field it becomes.

#include "wordproc/Merge.h"
#include "wordproc/RtfReader.h"
#include "wordproc/RtfReaderPrivate.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <optional>

namespace wordproc {

namespace rtf {

namespace {

bool isTableOfEntries(const QString& instruction) {
    const QString kind = instruction.trimmed().section(QLatin1Char(' '), 0, 0).toUpper();
    return kind == QLatin1String("TOC") || kind == QLatin1String("INDEX") || kind == QLatin1String("TOA") ||
           kind == QLatin1String("BIBLIOGRAPHY");
}

} // namespace

// What a subgroup of a field holds: the code or the result; and the groups nested in a field's code.
State Reader::subgroupState(const State& st, GroupLocals& local) {
    State child = st;
    if (st.dest == Dest::Field) {
        // Peek at the subgroup's first words.
        QByteArray peek;
        const char* q = m_p;
        while (q < m_end && q - m_p < 40 && *q != '{' && *q != '}')
            peek += *q++;
        if (peek.contains("\\fldinst")) {
            child.dest = Dest::FieldInst;
            child.field = &local.field;
            local.hadInstruction = true;
        } else if (peek.contains("\\fldrslt")) {
            child.dest = Dest::Body;
            if (local.hadInstruction && st.fieldDepth == 1 && isTableOfEntries(local.field.instruction)) {
                // A table of contents or an index: its stored result is paragraphs with their own
                // indents and tab stops, printed as they stand, as LibreOffice prints them.
                local.resultInBody = true;
                // LibreOffice keeps each table of contents in a section of its own: the paragraph that a
                // table before this one left open stays with it, and this one starts on a new line.
                if (m_paragraphInTableOfEntries && m_openTablesOfEntries == 0)
                    endParagraph(child, true);
                ++m_openTablesOfEntries;
                return child;
            }
            child.target = &local.field.result;
            child.inResult = true;
        } else {
            child.dest = Dest::Skip;
        }
    } else if (st.dest == Dest::FieldInst) {
        child.dest = Dest::FieldInst; // nested groups of the code: formatting, nested fields
    }
    return child;
}

void Reader::finishField(State& st, Field& field, bool hadInstruction, bool locked, bool codeCut) {
    if (st.hidden) {
        dropFieldCode(m_t, field);
        return; // a field in hidden text (\v) prints nothing, its result included
    }
    if (hadInstruction)
        parseFieldInstruction(field);
    if (hadInstruction && !locked && field.kind == Field::Other)
        showFileName(field, m_fileName);
    // An IF left without its code shows its stored result.
    if (field.kind != Field::If || locked || codeCut)
        dropFieldCode(m_t, field);
    // A locked field (\fldlock) is never brought up to date: its stored result is what prints, though a
    // merge field still takes its data.
    if (!hadInstruction || (locked && field.kind != Field::Merge && field.kind != Field::Next)) {
        // Nothing to evaluate: the result stands as plain content.
        for (Run& r : field.result)
            addRun(st, std::move(r));
        return;
    }
    if (std::optional<Run> shown = fieldCharacter(field)) {
        addRun(st, std::move(*shown));
        return;
    }
    m_t.fields.push_back(std::move(field));
    addRun(st, Run{Run::Field, format(st.chr), int(m_t.fields.size() - 1), {}});
}

namespace {

// A case switch's name as the merge applies it ("Upper", "Lower", "Caps", "FirstCap"), or empty.
QString caseSwitchName(const QString& word) {
    for (const char* name : {"Upper", "Lower", "Caps", "FirstCap"})
        if (word.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return QLatin1String(name);
    return {};
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

// What a SYMBOL, check box or button field shows, worked out as Word works it out from the code: the
// stored result of a SYMBOL field is often left empty, and a check box's is always.
std::optional<Run> Reader::fieldCharacter(const Field& field) {
    const QStringList words = fieldWords(field.instruction);
    if (words.isEmpty())
        return std::nullopt;
    const QString kind = words.first().toUpper();
    CharFormat f = m_t.formats.at(size_t(field.codeFormat));
    if (kind == QLatin1String("FORMCHECKBOX")) {
        // \ffres 1 ticked, 0 not, 25 as the default (\ffdefres) says.
        const bool ticked =
            m_checkBoxResult == 25 || m_checkBoxResult < 0 ? m_checkBoxDefault == 1 : m_checkBoxResult == 1;
        return Run{Run::CheckBox, format(f), ticked ? 1 : 0, {}};
    }
    if (kind == QLatin1String("AUTONUM") || kind == QLatin1String("AUTONUMLGL")) {
        // Word counts the paragraphs that hold one, in order, each number followed by a period unless
        // \s gives another separator; the stored result is left empty.
        QString separator = QStringLiteral(".");
        for (int i = 1; i + 1 < words.size(); ++i)
            if (words.at(i).compare(QLatin1String("\\s"), Qt::CaseInsensitive) == 0)
                separator = words.at(i + 1).left(1);
        return Run{Run::Text, format(f), -1, QString::number(++m_autoNumber) + separator};
    }
    if (kind == QLatin1String("FORMDROPDOWN")) {
        // The entry chosen (\ffres), or the default one (\ffdefres) where none is (25); Word stores no
        // result.
        const int chosen =
            m_checkBoxResult == 25 || m_checkBoxResult < 0 ? qMax(0, m_checkBoxDefault) : m_checkBoxResult;
        if (chosen >= int(m_dropDownEntries.size()))
            return std::nullopt;
        return Run{Run::Text, format(f), -1, m_dropDownEntries[size_t(chosen)].trimmed()};
    }
    if (kind == QLatin1String("MACROBUTTON") || kind == QLatin1String("GOTOBUTTON")) {
        // A button shows the text its code gives after the macro or bookmark name; Word often stores no
        // result for it.
        const bool shown = std::any_of(field.result.begin(), field.result.end(), [](const Run& r) {
            return r.kind == Run::Text && !r.text.trimmed().isEmpty();
        });
        static const QRegularExpression button(QStringLiteral("^\\s*\\S+\\s+\\S+\\s+(.*\\S)\\s*$"),
                                               QRegularExpression::DotMatchesEverythingOption);
        const QRegularExpressionMatch m = button.match(field.instruction);
        if (shown || !m.hasMatch())
            return std::nullopt;
        return Run{Run::Text, format(f), -1, m.captured(1)};
    }
    if (kind != QLatin1String("SYMBOL") || words.size() < 2)
        return std::nullopt;
    bool ok = false;
    const QString number = words.at(1);
    const int code = number.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
                         ? number.mid(2).toInt(&ok, 16)
                         : number.toInt(&ok, 10);
    if (!ok || code <= 0 || code > 0xFFFF || QChar::isSurrogate(char32_t(code)))
        return std::nullopt;
    bool unicode = false, shiftJis = false;
    QString fontName;
    for (int i = 2; i < words.size(); ++i) {
        const QString sw = words.at(i).toLower();
        const QString next = i + 1 < words.size() ? words.at(i + 1) : QString();
        if (sw == QLatin1String("\\f")) {
            fontName = next.trimmed();
            ++i;
        } else if (sw == QLatin1String("\\s")) {
            const int points = next.toInt(&ok);
            if (ok && points > 0)
                f.halfPoints = qMin(points * 2, 3276);
            ++i;
        } else if (sw == QLatin1String("\\u")) {
            unicode = true;
        } else if (sw == QLatin1String("\\j")) {
            shiftJis = true;
        }
    }
    // The font's character set as the font table gives it, or as its name says.
    SymbolSet symbols = SymbolSet::None;
    if (!fontName.isEmpty()) {
        f.family = fontName;
        symbols = symbolSetOfFont(fontName);
        for (const auto& [number, entry] : m_fonts)
            if (entry.name.compare(fontName, Qt::CaseInsensitive) == 0) {
                symbols = entry.symbols;
                break;
            }
    }
    QString text;
    if (symbols != SymbolSet::None && (code < 0x100 || (code >= 0xF020 && code <= 0xF0FF))) {
        const uchar byte = uchar(code & 0xFF);
        text = symbolCharacter(symbols, byte, QChar(char16_t(code < 0x100 ? byte : code)));
    } else if (unicode || code < 0x80) {
        text = QChar(char16_t(code));
    } else if (shiftJis) {
        const QByteArray pair =
            code > 0xFF ? QByteArray{char(code >> 8), char(code & 0xFF)} : QByteArray(1, char(code));
        text = codePage(932).pairs.decode(pair);
    } else if (code < 0x100) {
        text = codePage(m_documentCodePage).chars[size_t(code)];
    } else {
        text = QChar(char16_t(code));
    }
    if (text.isEmpty())
        return std::nullopt;
    return Run{Run::Text, format(f), -1, text};
}

} // namespace rtf

void parseFieldInstruction(Field& field) {
    const QStringList words = rtf::fieldWords(field.instruction);
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
                if (const QString name = rtf::caseSwitchName(next); !name.isEmpty())
                    field.caseSwitches << name;
                else if (next.compare(QLatin1String("mergeformat"), Qt::CaseInsensitive) == 0)
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
    } else if (kind == QLatin1String("IF")) {
        field.kind = Field::If;
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

void dropFieldCode(Template& t, Field& field) {
    std::vector<Run> code;
    std::swap(code, field.code);
    for (const Run& r : code)
        if (r.kind == Run::Field && r.index >= 0 && size_t(r.index) < t.fields.size()) {
            dropFieldCode(t, t.fields[size_t(r.index)]);
            t.fields[size_t(r.index)] = Field{};
        }
}

bool showFileName(Field& field, const QString& path) {
    const QStringList words = rtf::fieldWords(field.instruction);
    if (path.isEmpty() || words.isEmpty() || words.first().toUpper() != QLatin1String("FILENAME"))
        return false;
    bool wholePath = false;
    QStringList caseSwitches;
    for (int i = 1; i < words.size(); ++i) {
        if (words.at(i).compare(QLatin1String("\\p"), Qt::CaseInsensitive) == 0) {
            wholePath = true;
        } else if (words.at(i) == QLatin1String("\\*") && i + 1 < words.size()) {
            if (const QString name = rtf::caseSwitchName(words.at(++i)); !name.isEmpty())
                caseSwitches << name;
        }
    }
    const QFileInfo file(QDir::fromNativeSeparators(path));
    const QString name = wholePath ? QDir::toNativeSeparators(file.absoluteFilePath()) : file.fileName();
    int format = field.codeFormat;
    const auto text = std::find_if(field.result.begin(), field.result.end(),
                                   [](const Run& r) { return r.kind == Run::Text; });
    if (text != field.result.end())
        format = text->format;
    field.result.clear();
    field.result.push_back(Run{Run::Text, format, -1, applyCaseSwitches(name, caseSwitches)});
    return true;
}

} // namespace wordproc
