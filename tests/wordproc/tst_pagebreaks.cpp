// Where long letters break their pages: lines of a set height fill a page to its foot, paragraphs keep
// their widows and orphans and stay with the next one when asked, and a later section's paper is its own.
#include "DocxSamples.h"
#include "Sheets.h"
#include "wordproc/DocxReader.h"
#include "wordproc/Merge.h"
#include "wordproc/Pages.h"
#include "wordproc/RtfReader.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QPaintEngine>
#include <QPainter>
#include <QTextBlock>
#include <QTextLayout>
#include <QTextTable>
#include <QtTest>

using namespace wordproc;

namespace {

// Letter paper with one-inch margins: 12,960 twips of text on each page, in Liberation Serif unless
// another face is given.
PageCopy layOut(const QByteArray& body, const QByteArray& face = "Liberation Serif") {
    const auto t = std::make_shared<const Template>(
        readRtf("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 " + face +
                    ";}}\\paperw12240\\paperh15840\\margl1440\\margr1440\\margt1440\\margb1440 " + body + "}",
                "pages.rtf"));
    PageCopy copy = Merger(t, nullptr).next();
    copy.body->documentLayout()->documentSize();
    return copy;
}

// `count` one-line paragraphs of exactly `twips` each.
QByteArray filler(int count, int twips = 240) {
    QByteArray out;
    for (int i = 0; i < count; ++i)
        out += "\\pard\\sl-" + QByteArray::number(twips) + "\\slmult0 Filler " + QByteArray::number(i) +
               "\\par ";
    return out;
}

// A green PNG of `width` by `height` pixels, in hex.
QByteArray greenPng(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png.toHex();
}

// A paragraph of a label and a picture as wide as the text, three inches tall, after it.
QByteArray labelledPicture(const QByteArray& controls) {
    return "\\pard" + controls + " Logo: {\\pict\\pngblip\\picwgoal9360\\pichgoal4320 " + greenPng(8, 4) +
           "}\\par ";
}

// A paint device that keeps the text drawn on it, whether or not a clip hides it, as a PDF keeps it.
class TextRecorder : public QPaintDevice {
public:
    QStringList texts;
    QPaintEngine* paintEngine() const override { return &m_engine; }

protected:
    int metric(PaintDeviceMetric m) const override {
        switch (m) {
        case PdmWidth:
            return 850;
        case PdmHeight:
            return 1100;
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return 100;
        case PdmDepth:
            return 32;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return int(devicePixelRatioFScale());
        default:
            return 1000;
        }
    }

private:
    class Engine : public QPaintEngine {
    public:
        explicit Engine(QStringList& texts) : QPaintEngine(QPaintEngine::AllFeatures), m_texts(texts) {}
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState&) override {}
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
        void drawTextItem(const QPointF&, const QTextItem& item) override { m_texts << item.text(); }
        Type type() const override { return QPaintEngine::User; }

    private:
        QStringList& m_texts;
    };
    mutable Engine m_engine{texts};
};

} // namespace

class TestPageBreaks : public QObject {
    Q_OBJECT

private slots:
    // Lines of an exact height that does not divide the page fill it to its foot and no further: the
    // last one that fits stays, the next starts the next page.
    void exactLinesFillThePage() {
        // 12,960 / 247: 52 lines fit on a page.
        const PageCopy copy = layOut(filler(60, 247));
        QCOMPARE(sheets::pageOfText(*copy.body, QStringLiteral("Filler 51")), 0);
        QCOMPARE(sheets::pageOfText(*copy.body, QStringLiteral("Filler 52")), 1);
        QCOMPARE(copy.pageCount(), 2);
    }

    // 54 lines of 12 points fill a page: after 53 of them a paragraph of five has room for one line.
    void orphanGoesOnWithItsParagraph() {
        const QByteArray five = "One\\line Two\\line Three\\line Four\\line Five\\par ";
        const PageCopy kept = layOut(filler(53) + "\\pard\\widctlpar\\sl-240\\slmult0 " + five);
        QCOMPARE(sheets::pageOfText(*kept.body, QStringLiteral("One")), 1);
        QCOMPARE(sheets::pageOfText(*kept.body, QStringLiteral("Filler 52")), 0);
        const PageCopy loose = layOut(filler(53) + "\\pard\\nowidctlpar\\sl-240\\slmult0 " + five);
        QCOMPARE(sheets::pageOfText(*loose.body, QStringLiteral("One")), 0);
        QCOMPARE(sheets::pageOfText(*loose.body, QStringLiteral("Two")), 1);
    }

