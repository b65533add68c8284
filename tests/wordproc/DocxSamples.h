#pragma once

// Word 2007+ documents built for the tests: their XML parts zipped with libzip, as Word lays them out.

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <utility>
#include <vector>
#include <zip.h>

namespace docxsamples {

using Parts = std::vector<std::pair<QByteArray, QByteArray>>;

// The parts zipped, deflated unless `stored`.
inline QByteArray zipParts(const Parts& parts, bool stored = false) {
    QTemporaryDir dir;
    const QByteArray path = dir.filePath("p.zip").toUtf8();
    int error = 0;
    zip_t* z = zip_open(path.constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!z)
        return {};
    for (const auto& [name, data] : parts) {
        // libzip reads the buffers when the archive is closed; the parts outlive that.
        zip_source_t* s = zip_source_buffer(z, data.constData(), zip_uint64_t(data.size()), 0);
        const zip_int64_t i = zip_file_add(z, name.constData(), s, ZIP_FL_OVERWRITE);
        if (i >= 0)
            zip_set_file_compression(z, zip_uint64_t(i), stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0);
    }
    zip_close(z);
    QFile f(QString::fromUtf8(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline const QByteArray kW =
    "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\" "
    "xmlns:wp=\"http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing\" "
    "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
    "xmlns:pic=\"http://schemas.openxmlformats.org/drawingml/2006/picture\" "
    "xmlns:wps=\"http://schemas.microsoft.com/office/word/2010/wordprocessingShape\" "
    "xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\" "
    "xmlns:v=\"urn:schemas-microsoft-com:vml\"";

inline QByteArray relationships(const std::vector<std::pair<QByteArray, QByteArray>>& rels) {
    QByteArray out = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<Relationships "
                     "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
    int n = 0;
    for (const auto& [type, target] : rels)
        out += "<Relationship Id=\"rId" + QByteArray::number(++n) +
               "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/" + type +
               "\" Target=\"" + target + "\"/>";
    return out + "</Relationships>";
}

// A Letter page with one-inch margins, and what else the section says.
inline QByteArray section(const QByteArray& extra = {}) {
    return "<w:sectPr>" + extra +
           "<w:pgSz w:w=\"12240\" w:h=\"15840\"/><w:pgMar w:top=\"1440\" w:right=\"1440\" w:bottom=\"1440\" "
           "w:left=\"1440\" w:header=\"720\" w:footer=\"720\" w:gutter=\"0\"/></w:sectPr>";
}

inline QByteArray document(const QByteArray& body, const QByteArray& sectPr = section()) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<w:document " + kW + "><w:body>" +
           body + sectPr + "</w:body></w:document>";
}

// A package: the document and, in order, the parts its relationships rId1, rId2... name (type, target
// below word/, content).
struct Related {
    QByteArray type;
    QByteArray target;
    QByteArray content;
};

inline Parts package(const QByteArray& documentXml, const std::vector<Related>& related = {},
                     const QByteArray& mainName = "word/document.xml") {
    Parts parts;
    parts.emplace_back(
        "[Content_Types].xml",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Types "
        "xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"><Default "
        "Extension=\"xml\" ContentType=\"application/xml\"/><Override PartName=\"/" +
            mainName +
            "\" ContentType=\"application/"
            "vnd.openxmlformats-officedocument.wordprocessingml.template.main+xml\"/></Types>");
    parts.emplace_back("_rels/.rels", relationships({{"officeDocument", mainName}}));
    parts.emplace_back(mainName, documentXml);
    std::vector<std::pair<QByteArray, QByteArray>> rels;
    for (const Related& r : related) {
        rels.emplace_back(r.type, r.target);
        if (!r.content.isNull())
            parts.emplace_back("word/" + r.target, r.content);
    }
    parts.emplace_back("word/_rels/document.xml.rels", relationships(rels));
    return parts;
}

inline QByteArray paragraph(const QByteArray& content, const QByteArray& pPr = {}) {
    return "<w:p>" + (pPr.isEmpty() ? QByteArray() : "<w:pPr>" + pPr + "</w:pPr>") + content + "</w:p>";
}

inline QByteArray run(const QByteArray& text, const QByteArray& rPr = {}) {
    return "<w:r>" + (rPr.isEmpty() ? QByteArray() : "<w:rPr>" + rPr + "</w:rPr>") +
           "<w:t xml:space=\"preserve\">" + text + "</w:t></w:r>";
}

// MERGEFIELD as Word writes it: simple, or in begin/separate/end runs.
inline QByteArray simpleField(const QByteArray& code, const QByteArray& shown) {
    return "<w:fldSimple w:instr=\" " + code + " \">" + run(shown) + "</w:fldSimple>";
}

inline QByteArray complexField(const QByteArray& code, const QByteArray& shown) {
    return "<w:r><w:fldChar w:fldCharType=\"begin\"/></w:r><w:r><w:instrText xml:space=\"preserve\"> " +
           code + " </w:instrText></w:r><w:r><w:fldChar w:fldCharType=\"separate\"/></w:r>" + run(shown) +
           "<w:r><w:fldChar w:fldCharType=\"end\"/></w:r>";
}

inline QByteArray png(int w, int h, QImage::Format format = QImage::Format_RGB32) {
    QImage image(w, h, format);
    image.fill(Qt::darkBlue);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

} // namespace docxsamples
