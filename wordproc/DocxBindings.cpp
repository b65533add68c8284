// Word 2007+ content controls: around paragraphs or within a line, plain-text ones printed as
// LibreOffice prints them, and those bound to the document's data: a control whose w:dataBinding names
// a value in the document's properties or in one of its custom XML parts shows that value, as
// LibreOffice prints it, rather than the text saved in the control.

#include "wordproc/DocxPrivate.h"

#include <QHash>
#include <QXmlStreamReader>
#include <algorithm>

namespace wordproc::docx {

namespace {

// The stores Word names without a custom XML part of their own.
constexpr QLatin1StringView kCoreProperties("{6C3C8BC8-F283-45AE-878A-BAB7291924A1}");
constexpr QLatin1StringView kExtendedProperties("{6668398D-A668-4E3E-A5EB-62B293D839F1}");

struct Step {
    QString ns;   // the element's namespace, empty for none
    QString name; // its local name
    int index = 1;
    bool attribute = false;  // the last step may name an attribute of the element before
    bool descendant = false; // "//name": the first such element at any depth
};

// "xmlns:ns0='urn:a' xmlns:ns1='urn:b'": the prefixes a control's path uses, with their namespaces.
QHash<QString, QString> prefixes(const QString& mappings) {
    QHash<QString, QString> out;
    for (QStringView rest = mappings;;) {
        const qsizetype at = rest.indexOf(QLatin1String("xmlns:"));
        const qsizetype eq = at < 0 ? -1 : rest.indexOf(QLatin1Char('='), at);
        if (eq < 0 || eq + 1 >= rest.size())
            return out;
        const QChar quote = rest[eq + 1];
        const qsizetype close = rest.indexOf(quote, eq + 2);
        if ((quote != QLatin1Char('\'') && quote != QLatin1Char('"')) || close < 0)
            return out;
        out.insert(rest.sliced(at + 6, eq - at - 6).trimmed().toString(),
                   rest.sliced(eq + 2, close - eq - 2).toString());
        rest = rest.sliced(close + 1);
    }
}

// "/ns1:coreProperties[1]/ns0:title[1]", "//Phone" or "/a[1]/@b": the elements from the root (or from
// the first of that name anywhere) down, by namespace, local name and position among their like-named
// siblings, perhaps ending in an attribute. Anything beyond that (other predicates, functions, axes),
// or a prefix the mappings do not name, is not followed: no steps.
std::vector<Step> pathSteps(const QString& xpath, const QHash<QString, QString>& ns) {
    std::vector<Step> steps;
    QString path = xpath.trimmed();
    bool descendant = false;
    if (path.startsWith(QLatin1String("//"))) {
        descendant = true;
        path.remove(0, 1);
    }
    if (!path.startsWith(QLatin1Char('/')))
        return {};
    const QStringList parts = path.mid(1).split(QLatin1Char('/'));
    for (qsizetype i = 0; i < parts.size(); ++i) {
        Step s;
        QString name = parts.at(i);
        if (name.startsWith(QLatin1Char('@'))) {
            if (i + 1 != parts.size() || i == 0)
                return {};
            s.attribute = true;
            name.remove(0, 1);
        }
        if (const qsizetype open = name.indexOf(QLatin1Char('[')); open >= 0) {
            if (!name.endsWith(QLatin1Char(']')) || s.attribute)
                return {};
            bool ok = false;
            s.index = name.mid(open + 1, name.size() - open - 2).toInt(&ok);
            if (!ok || s.index < 1)
                return {};
            name.truncate(open);
        }
        if (const qsizetype colon = name.indexOf(QLatin1Char(':')); colon >= 0) {
            const auto uri = ns.constFind(name.left(colon));
            if (uri == ns.constEnd())
                return {};
            s.ns = *uri;
            name.remove(0, colon + 1);
        }
        s.name = name;
        if (s.name.isEmpty() || std::any_of(s.name.cbegin(), s.name.cend(), [](QChar c) {
                return !c.isLetterOrNumber() && c != QLatin1Char('_') && c != QLatin1Char('-') &&
                       c != QLatin1Char('.');
            }))
            return {};
        steps.push_back(std::move(s));
    }
    steps.front().descendant = descendant;
    return steps;
}

} // namespace

std::optional<QString> boundValue(const QByteArray& xml, const QString& xpath,
                                  const QString& prefixMappings) {
    std::vector<Step> steps = pathSteps(xpath, prefixes(prefixMappings));
    if (steps.empty())
        return std::nullopt;
    std::optional<Step> attribute;
    if (steps.back().attribute) {
        attribute = std::move(steps.back());
        steps.pop_back();
    }
    QXmlStreamReader r(xml);
    // Per open element on the path: how many children of the next step's name it has had.
    std::vector<int> seen{0};
    size_t matched = 0; // the steps the open elements match
    int depth = 0;
    int base = 1; // the depth the first step matched at
    QString text;
    while (!r.atEnd()) {
        const auto token = r.readNext();
        if (token == QXmlStreamReader::DTD)
            return std::nullopt;
        if (token == QXmlStreamReader::StartElement) {
            if (++depth > kMaxDepth)
                return std::nullopt;
            const Step* next = matched < steps.size() ? &steps[matched] : nullptr;
            const bool here = matched == 0 && next && next->descendant ? true : depth == base + int(matched);
            if (here && next && r.name() == next->name && r.namespaceUri() == next->ns &&
                (next->descendant || ++seen.back() == next->index)) {
                if (matched == 0)
                    base = depth;
                ++matched;
                seen.push_back(0);
                if (matched == steps.size() && attribute) {
                    for (const QXmlStreamAttribute& a : r.attributes())
                        if (a.name() == attribute->name && a.namespaceUri() == attribute->ns)
                            return a.value().toString();
                    return std::nullopt;
                }
            }
        } else if (token == QXmlStreamReader::EndElement) {
            if (matched == steps.size() && depth == base + int(matched) - 1)
                return text;
            if (matched > 0 && depth == base + int(matched) - 1) {
                --matched;
                seen.pop_back();
                // Past the element a "//" path found, another of that name may lead further.
                if (matched == 0 && steps.front().descendant)
                    base = 1;
            }
            --depth;
        } else if (token == QXmlStreamReader::Characters && matched == steps.size()) {
            text += r.text();
        }
    }
    return std::nullopt;
}

void Reader::readStores() {
    m_storesRead = true;
    const Relationships root = m_pkg.relationships(QString());
    for (auto it = root.constBegin(); it != root.constEnd(); ++it)
        if (!it->external && m_pkg.has(it->target)) {
            if (it->type == QLatin1String("core-properties"))
                m_stores.emplace_back(QString(kCoreProperties), it->target);
            else if (it->type == QLatin1String("extended-properties"))
                m_stores.emplace_back(QString(kExtendedProperties), it->target);
        }
    // Each custom XML part says its store's name in its properties part. They are taken in the order
    // of their names, that a value several of them give comes from the same one every time.
    const size_t properties = m_stores.size();
    for (auto it = m_mainRels.constBegin(); it != m_mainRels.constEnd(); ++it) {
        if (it->type != QLatin1String("customXml") || it->external || !m_pkg.has(it->target))
            continue;
        QString id;
        const Relationships own = m_pkg.relationships(it->target);
        for (auto p = own.constBegin(); p != own.constEnd(); ++p) {
            if (p->type != QLatin1String("customXmlProps") || p->external || !m_pkg.has(p->target))
                continue;
            QXmlStreamReader r(m_pkg.read(p->target, kMaxXmlBytes));
            while (!r.atEnd() && r.readNext() != QXmlStreamReader::StartElement) {
            }
            for (const QXmlStreamAttribute& a : r.attributes())
                if (a.name() == QLatin1String("itemID"))
                    id = a.value().toString().toUpper();
        }
        m_stores.emplace_back(id, it->target);
    }
    std::sort(m_stores.begin() + std::ptrdiff_t(properties), m_stores.end(),
              [](const auto& a, const auto& b) { return a.second < b.second; });
}

std::optional<QString> Reader::boundText(const Node& sdtPr, bool block) {
    const Node* binding = sdtPr.child(u"w:dataBinding");
    if (!binding)
        return std::nullopt;
    // LibreOffice fills plain text controls from their data, and rich text ones that stand as blocks;
    // dates, lists and rich text within a line keep the text they were saved with.
    const bool plain = sdtPr.child(u"w:text");
    if (!plain &&
        (!block || sdtPr.child(u"w:date") || sdtPr.child(u"w:comboBox") || sdtPr.child(u"w:dropDownList") ||
         sdtPr.child(u"w:docPartObj") || sdtPr.child(u"w:picture")))
        return std::nullopt;
    if (!m_storesRead)
        readStores();
    const QString xpath = binding->attr(u"w:xpath");
    const QString mappings = binding->attr(u"w:prefixMappings");
    const QString named = binding->attr(u"w:storeItemID").toUpper();
    const auto valueIn = [&](const QString& part) {
        auto& cached = m_storeXml[part];
        if (cached.isNull())
            cached = m_pkg.read(part, kMaxXmlBytes);
        std::optional<QString> v = boundValue(cached, xpath, mappings);
        return v && !v->isEmpty() ? v : std::nullopt;
    };
    // The store the control names first; where it has no value there (or no such store is in the
    // package), LibreOffice takes the path's value from whichever of the others has one. A value of
    // spaces alone is a value: it prints as spaces.
    for (const auto& [id, part] : m_stores)
        if (id == named)
            if (std::optional<QString> v = valueIn(part))
                return v;
    for (const auto& [id, part] : m_stores)
        if (id != named)
            if (std::optional<QString> v = valueIn(part))
                return v;
    return std::nullopt;
}

void Reader::addBoundText(StoryState& st, int format) {
    const QStringList lines = st.bound->split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0)
            addRun(st, Run{Run::LineBreak, format, -1, {}});
        addText(st, lines.at(i), format);
    }
    st.boundShown = true;
}