    // After 51 lines a paragraph of four has room for three: its third line goes on with the fourth.
    void widowTakesTheLineBefore() {
        const QByteArray four = "One\\line Two\\line Three\\line Four\\par ";
        const PageCopy kept = layOut(filler(51) + "\\pard\\widctlpar\\sl-240\\slmult0 " + four);
        QCOMPARE(sheets::pageOfText(*kept.body, QStringLiteral("One")), 0);
        QCOMPARE(sheets::pageOfText(*kept.body, QStringLiteral("Two")), 0);
        QCOMPARE(sheets::pageOfText(*kept.body, QStringLiteral("Three")), 1);
        QCOMPARE(sheets::pageOfText(*kept.body, QStringLiteral("Four")), 1);
        // The page's text starts at its top: the line that went on is not set lower than the others.
        const QTextDocument& doc = *kept.body;
        QTextBlock three;
        for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
            if (b.text().contains(QLatin1String("Three")))
                three = b;
        QVERIFY(three.isValid());
        const double top =
            doc.documentLayout()->blockBoundingRect(three).top() + three.layout()->lineAt(0).y();
        QVERIFY2(top - doc.pageSize().height() < 1.0, qPrintable(QString::number(top)));
        QCOMPARE(three.blockFormat().textIndent(), 0.0);

        const PageCopy loose = layOut(filler(51) + "\\pard\\sl-240\\slmult0 " + four);
        QCOMPARE(sheets::pageOfText(*loose.body, QStringLiteral("Three")), 0);
        QCOMPARE(sheets::pageOfText(*loose.body, QStringLiteral("Four")), 1);
    }

    // Text before a picture too wide for what is left of its line stays on a line of its own height,
    // the picture going on to the next line.
    void pictureTooWideForItsLineStartsTheNext() {
        const PageCopy copy = layOut(labelledPicture({}));
        QTextBlock label;
        for (QTextBlock b = copy.body->begin(); b.isValid(); b = b.next())
            if (b.text().contains(QLatin1String("Logo")))
                label = b;
        QVERIFY(label.isValid());
        QCOMPARE(label.layout()->lineCount(), 2);
        QVERIFY2(label.layout()->lineAt(0).height() < twipsToLayout(480),
                 qPrintable(QString::number(label.layout()->lineAt(0).height())));
        QVERIFY(label.layout()->lineAt(1).height() >= twipsToLayout(4320) - 1);
    }

    // With widow control, the label's line left alone at a page's foot goes on with its picture.
    void lineBeforePictureGoesOnWithIt() {
        const PageCopy kept = layOut(filler(40) + labelledPicture("\\widctlpar"));
        QCOMPARE(sheets::pageOfText(*kept.body, QStringLiteral("Logo")), 1);
        QCOMPARE(sheets::pageOfText(*kept.body, QStringLiteral("Filler 39")), 0);
        QCOMPARE(kept.pageCount(), 2);
        const PageCopy loose = layOut(filler(40) + labelledPicture("\\nowidctlpar"));
        QCOMPARE(sheets::pageOfText(*loose.body, QStringLiteral("Logo")), 0);
        QCOMPARE(loose.pageCount(), 2);
    }

    // A picture ten inches tall, under text, on pages of nine: it opens the next page, cut at its foot,
    // and the text after it starts the page after that.
    void pictureTallerThanAPageIsCut() {
        // Arial's lines are set a little lower than Qt's height for it, which would leave room under
        // the picture.
        const PageCopy copy =
            layOut(filler(5) + "\\pard\\qc\\fs20{\\pict\\pngblip\\picwgoal4320\\pichgoal14400 " +
                       greenPng(30, 100) + "}\\par \\pard\\fs20 After\\par ",
                   "Arial");
        const QTextDocument& doc = *copy.body;
        QTextBlock picture;
        for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
            if (b.text() == QString(QChar::ObjectReplacementCharacter))
                picture = b;
        QVERIFY(picture.isValid());
        const double page = doc.pageSize().height();
        QVERIFY2(picture.layout()->lineAt(0).height() <= page, qPrintable(QString::number(page)));
        QCOMPARE(pageAt(lineRoomTop(picture, 0), page), 1);
        QCOMPARE(sheets::pageOfText(doc, QStringLiteral("Filler 4")), 0);
        QCOMPARE(sheets::pageOfText(doc, QStringLiteral("After")), 2);
        QCOMPARE(copy.pageCount(), 3);
        // Nothing is set under the picture: the next paragraph opens its page at the top.
        const QTextBlock after = picture.next();
        QCOMPARE(after.text(), QStringLiteral("After"));
        QVERIFY2(lineRoomTop(after, 0) - 2 * page < 1,
                 qPrintable(QString::number(lineRoomTop(after, 0) - 2 * page)));
        // The picture keeps its width and shows its top nine tenths, not the whole of it squeezed.
        const QTextImageFormat image = picture.begin().fragment().charFormat().toImageFormat();
        QCOMPARE(image.width(), 4320 / 15.0);
        const QImage shown = doc.resource(QTextDocument::ImageResource, QUrl(image.name())).value<QImage>();
        QCOMPARE(shown.width(), 30);
        QVERIFY2(qAbs(shown.height() - 90) <= 1, qPrintable(QString::number(shown.height())));
    }

