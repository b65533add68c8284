#include "Samples.h"
#include "wordproc/Merge.h"
#include "wordproc/RtfReader.h"
#include "wordproc/WordErrors.h"

#include <QAbstractTextDocumentLayout>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

using namespace wordproc;
using samples::failureNumber;

namespace {

Template read(const QByteArray& body, const QByteArray& mailMerge = {}) {
    return readRtf(samples::rtfHead(mailMerge) + body + "}", "t.rtf");
}

const Paragraph& para(const Template& t, size_t i) {
    return std::get<Paragraph>(t.body.blocks.at(i));
}

QString paraText(const Paragraph& p) {
    QString s;
    for (const Run& r : p.runs)
        s += r.kind == Run::Tab         ? QStringLiteral("\t")
             : r.kind == Run::LineBreak ? QStringLiteral("\n")
                                        : r.text;
    return s;
}

// The template laid out as it stands (no data source).
std::shared_ptr<MergedDocument> shown(const Template& t) {
    return Merger(std::make_shared<const Template>(t), nullptr).all(QStringLiteral("test"));
}

} // namespace

class TestRtfReader : public QObject {
    Q_OBJECT

private slots:
    void textAndCharacterFormats() {
        const Template t = read("\\pard\\plain Plain {\\b Bold} {\\i Italic} {\\ul Under\\ulnone Over} "
                                "{\\fs36 Big} {\\f1 Sans} {\\cf2 Red} {\\super Up} \\b on\\b0  off\\par "
                                "\\pard Caf\\'e9 \\'93q\\'94 \\u8364\\'80 \\uc2\\u8482 TM\\uc1  \\u-4064?x "
                                "\\lquote a\\rquote  c\\emdash d\\endash e\\bullet f\\~g \\\\ \\{ \\} h\\tab "
                                "i\\line j\\par ");
        QCOMPARE(paraText(para(t, 0)), QStringLiteral("Plain Bold Italic UnderOver Big Sans Red Up on off"));
        QCOMPARE(paraText(para(t, 1)),
                 QString::fromUtf8("Café “q” € ™ \uF020x ‘a’ c—d–e•f\u00A0g \\ { } h\ti\nj"));
        std::map<QString, CharFormat> f;
        for (const Run& r : para(t, 0).runs)
            f[r.text.trimmed()] = t.formats.at(size_t(r.format));
        QVERIFY(!f["Plain"].bold && f["Bold"].bold && !f["Bold"].italic && f["Italic"].italic);
        QVERIFY(f["Under"].underline && !f["Over"].underline && f["on"].bold && !f["off"].bold);
        QCOMPARE(QList<int>({f["Big"].halfPoints, f["Plain"].halfPoints}), QList<int>({36, 24}));
        QCOMPARE(f["Sans"].family + '|' + f["Plain"].family, QStringLiteral("Arial|Times New Roman"));
        QVERIFY(f["Red"].color == QColor(192, 0, 0) && f["Up"].script == CharFormat::Script::Super);
        // Kerning: not said, turned off, from a size on; \plain forgets it.
        const Template k =
            read("\\pard Said {\\kerning0 Off} {\\kerning28 From} {\\kerning0\\plain Plain}\\par ");
        std::map<QString, int> kerning;
        for (const Run& r : para(k, 0).runs)
            kerning[r.text.trimmed()] = k.formats.at(size_t(r.format)).kerningFrom;
        QCOMPARE(QList<int>({kerning["Said"], kerning["Off"], kerning["From"], kerning["Plain"]}),
                 QList<int>({-1, 0, 28, -1}));

        // And into the laid-out document.
        const auto merged = shown(t);
        QTextDocument& d = *merged->copies.at(0).body;
        QCOMPARE(d.find("Big").charFormat().fontPointSize(), 18.0);
        QCOMPARE(d.find("Red").charFormat().foreground().color(), QColor(192, 0, 0));
    }

