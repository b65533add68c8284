// libFuzzer target for the Word 2007+ reader. Input that starts like a zip is read as the package
// itself; any other input is split at NUL bytes into the document, styles, numbering, header and
// relationship parts of a package built around them, so that the fuzzer works on the XML rather than on
// the container. Either way the package is read or refused with a clear failure, never a crash, an
// overflow or a hang, and what is read holds together: every run points at a format, field, picture or
// floating object that exists, and every length lies within what paper can hold.
#include "TemplateChecks.h"
#include "errors/Failure.h"
#include "wordproc/DocxReader.h"
#include "wordproc/WordErrors.h"

#include <QList>
#include <cstdint>
#include <zip.h>

using namespace wordproc;
using namespace fuzzchecks;

namespace {

// Every row of a table has as many cells as its grid.
void checkGridRow(const Table& table, const Row& row) {
    check(row.cells.size() == table.rows.front().cells.size());
}

// A stored zip of the parts, built in memory.
QByteArray zipParts(const QList<std::pair<QByteArray, QByteArray>>& parts) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* out = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_source_keep(out);
    zip_t* z = zip_open_from_source(out, ZIP_TRUNCATE, &error);
    for (const auto& [name, data] : parts) {
        zip_source_t* s = zip_source_buffer(z, data.constData(), zip_uint64_t(data.size()), 0);
        const zip_int64_t i = zip_file_add(z, name.constData(), s, ZIP_FL_OVERWRITE);
        zip_set_file_compression(z, zip_uint64_t(i), ZIP_CM_STORE, 0);
    }
    zip_close(z);
    QByteArray bytes;
    if (zip_source_open(out) == 0) {
        char buffer[65536];
        zip_int64_t n;
        while ((n = zip_source_read(out, buffer, sizeof buffer)) > 0)
            bytes.append(buffer, qsizetype(n));
        zip_source_close(out);
    }
    zip_source_free(out);
    zip_error_fini(&error);
    return bytes;
}

QByteArray package(const QByteArray& input) {
    const QList<QByteArray> pieces = input.split('\0');
    const auto piece = [&](int i) { return i < pieces.size() ? pieces[i] : QByteArray(); };
    const QByteArray rels =
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" Type=\"x/styles\" Target=\"styles.xml\"/>"
        "<Relationship Id=\"rId2\" Type=\"x/numbering\" Target=\"numbering.xml\"/>"
        "<Relationship Id=\"rId3\" Type=\"x/header\" Target=\"header1.xml\"/>"
        "<Relationship Id=\"rId4\" Type=\"x/image\" Target=\"media/image1.png\"/>" +
        piece(4) + "</Relationships>";
    return zipParts({{"_rels/.rels", "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                                     "relationships\"><Relationship Id=\"rId1\" Type=\"x/officeDocument\" "
                                     "Target=\"word/document.xml\"/></Relationships>"},
                     {"word/document.xml", piece(0)},
                     {"word/styles.xml", piece(1)},
                     {"word/numbering.xml", piece(2)},
                     {"word/header1.xml", piece(3)},
                     {"word/media/image1.png", piece(5)},
                     {"word/_rels/document.xml.rels", rels}});
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const QByteArray zipped = input.startsWith("PK") ? input : package(input);
    Template t;
    try {
        t = readDocx(zipped, QStringLiteral("fuzz.dotx"));
    } catch (const Failure& failure) {
        check(failure.number() == errors::UnreadableDocument && failure.description().contains("fuzz.dotx"));
        return 0;
    }
    checkTemplate(t, checkGridRow);
    for (const Floating& f : t.floats) {
        check((f.picture >= 0 && size_t(f.picture) < t.pictures.size()) ||
              (f.text >= 0 && size_t(f.text) < t.textBoxes.size()));
        check(inRange(f.leftTwips) && inRange(f.topTwips) && f.widthTwips >= 1 && f.heightTwips >= 1);
    }
    return 0;
}