    // Lines of 276 twips after 264 twips of space end right at the page's foot on the 46th: LibreOffice
    // fits that line there, though Qt's lines, of 64ths of a pixel, end a hair lower; a twip more space
    // and the line goes on to the next page.
    void lineEndingAtPageFootStays() {
        for (const int space : {264, 265}) {
            QByteArray lines = "\\pard\\sb" + QByteArray::number(space) + " L0\\par ";
            for (int i = 1; i < 50; ++i)
                lines += "\\pard L" + QByteArray::number(i) + "\\par ";
            const PageCopy copy = layOut(lines);
            QCOMPARE(sheets::pageOfText(*copy.body, QStringLiteral("L44")), 0);
            QCOMPARE(sheets::pageOfText(*copy.body, QStringLiteral("L45")), space == 264 ? 0 : 1);
            QCOMPARE(sheets::pageOfText(*copy.body, QStringLiteral("L46")), 1);
        }
    }

    // Qt keeps a page's height to a 64th of a pixel: on a page 2,592.2 pixels tall its pages fall a little
    // higher each time, a whole pixel after 80 of them. Two-line paragraphs that fill every page exactly
    // still start where the pages do, and none moves on to a page of its own, however far in.
    void pagesFallWhereQtSetsThem() {
        QByteArray pairs;
        for (int i = 0; i < 27 * 45; ++i)
            pairs += "\\pard\\widctlpar\\sl-240\\slmult0 Top" + QByteArray::number(i) + "\\line Foot" +
                     QByteArray::number(i) + "\\par ";
        const PageCopy copy = layOut("\\margb1439 " + pairs);
        const double height = copy.body->pageSize().height();
        QVERIFY2(height >= twipsToLayout(12961) - 1.0 / 64 && height < twipsToLayout(12962),
                 qPrintable(QString::number(height)));
        QCOMPARE(copy.pageCount(), 45);
        QCOMPARE(sheets::pageOfText(*copy.body, QStringLiteral("Top1214")), 44);
        QCOMPARE(sheets::pageOfText(*copy.body, QStringLiteral("Foot1106")), 40);
        QCOMPARE(sheets::pageOfText(*copy.body, QStringLiteral("Top1107")), 41);
    }

    // Three lines with one left over: taking the line before would leave an orphan, so all three go.
    void shortParagraphMovesWhole() {
        const PageCopy copy =
            layOut(filler(52) + "\\pard\\widctlpar\\sl-240\\slmult0 One\\line Two\\line Three\\par ");
        QCOMPARE(sheets::pageOfText(*copy.body, QStringLiteral("One")), 1);
        QCOMPARE(sheets::pageOfText(*copy.body, QStringLiteral("Three")), 1);
    }