    void paragraphsAndPage() {
        const Template t = read("\\pard\\qc Centre\\par \\pard\\qr Right\\par \\pard\\qj Just\\par "
                                "\\pard\\li1440\\ri720\\fi-360\\sb120\\sa240 Indented\\par "
                                "\\pard\\tqr\\tx9360\\tqc\\tx4680\\tx720 \\tab\\tab\\tab Tabs\\par "
                                "Still tabs\\par \\pard After pard\\par ");
        QCOMPARE(t.body.blocks.size(), size_t(7));
        const ParaFormat& in = para(t, 3).format;
        QCOMPARE(QList<int>({in.leftTwips, in.rightTwips, in.firstTwips, in.beforeTwips, in.afterTwips}),
                 QList<int>({1440, 720, -360, 120, 240}));
        const std::vector<TabStop> tabs{
            {9360, TabStop::Right}, {4680, TabStop::Center}, {720, TabStop::Left}};
        QVERIFY(para(t, 4).format.tabs == tabs);
        QVERIFY(para(t, 5).format.tabs == tabs); // paragraph properties hold until \pard
        QVERIFY(para(t, 6).format.tabs.empty());
        // Paragraph shading: a background, or a share of the pattern colour over it; \pard ends it.
        const Template shaded = read("\\pard\\cbpat2 Red\\par \\pard\\shading2500\\cfpat2 Pink\\par "
                                     "\\pard\\cbpat2\\cfpat1\\shading5000 Dark\\par \\pard None\\par ");
        QCOMPARE(QList<QColor>({para(shaded, 0).format.shading, para(shaded, 1).format.shading,
                                para(shaded, 2).format.shading, para(shaded, 3).format.shading}),
                 QList<QColor>({QColor(192, 0, 0), QColor(239, 191, 191), QColor(96, 0, 0), QColor()}));

        const auto merged = shown(t);
        QTextDocument& d = *merged->copies.at(0).body;
        const Qt::Alignment aligns[]{Qt::AlignHCenter, Qt::AlignRight, Qt::AlignJustify, Qt::AlignLeft};
        for (int i = 0; i < 4; ++i)
            QCOMPARE(d.findBlockByNumber(i).blockFormat().alignment() & Qt::AlignHorizontal_Mask, aligns[i]);

        Template a4 =
            readRtf("{\\rtf1\\paperw11906\\paperh16838\\margl1134\\margr1000\\margt850\\margb700 x}", "t");
        QCOMPARE(QList<int>({a4.page.widthTwips, a4.page.heightTwips, a4.page.leftTwips, a4.page.rightTwips,
                             a4.page.topTwips, a4.page.bottomTwips}),
                 QList<int>({11906, 16838, 1134, 1000, 850, 700}));
        QCOMPARE(shown(a4)->copies.at(0).body->pageSize().toSize(),
                 QSizeF(twipsToLayout(11906 - 1134 - 1000), twipsToLayout(16838 - 850 - 700)).toSize());
        // US Letter; without margins in the file, an inch on every side as LibreOffice prints it.
        const Template plain = readRtf("{\\rtf1 x}", "t");
        QCOMPARE(QList<int>({plain.page.widthTwips, plain.page.heightTwips, plain.page.leftTwips,
                             plain.page.rightTwips, plain.page.topTwips}),
                 QList<int>({12240, 15840, 1440, 1440, 1440}));
        QCOMPARE(plain.type, MainType::Letters);
        QCOMPARE(read("x", "\\mmmaintypecatalog").type, MainType::Catalog);
        QCOMPARE(read("x", "\\mmmaintypelabels").type, MainType::Labels);
        QCOMPARE(read("x", "\\mmmaintypeenvelopes").type, MainType::Letters);
    }

    // A thick and a thin line, or three, print as a double rule about as wide across: each line a share
    // of the width given before or after the kind.
    void pairedAndTripleRules() {
        const Template t =
            read("\\pard\\brdrb\\brdrthtnsg\\brdrw30 Small\\par"
                 "\\pard\\brdrb\\brdrw30\\brdrtnthlg Large\\par"
                 "\\pard\\brdrb\\brdrthtnmg\\brdrw30 Medium\\par"
                 "\\pard\\brdrb\\brdrtriple\\brdrw15 Triple\\par"
                 "\\pard\\brdrb\\brdrthtnsg\\brdrw30\\brdrt\\brdrs\\brdrw30 Single above\\par");
        const QList<int> widths{edge(para(t, 0).format.borders, Side::Bottom).widthTwips,
                                edge(para(t, 1).format.borders, Side::Bottom).widthTwips,
                                edge(para(t, 2).format.borders, Side::Bottom).widthTwips,
                                edge(para(t, 3).format.borders, Side::Bottom).widthTwips};
        QCOMPARE(widths, (QList<int>{18, 30, 23, 25}));
        for (size_t i = 0; i < 4; ++i)
            QCOMPARE(edge(para(t, i).format.borders, Side::Bottom).style, Border::Double);
        // The next edge's rule is its own.
        const Border& above = edge(para(t, 4).format.borders, Side::Top);
        QCOMPARE(above.style, Border::Single);
        QCOMPARE(above.widthTwips, 30);
    }

