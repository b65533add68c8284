#include "Samples.h"
#include "errors/Failure.h"
#include "wordproc/Merge.h"
#include "wordproc/RtfReader.h"
#include "wordproc/WordErrors.h"

#include <QAbstractTextDocumentLayout>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextTable>
#include <QtTest>

using namespace wordproc;

namespace {

QByteArray doc(const QByteArray& body, const QByteArray& mailMerge = {}) {
    return samples::rtfHead(mailMerge) + body + "}";
}

const Paragraph& para(const Template& t, size_t i) {
    return std::get<Paragraph>(t.body.blocks.at(i));
}

QString paraText(const Template& t, const Paragraph& p) {
    QString s;
    for (const Run& r : p.runs) {
        if (r.kind == Run::Text)
            s += r.text;
        else if (r.kind == Run::Tab)
            s += QLatin1Char('\t');
        else if (r.kind == Run::LineBreak)
            s += QLatin1Char('\n');
        else if (r.kind == Run::Field)
            s += QLatin1Char('[') + t.fields.at(size_t(r.index)).name + QLatin1Char(']');
    }
    return s;
}

// The run holding `text` and its format.
const CharFormat& formatOf(const Template& t, const QString& text) {
    for (const Block& b : t.body.blocks)
        if (const Paragraph* p = std::get_if<Paragraph>(&b))
            for (const Run& r : p->runs)
                if (r.kind == Run::Text && r.text.contains(text))
                    return t.formats.at(size_t(r.format));
    static const CharFormat none;
    [] { QTest::qFail("text not found", __FILE__, __LINE__); }();
    return none;
}

// The template laid out as it stands (no data source).
std::shared_ptr<MergedDocument> shown(const Template& t) {
    Merger merger(std::make_shared<const Template>(t), nullptr);
    return merger.all(QStringLiteral("test"));
}

qint32 failureNumber(const std::function<void()>& f, QString* description = nullptr) {
    try {
        f();
    } catch (const Failure& failure) {
        if (description)
            *description = failure.description();
        return failure.number();
    }
    return 0;
}

} // namespace

class TestRtfReader : public QObject {
    Q_OBJECT

private slots:
    void characterFormats() {
        const Template t =
            readRtf(doc("\\pard\\plain Plain {\\b Bold} {\\i Italic} {\\ul Under\\ulnone Over} "
                        "{\\strike Struck} {\\fs36 Big} {\\f1 Sans} {\\cf2 Red} {\\super Up} "
                        "{\\sub Down} \\b on\\b0  off\\par "),
                    "t.rtf");
        QCOMPARE(t.body.blocks.size(), size_t(1));
        QCOMPARE(paraText(t, para(t, 0)),
                 QStringLiteral("Plain Bold Italic UnderOver Struck Big Sans Red Up Down on off"));
        QVERIFY(!formatOf(t, "Plain").bold);
        QVERIFY(formatOf(t, "Bold").bold);
        QVERIFY(!formatOf(t, "Bold").italic);
        QVERIFY(formatOf(t, "Italic").italic);
        QVERIFY(formatOf(t, "Under").underline);
        QVERIFY(!formatOf(t, "Over").underline);
        QVERIFY(formatOf(t, "Struck").strike);
        QCOMPARE(formatOf(t, "Big").halfPoints, 36);
        QCOMPARE(formatOf(t, "Plain").halfPoints, 24);
        QCOMPARE(formatOf(t, "Sans").family, QStringLiteral("Arial"));
        QCOMPARE(formatOf(t, "Plain").family, QStringLiteral("Times New Roman"));
        QCOMPARE(formatOf(t, "Red").color, QColor(192, 0, 0));
        QVERIFY(!formatOf(t, "Plain").color.isValid());
        QCOMPARE(formatOf(t, "Up").script, CharFormat::Script::Super);
        QCOMPARE(formatOf(t, "Down").script, CharFormat::Script::Sub);
        QVERIFY(formatOf(t, "on").bold);
        QVERIFY(!formatOf(t, "off").bold);

        // And into the laid-out document.
        const auto merged = shown(t);
        QTextDocument& d = *merged->copies.at(0).body;
        const auto charAt = [&](const QString& text) {
            QTextCursor c = d.find(text);
            return c.charFormat();
        };
        QCOMPARE(charAt("Bold").fontWeight(), int(QFont::Bold));
        QCOMPARE(charAt("Plain").fontWeight(), int(QFont::Normal));
        QVERIFY(charAt("Italic").fontItalic());
        QCOMPARE(charAt("Big").fontPointSize(), 18.0);
        QCOMPARE(charAt("Up").verticalAlignment(), QTextCharFormat::AlignSuperScript);
        QCOMPARE(charAt("Red").foreground().color(), QColor(192, 0, 0));
    }