    // A table's last row that fits at a page's foot by the spacing of its line stays on the page, though
    // Qt would fit its Carlito line by the face's taller height (16 points at 11); one that does not fit
    // goes on, and so does a paragraph after the table that the page has no room for.
    void rowFitsAtPageFootBySpacing() {
        const auto rows = [](int room, const QByteArray& after) {
            const QByteArray row = "\\trowd\\trgaph0\\cellx4000\\pard\\intbl\\fs22 ";
            return filler(50) + "\\pard\\sl-" + QByteArray::number(960 - room) + "\\slmult0 Last\\par " +
                   row + "Row one\\cell\\row " + row + "Row two\\cell\\row" + after;
        };
        const PageCopy fits = layOut(rows(560, {}), "Carlito");
        QTextTable* table = nullptr;
        for (QTextFrame* f : fits.body->rootFrame()->childFrames())
            table = table ? table : qobject_cast<QTextTable*>(f);
        QVERIFY(table);
        // Two rows of the spacing the line is set to fit; by Qt's own height of the line the second
        // would not.
        const QTextBlock first = table->cellAt(0, 0).firstCursorPosition().block();
        const double natural = first.layout()->lineAt(0).height();
        const double set = first.blockFormat().hasProperty(kFittedHeightProperty)
                               ? natural * first.blockFormat().doubleProperty(kFittedHeightProperty) / 100
                               : first.blockFormat().lineHeight(natural, kLayoutDpi / 96);
        QVERIFY(2 * set <= twipsToLayout(550));
        QVERIFY(set + natural > twipsToLayout(560));
        QCOMPARE(sheets::pageOfText(*fits.body, QStringLiteral("Last")), 0);
        QCOMPARE(sheets::pageOfText(*fits.body, QStringLiteral("Row two")), 0);
        // Its rows keep their heights: the table ends on the page, no more than a pixel above their sum.
        const double bottom = fits.body->documentLayout()->frameBoundingRect(table).bottom();
        QVERIFY(bottom <= fits.body->pageSize().height());
        QVERIFY(bottom > twipsToLayout(12400) + 2 * set - 2);
        const PageCopy over = layOut(rows(int(std::floor(2 * set * 1440 / kLayoutDpi)) - 10, {}), "Carlito");
        QCOMPARE(sheets::pageOfText(*over.body, QStringLiteral("Row one")), 0);
        QCOMPARE(sheets::pageOfText(*over.body, QStringLiteral("Row two")), 1);
        const PageCopy followed = layOut(rows(560, "\\pard\\sl-240\\slmult0 After\\par "), "Carlito");
        QCOMPARE(sheets::pageOfText(*followed.body, QStringLiteral("After")), 1);
    }

    // Double-spaced 12-point lines (552 twips apart, 276 single) after `above` twips of space: a last
    // line whose single height fits at the page's foot stays there, its spacing below reaching past the
    // foot, as LibreOffice sets it; one whose single height does not fit goes on. So in one paragraph.
    void spacedLineFitsAtPageFootByItsSingleHeight() {
        const auto lines = [](int above, bool paragraphs) {
            QByteArray body = "\\pard\\sb" + QByteArray::number(above) + "\\sl480\\slmult1 ";
            for (int i = 0; i < 30; ++i)
                body += "Line" + QByteArray::number(i) +
                        (paragraphs ? QByteArray("\\par \\pard\\sl480\\slmult1 ") : QByteArray("\\line "));
            return layOut(body + "\\par ");
        };
        for (const bool paragraphs : {true, false}) {
            // The 23rd line's top stands at 400 + 22 * 552 = 12,544 twips: 12,820 with its single height.
            const PageCopy fits = lines(400, paragraphs);
            QCOMPARE(sheets::pageOfText(*fits.body, QStringLiteral("Line22")), 0);
            QCOMPARE(sheets::pageOfText(*fits.body, QStringLiteral("Line23")), 1);
            const PageCopy over = lines(700, paragraphs);
            QCOMPARE(sheets::pageOfText(*over.body, QStringLiteral("Line21")), 0);
            QCOMPARE(sheets::pageOfText(*over.body, QStringLiteral("Line22")), 1);
        }
    }

    // A heading on a page's last line goes on to the page of the paragraph it is kept with; so does a
    // second heading kept with the first.
    void headingKeptWithItsParagraph() {
        const QByteArray text = "\\pard\\sl-240\\slmult0 Body one\\line Body two\\par ";
        const PageCopy kept = layOut(filler(53) + "\\pard\\keepn\\sl-240\\slmult0 Heading\\par " + text);
        QCOMPARE(sheets::pageOfText(*kept.body, QStringLiteral("Heading")), 1);
        QCOMPARE(sheets::pageOfText(*kept.body, QStringLiteral("Body one")), 1);
        QCOMPARE(sheets::pageOfText(*kept.body, QStringLiteral("Filler 52")), 0);
        const PageCopy two = layOut(filler(52) + "\\pard\\keepn\\sl-240\\slmult0 Part\\par " +
                                    "\\pard\\keepn\\sl-240\\slmult0 Heading\\par " + text);
        QCOMPARE(sheets::pageOfText(*two.body, QStringLiteral("Part")), 1);
        QCOMPARE(sheets::pageOfText(*two.body, QStringLiteral("Heading")), 1);
        const PageCopy loose = layOut(filler(53) + "\\pard\\sl-240\\slmult0 Heading\\par " + text);
        QCOMPARE(sheets::pageOfText(*loose.body, QStringLiteral("Heading")), 0);
        QCOMPARE(sheets::pageOfText(*loose.body, QStringLiteral("Body one")), 1);
    }

