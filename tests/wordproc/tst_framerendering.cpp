#include "DocxSamples.h"
#include "Rendering.h"
#include "wordproc/DocxReader.h"

#include <QtTest>

using namespace wordproc;
using namespace rendering;

class TestFrameRendering : public QObject {
    Q_OBJECT

private slots:
    void picturesBesideText() {
        // A logo at the right of the header beside its address lines, one at the left of the body with
        // the greeting beside it: the text flows around both and runs under neither.
        const Shown s = show("logo.rtf");
        QCOMPARE(s.copy.pictures.size(), size_t(2));
        const PlacedPicture& head = s.copy.pictures.at(0);
        const PlacedPicture& body = s.copy.pictures.at(1);
        QVERIFY(head.page == -1 && body.page == 0);
        QVERIFY(qAbs(head.rect.right() - twipsToLayout(12240 - 1440)) < 2);
        QVERIFY(qAbs(head.rect.top() - twipsToLayout(720)) < 8);
        QVERIFY(s.copy.header->documentLayout()->documentSize().height() < twipsToLayout(720));
        QVERIFY(qAbs(body.rect.left() - twipsToLayout(1440)) < 2);
        int beside = 0;
        for (const SheetLine& line : bodyLines(s)) {
            const bool level = line.rect.top() < body.rect.bottom() && line.rect.bottom() > body.rect.top();
            QVERIFY2(level ? line.rect.left() >= body.rect.right() + twipsToLayout(180) - 1
                           : qAbs(line.rect.left() - twipsToLayout(1440)) < 1,
                     qPrintable(line.text));
            beside += level;
        }
        QVERIFY(beside >= 2);
    }

    void textBoxes() {
        // A text box that LibreOffice saved as a shape with text, over the letter's first lines: its
        // outline and white fill where the shape lies, its own paragraphs centred in it, its merge
        // field filled from the record.
        const auto t = std::make_shared<const Template>(
            readTemplateFile(QStringLiteral(QM_SOURCE_DIR "/tests/wordproc/letters/textbox.rtf")));
        QCOMPARE(t->textBoxes.size(), size_t(1));
        const Floating& fl = t->floats.at(0);
        QCOMPARE(QList<int>({fl.leftTwips, fl.topTwips, fl.widthTwips, fl.heightTwips, fl.lineTwips}),
                 QList<int>({5760, 0, 3600, 1440, 20}));
        QVERIFY(fl.fill == QColor(Qt::white) && fl.line == QColor(31, 52, 100));
        Merger merger(t, DataSource::parse("\"Cust_Name\"\t\"Contact_Name\"\r\n\"Ann Buyer\"\t\"Dana "
                                           "Seller\"\r\n",
                                           "data.txt"));
        Shown s{t, merger.next()};
        QCOMPARE(s.copy.pictures.size(), size_t(1));
        const PlacedPicture& box = s.copy.pictures.front();
        QVERIFY(box.text && !box.behindText);
        QCOMPARE(box.text->toPlainText().trimmed(), QStringLiteral("Spring Sale\nAsk for Dana Seller"));
        const QRectF where(twipsToLayout(1440 + 5760), twipsToLayout(1440), twipsToLayout(3600),
                           twipsToLayout(1440));
        QVERIFY((box.rect.topLeft() - where.topLeft()).manhattanLength() < 2 &&
                qAbs(box.rect.width() - where.width()) < 1 && qAbs(box.rect.height() - where.height()) < 1);

        const auto drawn = record(s, 0);
        int outline = 0;
        for (const Recorder::Line& l : drawn->lines)
            if (l.color == QColor(31, 52, 100)) {
                QCOMPARE(l.width, twipsToLayout(20));
                QVERIFY(where.adjusted(-1, -1, 1, 1).contains(l.line.center()));
                ++outline;
            }
        QCOMPARE(outline, 4);
        bool filled = false;
        for (const Recorder::Fill& f : drawn->fills)
            filled =
                filled || (f.color == QColor(Qt::white) && f.rect.toAlignedRect() == where.toAlignedRect());
        QVERIFY(filled);
        // Drawn after the letter's text, so that the box covers the line it lies over.
        const auto under = drawn->textsStarting(QStringLiteral("We would"));
        const auto title = drawn->textsStarting(QStringLiteral("Spring Sale"));
        QVERIFY(under.size() == 1 && title.size() == 1);
        const auto order = [&](const QString& start) {
            for (size_t i = 0; i < drawn->texts.size(); ++i)
                if (drawn->texts[i].text.startsWith(start))
                    return int(i);
            return -1;
        };
        QVERIFY(order(QStringLiteral("We would")) < order(QStringLiteral("Spring Sale")));
        QVERIFY(where.contains(title.front().baseline));
        const QRectF inside = where.adjusted(twipsToLayout(144), twipsToLayout(72), -twipsToLayout(144), 0);
        QVERIFY(title.front().baseline.y() > inside.top());
    }

