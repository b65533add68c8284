// The zip container of a Word 2007+ document and its XML parts, read under limits that no real letter
// comes near, so that a package made to inflate without end or to nest without end fails instead.

#include "errors/Failure.h"
#include "wordproc/DocxPrivate.h"
#include "wordproc/DocxReader.h"
#include "wordproc/WordErrors.h"

#include <QUrl>
#include <QXmlStreamReader>
#include <zip.h>

namespace wordproc {

bool isZipContainer(const QByteArray& data) {
    return data.startsWith("PK\x03\x04") || data.startsWith("PK\x05\x06");
}

namespace docx {

const Node* Node::find(QStringView descendant) const {
    for (const Node& c : children) {
        if (c.name == descendant)
            return &c;
        if (const Node* n = c.find(descendant))
            return n;
    }
    return nullptr;
}

namespace {

// The namespaces the reader looks at, by the prefixes Word gives them; the strict variants alike.
QString prefixOf(QStringView uri) {
    static const QHash<QString, QString> prefixes = {
        {QStringLiteral("http://schemas.openxmlformats.org/wordprocessingml/2006/main"), QStringLiteral("w")},
        {QStringLiteral("http://purl.oclc.org/ooxml/wordprocessingml/main"), QStringLiteral("w")},
        {QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships"),
         QStringLiteral("r")},
        {QStringLiteral("http://purl.oclc.org/ooxml/officeDocument/relationships"), QStringLiteral("r")},
        {QStringLiteral("http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing"),
         QStringLiteral("wp")},
        {QStringLiteral("http://purl.oclc.org/ooxml/drawingml/wordprocessingDrawing"), QStringLiteral("wp")},
        {QStringLiteral("http://schemas.openxmlformats.org/drawingml/2006/main"), QStringLiteral("a")},
        {QStringLiteral("http://purl.oclc.org/ooxml/drawingml/main"), QStringLiteral("a")},
        {QStringLiteral("http://schemas.openxmlformats.org/drawingml/2006/picture"), QStringLiteral("pic")},
        {QStringLiteral("http://schemas.openxmlformats.org/drawingml/2006/chart"), QStringLiteral("c")},
        {QStringLiteral("http://purl.oclc.org/ooxml/drawingml/chart"), QStringLiteral("c")},
        {QStringLiteral("http://purl.oclc.org/ooxml/drawingml/picture"), QStringLiteral("pic")},
        {QStringLiteral("http://schemas.microsoft.com/office/word/2010/wordprocessingShape"),
         QStringLiteral("wps")},
        {QStringLiteral("http://schemas.microsoft.com/office/word/2010/wordprocessingGroup"),
         QStringLiteral("wpg")},
        {QStringLiteral("http://schemas.microsoft.com/office/word/2010/wordprocessingCanvas"),
         QStringLiteral("wpc")},
        {QStringLiteral("http://schemas.microsoft.com/office/word/2010/wordprocessingDrawing"),
         QStringLiteral("wp14")},
        {QStringLiteral("http://schemas.openxmlformats.org/markup-compatibility/2006"), QStringLiteral("mc")},
        {QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/math"), QStringLiteral("m")},
        {QStringLiteral("http://purl.oclc.org/ooxml/officeDocument/math"), QStringLiteral("m")},
        {QStringLiteral("urn:schemas-microsoft-com:vml"), QStringLiteral("v")},
        {QStringLiteral("urn:schemas-microsoft-com:office:office"), QStringLiteral("o")},
        {QStringLiteral("http://schemas.openxmlformats.org/package/2006/relationships"),
         QStringLiteral("pr")},
        {QStringLiteral("http://schemas.openxmlformats.org/package/2006/content-types"),
         QStringLiteral("ct")},
        {QStringLiteral("http://www.w3.org/XML/1998/namespace"), QStringLiteral("xml")},
    };
    if (uri.isEmpty())
        return {};
    return prefixes.value(uri.toString(), QStringLiteral("?"));
}

// The text of these elements is what the document says; elsewhere only layout white space stands.
bool keepsText(const QString& name) {
    return name == QLatin1String("w:t") || name == QLatin1String("w:instrText") ||
           name == QLatin1String("w:delText") || name == QLatin1String("w:delInstrText") ||
           name == QLatin1String("m:t") || name == QLatin1String("wp:posOffset") ||
           name == QLatin1String("wp:align") || name == QLatin1String("wp14:pctWidth") ||
           name == QLatin1String("wp14:pctHeight") || name == QLatin1String("pr:Relationship") ||
           name == QLatin1String("c:v") || name == QLatin1String("a:t");
}

// Whether the reader understands what an mc:Choice requires: Word's drawing shapes, their groups and
// drawing canvases, yes, and Word 2010's text (w14), whose choice holds plain text and runs where the
// fallback may hold a picture of them. Word 2010's drawing positions (wp14) place a shape by a share of the
// page, which the fallback gives as the offset Word worked out from it.
bool understood(const QString& needs) {
    const QStringList words = needs.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty())
        return false;
    for (const QString& w : words)
        if (w != QLatin1String("wps") && w != QLatin1String("wpg") && w != QLatin1String("wpc") &&
            w != QLatin1String("w14"))
            return false;
    return true;
}

class XmlReader {
public:
    XmlReader(QXmlStreamReader& r, const Package& pkg, QString part, qint64& elements,
              QHash<QString, QString>& names)
        : m_r(r), m_pkg(pkg), m_part(std::move(part)), m_elements(elements), m_names(names) {}