    void tables() {
        // Word's words for a cell: its rules, a shading percentage over a background, a left padding.
        const QByteArray row =
            "\\trowd\\trgaph108\\trleft-108\\trrh720\\trbrdrt\\brdrs\\brdrw30 "
            "\\clbrdrt\\brdrs\\brdrw10 \\clbrdrb\\brdrdb\\brdrw15\\brdrcf2 \\clcbpat2\\clshdng5000"
            "\\cellx2000\\cellx5000\\clpadft3\\clpadt60\\clbrdrl\\brdrnone\\cellx9000 ";
        const Template t =
            read("\\pard Before\\par " + row +
                 "\\pard\\intbl A1\\cell B1\\par second\\cell {\\b C1}"
                 "\\cell \\row " +
                 row + "\\pard\\intbl A2\\cell B2\\cell C2\\cell {" + row + "\\row }\\pard After\\par ");
        QCOMPARE(t.body.blocks.size(), size_t(3));
        QCOMPARE(std::get<Table>(t.body.blocks.at(1)).rows.size(), size_t(2));
        const Row& r = std::get<Table>(t.body.blocks.at(1)).rows.at(0);
        QCOMPARE(r.cells.size(), size_t(3));
        // As LibreOffice places them, the edges stand the row's left padding (here the cell gap) left of
        // where the file gives them, so that the first cell's text starts at \trleft.
        QCOMPARE(QList<int>({r.cells.at(0).rightTwips, r.cells.at(2).rightTwips, r.leftTwips, r.gapTwips,
                             r.heightTwips}),
                 QList<int>({2000 - 108, 9000 - 108, -108 - 108, 108, 720}));
        const Cell& first = r.cells.at(0);
        QVERIFY(edge(first.borders, Side::Top) == (Border{Border::Single, 10, 0, QColor()}));
        QVERIFY(edge(first.borders, Side::Bottom) == (Border{Border::Double, 15, 0, QColor(192, 0, 0)}));
        QVERIFY(!edge(first.borders, Side::Left).visible() &&
                !edge(r.cells.at(1).borders, Side::Top).visible());
        QCOMPARE(first.shading, QColor(96, 0, 0)); // half black over red
        QVERIFY(!r.cells.at(1).shading.isValid() && !edge(r.cells.at(2).borders, Side::Left).visible());
        QCOMPARE(QList<int>({first.leftPadTwips, r.cells.at(2).leftPadTwips, r.cells.at(2).rightPadTwips}),
                 QList<int>({-1, 60, -1}));
        QCOMPARE(paraText(para(t, 2)), QStringLiteral("After"));

        const auto merged = shown(t);
        QTextDocument& d = *merged->copies.at(0).body;
        QCOMPARE(samples::cellTexts(d), QStringList({"A1", "B1|second", "C1", "A2", "B2", "C2"}));
        QCOMPARE(d.find("C1").charFormat().fontWeight(), int(QFont::Bold));
        // The first cell's text starts at \trleft, a cell gap left of the margin.
        d.documentLayout()->documentSize();
        const QTextBlock a1 = d.find("A1").block();
        QVERIFY(qAbs(d.documentLayout()->blockBoundingRect(a1).left() + a1.layout()->lineAt(0).x() +
                     twipsToLayout(108)) < kLayoutDpi / 50);
    }

    void wordTables() {
        // A table inside a cell (\itap2, \nestcell, its row in \nesttableprops, and its text again in
        // \nonesttables for older readers): a table of its own in the outer cell, between the cell's
        // paragraphs, every word once and in order.
        const Template nested =
            read("\\trowd\\trgaph108\\cellx4000\\cellx8000\\pard\\intbl\\itap1 Outer\\par "
                 "\\pard\\intbl\\itap2 Inner one\\nestcell Inner two\\nestcell {\\*\\nesttableprops\\trowd"
                 "\\trgaph108\\cellx1000\\cellx2000\\nestrow}{\\nonesttables Inner one Inner two\\par }"
                 "\\pard\\intbl\\itap1 After inner\\cell Second\\cell {\\trowd\\trgaph108\\cellx4000"
                 "\\cellx8000\\row }\\pard After\\par ");
        QCOMPARE(nested.body.blocks.size(), size_t(2));
        const Cell& outer = std::get<Table>(nested.body.blocks[0]).rows.at(0).cells.at(0);
        QCOMPARE(outer.paragraphs.size(), size_t(2));
        QCOMPARE(paraText(outer.paragraphs.at(1)), QStringLiteral("After inner"));
        QCOMPARE(outer.tables.size(), size_t(1));
        QCOMPARE(outer.tables.at(0).before, size_t(1));
        const Row& inner = outer.tables.at(0).table.rows.at(0);
        QCOMPARE(QList<int>({inner.cells.at(0).rightTwips, inner.cells.at(1).rightTwips}),
                 QList<int>({1000, 2000}));
        QCOMPARE(paraText(inner.cells.at(1).paragraphs.at(0)), QStringLiteral("Inner two"));
        const auto merged = shown(nested);
        QStringList texts = samples::cellTexts(*merged->copies.at(0).body);
        // Qt marks where the nested table's frame starts and ends.
        for (QString& text : texts)
            text.replace(QChar(0xFDD0), QLatin1Char('|')).replace(QChar(0xFDD1), QLatin1Char('|'));
        QCOMPARE(texts, QStringList({"Outer|Inner one|Inner two|After inner", "Second"}));

        // Padding words and their units: the row's say what they mean, a cell's left and top are
        // swapped as Word writes them, units of 0 leave them out; a thick rule is twice its width, a
        // table's own rule none; a cell merged into the one before widens it; merges down and alignment
        // are kept, headings are not repeated; a cell without an edge takes its preferred width.
        const Template t = read(
            "\\trowd\\trgaph108\\trleft0\\trhdr\\trkeep\\trpaddl50\\trpaddt60\\trpaddr70\\trpaddb80\\trpaddfl"
            "3"
            "\\trpaddft3\\trpaddfr3\\trpaddfb0\\clpadl11\\clpadt22\\clpadr33\\clpadb44\\clpadfl3\\clpadft3"
            "\\clpadfr0\\clpadfb3\\clvmgf\\clvertalc\\clbrdrt\\brdrth\\brdrw10 \\clbrdrb\\brdrtbl "
            "\\cellx2000\\clmgf\\clvertalb\\cellx4000\\clmrg\\clbrdrr\\brdrs\\brdrw15 \\cellx6000"
            "\\clftsWidth3\\clwWidth1500\\cellx0\\pard\\intbl A\\cell B\\cell \\cell D\\cell \\row ");
        const Row& r = std::get<Table>(t.body.blocks.at(0)).rows.at(0);
        QVERIFY(!r.header);
        QVERIFY(r.keepTogether);
        QCOMPARE(QList<int>({r.leftPadTwips, r.topPadTwips, r.rightPadTwips, r.bottomPadTwips, r.leftTwips}),
                 QList<int>({50, 60, 70, 0, -50}));
        QCOMPARE(r.cells.size(), size_t(3));
        const Cell& a = r.cells.at(0);
        QCOMPARE(QList<int>({a.leftPadTwips, a.topPadTwips, a.rightPadTwips, a.bottomPadTwips}),
                 QList<int>({22, 11, -1, 44}));
        QVERIFY(a.vMerge == Cell::VMerge::Restart && a.vAlign == Cell::VAlign::Center);
        QVERIFY(edge(a.borders, Side::Top) == (Border{Border::Single, 20, 0, QColor()}));
        QVERIFY(!edge(a.borders, Side::Bottom).visible());
        const Cell& b = r.cells.at(1);
        QCOMPARE(b.rightTwips, 6000 - 50);
        QVERIFY(b.vAlign == Cell::VAlign::Bottom && edge(b.borders, Side::Right).widthTwips == 15);
        QCOMPARE(r.cells.at(2).rightTwips, 6000 - 50 + 1500);
        QCOMPARE(paraText(r.cells.at(2).paragraphs.at(0)), QStringLiteral("D"));
    }

