// Lists: \listtable defines them level by level, \listoverridetable gives each the number (\ls) that a
// paragraph names with its level (\ilvl), and the paragraph starts with its level's number. Word also
// writes the number out as text (\listtext, or \pntext for Word 95's lists); that text prints only
// where the list tables give no number, as in LibreOffice.

#include "wordproc/ListNumbers.h"
#include "wordproc/RtfReaderPrivate.h"

namespace wordproc::rtf {

namespace {

constexpr int kMaxLevel = 8;
// Word's lists number up to the tens of thousands; a count is bounded so that it cannot overflow.
constexpr int kMaxCount = 1000000;

// \levelnfc's numbers as numbering.xml names the formats.
QString formatName(int nfc) {
    switch (nfc) {
    case 1:
        return QStringLiteral("upperRoman");
    case 2:
        return QStringLiteral("lowerRoman");
    case 3:
        return QStringLiteral("upperLetter");
    case 4:
        return QStringLiteral("lowerLetter");
    case 5:
        return QStringLiteral("ordinal");
    case 22:
        return QStringLiteral("decimalZero");
    case 23:
    case 255:
        return QStringLiteral("none");
    default:
        return QStringLiteral("decimal");
    }
}

} // namespace

bool Reader::openList(State& st, GroupLocals&, Word w) {
    if (w == "listtable" || w == "listoverridetable") {
        flushText(st);
        st.dest = st.dest == Dest::Body && !st.target ? Dest::ListTable : Dest::Skip;
        return true;
    }
    if (st.dest != Dest::ListTable) {
        // A list's definition standing outside the list table is still no text of the document: its
        // levels' numbers never print where it stands.
        flushText(st);
        st.dest = Dest::Skip;
        return true;
    }
    if (w == "list") {
        m_listDefinitions.emplace_back();
        m_listLevel = nullptr;
    } else if (w == "listoverride") {
        m_listOverrides.emplace_back();
        m_listLevel = nullptr;
    } else if (w == "lfolevel") {
        m_listLevel = nullptr;
        if (!m_listOverrides.empty()) {
            ListOverride& o = m_listOverrides.back();
            o.levelsGiven = qMin(o.levelsGiven + 1, kMaxLevel + 2);
        }
    } else if (w == "listlevel") {
        m_listLevel = nullptr;
        m_listLatinFont = false;
        // Inside \lfolevel the level replaces the list's own; otherwise it is the list's next one.
        if (m_listOverrideLast && !m_listOverrides.empty() && m_listOverrides.back().levelsGiven > 0) {
            ListOverride& o = m_listOverrides.back();
            if (o.levelsGiven <= kMaxLevel + 1) {
                o.replaced[size_t(o.levelsGiven - 1)] = true;
                m_listLevel = &o.levels[size_t(o.levelsGiven - 1)];
            }
        } else if (!m_listDefinitions.empty() && m_listDefinitions.back().count <= kMaxLevel) {
            ListDefinition& d = m_listDefinitions.back();
            m_listLevel = &d.levels[size_t(d.count++)];
        }
    } else if (w == "leveltext") {
        st.dest = Dest::ListText;
        if (m_listLevel)
            m_listLevel->text.clear();
    } else {
        st.dest = Dest::Skip; // \levelnumbers, \listname: what \leveltext already says, and a name
    }
    if (w == "list" || w == "listoverride")
        m_listOverrideLast = w == "listoverride";
    return true;
}

// The number written out for other readers: kept aside until the paragraph ends, in case its list
// gives none.
bool Reader::openListText(State& st, GroupLocals&, Word) {
    if (st.dest != Dest::Body || st.target || !st.story)
        return false;
    flushText(st);
    st.story->listText.clear();
    st.target = &st.story->listText;
    return true;
}

void Reader::listWord(State& st, Word w, bool hasParam, int param) {
    if (st.dest == Dest::ListText) {
        if (w == "u" && hasParam) {
            if (m_listLevel && m_listLevel->text.size() < 256)
                m_listLevel->text += QChar(char16_t(param < 0 ? param + 65536 : param));
            m_skip = st.uc;
        } else if (w == "uc") {
            st.uc = qBound(0, param, 16);
        }
        return;
    }
    const bool on = !hasParam || param != 0;
    if (w == "listid") {
        if (m_listOverrideLast && !m_listOverrides.empty())
            m_listOverrides.back().listId = param;
        else if (!m_listDefinitions.empty())
            m_listDefinitions.back().id = param;
    } else if (w == "ls") {
        if (!m_listOverrides.empty())
            m_listOverrides.back().number = param;
    } else if (w == "levelstartat" && !m_listLevel && m_listOverrideLast && !m_listOverrides.empty()) {
        // \lfolevel's own start: the level starts anew there, in this override only.
        ListOverride& o = m_listOverrides.back();
        if (o.levelsGiven > 0 && o.levelsGiven <= kMaxLevel + 1)
            o.startAt[size_t(o.levelsGiven - 1)] = qBound(0, param, kMaxCount);
    } else if (m_listLevel) {
        ListLevel& l = *m_listLevel;
        if (w == "levelnfc" || w == "levelnfcn")
            l.nfc = param;
        else if (w == "levelstartat")
            l.start = qBound(0, param, kMaxCount);
        else if (w == "levelfollow")
            l.follow = param;
        else if (w == "leveljc" || w == "leveljcn")
            l.jc = param;
        else if (w == "levelnorestart")
            l.noRestart = on;
        else if (w == "levellegal")
            l.legal = on;
        else if (w == "f")
            l.font = param;
        else if (w == "loch" || w == "hich")
            m_listLatinFont = true;
        else if (w == "dbch" || w == "rtlch" || w == "ltrch")
            m_listLatinFont = false;
        else if (w == "af" && m_listLatinFont && l.font < 0)
            l.font = param; // the font of the number's Latin characters, where \f gives none
        else if (w == "fs")
            l.halfPoints = qBound(2, param, 3276);
        else if (w == "b")
            l.bold = on;
        else if (w == "i")
            l.italic = on;
    }
}

ListLevel* Reader::listLevel(int number, int level, ListOverride** found) {
    if (level < 0 || level > kMaxLevel)
        return nullptr;
    for (ListOverride& o : m_listOverrides) {
        if (o.number != number)
            continue;
        *found = &o;
        if (o.replaced[size_t(level)])
            return &o.levels[size_t(level)];
        for (ListDefinition& d : m_listDefinitions)
            if (d.id == o.listId)
                return level < d.count ? &d.levels[size_t(level)] : nullptr;
        return nullptr;
    }
    return nullptr;
}

bool Reader::isSymbolFamily(const QString& family) {
    if (!m_symbolFamilies) {
        m_symbolFamilies.emplace();
        for (const auto& [number, font] : m_fonts)
            if (font.symbols != SymbolSet::None)
                m_symbolFamilies->insert(font.name);
    }
    return m_symbolFamilies->contains(family);
}

std::vector<Run> Reader::listNumber(const State& st, StoryBuilder& b, ParaFormat& para) {
    std::vector<Run> out;
    ListOverride* o = nullptr;
    const ListLevel* level = st.list > 0 ? listLevel(st.list, st.listLevel, &o) : nullptr;
    if (!level || !o) {
        out.swap(b.listText);
        // A number or bullet written in a symbol font prints in LibreOffice's symbol face, which sets
        // its line no taller than the text's, as the list's own would.
        for (Run& r : out) {
            CharFormat f = m_t.formats.at(size_t(r.format));
            if ((r.kind == Run::Text || r.kind == Run::Tab) && isSymbolFamily(f.family)) {
                f.family = QStringLiteral("OpenSymbol");
                r.format = format(f);
            }
        }
        return out;
    }
    // LibreOffice sets the number in the look of the paragraph's last text, whatever Word wrote out
    // (\listtext) or set on the paragraph mark: a bold term opening a plain sentence leaves the number
    // plain, a bold heading makes it bold. An empty paragraph's number takes the mark's look.
    CharFormat written = st.chr;
    for (auto r = b.runs.rbegin(); r != b.runs.rend(); ++r)
        if (r->kind == Run::Text && !r->text.isEmpty()) {
            written = m_t.formats.at(size_t(r->format));
            break;
        }
    b.listText.clear();

    // Counting: the levels above start where they have not yet, this one goes on by one, and the
    // levels below start anew next time unless they say otherwise.
    const int k = st.listLevel;
    ListOverride& list = *o;
    const auto startOf = [&](int i) {
        if (list.startAt[size_t(i)] >= 0)
            return list.startAt[size_t(i)];
        ListOverride* same = nullptr;
        const ListLevel* l = listLevel(list.number, i, &same);
        return l ? l->start : 1;
    };
    for (int i = 0; i < k; ++i)
        if (!list.started[size_t(i)]) {
            list.started[size_t(i)] = true;
            list.counters[size_t(i)] = startOf(i);
        }
    if (list.started[size_t(k)]) {
        list.counters[size_t(k)] = qMin(list.counters[size_t(k)] + 1, kMaxCount);
    } else {
        list.started[size_t(k)] = true;
        list.counters[size_t(k)] = startOf(k);
    }
    for (int i = k + 1; i <= kMaxLevel; ++i) {
        ListOverride* same = nullptr;
        const ListLevel* l = listLevel(list.number, i, &same);
        if (!l || !l->noRestart)
            list.started[size_t(i)] = false;
    }

    // The number's look, with the level's own font, size and weight.
    State looks = st;
    looks.chr = written;
    if (level->font >= 0)
        useFont(looks, level->font);
    CharFormat f = looks.chr;
    // LibreOffice sets a number neither underlined nor raised or lowered, at its full size, whatever
    // the paragraph mark's look.
    f.underline = false;
    f.script = CharFormat::Script::Normal;
    if (level->halfPoints > 0)
        f.halfPoints = level->halfPoints;
    if (level->bold >= 0)
        f.bold = level->bold;
    if (level->italic >= 0)
        f.italic = level->italic;
    const CodePage& page = textPage(st);

    const QString& t = level->text;
    const int length = t.isEmpty() ? 0 : t.at(0).unicode();
    int from = 1, to = qMin(int(t.size()), length + 1);
    if (length >= 0x20) {
        // No length: the text runs to its semicolon.
        from = 0;
        to = t.indexOf(QLatin1Char(';'));
        if (to < 0)
            to = int(t.size());
    }
    QString text;
    for (int i = from; i < to; ++i) {
        const char16_t c = t.at(i).unicode();
        if (c <= kMaxLevel) {
            if (c <= k) {
                ListOverride* same = nullptr;
                const ListLevel* l = listLevel(list.number, c, &same);
                const bool arabic = level->legal && c < k;
                text += listNumberText(list.counters[c],
                                       arabic || !l ? QStringLiteral("decimal") : formatName(l->nfc));
            }
        } else if (c < 0x20) {
            continue;
        } else if (looks.symbols != SymbolSet::None && c >= 0xF020 && c <= 0xF0FF) {
            // A symbol font's character as \u gives it: the symbol it shows.
            text += symbolCharacter(looks.symbols, uchar(c - 0xF000), QChar(c));
        } else if (c >= 0x80 && c < 0x100) {
            text += page.chars[c];
        } else {
            text += QChar(c);
        }
    }
    // A number or bullet in a symbol font prints in LibreOffice's own symbol face, as LibreOffice
    // prints it: the symbol a character stands for, and a byte as the plain character it is (a
    // Wingdings "o" is a letter o).
    if (looks.symbols != SymbolSet::None)
        f.family = QStringLiteral("OpenSymbol");
    const int numberFormat = format(f);
    if (!text.isEmpty()) {
        out.push_back(Run{Run::Text, numberFormat, -1, text});
        para.numberAlign = level->jc == 1   ? ParaFormat::Center
                           : level->jc == 2 ? ParaFormat::Right
                                            : ParaFormat::Left;
    }
    if (level->follow == 0)
        out.push_back(Run{Run::Tab, numberFormat, -1, {}});
    else if (level->follow == 1)
        out.push_back(Run{Run::Text, numberFormat, -1, QStringLiteral(" ")});
    if (out.size() == 2 && out[1].kind == Run::Text) {
        out[0].text += out[1].text;
        out.pop_back();
    }
    return out;
}

} // namespace wordproc::rtf
