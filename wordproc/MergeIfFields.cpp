// IF fields in a merge: each record chooses its own text, as Word chooses it when it merges. The code is
// split into words (quotes keep blanks and nested fields inside one word), the two expressions are
// compared, and the true or false text is shown with the formats it has in the code.

#include "wordproc/MergeBuilder.h"
#include "wordproc/ReaderLimits.h"

#include <QLocale>
#include <QRegularExpression>
#include <cmath>
#include <optional>

namespace wordproc {

namespace {

struct CodeWord {
    std::vector<Run> runs; // text in its formats, and fields nested in it
    bool quoted = false;
};

void addChar(std::vector<Run>& runs, QChar ch, int format) {
    if (!runs.empty() && runs.back().kind == Run::Text && runs.back().format == format)
        runs.back().text += ch;
    else
        runs.push_back(Run{Run::Text, format, -1, QString(ch)});
}

// Word takes typographic quotes for straight ones in a field's code.
bool opensQuote(QChar c) {
    return c == QLatin1Char('"') || c == QChar(0x201C);
}

bool closesQuote(QChar c) {
    return c == QLatin1Char('"') || c == QChar(0x201D);
}

// The code's words; none when a quote is left open. A nested field belongs to the word it stands in,
// whatever its value holds, so a value of several words is still one expression.
std::optional<std::vector<CodeWord>> codeWords(const std::vector<Run>& code) {
    enum class In { Blank, Word, Quote };
    In in = In::Blank;
    std::vector<CodeWord> words;
    for (const Run& r : code) {
        if (r.kind != Run::Text) {
            if (in == In::Quote || (in == In::Word && r.kind == Run::Field)) {
                words.back().runs.push_back(r);
            } else if (r.kind == Run::Field) {
                words.emplace_back();
                words.back().runs.push_back(r);
                in = In::Word;
            } else {
                in = In::Blank; // a tab or a line break between words
            }
            continue;
        }
        const QString& s = r.text;
        for (qsizetype i = 0; i < s.size(); ++i) {
            const QChar ch = s.at(i);
            if (in == In::Quote) {
                // A backslash lets a quote (or itself) stand inside quoted text.
                if (ch == QLatin1Char('\\') && i + 1 < s.size() &&
                    (s.at(i + 1) == QLatin1Char('"') || s.at(i + 1) == QLatin1Char('\\')))
                    addChar(words.back().runs, s.at(++i), r.format);
                else if (closesQuote(ch))
                    in = In::Blank;
                else
                    addChar(words.back().runs, ch, r.format);
            } else if (ch.isSpace()) {
                in = In::Blank;
            } else if (opensQuote(ch)) {
                words.emplace_back();
                words.back().quoted = true;
                in = In::Quote;
            } else {
                if (in == In::Blank)
                    words.emplace_back();
                addChar(words.back().runs, ch, r.format);
                in = In::Word;
            }
        }
    }
    if (in == In::Quote)
        return std::nullopt;
    return words;
}

bool isSwitch(const CodeWord& w) {
    return !w.quoted && !w.runs.empty() && w.runs.front().kind == Run::Text &&
           w.runs.front().text.startsWith(QLatin1Char('\\'));
}

// A text that reads as a number, thousands grouped with commas or not.
std::optional<double> numberIn(const QString& s) {
    QString t = s.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    static const QRegularExpression grouped(QStringLiteral("^[+-]?\\d{1,3}(,\\d{3})+(\\.\\d*)?$"));
    if (grouped.match(t).hasMatch())
        t.remove(QLatin1Char(','));
    bool ok = false;
    const double v = QLocale::c().toDouble(t, &ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

// `?` stands for any one character of `text`, `*` for any run of them.
bool matchesPattern(const QString& text, const QString& pattern) {
    qsizetype t = 0, p = 0, star = -1, resume = 0;
    while (t < text.size()) {
        if (p < pattern.size() && (pattern.at(p) == QLatin1Char('?') || pattern.at(p) == text.at(t))) {
            ++t;
            ++p;
        } else if (p < pattern.size() && pattern.at(p) == QLatin1Char('*')) {
            star = p++;
            resume = t;
        } else if (star >= 0) {
            p = star + 1;
            t = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern.at(p) == QLatin1Char('*'))
        ++p;
    return p == pattern.size();
}

// Numbers compare as numbers; text compares letter by letter, capitals apart from small letters, as the
// field's definition says nothing of case. None for an operator Word does not know.
std::optional<bool> holds(const QString& left, const QString& op, const QString& right) {
    const bool equality = op == QLatin1String("=") || op == QLatin1String("<>");
    int order = 0;
    const std::optional<double> a = numberIn(left), b = numberIn(right);
    if (a && b) {
        order = *a < *b ? -1 : *a > *b ? 1 : 0;
    } else if (equality && (right.contains(QLatin1Char('?')) || right.contains(QLatin1Char('*')))) {
        return matchesPattern(left, right) == (op == QLatin1String("="));
    } else {
        order = left.compare(right, Qt::CaseSensitive);
    }
    if (op == QLatin1String("="))
        return order == 0;
    if (op == QLatin1String("<>"))
        return order != 0;
    if (op == QLatin1String("<"))
        return order < 0;
    if (op == QLatin1String("<="))
        return order <= 0;
    if (op == QLatin1String(">"))
        return order > 0;
    if (op == QLatin1String(">="))
        return order >= 0;
    return std::nullopt;
}

} // namespace

std::optional<std::vector<Run>> Merger::Builder::ifChoice(int index, const Cursor& c, int depth) const {
    const Field& f = m.m_t->fields[size_t(index)];
    if (depth >= kMaxFieldDepth)
        return std::nullopt;
    for (const Run& r : f.code)
        if (r.kind == Run::Field && (r.index < 0 || r.index >= index))
            return std::nullopt;
    const std::optional<std::vector<CodeWord>> words = codeWords(f.code);
    if (!words || words->empty() || isSwitch(words->front()) ||
        runsText(words->front().runs, c, depth).compare(QLatin1String("IF"), Qt::CaseInsensitive) != 0)
        return std::nullopt;
    // IF, two expressions about an operator, the true text and, where given, the false text; any
    // switches after them.
    size_t count = 1;
    while (count < words->size() && !isSwitch((*words)[count]))
        ++count;
    if (count < 5)
        return std::nullopt;
    const std::optional<bool> truth =
        holds(runsText((*words)[1].runs, c, depth), runsText((*words)[2].runs, c, depth).trimmed(),
              runsText((*words)[3].runs, c, depth));
    if (!truth)
        return std::nullopt;
    if (*truth)
        return (*words)[4].runs;
    return count > 5 ? (*words)[5].runs : std::vector<Run>{};
}

QString Merger::Builder::runsText(const std::vector<Run>& list, const Cursor& c, int depth) const {
    QString out;
    for (const Run& r : list) {
        if (r.kind == Run::Text)
            out += r.text;
        else if (r.kind == Run::Tab)
            out += QLatin1Char('\t');
        else if (r.kind == Run::LineBreak)
            out += QChar::LineSeparator;
        else if (r.kind == Run::Field && r.index >= 0 && size_t(r.index) < m.m_t->fields.size())
            out += fieldText(r.index, c, depth + 1);
    }
    return out;
}

QString Merger::Builder::fieldText(int index, const Cursor& c, int depth) const {
    const Field& f = m.m_t->fields[size_t(index)];
    if (depth >= kMaxFieldDepth)
        return {};
    switch (f.kind) {
    case Field::Merge: {
        if (!m.m_data)
            break;
        const QString value =
            applyCaseSwitches(m.m_data->value(c.record, m.m_columns[size_t(index)]), f.caseSwitches);
        return value.isEmpty() ? value : f.before + value + f.after;
    }
    case Field::If:
        if (std::optional<std::vector<Run>> chosen = ifChoice(index, c, depth))
            return runsText(*chosen, c, depth);
        break;
    case Field::Date:
        return formatDatePicture(m.m_now, f.datePicture);
    default:
        break;
    }
    return runsText(f.result, c, depth);
}

} // namespace wordproc