    void rowsOfDifferentPaddings() {
        // A table's rows stand as LibreOffice sets them: the last row's left padding is the table's. With
        // it, every row's edges stand that far left of \\trleft, and a row naming none takes it; without
        // it, rows stand at \\trleft less their own gap, their text at their own padding.
        const QByteArray padded =
            "\\trowd\\trleft2\\trpaddl108\\trpaddfl3\\cellx3000\\pard\\intbl P\\cell \\row ";
        const QByteArray topOnly =
            "\\trowd\\trleft2\\clpadl20\\clpadfl3\\cellx3000\\pard\\intbl T\\cell \\row ";
        const QByteArray gapped = "\\trowd\\trleft2\\trgaph108\\cellx3000\\pard\\intbl G\\cell \\row ";
        const auto rows = [](const Template& t) {
            QList<QList<int>> out;
            for (const Row& r : std::get<Table>(t.body.blocks.at(0)).rows)
                out << QList<int>{r.leftTwips, r.leftPadTwips, r.cells.at(0).rightTwips};
            return out;
        };
        QCOMPARE(rows(read(topOnly + padded)), (QList<QList<int>>{{-106, 108, 2892}, {-106, 108, 2892}}));
        QCOMPARE(rows(read(padded + topOnly)), (QList<QList<int>>{{2, 108, 3000}, {2, -1, 3000}}));
        QCOMPARE(rows(read(gapped + topOnly)), (QList<QList<int>>{{-106, -1, 2892}, {2, -1, 3000}}));
        // Rows alike keep their place.
        QCOMPARE(rows(read(padded + padded)), (QList<QList<int>>{{-106, 108, 2892}, {-106, 108, 2892}}));
    }

