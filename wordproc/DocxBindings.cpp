// Word 2007+ content controls bound to the document's data: a control whose w:dataBinding names a value
// in the document's properties or in one of its custom XML parts shows that value, as Word refreshes
// it when the document opens, rather than the text saved in the control.

#include "wordproc/DocxPrivate.h"
#include "wordproc/Merge.h"

#include <QDateTime>
#include <QXmlStreamReader>

namespace wordproc::docx {

namespace {

// The stores Word names without a custom XML part of their own.
constexpr QLatin1StringView kCoreProperties("{6C3C8BC8-F283-45AE-878A-BAB7291924A1}");
constexpr QLatin1StringView kExtendedProperties("{6668398D-A668-4E3E-A5EB-62B293D839F1}");

struct Step {
    QString name; // the element's local name
    int index = 1;
};

// "/ns1:coreProperties[1]/ns0:title[1]": the elements from the root down, by local name and position
// among their like-named siblings. Anything beyond that (attributes, predicates, functions) is not
// followed: no steps.
std::vector<Step> pathSteps(const QString& xpath) {
    std::vector<Step> steps;
    if (!xpath.startsWith(QLatin1Char('/')))
        return {};
    for (const QString& part : xpath.mid(1).split(QLatin1Char('/'))) {
        Step s;
        QString name = part;
        if (const qsizetype open = name.indexOf(QLatin1Char('[')); open >= 0) {
            if (!name.endsWith(QLatin1Char(']')))
                return {};
            bool ok = false;
            s.index = name.mid(open + 1, name.size() - open - 2).toInt(&ok);
            if (!ok || s.index < 1)
                return {};
            name.truncate(open);
        }
        s.name = name.mid(name.indexOf(QLatin1Char(':')) + 1);
        if (s.name.isEmpty() || s.name.contains(QLatin1Char('@')) || s.name.contains(QLatin1Char('(')))
            return {};
        steps.push_back(std::move(s));
    }
    return steps;
}

} // namespace

// The text of the element `xpath` names in `xml`; none when the path leads nowhere or the XML is not
// well formed.
std::optional<QString> boundValue(const QByteArray& xml, const QString& xpath) {
    const std::vector<Step> steps = pathSteps(xpath);
    if (steps.empty())
        return std::nullopt;
    QXmlStreamReader r(xml);
    // Per open element: how many children of the next step's name it has had, while on the path.
    std::vector<int> seen{0};
    size_t matched = 0; // the steps the open elements match
    int depth = 0;
    QString text;
    while (!r.atEnd()) {
        const auto token = r.readNext();
        if (token == QXmlStreamReader::DTD)
            return std::nullopt;
        if (token == QXmlStreamReader::StartElement) {
            ++depth;
            if (matched == size_t(depth - 1) && matched < steps.size() && r.name() == steps[matched].name &&
                ++seen.back() == steps[matched].index) {
                ++matched;
                seen.push_back(0);
            }
            if (depth > kMaxDepth)
                return std::nullopt;
        } else if (token == QXmlStreamReader::EndElement) {
            if (matched == steps.size() && size_t(depth) == matched)
                return text;
            if (matched == size_t(depth)) {
                --matched;
                seen.pop_back();
            }
            --depth;
        } else if (token == QXmlStreamReader::Characters && matched == steps.size()) {
            text += r.text();
        }
    }
    return std::nullopt;
}

QString Reader::bindingStore(const QString& storeId) {
    if (!m_storesRead) {
        m_storesRead = true;
        const Relationships root = m_pkg.relationships(QString());
        for (auto it = root.constBegin(); it != root.constEnd(); ++it)
            if (!it->external && m_pkg.has(it->target)) {
                if (it->type == QLatin1String("core-properties"))
                    m_stores.insert(QString(kCoreProperties), it->target);
                else if (it->type == QLatin1String("extended-properties"))
                    m_stores.insert(QString(kExtendedProperties), it->target);
            }
        // Each custom XML part says its store's name in its properties part.
        for (auto it = m_mainRels.constBegin(); it != m_mainRels.constEnd(); ++it) {
            if (it->type != QLatin1String("customXml") || it->external || !m_pkg.has(it->target))
                continue;
            const Relationships own = m_pkg.relationships(it->target);
            for (auto p = own.constBegin(); p != own.constEnd(); ++p) {
                if (p->type != QLatin1String("customXmlProps") || p->external || !m_pkg.has(p->target))
                    continue;
                QXmlStreamReader r(m_pkg.read(p->target, kMaxXmlBytes));
                while (!r.atEnd() && r.readNext() != QXmlStreamReader::StartElement) {
                }
                for (const QXmlStreamAttribute& a : r.attributes())
                    if (a.name() == QLatin1String("itemID"))
                        m_stores.insert(a.value().toString().toUpper(), it->target);
            }
        }
    }
    return m_stores.value(storeId.toUpper());
}

std::optional<QString> Reader::boundText(const Node& sdtPr) {
    const Node* binding = sdtPr.child(u"w:dataBinding");
    if (!binding)
        return std::nullopt;
    // Only plain text, dates and lists take their text from the data; a rich text control does not.
    const Node* date = sdtPr.child(u"w:date");
    const bool list = sdtPr.child(u"w:comboBox") || sdtPr.child(u"w:dropDownList");
    if (!sdtPr.child(u"w:text") && !date && !list)
        return std::nullopt;
    const QString part = bindingStore(binding->attr(u"w:storeItemID"));
    if (part.isEmpty())
        return std::nullopt;
    auto& cached = m_storeXml[part];
    if (cached.isNull())
        cached = m_pkg.read(part, kMaxXmlBytes);
    std::optional<QString> value = boundValue(cached, binding->attr(u"w:xpath"));
    // An empty value leaves the control's placeholder showing.
    if (!value || value->trimmed().isEmpty())
        return std::nullopt;
    if (date) {
        const QDateTime when = QDateTime::fromString(value->trimmed(), Qt::ISODate);
        const Node* picture = date->child(u"w:dateFormat");
        if (!when.isValid() || !picture)
            return std::nullopt;
        return formatDatePicture(when, picture->attr(u"w:val"));
    }
    if (list) {
        const Node* items = sdtPr.child(u"w:comboBox");
        if (!items)
            items = sdtPr.child(u"w:dropDownList");
        for (const Node& item : items->children)
            if (item.name == QLatin1String("w:listItem") && item.attr(u"w:value") == *value)
                return item.has(u"w:displayText") ? item.attr(u"w:displayText") : *value;
    }
    return value;
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

} // namespace wordproc::docx
