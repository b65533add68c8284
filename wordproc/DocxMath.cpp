// Word 2007+ equations (Office Math): their letters as text runs, italic where mathematics sets them,
// scripts raised and lowered, and where a display equation stands.

#include "wordproc/DocxPrivate.h"

namespace wordproc::docx {

ParaFormat::Align mathAlign(const QString& value, ParaFormat::Align fallback) {
    if (value == QLatin1String("center") || value == QLatin1String("centerGroup"))
        return ParaFormat::Center;
    if (value == QLatin1String("left"))
        return ParaFormat::Left;
    if (value == QLatin1String("right"))
        return ParaFormat::Right;
    return fallback;
}

// An equation as a line of text: its letters in order, scripts raised or lowered, a fraction with a
// slash, brackets, roots and the signs of sums and integrals as characters.
void Reader::math(const Node& n, StoryState& st, const CharProps& base, CharFormat::Script script) {
    const auto sign = [&](const Node& e, QStringView pr, QStringView what, const QString& fallback) {
        const Node* props = e.child(pr);
        const Node* chr = props ? props->child(what) : nullptr;
        if (!chr)
            return fallback;
        return chr->attr(u"m:val");
    };
    const auto text = [&](const QString& s) {
        CharProps p = base;
        p.format.script = script;
        addText(st, s, format(p.format));
    };
    const auto part = [&](const Node& e, QStringView name, CharFormat::Script within) {
        if (const Node* c = e.child(name))
            math(*c, st, base, within);
    };
    for (const Node& c : n.children) {
        const QString& name = c.name;
        if (!name.startsWith(QLatin1String("m:")) || name.endsWith(QLatin1String("Pr")))
            continue;
        if (name == QLatin1String("m:r")) {
            mathRun(c, st, base, script);
        } else if (name == QLatin1String("m:sSup") || name == QLatin1String("m:sSub") ||
                   name == QLatin1String("m:sSubSup")) {
            part(c, u"m:e", script);
            part(c, u"m:sub", CharFormat::Script::Sub);
            part(c, u"m:sup", CharFormat::Script::Super);
        } else if (name == QLatin1String("m:sPre")) {
            part(c, u"m:sub", CharFormat::Script::Sub);
            part(c, u"m:sup", CharFormat::Script::Super);
            part(c, u"m:e", script);
        } else if (name == QLatin1String("m:f")) {
            part(c, u"m:num", script);
            text(QStringLiteral("/"));
            part(c, u"m:den", script);
        } else if (name == QLatin1String("m:rad")) {
            part(c, u"m:deg", CharFormat::Script::Super);
            text(QStringLiteral("\u221A"));
            part(c, u"m:e", script);
        } else if (name == QLatin1String("m:nary")) {
            text(sign(c, u"m:naryPr", u"m:chr", QStringLiteral("\u222B")));
            part(c, u"m:sub", CharFormat::Script::Sub);
            part(c, u"m:sup", CharFormat::Script::Super);
            part(c, u"m:e", script);
        } else if (name == QLatin1String("m:d")) {
            // Brackets round their elements, a bar between each two unless the file says otherwise.
            text(sign(c, u"m:dPr", u"m:begChr", QStringLiteral("(")));
            const QString between = sign(c, u"m:dPr", u"m:sepChr", QStringLiteral("|"));
            bool first = true;
            for (const Node& e : c.children)
                if (e.name == QLatin1String("m:e")) {
                    if (!first)
                        text(between);
                    first = false;
                    math(e, st, base, script);
                }
            text(sign(c, u"m:dPr", u"m:endChr", QStringLiteral(")")));
        } else if (name == QLatin1String("m:acc") || name == QLatin1String("m:bar") ||
                   name == QLatin1String("m:groupChr")) {
            part(c, u"m:e", script);
        } else {
            math(c, st, base, script);
        }
    }
}

// An equation's letters are italic unless the run asks for another style or for ordinary text; its
// digits and signs stay upright, as no italic form of them is used in equations.
void Reader::mathRun(const Node& r, StoryState& st, const CharProps& base, CharFormat::Script script) {
    CharProps p = runProps(base, r.child(u"w:rPr"));
    if (p.hidden)
        return;
    p.format.script = script;
    const Node* mathProps = r.child(u"m:rPr");
    const Node* style = mathProps ? mathProps->child(u"m:sty") : nullptr;
    const bool ordinary = mathProps && onOff(mathProps->child(u"m:nor"));
    QString sty = style ? style->attr(u"m:val") : QString();
    if (sty.isEmpty())
        sty = QStringLiteral("i");
    CharFormat letters = p.format;
    if (!ordinary) {
        letters.italic = sty.contains(QLatin1Char('i'));
        letters.bold = p.format.bold || sty.contains(QLatin1Char('b'));
        p.format.bold = letters.bold;
    }
    const int letterFormat = format(letters);
    const int otherFormat = format(p.format);
    for (const Node& t : r.children) {
        if (t.name != QLatin1String("m:t"))
            continue;
        qsizetype start = 0;
        for (qsizetype i = 1; i <= t.text.size(); ++i)
            if (i == t.text.size() || t.text.at(i).isLetter() != t.text.at(start).isLetter()) {
                addText(st, t.text.mid(start, i - start),
                        t.text.at(start).isLetter() ? letterFormat : otherFormat);
                start = i;
            }
    }
}

} // namespace wordproc::docx
