// Pictures Word places from their paragraph: they stand from the paragraph's top above its space before,
// in a page header as in the body, as LibreOffice prints them.
#include "DocxSamples.h"
#include "Rendering.h"
#include "wordproc/DocxReader.h"
#include "wordproc/Pages.h"

#include <QtTest>

using namespace wordproc;
using namespace rendering;
using namespace docxsamples;

namespace {

// A picture an inch wide and half an inch tall, `down` EMU below its paragraph's top, with `wrap`: behind
// the text unless the text wraps round it.
QByteArray fromParagraph(int down, const QByteArray& wrap) {
    return "<w:r><w:drawing><wp:anchor distT=\"0\" distB=\"0\" distL=\"0\" distR=\"0\" simplePos=\"0\" "
           "relativeHeight=\"1\" behindDoc=\"" +
           QByteArray(wrap.contains("wrapNone") ? "1" : "0") +
           "\" locked=\"0\" layoutInCell=\"1\" allowOverlap=\"1\">"
           "<wp:simplePos x=\"0\" y=\"0\"/><wp:positionH relativeFrom=\"column\"><wp:posOffset>0"
           "</wp:posOffset></wp:positionH><wp:positionV relativeFrom=\"paragraph\"><wp:posOffset>" +
           QByteArray::number(down) +
           "</wp:posOffset></wp:positionV><wp:extent cx=\"914400\" cy=\"457200\"/>" + wrap +
           "<wp:docPr id=\"1\" name=\"Banner\"/><a:graphic><a:graphicData "
           "uri=\"http://schemas.openxmlformats.org/drawingml/2006/picture\"><pic:pic><pic:blipFill><a:blip "
           "r:embed=\"rId1\"/><a:stretch><a:fillRect/></a:stretch></pic:blipFill></pic:pic></a:graphicData>"
           "</a:graphic></wp:anchor></w:drawing></w:r>";
}

QByteArray spaced(const QByteArray& content, int before, int after = 0) {
    return paragraph(content, "<w:spacing w:before=\"" + QByteArray::number(before) + "\" w:after=\"" +
                                  QByteArray::number(after) + "\"/>");
}

PageCopy lay(const QByteArray& body, const QByteArray& header = {}) {
    std::vector<Related> related{{"image", "media/banner.png", png(8, 4)}};
    QByteArray sectPr = section();
    if (!header.isEmpty()) {
        related.insert(related.begin(),
                       {"header", "header1.xml", "<w:hdr " + kW + ">" + header + "</w:hdr>"});
        sectPr = section("<w:headerReference w:type=\"default\" r:id=\"rId1\"/>");
    }
    Parts parts = package(document(body, sectPr), related);
    if (!header.isEmpty())
        parts.emplace_back("word/_rels/header1.xml.rels", relationships({{"image", "media/banner.png"}}));
    const auto t = std::make_shared<const Template>(readDocx(zipParts(parts), QStringLiteral("p.docx")));
    PageCopy copy = Merger(t, nullptr).next();
    copy.body->documentLayout()->documentSize();
    return copy;
}

// The first line's top of the paragraph starting with `text`, on the sheet.
double lineTop(const PageCopy& copy, const QString& text) {
    for (QTextBlock b = copy.body->begin(); b.isValid(); b = b.next())
        if (b.text().startsWith(text))
            return copy.bodyTop + lineRoomTop(b, 0);
    return -1;
}

} // namespace

class TestParagraphPictures : public QObject {
    Q_OBJECT

private slots:
    // A header paragraph's space before lowers its text, not the picture placed from it: the picture
    // stands at the header's top, with the space or without it, and a little lower when so placed.
    void headerPictureAboveTheSpaceBefore() {
        for (const int before : {0, 1360})
            for (const int down : {0, 127000}) {
                const PageCopy copy =
                    lay(spaced(run("Body"), 0),
                        spaced(fromParagraph(down, "<wp:wrapNone/>") + run("Flood"), before));
                QCOMPARE(copy.pictures.size(), size_t(1));
                const double top = copy.pictures[0].rect.top();
                const double want = twipsToLayout(720 + down / 635);
                QVERIFY2(
                    qAbs(top - want) < 1,
                    qPrintable(QStringLiteral("%1 %2: %3 not %4").arg(before).arg(down).arg(top).arg(want)));
            }
    }

    // In the body the same, whether the text wraps round the picture or not; lying within the space
    // before, the picture leaves the paragraph's text and the one above it where they are.
    void bodyPictureAboveTheSpaceBefore() {
        const double first = lineTop(lay(spaced(run("First"), 0)), QStringLiteral("First"));
        for (const QByteArray& wrap : {QByteArray("<wp:wrapNone/>"), QByteArray("<wp:wrapTopAndBottom/>")}) {
            const PageCopy copy =
                lay(spaced(run("First"), 0) + spaced(fromParagraph(0, wrap) + run("Second"), 1360) +
                    spaced(run("Third"), 0));
            QCOMPARE(copy.pictures.size(), size_t(1));
            const double second = lineTop(copy, QStringLiteral("Second"));
            const QRectF picture = copy.pictures[0].rect;
            QVERIFY2(qAbs(picture.top() - (second - twipsToLayout(1360))) < 1,
                     qPrintable(QStringLiteral("%1: %2 for a line at %3")
                                    .arg(QString::fromLatin1(wrap))
                                    .arg(picture.top())
                                    .arg(second)));
            QVERIFY(picture.bottom() < second);
            QVERIFY2(qAbs(lineTop(copy, QStringLiteral("First")) - first) < 0.5, wrap.constData());
        }
        // The space after the paragraph before is not the picture's paragraph's: the picture stands below it.
        const PageCopy after = lay(spaced(run("First"), 0, 1360) +
                                   spaced(fromParagraph(0, "<wp:wrapNone/>") + run("Second"), 0));
        QCOMPARE(after.pictures.size(), size_t(1));
        const double second = lineTop(after, QStringLiteral("Second"));
        QVERIFY2(
            qAbs(after.pictures[0].rect.top() - second) < 1,
            qPrintable(QStringLiteral("%1 for a line at %2").arg(after.pictures[0].rect.top()).arg(second)));
    }
};

QTEST_MAIN(TestParagraphPictures)
#include "tst_paragraphpictures.moc"