    Node document() {
        Node root;
        while (!m_r.atEnd()) {
            const auto token = m_r.readNext();
            if (token == QXmlStreamReader::DTD)
                refuseDtd();
            if (token == QXmlStreamReader::StartElement) {
                count();
                element(root, 1);
                return root;
            }
        }
        malformed();
    }

private:
    [[noreturn]] void malformed() const {
        m_pkg.fail(
            QStringLiteral("its part \"%1\" is not well-formed XML (%2)").arg(m_part, m_r.errorString()));
    }
    // Word never writes a document type declaration; one is there only to declare entities.
    [[noreturn]] void refuseDtd() const {
        m_pkg.fail(
            QStringLiteral("its part \"%1\" declares a document type, which Word never writes").arg(m_part));
    }

    void count() {
        if (++m_elements > kMaxElements)
            m_pkg.fail(QStringLiteral("it holds more than %1 XML elements").arg(kMaxElements));
    }

    const QString& shared(const QString& s) {
        auto it = m_names.constFind(s);
        if (it == m_names.constEnd())
            it = m_names.insert(s, s);
        return it.value();
    }

    QString qualified(QStringView uri, QStringView local) {
        const QString prefix = prefixOf(uri);
        return shared(prefix.isEmpty() ? local.toString() : prefix + QLatin1Char(':') + local.toString());
    }

    void element(Node& n, int depth) {
        n.name = qualified(m_r.namespaceUri(), m_r.name());
        const QXmlStreamAttributes attributes = m_r.attributes();
        n.attributes.reserve(size_t(attributes.size()));
        for (const QXmlStreamAttribute& a : attributes)
            n.attributes.emplace_back(qualified(a.namespaceUri(), a.name()), a.value().toString());
        contents(n, n, depth);
    }

    // Reads up to the end of the element the reader is in, into `into`.
    void contents(Node& self, Node& into, int depth) {
        while (!m_r.atEnd()) {
            switch (m_r.readNext()) {
            case QXmlStreamReader::StartElement: {
                count();
                if (depth + 1 > kMaxDepth)
                    m_pkg.fail(QStringLiteral("its part \"%1\" nests XML elements more than %2 deep")
                                   .arg(m_part)
                                   .arg(kMaxDepth));
                if (m_r.name() == QLatin1String("AlternateContent") &&
                    prefixOf(m_r.namespaceUri()) == QLatin1String("mc")) {
                    alternatives(into, depth + 1);
                    break;
                }
                into.children.emplace_back();
                element(into.children.back(), depth + 1);
                break;
            }
            case QXmlStreamReader::EndElement:
                return;
            case QXmlStreamReader::Characters:
                if (keepsText(self.name))
                    into.text += m_r.text();
                break;
            case QXmlStreamReader::DTD:
                refuseDtd();
            case QXmlStreamReader::EntityReference:
                malformed();
            case QXmlStreamReader::Invalid:
                malformed();
            default:
                break;
            }
        }
        if (m_r.hasError())
            malformed();
    }

    // Markup compatibility: the first choice whose requirements are understood, else the fallback;
    // never both.
    void alternatives(Node& into, int depth) {
        bool taken = false;
        while (!m_r.atEnd()) {
            switch (m_r.readNext()) {
            case QXmlStreamReader::StartElement: {
                count();
                const bool choice = m_r.name() == QLatin1String("Choice");
                const bool fallback = m_r.name() == QLatin1String("Fallback");
                if (!taken &&
                    ((choice && understood(m_r.attributes().value(QLatin1String("Requires")).toString())) ||
                     fallback)) {
                    taken = true;
                    contents(into, into, depth + 1);
                } else {
                    skip(depth + 1);
                }
                break;
            }
            case QXmlStreamReader::EndElement:
                return;
            case QXmlStreamReader::DTD:
                refuseDtd();
            case QXmlStreamReader::Invalid:
                malformed();
            default:
                break;
            }
        }
        if (m_r.hasError())
            malformed();
    }