void Reader::blockControl(const Node& sdt, const Node& content, StoryState& st) {
    const Node* sdtPr = sdt.child(u"w:sdtPr");
    // LibreOffice prints a plain-text control's lines run together: its line breaks are left out.
    const bool plain = sdtPr && sdtPr->child(u"w:text");
    StoryState::ControlStart start{plain, sdtPr ? boundText(*sdtPr, true) : std::nullopt};
    // Controls that open with another add up: the first paragraph is in both.
    if (st.controlStart) {
        start.plain = start.plain || st.controlStart->plain;
        if (st.controlStart->value)
            start.value = std::move(st.controlStart->value);
    }
    st.plainTextControls += plain ? 1 : 0;
    st.controlStart = std::move(start);
    blocks(content, st);
    st.controlStart.reset();
    st.plainTextControls -= plain ? 1 : 0;
}

void Reader::inlineControl(const Node& sdt, const Node& content, StoryState& st, const CharProps& base) {
    const Node* sdtPr = sdt.child(u"w:sdtPr");
    const int plain = sdtPr && sdtPr->child(u"w:text") ? 1 : 0;
    std::optional<QString> value = sdtPr && !st.bound ? boundText(*sdtPr, false) : std::nullopt;
    st.plainTextControls += plain;
    st.plainRuns += plain;
    if (!value) {
        inlines(content, st, base);
    } else {
        st.bound = std::move(value);
        st.boundShown = false;
        inlines(content, st, base);
        if (!st.boundShown)
            addBoundText(st, format(base.format));
        st.bound.reset();
    }
    st.plainRuns -= plain;
    st.plainTextControls -= plain;
}

} // namespace wordproc::docx