    // Paragraphs kept with one that a page break puts on the next page stay on their own page, the
    // break set on the paragraph or opening its text, as LibreOffice keeps a title page's last lines.
    void keptWithAParagraphAfterABreak() {
        QByteArray kept;
        for (int i = 0; i < 5; ++i)
            kept += "\\pard\\keepn\\sl-240\\slmult0 Kept " + QByteArray::number(i) + "\\par ";
        const PageCopy set = layOut(filler(20) + kept + "\\pard\\pagebb\\sl-240\\slmult0 Contents\\par ");
        QCOMPARE(sheets::pageOfText(*set.body, QStringLiteral("Kept 0")), 0);
        QCOMPARE(sheets::pageOfText(*set.body, QStringLiteral("Kept 4")), 0);
        QCOMPARE(sheets::pageOfText(*set.body, QStringLiteral("Contents")), 1);
        QCOMPARE(set.pageCount(), 2);
        using namespace docxsamples;
        QByteArray body;
        for (int i = 0; i < 20; ++i)
            body += paragraph(run("Line " + QByteArray::number(i)));
        for (int i = 0; i < 5; ++i)
            body += paragraph(run("Kept " + QByteArray::number(i)), "<w:keepNext/>");
        body += paragraph("<w:r><w:br w:type=\"page\"/></w:r>" + run("Contents"));
        PageCopy opened = Merger(std::make_shared<const Template>(
                                     readDocx(zipParts(package(document(body))), QStringLiteral("k.docx"))),
                                 nullptr)
                              .next();
        opened.body->documentLayout()->documentSize();
        QCOMPARE(sheets::pageOfText(*opened.body, QStringLiteral("Kept 0")), 0);
        QCOMPARE(sheets::pageOfText(*opened.body, QStringLiteral("Contents")), 1);
        QCOMPARE(opened.pageCount(), 2);
    }

    // A paragraph kept together still wraps its lines; at a page's foot it goes on to the next page
    // whole, where without it its first lines would stay.
    void paragraphKeptTogether() {
        QByteArray words;
        for (int i = 0; i < 60; ++i)
            words += "word" + QByteArray::number(i) + " ";
        const PageCopy one = layOut("\\pard\\keep\\nowidctlpar " + words + "\\par ");
        QVERIFY2(one.body->begin().layout()->lineCount() > 2,
                 qPrintable(QString::number(one.body->begin().layout()->lineCount())));
        const QByteArray three = "One\\line Two\\line Three\\par ";
        const PageCopy kept = layOut(filler(52) + "\\pard\\keep\\nowidctlpar\\sl-240\\slmult0 " + three);
        QCOMPARE(sheets::pageOfText(*kept.body, QStringLiteral("One")), 1);
        QCOMPARE(sheets::pageOfText(*kept.body, QStringLiteral("Three")), 1);
        QCOMPARE(sheets::pageOfText(*kept.body, QStringLiteral("Filler 51")), 0);
        const PageCopy loose = layOut(filler(52) + "\\pard\\nowidctlpar\\sl-240\\slmult0 " + three);
        QCOMPARE(sheets::pageOfText(*loose.body, QStringLiteral("One")), 0);
        QCOMPARE(sheets::pageOfText(*loose.body, QStringLiteral("Three")), 1);
        // One longer than a page breaks where it must.
        const PageCopy longer = layOut(filler(10) + "\\pard\\keep\\nowidctlpar " + words + words + words +
                                       words + words + words + words + words + words + words + "\\par ");
        QCOMPARE(sheets::pageOfText(*longer.body, QStringLiteral("word0 ")), 0);
    }