    void picturesFieldsAndSkippedDestinations() {
        const Template t =
            read("{\\*\\shppict{\\pict\\pngblip\\picw30\\pich10\\picwgoal1440\\pichgoal480 " +
                 samples::pngHex(30, 10) +
                 "}}\\par {\\nonshppict{\\pict\\wmetafile8 0102}}{\\*\\unknowndest hidden}"
                 "{\\info{\\title hidden}}{\\footnote hidden}\\unknownword42 Shown{\\*\\bkmkstart x}"
                 "\\par {\\header \\pard Head text\\par }\\pard " +
                 samples::mergeField("Cust_Name", "\\\\* Upper \\\\b \"Mr. \" \\\\f \"!\"") +
                 " {\\field{\\*\\fldinst {\\b  MERGEFIELD} \"Cust Street\" \\\\* MERGEFORMAT }"
                 "{\\fldrslt {\\i street}}}{\\field{\\*\\fldinst  PAGE }{\\fldrslt 7}}\\page Next\\par ");
        QCOMPARE(t.pictures.size(), size_t(1));
        QCOMPARE(t.pictures.at(0).image.size(), QSize(30, 10));
        QCOMPARE(QSize(t.pictures.at(0).widthTwips, t.pictures.at(0).heightTwips), QSize(1440, 480));
        QCOMPARE(t.body.blocks.size(), size_t(4));
        QCOMPARE(para(t, 0).runs.size(), size_t(1));
        QCOMPARE(para(t, 0).runs.at(0).kind, Run::Picture);
        QCOMPARE(paraText(para(t, 1)), QStringLiteral("Shown"));
        QCOMPARE(paraText(std::get<Paragraph>(t.header.blocks.at(0))), QStringLiteral("Head text"));

        // Field codes split over runs, quoted names and switches.
        QCOMPARE(t.fields.size(), size_t(3));
        const Field& a = t.fields.at(0);
        QCOMPARE(a.name + '|' + a.caseSwitches.join(',') + '|' + a.before + a.after,
                 QStringLiteral("Cust_Name|Upper|Mr. !"));
        QVERIFY(t.fields.at(1).name == "Cust Street" && t.fields.at(1).mergeFormat);
        QVERIFY(a.kind == Field::Merge && t.fields.at(2).kind == Field::Page);
        QVERIFY(!para(t, 2).format.pageBreakBefore && para(t, 3).format.pageBreakBefore);

        // Laid out: the picture at its set size (1 x 1/3 inch); the page break makes a second page.
        const auto merged = shown(t);
        QCOMPARE(merged->pageCount(), 2);
        QCOMPARE(merged->plainText(), QStringLiteral("\uFFFC\nShown\n«Cust_Name» street1\nNext"));
        QTextDocument& d = *merged->copies.at(0).body;
        d.documentLayout()->documentSize();
        const QTextLine line = d.firstBlock().layout()->lineAt(0);
        QVERIFY2(qAbs(line.naturalTextWidth() - kLayoutDpi) < 2,
                 qPrintable(QString::number(line.naturalTextWidth())));
        QVERIFY(line.height() >= kLayoutDpi / 3 - 2);

        // Word's floating picture, placed from the page's corner behind the text, its fallback copy in
        // \shprslt left out; a paragraph's rule; a dotted leader.
        const QByteArray pict = "{\\pict\\pngblip " + samples::pngHex(30, 10) + "}";
        const Template w =
            read("\\pard\\brdrb\\brdrdb\\brdrw15\\brsp20\\brdrcf2 \\tldot\\tqr\\tx9000 {\\shp{\\*\\shpinst"
                 "\\shpleft720\\shptop360\\shpright2160\\shpbottom1080\\shpbxpage\\shpbypage\\shpwr3"
                 "\\shpfblwtxt1{\\sp{\\sn shapeType}{\\sv 75}}{\\sp{\\sn pib}{\\sv " +
                 pict + "}}}{\\shprslt " + pict + "}}Rule\\tab 9\\par ");
        QCOMPARE(QList<size_t>({w.pictures.size(), w.floats.size()}), QList<size_t>({1, 1}));
        const Floating& f = w.floats.at(0);
        QVERIFY(f.picture == 0 && f.fromX == Floating::From::Page && f.fromY == Floating::From::Page);
        QVERIFY(f.wrap == Floating::Wrap::None && f.behindText);
        QCOMPARE(QList<int>({f.leftTwips, f.topTwips, f.widthTwips, f.heightTwips}),
                 QList<int>({720, 360, 1440, 720}));
        QCOMPARE(paraText(para(w, 0)), QStringLiteral("Rule\t9"));
        QVERIFY(edge(para(w, 0).format.borders, Side::Bottom) ==
                (Border{Border::Double, 15, 20, QColor(192, 0, 0)}));
        QVERIFY(!edge(para(w, 0).format.borders, Side::Top).visible());
        QVERIFY((para(w, 0).format.tabs == std::vector<TabStop>{{9000, TabStop::Right, TabStop::Dots}}));

        // A text box: its own story, starting from a fresh paragraph, that neither a shape nor a second
        // text of the same shape gets into; the body goes on with its own formats.
        const Template box = read(
            "\\pard\\qc\\b Body {\\shp{\\*\\shpinst\\shpleft100\\shpright3000\\shpbottom900"
            "{\\sp{\\sn fFilled}{\\sv 0}}{\\sp{\\sn lineColor}{\\sv 255}}{\\sp{\\sn dxTextLeft}{\\sv 63500}}"
            "{\\shptxt Inside {\\shp{\\*\\shpinst{\\shptxt nested}}}box\\par Two\\par}{\\shptxt second}}}"
            "text\\par ");
        QCOMPARE(QList<size_t>({box.floats.size(), box.textBoxes.size(), box.body.blocks.size()}),
                 QList<size_t>({1, 1, 1}));
        const Floating& b = box.floats.at(0);
        QVERIFY(b.text == 0 && b.picture < 0 && !b.fill.isValid() && b.line == QColor(255, 0, 0));
        QCOMPARE(QList<int>({b.leftTwips, b.widthTwips, b.heightTwips, b.insetTwips[0], b.insetTwips[1]}),
                 QList<int>({100, 2900, 900, 100, 72}));
        const Story& inside = box.textBoxes.at(0);
        QCOMPARE(inside.blocks.size(), size_t(2));
        QCOMPARE(paraText(std::get<Paragraph>(inside.blocks.at(0))), QStringLiteral("Inside box"));
        QCOMPARE(std::get<Paragraph>(inside.blocks.at(0)).format.align, ParaFormat::Left);
        QCOMPARE(paraText(para(box, 0)), QStringLiteral("Body text"));
        QCOMPARE(para(box, 0).format.align, ParaFormat::Center);
    }