    // A frame Word placed on the page holds its text where it says, within a point, and the letter's
    // text goes on below it, the frame's distance from the text away.
    void framesAtTheirPlace() {
        const Shown s =
            showRtf("\\pard\\pvpg\\phpg\\posx2160\\posy1440\\absw4320\\dxfrtext180\\fs28 Dealer name\\par "
                    "\\pard\\pvpg\\phpg\\posx2160\\posy1440\\absw4320\\dxfrtext180 Main Street\\par "
                    "\\pard\\pvpg\\phpg\\posx7920\\posy720\\absw2880\\absh-720 Form 7\\par "
                    "\\pard Customer\\par ");
        QCOMPARE(s.copy.pageCount(), 1);
        QCOMPARE(s.copy.pictures.size(), size_t(2));
        const PlacedPicture& dealer = s.copy.pictures.at(0);
        const PlacedPicture& form = s.copy.pictures.at(1);
        const double point = twipsToLayout(20);
        QVERIFY(dealer.text && form.text && dealer.page == 0);
        QVERIFY(!dealer.fill.isValid() && !dealer.line.isValid());
        QVERIFY2(
            (dealer.rect.topLeft() - QPointF(twipsToLayout(2160), twipsToLayout(1440))).manhattanLength() <
                point,
            qPrintable(QStringLiteral("%1,%2").arg(dealer.rect.x()).arg(dealer.rect.y())));
        QVERIFY(qAbs(dealer.rect.width() - twipsToLayout(4320)) < point);
        QVERIFY((form.rect.topLeft() - QPointF(twipsToLayout(7920), twipsToLayout(720))).manhattanLength() <
                point);
        QVERIFY(qAbs(form.rect.height() - twipsToLayout(720)) < point);
        // The text is drawn in the frames: its first line's left edge at the frame's, its baseline one
        // ascent below the frame's top.
        const auto drawn = record(s, 0);
        const auto name = drawn->textsStarting(QStringLiteral("Dealer name"));
        QCOMPARE(name.size(), size_t(1));
        QVERIFY(qAbs(name.front().baseline.x() - twipsToLayout(2160)) < point);
        QVERIFY(name.front().baseline.y() > twipsToLayout(1440) &&
                name.front().baseline.y() < twipsToLayout(1440 + 400));
        QVERIFY(drawn->textsStarting(QStringLiteral("Form 7")).front().baseline.y() <
                twipsToLayout(720 + 400));
        // Nothing is drawn round them; the letter's text starts below the two lines and the distance.
        for (const Recorder::Line& l : drawn->lines)
            QVERIFY(!dealer.rect.adjusted(-2, -2, 2, 2).contains(l.line.center()));
        const double customer = baselineOf(*drawn, QStringLiteral("Customer"));
        const double below =
            dealer.rect.top() + dealer.text->documentLayout()->documentSize().height() + twipsToLayout(180);
        QVERIFY2(customer > below && customer < below + twipsToLayout(300),
                 qPrintable(QStringLiteral("%1 %2").arg(customer).arg(below)));
    }

    // A form of frames that runs on to a second page starts on the first: the frames' empty opening
    // line does not push the text to a page of its own.
    void framedFormStartsOnTheFirstPage() {
        QByteArray body = "\\pard\\pvpg\\phpg\\posx7920\\posy720\\absw2880 Form 7\\par ";
        for (int i = 0; i < 70; ++i)
            body += "\\pard Field " + QByteArray::number(i) + ": ______\\par ";
        const Shown s = showRtf(body);
        QCOMPARE(s.copy.pageCount(), 2);
        const auto drawn = record(s, 0);
        QCOMPARE(drawn->textsStarting(QStringLiteral("Form 7")).size(), size_t(1));
        const double first = baselineOf(*drawn, QStringLiteral("Field 0:"));
        QVERIFY(first > twipsToLayout(1440) && first < twipsToLayout(1440 + 400));
        QVERIFY(baselineOf(*record(s, 1), QStringLiteral("Field 69:")) > 0);
    }

