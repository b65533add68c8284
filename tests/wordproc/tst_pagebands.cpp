// Each page's text keeps clear of that page's own header and footer: a first page's tall footer, even
// pages' short headers, a later section's first page.
#include "Rendering.h"

#include <QtTest>

using namespace rendering;

namespace {

// A body line as printed: its text, its sheet, and its top and bottom on the sheet (layout pixels).
struct PrintedLine {
    QString text;
    int sheet = 0;
    double top = 0, bottom = 0;
};

std::vector<PrintedLine> printedLines(const PageCopy& copy) {
    std::vector<PrintedLine> out;
    const double height = copy.body->pageSize().height();
    for (QTextBlock b = copy.body->begin(); b.isValid(); b = b.next()) {
        for (int i = 0; i < b.layout()->lineCount(); ++i) {
            const QTextLine line = b.layout()->lineAt(i);
            const QString text = b.text().mid(line.textStart(), line.textLength()).trimmed();
            if (text.isEmpty())
                continue;
            // Qt sets a line of an exact height a little below the top of its room.
            const double middle =
                b.document()->documentLayout()->blockBoundingRect(b).top() + line.y() + line.height() / 2;
            const int sheet = int(std::floor(middle / height));
            const double y = lineRoomTop(b, i);
            const double top = bodyTopOn(copy, sheet, PageSetup{}) + y - sheet * height;
            out.push_back({text, sheet, top, top + twipsToLayout(250)});
        }
    }
    return out;
}

// `count` lines of exactly 12.5 points (a page holds no whole number of them), as paragraphs of their own or
// as one paragraph.
QByteArray numbered(int count, bool onePara) {
    QByteArray out = "\\pard\\sl-250\\slmult0 ";
    for (int i = 1; i <= count; ++i)
        out += "Line " + QByteArray::number(i) +
               (onePara && i < count ? "\\line " : "\\par \\pard\\sl-250\\slmult0 ");
    return out + (onePara ? "\\par " : "");
}

// The sheet's room for text: from below its header (or its top margin) to above its footer.
std::pair<double, double> room(const PageCopy& copy, int sheet) {
    const QTextDocument* header = bandOn(copy, sheet, true);
    const QTextDocument* footer = bandOn(copy, sheet, false);
    const double top = qMax(twipsToLayout(1440), twipsToLayout(720) + (header ? bandHeight(*header) : 0));
    const double bottom = qMax(twipsToLayout(1440), twipsToLayout(720) + (footer ? bandHeight(*footer) : 0));
    return {top, twipsToLayout(15840) - bottom};
}

// Each sheet's text starts at the top of its own room and ends within it; a sheet with its whole room
// holds as many lines as the room takes.
void checkSheets(const Shown& s, const std::vector<int>& fullSheets) {
    const std::vector<PrintedLine> lines = printedLines(s.copy);
    for (int sheet = 0; sheet < s.copy.pageCount(); ++sheet) {
        const auto [top, bottom] = room(s.copy, sheet);
        std::vector<PrintedLine> on;
        std::copy_if(lines.begin(), lines.end(), std::back_inserter(on),
                     [&](const PrintedLine& l) { return l.sheet == sheet; });
        QVERIFY2(!on.empty(),
                 qPrintable(QStringLiteral("sheet %1 of %2").arg(sheet).arg(s.copy.pageCount())));
        QVERIFY2(qAbs(on.front().top - top) < 1,
                 qPrintable(QStringLiteral("sheet %1: %2 %3").arg(sheet).arg(on.front().top).arg(top)));
        QVERIFY2(on.back().bottom <= bottom + 0.5, qPrintable(QStringLiteral("sheet %1").arg(sheet)));
        if (std::count(fullSheets.begin(), fullSheets.end(), sheet))
            QCOMPARE(int(on.size()), int((bottom - top) / twipsToLayout(250) + 0.01));
    }
}

const QByteArray kTall = "\\pard F1\\par F2\\par F3\\par F4\\par F5\\par F6\\par F7\\par F8\\par ";

} // namespace

class TestPageBands : public QObject {
    Q_OBJECT

private slots:
    // A letterhead's address at the foot of the first page only: the other pages keep their whole room.
    void tallFirstFooterShortensOnlyTheFirstPage() {
        for (const bool onePara : {false, true}) {
            const Shown s = showRtf("\\sectd\\titlepg{\\footerf " + kTall + "}{\\footer \\pard Foot\\par }" +
                                    numbered(120, onePara));
            QCOMPARE(s.copy.pageCount(), 3);
            checkSheets(s, {1});
        }
        // The same in a section that starts a sheet of its own.
        Shown s = showRtf("\\sectd\\pard Opening\\par \\sect\\sectd\\titlepg{\\footerf " + kTall +
                          "}{\\footer \\pard Foot\\par }" + numbered(120, false));
        QCOMPARE(s.copy.parts.size(), size_t(1));
        const Shown part{s.t, std::move(s.copy.parts.front())};
        QCOMPARE(part.copy.pageCount(), 3);
        checkSheets(part, {1});
    }

    // A first page without the tall header of the pages after it (a letter's continuation header)
    // holds as many lines as its whole room takes, and the later pages as many as theirs.
    void roomierFirstPageIsFilled() {
        for (const bool onePara : {false, true}) {
            const Shown s = showRtf("\\sectd\\titlepg{\\header " + kTall + "}" + numbered(150, onePara));
            QVERIFY(s.copy.pageCount() >= 3);
            QCOMPARE(room(s.copy, 0).first, twipsToLayout(1440));
            QVERIFY(room(s.copy, 1).first > twipsToLayout(1440) + 100);
            checkSheets(s, {0, 1});
        }
    }

    // Left and right pages: the odd pages' tall header moves only their text down; even pages, without
    // a header, start at the margin and hold a whole page, also where a paragraph runs on to them.
    void evenPagesWithoutHeaderStartAtTheMargin() {
        for (const bool onePara : {false, true}) {
            const Shown s = showRtf("\\facingp\\sectd{\\headerr " + kTall + "}" + numbered(150, onePara));
            QVERIFY(s.copy.pageCount() >= 3);
            QVERIFY(room(s.copy, 0).first > twipsToLayout(1440) + 100);
            QCOMPARE(room(s.copy, 1).first, twipsToLayout(1440));
            checkSheets(s, {1});
        }
    }

    // A table that runs on to pages of less room: no row starts in a page's header.
    void tablesStayClearOfTallerHeaders() {
        QByteArray rows;
        for (int i = 1; i <= 150; ++i)
            rows += "\\trowd\\cellx4000\\pard\\intbl\\sl-250\\slmult0 Row " + QByteArray::number(i) +
                    "\\cell\\row ";
        const Shown s = showRtf("\\facingp\\sectd{\\headerr " + kTall + "}" + rows + "\\pard End\\par ");
        QVERIFY(s.copy.pageCount() >= 3);
        for (const PrintedLine& l : printedLines(s.copy)) {
            const auto [top, bottom] = room(s.copy, l.sheet);
            QVERIFY2(l.top >= top - 0.5 && l.bottom <= bottom + 0.5,
                     qPrintable(QStringLiteral("%1: %2 %3").arg(l.text).arg(l.top).arg(top)));
        }
    }
};

QTEST_MAIN(TestPageBands)
#include "tst_pagebands.moc"