    void headersByPage() {
        // A first page of its own (\titlepg with \headerf), left and right pages (\facingp with
        // \headerl and \headerr); \header serves both sides where no left one is given.
        const Template t = read("\\facingp\\sectd\\titlepg{\\headerf \\pard Letterhead\\par }"
                                "{\\headerl \\pard Left\\par }{\\headerr \\pard Right\\par }"
                                "{\\footerf \\pard First foot\\par }{\\footer \\pard Foot\\par }"
                                "\\pard Body\\par ");
        QVERIFY(t.titlePage && t.evenPages);
        const auto text = [](const Story& s) {
            return s.empty() ? QString() : paraText(std::get<Paragraph>(s.blocks.at(0)));
        };
        QCOMPARE(QStringList({text(t.firstHeader), text(t.header), text(t.evenHeader), text(t.firstFooter),
                              text(t.footer), text(t.evenFooter)}),
                 QStringList({"Letterhead", "Right", "Left", "First foot", "Foot", "Foot"}));
        QCOMPARE(paraText(para(t, 0)), QStringLiteral("Body"));
        // Without \titlepg a first-page header is kept but not asked for.
        const Template plain = read("{\\headerf \\pard F\\par }{\\header \\pard H\\par }\\pard B\\par ");
        QVERIFY(!plain.titlePage && !plain.evenPages);
        QCOMPARE(text(plain.header), QStringLiteral("H"));
        // Word repeats \sectd within a section: the section's first page stays its own.
        QVERIFY(read("\\sectd\\titlepg\\pard A\\par \\sectd\\pard B\\par ").titlePage);
    }

    void pageBreakKeepsItsMark() {
        // The mark of a paragraph that ends in a page break stays on the page before the break: the
        // next paragraph, not an empty line, opens the new page; a paragraph of a break alone too.
        const Template t =
            read("\\pard A{\\page }{\\fs28 \\par }\\pard\\sb480 B\\par C\\par \\page\\par D\\par ");
        QCOMPARE(t.body.blocks.size(), size_t(4));
        QCOMPARE(QStringList({paraText(para(t, 0)), paraText(para(t, 1)), paraText(para(t, 3))}),
                 QStringList({"A", "B", "D"}));
        QVERIFY(para(t, 1).format.pageBreakBefore && para(t, 3).format.pageBreakBefore);
        QVERIFY(!para(t, 2).format.pageBreakBefore);
        QCOMPARE(para(t, 1).format.beforeTwips, 480);
        // Text after the break still opens the page in the paragraph it belongs to.
        const Template after = read("\\pard A\\page Z\\par ");
        QCOMPARE(after.body.blocks.size(), size_t(2));
        QVERIFY(para(after, 1).format.pageBreakBefore && paraText(para(after, 1)) == "Z");
        // \spltpgpar asks for Word 2000's empty line at the top of the new page.
        const Template split = read("\\spltpgpar\\pard A{\\page }{\\fs28 \\par }\\pard B\\par ");
        QCOMPARE(split.body.blocks.size(), size_t(3));
        QVERIFY(para(split, 1).format.pageBreakBefore && paraText(para(split, 1)).isEmpty());
        QVERIFY(!para(split, 2).format.pageBreakBefore);
        // A paragraph of the break alone leaves no empty line even then.
        const Template alone = read("\\spltpgpar\\pard A\\par \\pard {\\page }{\\fs28 \\par }\\pard B\\par ");
        QCOMPARE(alone.body.blocks.size(), size_t(2));
        QVERIFY(para(alone, 1).format.pageBreakBefore && paraText(para(alone, 1)) == "B");
    }

    void sections() {
        // Each \sect starts a section at the body's next paragraph, on a new page unless \sbknone;
        // a section keeps the headers of the one before until it gives its own, and its own paper.
        const Template t = read("\\sectd\\pgwsxn12240\\pghsxn15840\\margtsxn1440{\\header \\pard One\\par }"
                                "\\pard A\\par B\\par \\sect\\sectd\\sbknone\\pard C\\par "
                                "\\sect\\sectd\\lndscpsxn\\pgwsxn15840\\pghsxn12240\\margtsxn720\\titlepg"
                                "{\\header \\pard Three\\par }\\pard D\\par ");
        QCOMPARE(t.body.blocks.size(), size_t(4));
        QCOMPARE(t.sections.size(), size_t(2));
        const Section& second = t.sections.at(0);
        const Section& third = t.sections.at(1);
        QCOMPARE(QList<int>({second.firstBlock, third.firstBlock}), QList<int>({2, 3}));
        QVERIFY(!second.newPage && third.newPage);
        QVERIFY(!para(t, 2).format.pageBreakBefore && para(t, 3).format.pageBreakBefore);
        QCOMPARE(paraText(std::get<Paragraph>(second.header.blocks.at(0))), QStringLiteral("One"));
        QCOMPARE(paraText(std::get<Paragraph>(third.header.blocks.at(0))), QStringLiteral("Three"));
        QCOMPARE(paraText(std::get<Paragraph>(t.header.blocks.at(0))), QStringLiteral("One"));
        QVERIFY(!second.titlePage && third.titlePage && !t.titlePage);
        // The first section's paper is the document's; a later one's stays its own.
        QCOMPARE(QList<int>({t.page.widthTwips, t.page.heightTwips, t.page.topTwips}),
                 QList<int>({12240, 15840, 1440}));
        QCOMPARE(QList<int>({third.page.widthTwips, third.page.heightTwips, third.page.topTwips}),
                 QList<int>({15840, 12240, 720}));
    }

