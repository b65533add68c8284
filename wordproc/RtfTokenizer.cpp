// The tokenizer: splits the document into groups, control words, control symbols and text, and hands
// each to the destination that is open.

#include "wordproc/RtfReaderPrivate.h"

#include <QStringDecoder>

namespace wordproc::rtf {

namespace {

bool isLetter(uchar c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

int hexDigit(char h) {
    if (h >= '0' && h <= '9')
        return h - '0';
    if (h >= 'a' && h <= 'f')
        return h - 'a' + 10;
    if (h >= 'A' && h <= 'F')
        return h - 'A' + 10;
    return -1;
}

} // namespace

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
    // A drop-down's entry takes its characters however they are written: in the font's code page, as
    // \'xx or as \u with its fallback skipped.
    if (st.dropDownEntry && !m_dropDownEntries.empty()) {
        if (m_dropDownEntries.back().size() < 1024)
            m_dropDownEntries.back() += s;
        return;
    }
    switch (st.dest) {
    case Dest::Body:
        m_pending += s;
        break;
    case Dest::FieldInst:
        if (st.field) {
            const int f = format(st.chr);
            if (st.field->instruction.isEmpty())
                st.field->codeFormat = f;
            st.field->instruction += s;
            std::vector<Run>& code = st.field->code;
            if (!code.empty() && code.back().kind == Run::Text && code.back().format == f)
                code.back().text += s;
            else
                code.push_back(Run{Run::Text, f, -1, s});
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
        // Characters given as \u or as symbols; the name's bytes are decoded once it is whole.
        if (st.fontAlt)
            break;
        for (QChar c : s) {
            if (c == QLatin1Char(';')) {
                finishFontEntry();
            } else {
                m_fontNameText += fontNameText(m_fontName);
                m_fontName.clear();
                m_fontNameText += c;
            }
        }
        break;
    case Dest::StyleSheet:
        if (s.contains(QLatin1Char(';')))
            finishStyleEntry(st);
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
    if (st.dest == Dest::ListText) {
        // Undecoded: the bytes below 9 stand for numbers, the rest are in the level's font.
        if (m_listLevel && m_listLevel->text.size() < 256)
            m_listLevel->text += QChar(byte);
        return;
    }
    if (st.dest == Dest::FontTable) {
        if (byte == ';' && !st.fontAlt)
            finishFontEntry();
        else
            (st.fontAlt ? m_fontAlt : m_fontName) += char(byte);
        return;
    }
    decodeByte(st, byte);
}

void Reader::parseGroup(State st, int depth) {
    if (depth > kMaxDepth)
        fail(QStringLiteral("its groups are nested more than %1 deep").arg(kMaxDepth));
    m_skip = 0;
    m_lead = -1;
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
            parseGroup(subgroupState(st, local), depth + 1);
            first = false;
            continue;
        }
        if (c == '}') {
            ++m_p;
            closeGroup(st, local);
            // The document's last paragraph may end without \par: it has the properties in force
            // where the document ends, its list number among them.
            if (depth == 1)
                finishStory(m_body, st);
            return;
        }
        if (c == '\\') {
            ++m_p;
            if (m_p >= m_end)
                fail(QStringLiteral("it ends inside a control word"));
            const uchar d = uchar(*m_p);
            if (isLetter(d)) {
                readControlWord(st, local, first, starred);
            } else {
                ++m_p;
                if (d == '*') {
                    starred = true;
                    continue; // the next word still counts as the group's first
                }
                controlSymbol(st, d);
            }
            first = false;
            continue;
        }
        ++m_p;
        if (c == '\r' || c == '\n')
            continue;
        if (st.dropDownEntry && !m_dropDownEntries.empty()) {
            textByte(st, c);
            continue;
        }
        if (st.dest == Dest::Skip || st.dest == Dest::MailMerge || st.dest == Dest::Field)
            continue;
        plainText(st, c);
        first = false;
    }
}

void Reader::closeGroup(State& st, GroupLocals& local) {
    flushText(st);
    m_skip = 0;
    m_lead = -1;
    if (st.dest == Dest::Picture && st.picture == &local.picture) {
        finishPicture(st, local.picture);
    } else if (st.dest == Dest::Field && st.field == &local.field && !local.resultInBody) {
        State outer = st;
        outer.dest = Dest::Body;
        finishField(outer, local.field, local.hadInstruction, local.locked, local.codeCut);
    } else if (st.dest == Dest::Field && st.field == &local.field) {
        --m_openTablesOfEntries;
    } else if (st.dest == Dest::Shape && st.property == &local.property && st.shape) {
        shapeProperty(*st.shape, local.property);
    } else if (st.dest == Dest::Shape && st.shape == &local.shape && st.inBackground) {
        if (local.shape.filled)
            m_background = local.shape.fill;
    } else if (st.dest == Dest::Shape && st.shape == &local.shape) {
        State outer = st;
        outer.dest = Dest::Body;
        outer.shape = nullptr;
        finishShape(outer, local.shape);
    }
    if (local.opened)
        finishStory(*local.opened, st);
    if (local.opened == &m_note)
        finishNote();
}

// A control word and its parameter; m_p is at its first letter.
void Reader::readControlWord(State& st, GroupLocals& local, bool first, bool starred) {
    const char* start = m_p;
    while (m_p < m_end && isLetter(uchar(*m_p)) && m_p - start < kMaxWordLength)
        ++m_p;
    const Word word(start, size_t(m_p - start));
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
    const bool hasParam = digits > 0;
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
    } else if (m_skip > 0 && word != "u") {
        --m_skip;
    } else {
        controlWord(st, local, word, hasParam, param, first, starred);
    }
}

// A control symbol other than \*; m_p is past it.
void Reader::controlSymbol(State& st, uchar symbol) {
    switch (symbol) {
    case '\'': {
        if (m_end - m_p < 2)
            fail(QStringLiteral("it ends inside a character code"));
        const int hi = hexDigit(m_p[0]), lo = hexDigit(m_p[1]);
        m_p += 2;
        if (hi >= 0 && lo >= 0 && st.dest != Dest::Picture)
            textByte(st, uchar(hi * 16 + lo));
        break;
    }
    case '\\':
    case '{':
    case '}':
        if (m_skip > 0)
            --m_skip;
        else
            text(st, QString(QChar(symbol)));
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
}

// A byte of text; m_p is past it.
void Reader::plainText(State& st, uchar byte) {
    textByte(st, byte);
    // Plain text comes in long stretches: take the rest of it at once, where each byte is a character.
    if (st.dest == Dest::Body && m_skip == 0 && m_lead < 0 && st.symbols == SymbolSet::None) {
        const CodePage& page = textPage(st);
        if (page.lead.any())
            return;
        while (m_p < m_end) {
            const uchar n = uchar(*m_p);
            if (n == '\\' || n == '{' || n == '}' || n == '\r' || n == '\n' || n == '\t')
                break;
            m_pending += page.chars[n];
            ++m_p;
        }
    }
}

} // namespace wordproc::rtf