    void skip(int depth) {
        int open = 1;
        while (open > 0 && !m_r.atEnd()) {
            switch (m_r.readNext()) {
            case QXmlStreamReader::StartElement:
                count();
                if (depth + open > kMaxDepth)
                    m_pkg.fail(QStringLiteral("its part \"%1\" nests XML elements more than %2 deep")
                                   .arg(m_part)
                                   .arg(kMaxDepth));
                ++open;
                break;
            case QXmlStreamReader::EndElement:
                --open;
                break;
            case QXmlStreamReader::DTD:
                refuseDtd();
            case QXmlStreamReader::Invalid:
                malformed();
            default:
                break;
            }
        }
        if (m_r.hasError())
            malformed();
    }

    QXmlStreamReader& m_r;
    const Package& m_pkg;
    QString m_part;
    qint64& m_elements;
    QHash<QString, QString>& m_names;
};

} // namespace

Package::Package(const QByteArray& data, QString fileName) : m_data(data), m_fileName(std::move(fileName)) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source =
        zip_source_buffer_create(m_data.constData(), zip_uint64_t(m_data.size()), 0, &error);
    if (source)
        m_zip = zip_open_from_source(source, ZIP_RDONLY, &error);
    zip_error_fini(&error);
    if (!m_zip) {
        if (source)
            zip_source_free(source);
        fail(QStringLiteral("its zip container is damaged"));
    }
    if (zip_get_num_entries(m_zip, 0) > kMaxEntries)
        fail(QStringLiteral("it holds more than %1 parts").arg(kMaxEntries));
}

Package::~Package() {
    if (m_zip)
        zip_discard(m_zip);
}

void Package::fail(const QString& why) const {
    throw Failure(errors::UnreadableDocument,
                  QStringLiteral("The template \"%1\" could not be read: %2.").arg(m_fileName, why));
}

bool Package::has(const QString& part) const {
    return !part.isEmpty() && zip_name_locate(m_zip, part.toUtf8().constData(), ZIP_FL_NOCASE) >= 0;
}

QByteArray Package::read(const QString& part, qint64 limit) {
    const zip_int64_t index = zip_name_locate(m_zip, part.toUtf8().constData(), ZIP_FL_NOCASE);
    if (index < 0)
        fail(QStringLiteral("its part \"%1\" is missing").arg(part));
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(m_zip, zip_uint64_t(index), 0, &stat) != 0)
        fail(QStringLiteral("its part \"%1\" is damaged").arg(part));
    const auto tooLarge = [&] {
        fail(QStringLiteral("its part \"%1\" inflates to more than %2 MB").arg(part).arg(limit >> 20));
    };
    const auto tooMuch = [&] {
        fail(QStringLiteral("its parts inflate to more than %1 MB together").arg(kMaxTotalBytes >> 20));
    };
    // The sizes the container declares are checked first, and what inflating gives is counted as well:
    // a container can declare anything.
    if (stat.valid & ZIP_STAT_SIZE) {
        if (stat.size > zip_uint64_t(limit))
            tooLarge();
        if (m_total + qint64(stat.size) > kMaxTotalBytes)
            tooMuch();
    }
    zip_file_t* file = zip_fopen_index(m_zip, zip_uint64_t(index), 0);
    if (!file)
        fail(QStringLiteral("its part \"%1\" is damaged or encrypted").arg(part));
    QByteArray out;
    if (stat.valid & ZIP_STAT_SIZE)
        out.reserve(qsizetype(stat.size));
    char buffer[65536];
    while (true) {
        const zip_int64_t n = zip_fread(file, buffer, sizeof buffer);
        if (n < 0) {
            zip_fclose(file);
            fail(QStringLiteral("its part \"%1\" is damaged").arg(part));
        }
        if (n == 0)
            break;
        if (out.size() + n > limit || m_total + out.size() + n > kMaxTotalBytes) {
            zip_fclose(file);
            if (out.size() + n > limit)
                tooLarge();
            tooMuch();
        }
        out.append(buffer, qsizetype(n));
    }
    zip_fclose(file);
    m_total += out.size();
    return out;
}

Node Package::xml(const QString& part, bool optional) {
    if (optional && !has(part))
        return {};
    const QByteArray bytes = read(part, kMaxXmlBytes);
    QXmlStreamReader r(bytes);
    XmlReader reader(r, *this, part, m_elements, m_names);
    return reader.document();
}