    void charactersAndEncodings() {
        const Template t =
            readRtf(doc("\\pard Caf\\'e9 \\'93quoted\\'94 \\u8364\\'80 \\uc2\\u8482 TM\\uc1  "
                        "\\u-4064?x \\lquote a\\rquote  \\ldblquote b\\rdblquote  c\\emdash d\\endash "
                        "e\\bullet f\\~g \\\\ \\{ \\} h\\tab i\\line j\\par "),
                    "t.rtf");
        const QString text = paraText(t, para(t, 0));
        QCOMPARE(text, QString::fromUtf8("Café “quoted” € ™ \uF020x ‘a’ “b” c—d–e•f\u00A0g \\ { } h\ti\nj"));
    }

    void paragraphFormats() {
        const Template t =
            readRtf(doc("\\pard\\qc Centre\\par \\pard\\qr Right\\par \\pard\\qj Just\\par "
                        "\\pard\\li1440\\ri720\\fi-360\\sb120\\sa240\\sl-480\\slmult0 Indented\\par "
                        "\\pard\\sl360\\slmult1 Spaced\\par "
                        "\\pard\\tqr\\tx9360\\tqc\\tx4680\\tx720 \\tab\\tab\\tab Tabs\\par "
                        "Still tabs\\par \\pard After pard\\par "),
                    "t.rtf");
        QCOMPARE(t.body.blocks.size(), size_t(8));
        QCOMPARE(para(t, 0).format.align, ParaFormat::Center);
        QCOMPARE(para(t, 1).format.align, ParaFormat::Right);
        QCOMPARE(para(t, 2).format.align, ParaFormat::Justify);
        const ParaFormat& in = para(t, 3).format;
        QCOMPARE(in.align, ParaFormat::Left);
        QCOMPARE(in.leftTwips, 1440);
        QCOMPARE(in.rightTwips, 720);
        QCOMPARE(in.firstTwips, -360);
        QCOMPARE(in.beforeTwips, 120);
        QCOMPARE(in.afterTwips, 240);
        QCOMPARE(in.lineTwips, -480);
        QVERIFY(!in.lineMultiple);
        QVERIFY(para(t, 4).format.lineMultiple);
        const std::vector<TabStop> tabs{
            {9360, TabStop::Right}, {4680, TabStop::Center}, {720, TabStop::Left}};
        QVERIFY(para(t, 5).format.tabs == tabs);
        QVERIFY(para(t, 6).format.tabs == tabs); // paragraph properties hold until \pard
        QVERIFY(para(t, 7).format.tabs.empty());

        // Laid out: alignment, and the left indent one inch from the margin.
        const auto merged = shown(t);
        QTextDocument& d = *merged->copies.at(0).body;
        QCOMPARE(d.findBlockByNumber(0).blockFormat().alignment() & Qt::AlignHorizontal_Mask,
                 Qt::AlignHCenter);
        QCOMPARE(d.findBlockByNumber(1).blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
        QCOMPARE(d.findBlockByNumber(2).blockFormat().alignment() & Qt::AlignHorizontal_Mask,
                 Qt::AlignJustify);
        d.documentLayout()->documentSize();
        const QTextBlock indented = d.findBlockByNumber(3);
        const QTextLine first = indented.layout()->lineAt(0);
        // Left indent 1440 less a hanging 360 = 1080 twips = 0.75 inch.
        QCOMPARE(qRound(first.x()), qRound(0.75 * kLayoutDpi));
        // A right tab at 6.5 inches puts the text's end there.
        const QTextBlock tabbed = d.findBlockByNumber(5);
        const QTextLine line = tabbed.layout()->lineAt(0);
        QVERIFY2(qAbs(line.naturalTextRect().right() - 6.5 * kLayoutDpi) < 0.05 * kLayoutDpi,
                 qPrintable(QString::number(line.naturalTextRect().right())));
    }

    void pageSetupAndMainType() {
        Template t = readRtf(
            "{\\rtf1\\ansi\\paperw11906\\paperh16838\\margl1134\\margr1000\\margt850\\margb700 x}", "t.rtf");
        QCOMPARE(t.page.widthTwips, 11906);
        QCOMPARE(t.page.heightTwips, 16838);
        QCOMPARE(t.page.leftTwips, 1134);
        QCOMPARE(t.page.rightTwips, 1000);
        QCOMPARE(t.page.topTwips, 850);
        QCOMPARE(t.page.bottomTwips, 700);
        QCOMPARE(t.type, MainType::Letters);
        const auto merged = shown(t);
        const QSizeF area = merged->copies.at(0).body->pageSize();
        QCOMPARE(qRound(area.width()), qRound(twipsToLayout(11906 - 1134 - 1000)));
        QCOMPARE(qRound(area.height()), qRound(twipsToLayout(16838 - 850 - 700)));

        // Defaults: US Letter with the classic margins.
        t = readRtf("{\\rtf1 x}", "t.rtf");
        QCOMPARE(t.page.widthTwips, 12240);
        QCOMPARE(t.page.heightTwips, 15840);
        QCOMPARE(t.page.leftTwips, 1800);

        QCOMPARE(readRtf(doc("x", "\\mmmaintypecatalog"), "t").type, MainType::Catalog);
        QCOMPARE(readRtf(doc("x", "\\mmmaintypelabels"), "t").type, MainType::Labels);
        QCOMPARE(readRtf(doc("x", "\\mmmaintypeletters"), "t").type, MainType::Letters);
        QCOMPARE(readRtf(doc("x", "\\mmmaintypeenvelopes"), "t").type, MainType::Letters);
    }

    void tables() {
        const QByteArray row1 = "\\trowd\\trgaph108\\trleft-108\\trrh720\\clbrdrt\\brdrs\\brdrw10 \\cellx2000"
                                "\\clbrdrt\\brdrs\\brdrw10 \\cellx5000\\cellx9000 ";
        const Template t = readRtf(doc("\\pard Before\\par " + row1 +
                                       "\\pard\\intbl A1\\cell B1\\par second\\cell "
                                       "{\\b C1}\\cell \\row " +
                                       row1 + "\\pard\\intbl A2\\cell B2\\cell C2\\cell {" + row1 +
                                       "\\row }"
                                       "\\pard After\\par "),
                                   "t.rtf");
        QCOMPARE(t.body.blocks.size(), size_t(3));
        const Table* table = std::get_if<Table>(&t.body.blocks.at(1));
        QVERIFY(table);
        QCOMPARE(table->rows.size(), size_t(2));
        const Row& r = table->rows.at(0);
        QCOMPARE(r.cells.size(), size_t(3));
        QCOMPARE(r.cells.at(0).rightTwips, 2000);
        QCOMPARE(r.cells.at(2).rightTwips, 9000);
        QCOMPARE(r.leftTwips, -108);
        QCOMPARE(r.gapTwips, 108);
        QCOMPARE(r.heightTwips, 720);
        QVERIFY(r.borders);
        QCOMPARE(r.cells.at(1).paragraphs.size(), size_t(2));
        QCOMPARE(paraText(t, r.cells.at(1).paragraphs.at(1)), QStringLiteral("second"));
        QCOMPARE(paraText(t, para(t, 2)), QStringLiteral("After"));

        const auto merged = shown(t);
        QTextDocument& d = *merged->copies.at(0).body;
        QTextTable* qt = nullptr;
        for (QTextBlock b = d.begin(); b.isValid() && !qt; b = b.next())
            qt = QTextCursor(b).currentTable();
        QVERIFY(qt);
        QCOMPARE(qt->rows(), 2);
        QCOMPARE(qt->columns(), 3);
        const auto cellText = [&](int row, int col) {
            QTextCursor c = qt->cellAt(row, col).firstCursorPosition();
            c.setPosition(qt->cellAt(row, col).lastCursorPosition().position(), QTextCursor::KeepAnchor);
            return c.selectedText().replace(QChar::ParagraphSeparator, QLatin1Char('|'));
        };
        QCOMPARE(cellText(0, 0), QStringLiteral("A1"));
        QCOMPARE(cellText(0, 1), QStringLiteral("B1|second"));
        QCOMPARE(cellText(0, 2), QStringLiteral("C1"));
        QCOMPARE(cellText(1, 2), QStringLiteral("C2"));
        QCOMPARE(qt->cellAt(0, 2).firstCursorPosition().charFormat().fontWeight(), int(QFont::Bold));
        // With the row starting a cell gap left of the margin, the first cell's text sits on the margin.
        d.documentLayout()->documentSize();
        QTextBlock a1Block = qt->cellAt(0, 0).firstCursorPosition().block();
        const QRectF a1Rect = d.documentLayout()->blockBoundingRect(a1Block);
        QVERIFY2(qAbs(a1Rect.left() + a1Block.layout()->lineAt(0).x()) < kLayoutDpi / 50,
                 qPrintable(QString::number(a1Rect.left())));
        // A row of at least half an inch is at least that tall.
        d.documentLayout()->documentSize();
        const QRectF a1 =
            d.documentLayout()->blockBoundingRect(qt->cellAt(0, 0).firstCursorPosition().block());
        const QRectF a2 =
            d.documentLayout()->blockBoundingRect(qt->cellAt(1, 0).firstCursorPosition().block());
        QVERIFY2(a2.top() - a1.top() >= twipsToLayout(720) - 2,
                 qPrintable(QString::number(a2.top() - a1.top())));
    }

    void picturesAndSkippedDestinations() {
        const QByteArray png = samples::pngHex(30, 10);
        const Template t =
            readRtf(doc("{\\*\\shppict{\\pict\\pngblip\\picw30\\pich10\\picwgoal1440\\pichgoal480 " + png +
                        "}}\\par {\\nonshppict{\\pict\\wmetafile8 0102}}"
                        "{\\pict\\wmetafile8\\picwgoal100\\pichgoal100 0102}"
                        "{\\*\\unknowndest hidden one}{\\info{\\title hidden two}}"
                        "{\\footnote hidden three}\\unknownword42 Shown{\\*\\bkmkstart x}\\par "
                        "{\\header \\pard Head text\\par }{\\footer \\pard Foot text\\par }"),
                    "t.rtf");
        QCOMPARE(t.pictures.size(), size_t(1));
        QCOMPARE(t.pictures.at(0).image.size(), QSize(30, 10));
        QCOMPARE(t.pictures.at(0).widthTwips, 1440);
        QCOMPARE(t.pictures.at(0).heightTwips, 480);
        QCOMPARE(t.body.blocks.size(), size_t(2));
        QCOMPARE(para(t, 0).runs.size(), size_t(1));
        QCOMPARE(para(t, 0).runs.at(0).kind, Run::Picture);
        QCOMPARE(paraText(t, para(t, 1)), QStringLiteral("Shown"));
        QCOMPARE(t.header.blocks.size(), size_t(1));
        QCOMPARE(paraText(t, std::get<Paragraph>(t.header.blocks.at(0))), QStringLiteral("Head text"));
        QCOMPARE(paraText(t, std::get<Paragraph>(t.footer.blocks.at(0))), QStringLiteral("Foot text"));

        // The picture is laid out at its set size: one inch wide, a third of an inch high.
        const auto merged = shown(t);
        QTextDocument& d = *merged->copies.at(0).body;
        d.documentLayout()->documentSize();
        const QTextLine line = d.firstBlock().layout()->lineAt(0);
        QVERIFY2(qAbs(line.naturalTextWidth() - kLayoutDpi) < 2,
                 qPrintable(QString::number(line.naturalTextWidth())));
        QVERIFY2(line.height() >= kLayoutDpi / 3 - 2, qPrintable(QString::number(line.height())));
        QVERIFY(!merged->copies.at(0).header->toPlainText().isEmpty());
    }

    void fieldsAndPageBreaks() {
        const Template t = readRtf(
            doc("\\pard " + samples::mergeField("Cust_Name", "\\\\* Upper \\\\b \"Mr. \" \\\\f \"!\"") +
                " {\\field{\\*\\fldinst {\\b  MERGEFIELD} \"Cust Street\" \\\\* MERGEFORMAT }"
                "{\\fldrslt {\\i street}}}"
                "{\\field{\\*\\fldinst  PAGE }{\\fldrslt 7}}\\page Next page\\par "),
            "t.rtf");
        QCOMPARE(t.fields.size(), size_t(3));
        const Field& a = t.fields.at(0);
        QCOMPARE(a.kind, Field::Merge);
        QCOMPARE(a.name, QStringLiteral("Cust_Name"));
        QCOMPARE(a.caseSwitches, QStringList{QStringLiteral("Upper")});
        QCOMPARE(a.before, QStringLiteral("Mr. "));
        QCOMPARE(a.after, QStringLiteral("!"));
        const Field& b = t.fields.at(1);
        QCOMPARE(b.name, QStringLiteral("Cust Street"));
        QVERIFY(b.mergeFormat);
        QVERIFY(t.formats.at(size_t(b.codeFormat)).bold);
        QCOMPARE(t.fields.at(2).kind, Field::Other);
        QCOMPARE(t.body.blocks.size(), size_t(2));
        QVERIFY(!para(t, 0).format.pageBreakBefore);
        QVERIFY(para(t, 1).format.pageBreakBefore);
        QCOMPARE(shown(t)->pageCount(), 2);
        QCOMPARE(shown(t)->plainText(), QStringLiteral("«Cust_Name» street7\nNext page"));
    }

    void damagedInput() {
        // Every prefix of a real template either reads or fails cleanly; a cut-off one always fails.
        const QByteArray full = samples::letterTemplate();
        for (int n = 0; n < full.size(); n += 7) {
            QString why;
            const qint32 number = failureNumber([&] { readRtf(full.left(n), "cut.dot"); }, &why);
            QCOMPARE(number, errors::UnreadableDocument);
            QVERIFY2(why.contains("cut.dot"), qPrintable(why));
        }
        QCOMPARE(failureNumber([&] { readRtf(full, "whole.dot"); }), 0);

        QString why;
        QCOMPARE(failureNumber([&] { readRtf(full.left(full.size() / 2), "half.dot"); }, &why),
                 errors::UnreadableDocument);
        QVERIFY2(why.contains("truncated"), qPrintable(why));
        QCOMPARE(failureNumber([&] { readRtf("{\\rtf1 " + QByteArray(100000, '{'), "deep.dot"); }, &why),
                 errors::UnreadableDocument);
        QVERIFY2(why.contains("nested"), qPrintable(why));
        QCOMPARE(failureNumber([&] { readRtf("Dear customer", "plain.dot"); }, &why),
                 errors::UnreadableDocument);
        QVERIFY2(why.contains("not an RTF"), qPrintable(why));
        QCOMPARE(failureNumber([&] { readRtf("{\\rtf1 {\\pict\\pngblip\\bin999 xx}}", "bin.dot"); }),
                 errors::UnreadableDocument);
        // Damage anywhere in a real template: read or refused, never a crash or a hang.
        QRandomGenerator random(1234);
        for (int i = 0; i < 3000; ++i) {
            QByteArray bad = full;
            for (int k = 0; k < 4; ++k) {
                const int at = int(random.bounded(quint32(bad.size())));
                static const char pool[] = "{}\\'0a-9 ;*";
                bad[at] = random.bounded(2) ? pool[random.bounded(quint32(sizeof pool - 1))]
                                            : char(random.bounded(256));
            }
            const qint32 n = failureNumber([&] {
                const Template t = readRtf(bad, "bad.dot");
                shown(t);
            });
            QVERIFY(n == 0 || n == errors::UnreadableDocument);
        }
        // Nonsense that is still well formed reads without trouble.
        QCOMPARE(failureNumber([&] {
                     readRtf("{\\rtf1 \\cell\\row\\cell \\intbl\\row\\par\\'zz\\u99999999999 \\fs-5 \\f999 x"
                             "\\cf99 y\\trowd\\cellx-5\\cellx-9 z\\cell\\row}",
                             "odd.dot");
                 }),
                 0);
    }

    void templateFiles() {
        QTemporaryDir dir;
        QString why;
        const QString missing = dir.filePath("Gone.dot");
        QCOMPARE(failureNumber([&] { readTemplateFile(missing); }, &why), errors::FileNotFound);
        QVERIFY2(why.contains("Gone.dot"), qPrintable(why));

        const QString binary = dir.filePath("Word97.dot");
        QVERIFY(samples::writeFile(binary, QByteArray::fromHex("D0CF11E0A1B11AE1") + QByteArray(512, '\0')));
        if (!QStandardPaths::findExecutable("soffice").isEmpty() ||
            !QStandardPaths::findExecutable("libreoffice").isEmpty())
            QSKIP("LibreOffice is installed: binary templates are converted");
        QCOMPARE(failureNumber([&] { readTemplateFile(binary); }, &why), errors::UnreadableDocument);
        QVERIFY2(why.contains("Word97.dot") && why.contains("RTF") && why.contains("LibreOffice"),
                 qPrintable(why));

        const QString rtf = dir.filePath("Letter.dot");
        QVERIFY(samples::writeFile(rtf, samples::letterTemplate()));
        const Template t = readTemplateFile(rtf);
        QVERIFY(t.fileName.endsWith("Letter.dot"));
        QCOMPARE(t.pictures.size(), size_t(1));
    }
};

QTEST_MAIN(TestRtfReader)
#include "tst_rtfreader.moc"
