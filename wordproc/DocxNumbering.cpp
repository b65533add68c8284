// List numbering: numbering.xml's abstract numberings, their levels and overrides, and the numbers
// each list paragraph takes.

#include "wordproc/DocxPrivate.h"
#include "wordproc/ListNumbers.h"

#include <algorithm>

namespace wordproc::docx {

namespace {

Level readLevel(const Node& lvl) {
    Level l;
    // A level that gives no start counts from zero.
    l.start = 0;
    if (const Node* s = lvl.child(u"w:start"))
        l.start = qBound(0, intAttr(*s, u"w:val", 1), 1000000);
    if (const Node* r = lvl.child(u"w:lvlRestart"))
        l.restart = qBound(0, intAttr(*r, u"w:val", 0), 9);
    if (const Node* g = lvl.child(u"w:isLgl"))
        l.legal = g->attr(u"w:val") != QLatin1String("0") && g->attr(u"w:val") != QLatin1String("false");
    if (const Node* f = lvl.child(u"w:numFmt"))
        l.format = f->attr(u"w:val");
    if (const Node* t = lvl.child(u"w:lvlText"))
        l.text = t->attr(u"w:val");
    if (l.format == QLatin1String("custom")) {
        // Word 2010's formats given by example: LibreOffice prints numbers padded with zeros ("001, 002,
        // 003, ...") as such; any other it cannot, and it numbers that level as its own default, "1.".
        const QString example = lvl.child(u"w:numFmt")->attr(u"w:format");
        const qsizetype zeros = example.indexOf(QLatin1Char('1'));
        const QString pad(qMax<qsizetype>(0, zeros), QLatin1Char('0'));
        if (zeros >= 1 && zeros <= 4 && example == pad + "1, " + pad + "2, " + pad + "3, ...") {
            l.format =
                zeros == 1 ? QStringLiteral("decimalZero") : QStringLiteral("decimalZero%1").arg(zeros + 1);
        } else {
            l.format = QStringLiteral("decimal");
            l.text = QStringLiteral("%%1.").arg(qBound(0, intAttr(lvl, u"w:ilvl", 0), 8) + 1);
        }
    }
    if (const Node* s = lvl.child(u"w:suff"))
        l.suffix = s->attr(u"w:val");
    if (const Node* j = lvl.child(u"w:lvlJc"))
        l.jc = j->attr(u"w:val");
    if (const Node* b = lvl.child(u"w:lvlPicBulletId"))
        l.picture = b->attr(u"w:val");
    l.pPr = lvl.child(u"w:pPr");
    l.rPr = lvl.child(u"w:rPr");
    return l;
}

} // namespace

void StyleSheet::readNumbering(const Node& numbering) {
    // Picture bullets: a VML picture (or a drawing) whose picture the levels show for their bullet.
    for (const Node& b : numbering.children) {
        if (b.name != QLatin1String("w:numPicBullet"))
            continue;
        const Node* data = b.find(u"v:imagedata");
        const Node* blip = data ? nullptr : b.find(u"a:blip");
        const QString id = data ? data->attr(u"r:id") : blip ? blip->attr(u"r:embed") : QString();
        if (!id.isEmpty() && !m_pictureBullets.contains(b.attr(u"w:numPicBulletId")))
            m_pictureBullets.insert(b.attr(u"w:numPicBulletId"), id);
    }
    for (const Node& a : numbering.children) {
        if (a.name != QLatin1String("w:abstractNum"))
            continue;
        Abstract abstract;
        for (const Node& lvl : a.children)
            if (lvl.name == QLatin1String("w:lvl")) {
                const int i = intAttr(lvl, u"w:ilvl", -1);
                if (i >= 0 && i < 9)
                    abstract.levels[size_t(i)] = readLevel(lvl);
            }
        if (const Node* link = a.child(u"w:numStyleLink"))
            abstract.styleLink = link->attr(u"w:val");
        const QString id = a.attr(u"w:abstractNumId");
        if (!m_abstracts.contains(id))
            m_abstracts.insert(id, abstract);
    }
    for (const Node& n : numbering.children) {
        if (n.name != QLatin1String("w:num"))
            continue;
        List list;
        if (const Node* a = n.child(u"w:abstractNumId"))
            list.abstract = a->attr(u"w:val");
        for (const Node& o : n.children) {
            if (o.name != QLatin1String("w:lvlOverride"))
                continue;
            const int i = intAttr(o, u"w:ilvl", -1);
            if (i < 0 || i >= 9)
                continue;
            if (const Node* s = o.child(u"w:startOverride"))
                list.startOverride[size_t(i)] = qBound(0, intAttr(*s, u"w:val", 1), 1000000);
            if (const Node* lvl = o.child(u"w:lvl"))
                list.levelOverride[size_t(i)] = readLevel(*lvl);
        }
        const QString id = n.attr(u"w:numId");
        if (!m_lists.contains(id))
            m_lists.insert(id, list);
    }
    // A list made from a list style (Word's multilevel lists of a style) has that style's levels: the
    // style names the list that holds them.
    for (auto a = m_abstracts.begin(); a != m_abstracts.end(); ++a) {
        if (a->styleLink.isEmpty() ||
            std::any_of(a->levels.begin(), a->levels.end(), [](const auto& l) { return l.has_value(); }))
            continue;
        const auto style = m_styles.constFind(a->styleLink);
        const Node* numId =
            style != m_styles.constEnd() && style->numPr ? style->numPr->child(u"w:numId") : nullptr;
        const auto list = numId ? m_lists.constFind(numId->attr(u"w:val")) : m_lists.constEnd();
        const auto source =
            list != m_lists.constEnd() ? m_abstracts.constFind(list->abstract) : m_abstracts.constEnd();
        if (source != m_abstracts.constEnd() && source.key() != a.key()) {
            a->levels = source->levels;
            a->countsWith = source.key();
        }
    }
}

const Level* StyleSheet::level(const QString& numId, int level) const {
    const auto it = m_lists.constFind(numId);
    if (it == m_lists.constEnd() || level < 0 || level > 8)
        return nullptr;
    if (it->levelOverride[size_t(level)])
        return &*it->levelOverride[size_t(level)];
    const auto a = m_abstracts.constFind(it->abstract);
    if (a == m_abstracts.constEnd() || !a->levels[size_t(level)])
        return nullptr;
    return &*a->levels[size_t(level)];
}

QString StyleSheet::nextNumber(const QString& numId, int lvl) {
    const Level* own = level(numId, lvl);
    const auto it = m_lists.constFind(numId);
    if (!own || it == m_lists.constEnd())
        return {};
    const List& list = *it;
    // Lists made from one definition go on counting from each other, whatever formats they override. A
    // list that starts a level at a number of its own starts that level again where its first item
    // stands, and the lists of its definition count on from there, as LibreOffice counts them.
    // Lists of one list style count on together, as LibreOffice counts them.
    const auto definition = m_abstracts.constFind(list.abstract);
    Counts& counts = m_counts[definition != m_abstracts.constEnd() && !definition->countsWith.isEmpty()
                                  ? definition->countsWith
                                  : list.abstract];
    if (!m_listsUsed.contains(numId)) {
        m_listsUsed.insert(numId);
        for (size_t i = 0; i < list.startOverride.size(); ++i)
            if (list.startOverride[i])
                counts.started[i] = false;
    }
    const auto startOf = [&](int i) {
        if (list.startOverride[size_t(i)])
            return *list.startOverride[size_t(i)];
        const Level* l = level(numId, i);
        return l ? l->start : 0;
    };
    for (int i = 0; i <= lvl; ++i)
        if (!counts.started[size_t(i)]) {
            counts.started[size_t(i)] = true;
            counts.counters[size_t(i)] = startOf(i) - (i == lvl ? 1 : 0);
        }
    counts.counters[size_t(lvl)] = qMin(counts.counters[size_t(lvl)] + 1, 1000000);
    // The levels below start again, each after the level it names, or never.
    for (int i = lvl + 1; i < 9; ++i) {
        const Level* l = level(numId, i);
        if (!l || !l->restart || (*l->restart > 0 && lvl <= *l->restart - 1))
            counts.started[size_t(i)] = false;
    }
    if (own->format == QLatin1String("bullet"))
        return symbolCharacters(own->text);
    QString out;
    const QString& text = own->text;
    for (int i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('%') && i + 1 < text.size() && text.at(i + 1) >= QLatin1Char('1') &&
            text.at(i + 1) <= QLatin1Char('9')) {
            const int k = text.at(i + 1).unicode() - '1';
            const Level* l = level(numId, k);
            const QString format = l ? l->format : QStringLiteral("decimal");
            // A bullet's level has no number to show in another level's.
            if (k <= lvl && format != QLatin1String("bullet")) {
                const int n = counts.started[size_t(k)] ? counts.counters[size_t(k)] : startOf(k);
                out += listNumberText(n, own->legal ? QStringLiteral("decimal") : format);
            }
            ++i;
            continue;
        }
        out += text.at(i);
    }
    return out;
}

} // namespace wordproc::docx