    // A page break at the end of a Word paragraph breaks before the next one, as LibreOffice reads it:
    // the next page opens with that paragraph and its space above, with no empty line before it, and
    // two breaks there make one. A break that ends the document adds no page.
    void breaksEndingAParagraphBreakBeforeTheNext() {
        using namespace docxsamples;
        const QByteArray pageBreak = "<w:r><w:br w:type=\"page\"/></w:r>";
        const auto lay = [](const QByteArray& body) {
            const auto t = std::make_shared<const Template>(
                readDocx(zipParts(package(document(body))), QStringLiteral("breaks.docx")));
            PageCopy copy = Merger(t, nullptr).next();
            copy.body->documentLayout()->documentSize();
            return copy;
        };
        const PageCopy copy =
            lay(paragraph(run("Tail") + pageBreak + pageBreak) +
                paragraph(run("Next"), "<w:spacing w:before=\"480\"/>") + paragraph(run("Last") + pageBreak));
        QCOMPARE(copy.pageCount(), 2);
        QCOMPARE(sheets::pageOfText(*copy.body, QStringLiteral("Tail")), 0);
        QCOMPARE(sheets::pageOfText(*copy.body, QStringLiteral("Next")), 1);
        const QTextDocument& doc = *copy.body;
        for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
            if (b.text() == QLatin1String("Next")) {
                // 24 points from the page's top: the space above, and no line before it.
                const double top = lineRoomTop(b, 0) - doc.pageSize().height();
                QVERIFY2(qAbs(top - twipsToLayout(480)) < 1, qPrintable(QString::number(top)));
            }
        // A break within the paragraph still starts its further text on the next page.
        const PageCopy within = lay(paragraph(run("Before") + pageBreak + run("After")));
        QCOMPARE(sheets::pageOfText(*within.body, QStringLiteral("After")), 1);
    }

    // A paragraph that starts a new page and opens with a picture its text flows beside: the picture and
    // the text both start that page, and no page is left empty before them.
    void pictureBesideTextAfterABreak() {
        using namespace docxsamples;
        const QByteArray drawing =
            "<w:r><w:drawing><wp:anchor behindDoc=\"0\"><wp:positionH relativeFrom=\"margin\"><wp:posOffset>0"
            "</wp:posOffset></wp:positionH><wp:positionV relativeFrom=\"paragraph\"><wp:posOffset>0"
            "</wp:posOffset></wp:positionV><wp:extent cx=\"1828800\" cy=\"914400\"/><wp:wrapSquare "
            "wrapText=\"bothSides\"/><a:graphic><a:graphicData "
            "uri=\"http://schemas.openxmlformats.org/drawingml/2006/picture\"><pic:pic><pic:blipFill><a:blip "
            "r:embed=\"rId1\"/></pic:blipFill></pic:pic></a:graphicData></a:graphic></wp:anchor></w:drawing>"
            "</w:r>";
        const auto t = std::make_shared<const Template>(
            readDocx(zipParts(package(document(paragraph(run("First")) +
                                               paragraph(drawing + run("Beside"), "<w:pageBreakBefore/>")),
                                      {{"image", "media/image1.png", png(40, 20)}})),
                     QStringLiteral("picture.docx")));
        QCOMPARE(t->floats.size(), size_t(1));
        PageCopy copy = Merger(t, nullptr).next();
        copy.body->documentLayout()->documentSize();
        QCOMPARE(copy.pageCount(), 2);
        QCOMPARE(sheets::pageOfText(*copy.body, QStringLiteral("Beside")), 1);
        QCOMPARE(copy.pictures.size(), size_t(1));
        QCOMPARE(copy.pictures[0].page, 1);
        // A break before the document's first paragraph makes no empty first page, also in a document
        // with a floating picture, which opens the body with an empty block of no height.
        const auto opening = std::make_shared<const Template>(
            readDocx(zipParts(package(document(paragraph(run("Heading"), "<w:pageBreakBefore/>") +
                                               paragraph(drawing + run("Beside"))),
                                      {{"image", "media/image1.png", png(40, 20)}})),
                     QStringLiteral("opening.docx")));
        PageCopy one = Merger(opening, nullptr).next();
        one.body->documentLayout()->documentSize();
        QCOMPARE(one.pageCount(), 1);
        // The text stands to the right of the two-inch picture, on the same page.
        for (QTextBlock b = copy.body->begin(); b.isValid(); b = b.next())
            if (b.text() == QLatin1String("Beside"))
                QVERIFY2(b.layout()->lineAt(0).x() >= twipsToLayout(2880),
                         qPrintable(QString::number(b.layout()->lineAt(0).x())));
    }

    // The space below a header's or footer's last paragraph is part of its height: a header that reaches
    // past the top margin with it pushes the body down by it, and a footer stands that much higher.
    void headerAndFooterKeepTheirLastSpace() {
        const PageCopy copy = layOut("\\headery720\\footery720{\\header \\pard\\sa480 Head\\par}"
                                     "{\\footer \\pard\\sa480 Foot\\par}\\pard Body\\par ");
        QVERIFY(copy.header && copy.footer);
        const double line = copy.header->documentLayout()->documentSize().height();
        QVERIFY(line > 50 && line < 60);
        QVERIFY2(qAbs(copy.bodyTop - (twipsToLayout(720 + 480) + line)) < 0.5,
                 qPrintable(QString::number(copy.bodyTop)));
        QVERIFY(qAbs(bandHeight(*copy.footer) -
                     (copy.footer->documentLayout()->documentSize().height() + twipsToLayout(480))) < 0.5);
        // Without the space the header fits above the margin, which keeps the body where it is.
        const PageCopy plain = layOut("\\headery720{\\header \\pard Head\\par}\\pard Body\\par ");
        QCOMPARE(plain.bodyTop, twipsToLayout(1440));
    }