    // A page number Word keeps in a frame at the right of the footer: each page prints its own, at the
    // right margin, on the footer's line.
    void pageNumberFrameInTheFooter() {
        using namespace docxsamples;
        const QByteArray footer =
            "<w:ftr " + kW + ">" +
            paragraph("<w:r><w:fldChar w:fldCharType=\"begin\"/></w:r><w:r><w:instrText> PAGE "
                      "</w:instrText></w:r><w:r><w:fldChar w:fldCharType=\"separate\"/></w:r>" +
                          run("9") + "<w:r><w:fldChar w:fldCharType=\"end\"/></w:r>",
                      "<w:framePr w:wrap=\"around\" w:vAnchor=\"text\" w:hAnchor=\"margin\" "
                      "w:xAlign=\"right\" w:y=\"1\"/>") +
            paragraph(run("Form 7")) + "</w:ftr>";
        const QByteArray body = paragraph(run("First")) + paragraph(run("Second"), "<w:pageBreakBefore/>");
        Shown s;
        s.t = std::make_shared<const Template>(
            readDocx(zipParts(package(document(body, section("<w:footerReference w:type=\"default\" "
                                                             "r:id=\"rId1\"/>")),
                                      {{"footer", "footer1.xml", footer}})),
                     QStringLiteral("numbered.docx")));
        s.copy = Merger(s.t, nullptr).next();
        QCOMPARE(s.copy.pageCount(), 2);
        for (int page = 0; page < 2; ++page) {
            const auto drawn = record(s, page);
            const QString shown = QString::number(page + 1);
            const auto number = drawn->textsStarting(shown);
            const auto form = drawn->textsStarting(QStringLiteral("Form 7"));
            QCOMPARE(number.size(), size_t(1));
            QCOMPARE(form.size(), size_t(1));
            QVERIFY(drawn->textsStarting(QStringLiteral("9")).empty());
            const double right = twipsToLayout(12240 - 1440);
            QVERIFY2(number.front().baseline.x() > right - twipsToLayout(300) &&
                         number.front().baseline.x() < right,
                     qPrintable(QString::number(number.front().baseline.x())));
            QVERIFY(qAbs(number.front().baseline.y() - form.front().baseline.y()) < twipsToLayout(40));
            QVERIFY(qAbs(form.front().baseline.x() - twipsToLayout(1440)) < twipsToLayout(20));
        }
    }

    // A frame that names no anchor is placed from the margins, as LibreOffice places it: near the top
    // of the text even after ten lines, not at the page's top corner nor by its paragraph.
    void frameWithoutAnchorStandsFromTheMargins() {
        using namespace docxsamples;
        QByteArray body;
        for (int i = 1; i <= 10; ++i)
            body += paragraph(run("Line " + QByteArray::number(i)));
        body += paragraph(run("Boxed"), "<w:framePr w:w=\"4000\" w:h=\"1000\" w:hRule=\"exact\" "
                                        "w:wrap=\"around\" w:x=\"1800\" w:y=\"800\"/>") +
                paragraph(run("Below"));
        Shown s;
        s.t = std::make_shared<const Template>(
            readDocx(zipParts(package(document(body))), QStringLiteral("frame.docx")));
        s.copy = Merger(s.t, nullptr).next();
        QCOMPARE(s.copy.pictures.size(), size_t(1));
        const QRectF box = s.copy.pictures.front().rect;
        const auto drawn = record(s, 0);
        const double below = baselineOf(*drawn, QStringLiteral("Below"));
        QVERIFY(below > 0);
        QVERIFY2(qAbs(box.left() - twipsToLayout(1440 + 1800)) < 2, qPrintable(QString::number(box.left())));
        QVERIFY2(qAbs(box.top() - twipsToLayout(1440 + 800)) < 2, qPrintable(QString::number(box.top())));
        QVERIFY(below > box.bottom());
    }

    // A floating table as wide as the text, its one row taller than its line: the box is the row's
    // height, and the paragraphs after it start below the box, not over its lower part.
    void floatingTableOfATallRow() {
        using namespace docxsamples;
        const QByteArray table =
            "<w:tbl><w:tblPr><w:tblpPr w:leftFromText=\"180\" w:rightFromText=\"180\" w:vertAnchor=\"text\" "
            "w:horzAnchor=\"margin\" w:tblpY=\"100\"/><w:tblW w:w=\"9360\" w:type=\"dxa\"/></w:tblPr>"
            "<w:tblGrid><w:gridCol w:w=\"9360\"/></w:tblGrid><w:tr><w:trPr><w:trHeight w:val=\"1800\"/>"
            "</w:trPr><w:tc><w:tcPr><w:tcW w:w=\"9360\" w:type=\"dxa\"/></w:tcPr>" +
            paragraph(run("Remarks")) + "</w:tc></w:tr></w:tbl>";
        const QByteArray body = paragraph(run("Above")) + table + paragraph({}) + paragraph(run("Below"));
        Shown s;
        s.t = std::make_shared<const Template>(
            readDocx(zipParts(package(document(body))), QStringLiteral("tall.docx")));
        s.copy = Merger(s.t, nullptr).next();
        QCOMPARE(s.copy.pictures.size(), size_t(1));
        const PlacedPicture& box = s.copy.pictures.front();
        QVERIFY(box.text);
        QVERIFY2(box.rect.height() >= twipsToLayout(1800) - 1,
                 qPrintable(QString::number(box.rect.height())));
        const auto drawn = record(s, 0);
        const double below = baselineOf(*drawn, QStringLiteral("Below"));
        QVERIFY2(below > box.rect.bottom(),
                 qPrintable(QStringLiteral("%1 %2").arg(below).arg(box.rect.bottom())));
    }
};

QTEST_MAIN(TestFrameRendering)
#include "tst_framerendering.moc"