QString resolvePart(const QString& source, const QString& target) {
    QString t = QUrl::fromPercentEncoding(target.toUtf8());
    t.replace(QLatin1Char('\\'), QLatin1Char('/'));
    QStringList parts;
    if (!t.startsWith(QLatin1Char('/'))) {
        parts = source.split(QLatin1Char('/'));
        parts.removeLast(); // the source's own name
    }
    for (const QString& p : t.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (p == QLatin1String("."))
            continue;
        if (p == QLatin1String("..")) {
            if (parts.isEmpty())
                return {};
            parts.removeLast();
            continue;
        }
        parts << p;
    }
    return parts.join(QLatin1Char('/'));
}

Relationships Package::relationships(const QString& part) {
    const int slash = int(part.lastIndexOf(QLatin1Char('/')));
    const QString relsPart =
        part.left(slash + 1) + QStringLiteral("_rels/") + part.mid(slash + 1) + QStringLiteral(".rels");
    Relationships rels;
    const Node root = xml(relsPart, true);
    for (const Node& r : root.children) {
        if (!r.name.endsWith(QLatin1String("Relationship")))
            continue;
        Relationship rel;
        const QString type = r.attr(u"Type");
        rel.type = type.mid(type.lastIndexOf(QLatin1Char('/')) + 1);
        rel.external = r.attr(u"TargetMode").compare(QLatin1String("External"), Qt::CaseInsensitive) == 0;
        rel.target = rel.external ? r.attr(u"Target") : resolvePart(part, r.attr(u"Target"));
        if (!rel.external && rel.target.isEmpty() && !r.attr(u"Target").isEmpty())
            rel.target = QStringLiteral(".."); // outside the package: refused when followed
        rels.insert(r.attr(u"Id"), rel);
    }
    return rels;
}

QString Package::target(const Relationships& rels, const QString& id, const QString& source) const {
    const auto it = rels.constFind(id);
    if (it == rels.constEnd())
        fail(QStringLiteral("the relationship \"%1\" of its part \"%2\" is missing").arg(id, source));
    if (it->external || it->target == QLatin1String(".."))
        fail(QStringLiteral("the relationship \"%1\" of its part \"%2\" points outside the document")
                 .arg(id, source));
    if (it->target.compare(source, Qt::CaseInsensitive) == 0)
        fail(QStringLiteral("the relationship \"%1\" of its part \"%2\" points at that part itself")
                 .arg(id, source));
    if (!has(it->target))
        fail(QStringLiteral("its part \"%1\", named by \"%2\", is missing").arg(it->target, source));
    return it->target;
}

QString Package::mainPart() {
    const Relationships rels = relationships(QString());
    for (auto it = rels.constBegin(); it != rels.constEnd(); ++it)
        if (it->type == QLatin1String("officeDocument"))
            return target(rels, it.key(), QStringLiteral("_rels/.rels"));
    // Without the package's relationships, the content types name the main part.
    const Node types = xml(QStringLiteral("[Content_Types].xml"), true);
    for (const Node& o : types.children) {
        const QString type = o.attr(u"ContentType");
        if (o.name.endsWith(QLatin1String("Override")) && type.contains(QLatin1String("word")) &&
            type.endsWith(QLatin1String("main+xml"))) {
            const QString part = resolvePart(QStringLiteral("/"), o.attr(u"PartName"));
            if (has(part))
                return part;
            fail(QStringLiteral("its main part \"%1\" is missing").arg(part));
        }
    }
    fail(QStringLiteral("it is not a Word document"));
}

int intAttr(const Node& n, QStringView key, int fallback) {
    const QString v = n.attr(key);
    if (v.isEmpty())
        return fallback;
    bool ok = false;
    const qint64 i = v.toLongLong(&ok);
    if (ok)
        return int(qBound(qint64(INT_MIN / 2), i, qint64(INT_MAX / 2)));
    // Lengths with a unit, as strict documents may give them; and numbers with a fraction.
    static const std::array<std::pair<const char*, double>, 5> units{
        {{"pt", 20.0}, {"in", 1440.0}, {"cm", 1440 / 2.54}, {"mm", 144 / 2.54}, {"pc", 240.0}}};
    for (const auto& [unit, factor] : units)
        if (v.endsWith(QLatin1String(unit))) {
            const double d = v.chopped(2).toDouble(&ok);
            return ok && std::abs(d) < 1e6 ? int(d * factor) : fallback;
        }
    const double d = v.toDouble(&ok);
    return ok && std::abs(d) < 1e9 ? int(d) : fallback;
}

bool onOff(const Node* n) {
    if (!n)
        return false;
    const QString v = n->attr(u"w:val");
    return !(v == QLatin1String("0") || v == QLatin1String("false") || v == QLatin1String("off"));
}

QColor hexColor(const QString& value) {
    if (value.size() != 6)
        return {};
    bool ok = false;
    const uint rgb = value.toUInt(&ok, 16);
    return ok ? QColor(QRgb(rgb)) : QColor();
}

} // namespace docx

} // namespace wordproc