    // Calibri's lines are as tall as its Windows ascent and descent, 1.22 of its size, as Word and
    // LibreOffice set them: not with its header's line gap on top, which would make them a fifth taller.
    // Liberation Serif keeps the gap its header gives beyond those.
    void singleLinesOfTheirFontsHeight() {
        const auto pitch = [](const QByteArray& font) {
            const auto t = std::make_shared<const Template>(
                readRtf("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss " + font +
                            ";}}\\paperw12240\\paperh15840 \\pard\\fs22 One\\line Two\\line Three\\par}",
                        "pitch.rtf"));
            PageCopy copy = Merger(t, nullptr).next();
            const QTextBlock b = copy.body->begin();
            return b.layout()->lineAt(2).y() - b.layout()->lineAt(1).y();
        };
        const double points = twipsToLayout(20);
        const double calibri = pitch("Calibri");
        QVERIFY2(qAbs(calibri - 11 * 2500.0 / 2048 * points) < 0.5,
                 qPrintable(QString::number(calibri / points)));
        const double serif = pitch("Liberation Serif");
        QVERIFY2(qAbs(serif - 11 * 2355.0 / 2048 * points) < 0.5,
                 qPrintable(QString::number(serif / points)));
    }

    // Word keeps widows and orphans off its pages unless a paragraph or its style says otherwise.
    // A paragraph that runs on to the next page has each of its lines drawn on one page only: not even
    // a hidden copy of the line above the page's top goes into the next page.
    void eachLineDrawnOnOnePageOnly() {
        QByteArray words;
        for (int i = 0; i < 400; ++i)
            words += "w" + QByteArray::number(i) + " ";
        for (const QByteArray& spacing : {QByteArray(), QByteArray("\\sl360\\slmult0 ")}) {
            const auto t = std::make_shared<const Template>(
                readRtf(sheets::letter("\\pard\\fs48 " + spacing + words), QStringLiteral("long.rtf")));
            const PageCopy copy = Merger(t, nullptr).next();
            QVERIFY(copy.pageCount() >= 3);
            TextRecorder recorder;
            QPainter painter(&recorder);
            for (int i = 0; i < copy.pageCount(); ++i)
                paintSheet(painter, copy, i, t->page);
            painter.end();
            QStringList drawn =
                recorder.texts.join(QLatin1Char(' ')).split(QLatin1Char(' '), Qt::SkipEmptyParts);
            QCOMPARE(drawn.size(), 400);
            drawn.removeDuplicates();
            QCOMPARE(drawn.size(), 400);
        }
    }

    // Spaces that open a line stay on it; a word after them that does not fit goes whole to the next
    // line rather than being broken where the line ends, after a paragraph's start or a line break.
    void wordAfterOpeningSpacesMovesWhole() {
        const QByteArray spaces(25, ' ');
        const auto t = std::make_shared<const Template>(
            readRtf("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\froman Liberation Serif;}}\\paperw5040\\paperh15840"
                    "\\margl1440\\margr1440\\margt1440\\margb1440 \\pard " +
                        spaces + "Unbreakable\\line " + spaces + "Unbendable\\par }",
                    QStringLiteral("spaces.rtf")));
        const PageCopy copy = Merger(t, nullptr).next();
        copy.body->documentLayout()->documentSize();
        const QTextBlock block = copy.body->begin();
        const QTextLayout* lines = block.layout();
        for (const QString& word : {QStringLiteral("Unbreakable"), QStringLiteral("Unbendable")}) {
            const int at = int(block.text().indexOf(word));
            QVERIFY(at > 0);
            const QTextLine first = lines->lineForTextPosition(at);
            QCOMPARE(lines->lineForTextPosition(at + int(word.size()) - 1).lineNumber(), first.lineNumber());
            QCOMPARE(first.textStart(), at);
        }
        QCOMPARE(lines->lineCount(), 4);
    }