    void positionedFrames() {
        // Paragraphs in a row with the same frame words make one frame: a text box of no fill or
        // outline where the words put it, anchored in the next paragraph of the flow.
        const Template t = read("\\pard\\pvpg\\phpg\\posx2160\\posy1440\\absw4320\\dxfrtext180 Name\\par "
                                "\\pard\\pvpg\\phpg\\posx2160\\posy1440\\absw4320\\dxfrtext180 Street\\par "
                                "\\pard\\pvmrg\\phmrg\\posxr\\posy0\\absw2880\\absh-720 Form 7\\par "
                                "\\pard Body\\par ");
        QCOMPARE(t.body.blocks.size(), size_t(1));
        QCOMPARE(paraText(para(t, 0)), QStringLiteral("Body"));
        QCOMPARE(t.floats.size(), size_t(2));
        QCOMPARE(t.textBoxes.size(), size_t(2));
        QCOMPARE(t.textBoxes.at(0).blocks.size(), size_t(2));
        QCOMPARE(paraText(std::get<Paragraph>(t.textBoxes.at(1).blocks.at(0))), QStringLiteral("Form 7"));
        const Floating& name = t.floats.at(0);
        QVERIFY(name.fromX == Floating::From::Page && name.fromY == Floating::From::Page);
        QCOMPARE(QList<int>({name.leftTwips, name.topTwips, name.widthTwips, name.heightTwips}),
                 QList<int>({2160, 1440, 4320, 0}));
        QVERIFY(!name.fill.isValid() && !name.line.isValid());
        // At the right of the margins (6.5 inches wide here), a half inch tall and the distance kept.
        const Floating& form = t.floats.at(1);
        QVERIFY(form.fromX == Floating::From::Margin && form.fromY == Floating::From::Margin);
        QCOMPARE(QList<int>({form.leftTwips, form.topTwips, form.widthTwips, form.heightTwips}),
                 QList<int>({9360 - 2880, 0, 2880, 720}));
        int anchors = 0;
        for (const Run& r : para(t, 0).runs)
            anchors += r.kind == Run::Floating;
        QCOMPARE(anchors, 2);

        // Without a width, a frame at the right or in the middle is as wide as its text: its text keeps
        // to that side (a page number at the margin); text aligned otherwise keeps its alignment.
        const Template sides = read("\\pard\\pvpara\\phmrg\\posxr\\posy0 7\\par \\pard Body\\par "
                                    "\\pard\\pvpara\\phmrg\\posxc\\posy0 8\\par \\pard Body\\par "
                                    "\\pard\\qj\\pvpara\\phmrg\\posxr\\posy0 9\\par \\pard Body\\par ");
        QList<int> aligns;
        for (const Story& box : sides.textBoxes)
            aligns << std::get<Paragraph>(box.blocks.at(0)).format.align;
        QCOMPARE(aligns, QList<int>({ParaFormat::Right, ParaFormat::Center, ParaFormat::Justify}));
    }

    void damagedInput() {
        // Every cut-off prefix of a real template fails cleanly, naming the file.
        const QByteArray full = samples::letterTemplate();
        for (int n = 0; n < full.size(); n += 7) {
            QString why;
            QCOMPARE(failureNumber([&] { readRtf(full.left(n), "cut.dot"); }, &why),
                     errors::UnreadableDocument);
            QVERIFY2(why.contains("cut.dot"), qPrintable(why));
        }
        QCOMPARE(failureNumber([&] { readRtf(full, "whole.dot"); }), 0);
        const std::pair<QByteArray, QString> refused[]{{full.left(full.size() / 2), "truncated"},
                                                       {"Dear customer", "not an RTF"},
                                                       {"{\\rtf1 " + QByteArray(100000, '{'), "nested"},
                                                       {"{\\rtf1 " + QByteArray(1000000, '{'), "nested"},
                                                       {"{\\rtf1 {\\pict\\pngblip\\bin999 xx}}", "bad.dot"}};
        for (const auto& [input, word] : refused) {
            QString why;
            QCOMPARE(failureNumber([&] { readRtf(input, "bad.dot"); }, &why), errors::UnreadableDocument);
            QVERIFY2(why.contains(word), qPrintable(why));
        }
        // Random damage anywhere: read or refused, never a crash or a hang.
        QRandomGenerator random(1234);
        for (int i = 0; i < 3000; ++i) {
            QByteArray bad = full;
            for (int k = 0; k < 4; ++k)
                bad[int(random.bounded(quint32(bad.size())))] =
                    random.bounded(2) ? "{}\\'0a-9 ;*"[random.bounded(11)] : char(random.bounded(256));
            const qint32 n = failureNumber([&] { shown(readRtf(bad, "bad.dot")); });
            QVERIFY(n == 0 || n == errors::UnreadableDocument);
        }
        // Pictures placed far off the sheet or taller than it, with text to flow beside them.
        for (const QByteArray place :
             {"\\shpleft-2147483648\\shptop-99999\\shpright2147483647\\shpbottom99999",
              "\\shpleft0\\shptop0\\shpright1440\\shpbottom2147483647",
              "\\shpleft9000\\shptop500000\\shpright9100\\shpbottom500001"}) {
            const Template t =
                read("{\\shp{\\*\\shpinst" + place + "\\shpwr2{\\sp{\\sn pib}{\\sv {\\pict\\pngblip " +
                     samples::pngHex(4, 4) + "}}}}}Text beside\\par More\\par ");
            QCOMPARE(t.floats.size(), size_t(1));
            QCOMPARE(shown(t)->plainText().count(QStringLiteral("beside")), 1);
        }
    }