    // A row of a least height whose long cell runs on to the next page: its short neighbour's text stays
    // at the row's top, on the page where the row starts, and the row ends where the long cell's text
    // does, not a page further on.
    void rowOfLeastHeightBreaksWhereItsTextDoes() {
        QByteArray lines;
        for (int i = 0; i < 30; ++i)
            lines += "Line" + QByteArray::number(i) + "\\line ";
        // 40 lines of the page's 54 before the row: its 30 end on the next page, less than a page lower.
        const PageCopy copy =
            layOut(filler(40) + "\\trowd\\trrh400\\cellx4000\\cellx8000 \\pard\\intbl\\sl-240\\slmult0 " +
                   lines + "\\cell \\pard\\intbl Short\\cell \\row \\pard After\\par ");
        const QTextDocument& doc = *copy.body;
        QCOMPARE(sheets::pageOfText(doc, QStringLiteral("Line0")), 0);
        QCOMPARE(sheets::pageOfText(doc, QStringLiteral("Line29")), 1);
        QCOMPARE(sheets::pageOfText(doc, QStringLiteral("Short")), 0);
        QCOMPARE(sheets::pageOfText(doc, QStringLiteral("After")), 1);
        QCOMPARE(copy.pageCount(), 2);
        // The paragraph after the table follows the last line, and the empty one its line break leaves,
        // straight on.
        const auto topOf = [&](const QString& text) {
            for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
                if (const int at = int(b.text().indexOf(text)); at >= 0)
                    return lineRoomTop(b, b.layout()->lineForTextPosition(at).lineNumber());
            return -1.0;
        };
        const double gap = topOf(QStringLiteral("After")) - topOf(QStringLiteral("Line29"));
        QVERIFY2(gap > 0 && gap < twipsToLayout(3 * 240), qPrintable(QString::number(gap)));
    }

    // A paragraph after a table whose space above no longer fits at the page's foot opens the next page,
    // without that space; no page is left empty between. The table holds that space below it.
    void paragraphAfterTableOpensTheNextPage() {
        const QByteArray after = "\\pard\\sb1200\\sl-240\\slmult0 After\\par ";
        // 50 lines and a row of two leave two lines' room: less than the space and the line.
        const PageCopy rtf =
            layOut(filler(50) +
                   "\\trowd\\cellx4000 \\pard\\intbl\\sl-240\\slmult0 One\\par Two\\cell \\row " + after);
        QCOMPARE(sheets::pageOfText(*rtf.body, QStringLiteral("Two")), 0);
        QCOMPARE(sheets::pageOfText(*rtf.body, QStringLiteral("After")), 1);
        QCOMPARE(rtf.pageCount(), 2);
        using namespace docxsamples;
        const QByteArray exact = "<w:spacing w:line=\"240\" w:lineRule=\"exact\"/>";
        QByteArray body;
        for (int i = 0; i < 50; ++i)
            body += paragraph(run("Line " + QByteArray::number(i)), exact);
        body += "<w:tbl><w:tblGrid><w:gridCol w:w=\"4000\"/></w:tblGrid><w:tr><w:tc>" +
                paragraph(run("One"), exact) + paragraph(run("Two"), exact) + "</w:tc></w:tr></w:tbl>" +
                paragraph(run("After"), "<w:spacing w:before=\"1200\" w:line=\"240\" w:lineRule=\"exact\"/>");
        const auto t = std::make_shared<const Template>(
            readDocx(zipParts(package(document(body))), QStringLiteral("table.docx")));
        PageCopy docx = Merger(t, nullptr).next();
        QCOMPARE(sheets::pageOfText(*docx.body, QStringLiteral("Two")), 0);
        QCOMPARE(sheets::pageOfText(*docx.body, QStringLiteral("After")), 1);
        QCOMPARE(docx.pageCount(), 2);
    }

    void wordDocumentsControlWidowsUnlessTold() {
        using namespace docxsamples;
        const Template t =
            readDocx(zipParts(package(document(paragraph(run("Kept")) +
                                               paragraph(run("Loose"), "<w:widowControl w:val=\"0\"/>") +
                                               paragraph(run("Again"), "<w:widowControl/>")))),
                     QStringLiteral("widows.docx"));
        QCOMPARE(t.body.blocks.size(), size_t(3));
        QVERIFY(std::get<Paragraph>(t.body.blocks[0]).format.widowControl);
        QVERIFY(!std::get<Paragraph>(t.body.blocks[1]).format.widowControl);
        QVERIFY(std::get<Paragraph>(t.body.blocks[2]).format.widowControl);
    }
};

QTEST_MAIN(TestPageBreaks)
#include "tst_pagebreaks.moc"