    // A Word binary template needs LibreOffice: without it the description says what to do; a
    // LibreOffice that hangs reports its progress, can be stopped and is given up after a while, and
    // nothing it started is left running.
    void binaryTemplates() {
        QTemporaryDir dir;
        QString why;
        const QString binary = dir.filePath("Word97.dot");
        QVERIFY(samples::writeFile(binary, QByteArray::fromHex("D0CF11E0A1B11AE1") + QByteArray(512, '\0')));
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", ""); // as on a machine without LibreOffice to convert it
        qint32 number = failureNumber([&] { readTemplateFile(binary); }, &why);
        QCOMPARE(number, errors::UnreadableDocument);
        QVERIFY2(why.contains("Word97.dot") && why.contains("RTF") && why.contains("LibreOffice"),
                 qPrintable(why));

        // The stand-in starts a child of its own, as LibreOffice's launcher does, and hangs.
        QVERIFY(QDir(dir.path()).mkdir("bin"));
        const QString office = dir.filePath("bin/soffice");
        const QString pidFile = dir.filePath("child.pid");
        QVERIFY(samples::writeFile(office, "#!/bin/sh\n/bin/sleep 600 &\necho $! >" + pidFile.toLocal8Bit() +
                                               "\nwait\n"));
        QVERIFY(QFile::setPermissions(office, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        qputenv("PATH", dir.filePath("bin").toLocal8Bit());
        const auto childAlive = [&] {
            QFile pid(pidFile);
            if (!pid.open(QIODevice::ReadOnly))
                return false;
            QFile stat("/proc/" + pid.readAll().trimmed() + "/stat");
            // A child that has ended but waits to be reaped counts as ended.
            return stat.open(QIODevice::ReadOnly) && !stat.readAll().contains(") Z ");
        };
        int reports = 0;
        const ConversionWatch stopWhenStarted{[&](int) {
                                                  ++reports;
                                                  return !QFileInfo::exists(pidFile);
                                              },
                                              600};
        number = failureNumber([&] { readTemplateFile(binary, stopWhenStarted); }, &why);
        QCOMPARE(number, errors::UnreadableDocument);
        QVERIFY2(why.contains("Word97.dot") && why.contains("stopped"), qPrintable(why));
        QVERIFY(reports >= 1 && QFileInfo::exists(pidFile));
        QTRY_VERIFY(!childAlive());

        QVERIFY(QFile::remove(pidFile));
        number = failureNumber([&] { readTemplateFile(binary, ConversionWatch{{}, 1}); }, &why);
        qputenv("PATH", path);
        QCOMPARE(number, errors::UnreadableDocument);
        QVERIFY2(why.contains("Word97.dot") && why.contains("given up") && why.contains("Rich Text Format"),
                 qPrintable(why));
        QTRY_VERIFY(!childAlive());
    }

    // Where LibreOffice is installed, a template saved by a word processor in the binary Word format
    // is converted and keeps its merge fields.
    void binaryTemplateThroughLibreOffice() {
        const QString office = QStandardPaths::findExecutable("soffice");
        if (office.isEmpty())
            QSKIP("LibreOffice is not installed");
        QTemporaryDir dir;
        QVERIFY(samples::writeFile(dir.filePath("letter.rtf"), samples::letterTemplate()));
        QProcess save;
        save.start(office,
                   {"--headless",
                    "-env:UserInstallation=" + QUrl::fromLocalFile(dir.filePath("profile")).toString(),
                    "--convert-to", "doc:MS Word 97", "--outdir", dir.path(), dir.filePath("letter.rtf")});
        QVERIFY(save.waitForFinished(120000));
        const QString binary = dir.filePath("Letter.dot");
        QVERIFY(QFile::rename(dir.filePath("letter.doc"), binary));
        QFile file(binary);
        QVERIFY(file.open(QIODevice::ReadOnly) && file.read(8) == QByteArray::fromHex("D0CF11E0A1B11AE1"));

        const Template fromBinary = readTemplateFile(binary);
        const Template fromRtf = readRtf(samples::letterTemplate(), "letter.rtf");
        QStringList names, expected;
        for (const auto& field : fromBinary.fields)
            names << field.name;
        for (const auto& field : fromRtf.fields)
            if (!field.name.isEmpty())
                expected << field.name;
        QVERIFY(!expected.isEmpty());
        for (const QString& code : expected)
            QVERIFY2(names.contains(code), qPrintable(code + " missing from " + names.join(" | ")));
    }
};

QTEST_MAIN(TestRtfReader)
#include "tst_rtfreader.moc"
