#include "wordproc/DataSource.h"
#include "wordproc/Merge.h"
#include "wordproc/Pages.h"
#include "wordproc/RtfReader.h"

#include <QAbstractTextDocumentLayout>
#include <QPaintEngine>
#include <QPainterPath>
#include <QTextBlock>
#include <QTextLayout>
#include <QTextTable>
#include <QtTest>

using namespace wordproc;

namespace {

// Letters designed in LibreOffice 7.4 and saved by it as RTF, shown as they stand: every field shows
// its stored result, as a merge with one record of those values would.
struct Shown {
    std::shared_ptr<const Template> t;
    PageCopy copy;
    double bodyTop() const { return copy.bodyTop; }
};

Shown show(const char* name) {
    Shown s;
    s.t = std::make_shared<const Template>(
        readTemplateFile(QStringLiteral(QM_SOURCE_DIR "/tests/wordproc/letters/") + QLatin1String(name)));
    Merger merger(s.t, nullptr);
    merger.setNow(QDateTime(QDate(2026, 12, 6), QTime(9, 30)));
    s.copy = merger.next();
    s.copy.body->documentLayout()->documentSize();
    return s;
}

// A template written here, shown as it stands.
Shown showRtf(const QByteArray& body) {
    Shown s;
    s.t = std::make_shared<const Template>(
        readRtf("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\froman Liberation Serif;}}\\paperw12240\\paperh15840"
                "\\margl1440\\margr1440\\margt1440\\margb1440\\headery720\\footery720 " +
                    body + "}",
                "written.rtf"));
    s.copy = Merger(s.t, nullptr).next();
    s.copy.body->documentLayout()->documentSize();
    return s;
}

constexpr double kDpi = 144;

QImage sheet(const Shown& s, int page) {
    const PageSetup& pg = s.t->page;
    QImage image(qRound(pg.widthTwips * kDpi / 1440), qRound(pg.heightTwips * kDpi / 1440),
                 QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.scale(kDpi / kLayoutDpi, kDpi / kLayoutDpi);
    paintSheet(painter, s.copy, page, pg);
    return image;
}

// Layout pixels to the image's pixels.
int px(double layout) {
    return qRound(layout * kDpi / kLayoutDpi);
}

// The largest share of dark pixels on one row (or column) of the image within a rectangle in layout
// pixels: 1 where a rule runs the rectangle's whole length.
double ruleShare(const QImage& image, const QRectF& r, Qt::Orientation along) {
    const QRect p(QPoint(px(r.left()), px(r.top())), QPoint(px(r.right()), px(r.bottom())));
    double best = 0;
    const bool across = along == Qt::Horizontal;
    for (int a = across ? p.top() : p.left(); a <= (across ? p.bottom() : p.right()); ++a) {
        int dark = 0, all = 0;
        for (int b = across ? p.left() : p.top(); b <= (across ? p.right() : p.bottom()); ++b, ++all)
            dark += qGray(across ? image.pixel(b, a) : image.pixel(a, b)) < 160;
        best = qMax(best, double(dark) / qMax(1, all));
    }
    return best;
}

// Rules across a rectangle in layout pixels: runs of rows that are dark all along.
int rulesAcross(const QImage& image, const QRectF& r) {
    int rules = 0;
    bool inRule = false;
    for (double y = r.top(); y <= r.bottom(); y += kLayoutDpi / kDpi) {
        const bool dark = ruleShare(image, QRectF(r.left(), y, r.width(), 0), Qt::Horizontal) > 0.97;
        rules += dark && !inRule;
        inRule = dark;
    }
    return rules;
}

// Separate dark marks along one row of the image, within a rectangle in layout pixels (any row of it).
int marksAlong(const QImage& image, const QRectF& r) {
    int most = 0;
    for (int y = px(r.top()); y <= px(r.bottom()); ++y) {
        int marks = 0;
        bool inMark = false;
        for (int x = px(r.left()); x <= px(r.right()); ++x) {
            const bool dark = qGray(image.pixel(x, y)) < 160;
            marks += dark && !inMark;
            inMark = dark;
        }
        most = qMax(most, marks);
    }
    return most;
}

QTextBlock blockStarting(const QTextDocument& doc, const QString& text) {
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        if (b.text().startsWith(text))
            return b;
    return {};
}

// A block's text rectangle on the sheet, in layout pixels (for the first page's blocks).
QRectF onSheet(const Shown& s, const QTextBlock& b) {
    return s.copy.body->documentLayout()->blockBoundingRect(b).translated(twipsToLayout(s.t->page.leftTwips),
                                                                          s.bodyTop());
}

// Where the text after the tab at `tab` starts, in layout pixels from the margin.
double afterTab(const QTextBlock& b, int tab) {
    const QTextLine line = b.layout()->lineForTextPosition(tab);
    return line.cursorToX(tab + 1);
}

// What painting a sheet draws, in layout pixels from the sheet's corner: each piece of text at its
// baseline, each stroked line with its pen, each filled shape with its brush.
class Recorder : public QPaintDevice {
public:
    struct Text {
        QPointF baseline;
        QString text;
    };
    struct Line {
        QLineF line;
        double width;
        QColor color;
    };
    struct Fill {
        QRectF rect;
        QColor color;
    };
    std::vector<Text> texts;
    std::vector<Line> lines;
    std::vector<Fill> fills;

    explicit Recorder(const PageSetup& page)
        : m_size(qRound(twipsToLayout(page.widthTwips)), qRound(twipsToLayout(page.heightTwips))),
          m_engine(*this) {}
    QPaintEngine* paintEngine() const override { return &m_engine; }

    // The texts that start with `start`, top to bottom.
    std::vector<Text> textsStarting(const QString& start) const {
        std::vector<Text> found;
        for (const Text& t : texts)
            if (t.text.startsWith(start))
                found.push_back(t);
        return found;
    }

protected:
    int metric(PaintDeviceMetric m) const override {
        switch (m) {
        case PdmWidth:
            return m_size.width();
        case PdmHeight:
            return m_size.height();
        case PdmWidthMM:
            return qRound(m_size.width() * 25.4 / kLayoutDpi);
        case PdmHeightMM:
            return qRound(m_size.height() * 25.4 / kLayoutDpi);
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return int(kLayoutDpi);
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return int(devicePixelRatioFScale());
        default:
            return 32;
        }
    }

private:
    class Engine : public QPaintEngine {
    public:
        explicit Engine(Recorder& r) : QPaintEngine(AllFeatures), m_r(r) {}
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        Type type() const override { return User; }
        void updateState(const QPaintEngineState& s) override {
            if (s.state() & DirtyPen)
                m_pen = s.pen();
            if (s.state() & DirtyBrush)
                m_brush = s.brush();
            if (s.state() & DirtyTransform)
                m_transform = s.transform();
        }
        void drawTextItem(const QPointF& p, const QTextItem& item) override {
            m_r.texts.push_back(Text{m_transform.map(p), item.text()});
        }
        void drawLines(const QLineF* lines, int count) override {
            for (int i = 0; i < count; ++i)
                m_r.lines.push_back(
                    Line{m_transform.map(lines[i]), m_pen.widthF() * m_transform.m22(), m_pen.color()});
        }
        void drawRects(const QRectF* rects, int count) override {
            for (int i = 0; i < count; ++i) {
                fill(rects[i]);
                if (m_pen.style() == Qt::NoPen)
                    continue;
                const QRectF& r = rects[i];
                const QLineF edges[]{{r.topLeft(), r.topRight()},
                                     {r.topRight(), r.bottomRight()},
                                     {r.bottomRight(), r.bottomLeft()},
                                     {r.bottomLeft(), r.topLeft()}};
                drawLines(edges, 4);
            }
        }
        void drawPath(const QPainterPath& path) override { fill(path.boundingRect()); }
        void drawPolygon(const QPointF* points, int count, PolygonDrawMode) override {
            fill(QPolygonF(QList<QPointF>(points, points + count)).boundingRect());
        }
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
        void drawImage(const QRectF&, const QImage&, const QRectF&, Qt::ImageConversionFlags) override {}

    private:
        void fill(const QRectF& r) {
            if (m_brush.style() != Qt::NoBrush && m_brush.color().alpha() > 0)
                m_r.fills.push_back(Fill{m_transform.mapRect(r), m_brush.color()});
        }
        Recorder& m_r;
        QPen m_pen;
        QBrush m_brush;
        QTransform m_transform;
    };
    QSize m_size;
    mutable Engine m_engine;
};

// Paints one sheet into a recorder.
std::unique_ptr<Recorder> record(const Shown& s, int page) {
    auto r = std::make_unique<Recorder>(s.t->page);
    QPainter painter(r.get());
    paintSheet(painter, s.copy, page, s.t->page);
    return r;
}

// A letter of the body given, in Word's words, on US Letter with one-inch margins, shown as it stands;
// its text in Times New Roman or the face given.
Shown showWord(const QByteArray& body, const QByteArray& face = "\\froman Times New Roman") {
    Shown s;
    s.t = std::make_shared<const Template>(
        readRtf("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0" + face +
                    ";}}{\\colortbl;\\red0\\green0\\blue0;"
                    "\\red255\\green230\\blue153;}\\paperw12240\\paperh15840\\margl1440\\margr1440\\margt1440"
                    "\\margb1440 " +
                    body + "}",
                QStringLiteral("word.rtf")));
    Merger merger(s.t, nullptr);
    s.copy = merger.next();
    s.copy.body->documentLayout()->documentSize();
    return s;
}

// Word's definition of a cell with a single rule of `width` twips on each edge, up to `right`.
QByteArray ruledCell(int right, int width = 10, const QByteArray& more = {}) {
    const QByteArray w = "\\brdrs\\brdrw" + QByteArray::number(width) + ' ';
    return "\\clbrdrt" + w + "\\clbrdrl" + w + "\\clbrdrb" + w + "\\clbrdrr" + w + more + "\\cellx" +
           QByteArray::number(right);
}

QTextTable* firstTable(const QTextDocument& doc) {
    for (QTextFrame* f : doc.rootFrame()->childFrames())
        if (auto* t = qobject_cast<QTextTable*>(f))
            return t;
    return nullptr;
}

// The text rectangle of a cell's first paragraph on the sheet (first page).
QRectF cellText(const Shown& s, QTextTable* table, int row, int column) {
    return onSheet(s, table->cellAt(row, column).firstCursorPosition().block());
}

// The stroked lines across (dy == 0) or down the sheet whose position across lies within half a layout
// pixel of `at`.
std::vector<Recorder::Line> linesAt(const Recorder& r, Qt::Orientation along, double at) {
    std::vector<Recorder::Line> found;
    for (const Recorder::Line& l : r.lines) {
        const bool horizontal = l.line.dy() == 0;
        if (horizontal != (along == Qt::Horizontal) || (!horizontal && l.line.dx() != 0))
            continue;
        if (qAbs((horizontal ? l.line.y1() : l.line.x1()) - at) < 0.5)
            found.push_back(l);
    }
    return found;
}

// The dark run across a rule: how many image pixels thick the rule is at (x, y) and about it, in layout
// pixels, measured down (a rule across) or along (a rule down).
int darkRun(const QImage& image, double x, double y, Qt::Orientation rule) {
    int best = 0, run = 0;
    for (int d = -12; d <= 12; ++d) {
        const int px0 = px(x) + (rule == Qt::Vertical ? d : 0),
                  py0 = px(y) + (rule == Qt::Horizontal ? d : 0);
        run = qGray(image.pixel(px0, py0)) < 160 ? run + 1 : 0;
        best = qMax(best, run);
    }
    return best;
}

// The baseline of the first painted text that starts with `start`, or -1.
double baselineOf(const Recorder& r, const QString& start) {
    const auto found = r.textsStarting(start);
    return found.empty() ? -1 : found.front().baseline.y();
}

} // namespace

class TestRendering : public QObject {
    Q_OBJECT

private slots:
    void letterheadDateAndRules() {
        const Shown s = show("letterhead.rtf");
        // The picture LibreOffice saved as a shape floats at the top of the text area, as wide as the
        // text; the letter starts below it.
        QCOMPARE(s.t->floats.size(), size_t(1));
        QCOMPARE(s.copy.pictures.size(), size_t(1));
        const PlacedPicture& pic = s.copy.pictures.front();
        QCOMPARE(pic.page, 0);
        QCOMPARE(pic.image.size(), QSize(160, 40));
        const QRectF expected(twipsToLayout(1440), twipsToLayout(1440), twipsToLayout(9360),
                              twipsToLayout(1440));
        QVERIFY2((pic.rect.topLeft() - expected.topLeft()).manhattanLength() < 2 &&
                     (pic.rect.bottomRight() - expected.bottomRight()).manhattanLength() < 2,
                 qPrintable(QStringLiteral("%1,%2 %3x%4")
                                .arg(pic.rect.x())
                                .arg(pic.rect.y())
                                .arg(pic.rect.width())
                                .arg(pic.rect.height())));
        // LibreOffice writes the date picture as MMMM\ d', 'yyyy.
        const QTextBlock date = blockStarting(*s.copy.body, QStringLiteral("December"));
        QCOMPARE(date.text(), QStringLiteral("December 6, 2026"));
        QVERIFY(onSheet(s, date).top() >= pic.rect.bottom());

        const QImage page = sheet(s, 0);
        QCOMPARE(page.pixelColor(px(pic.rect.center().x()), px(pic.rect.top()) + 2), QColor(20, 40, 120));
        // The header's rule under its text and the footer's above its text run from margin to margin,
        // and no further.
        const double left = twipsToLayout(1440), right = twipsToLayout(12240 - 1440);
        const QRectF headerArea(left, twipsToLayout(720), right - left, twipsToLayout(700));
        const QRectF footerArea(left, twipsToLayout(15840 - 1440), right - left, twipsToLayout(700));
        QVERIFY(ruleShare(page, headerArea, Qt::Horizontal) > 0.97);
        QVERIFY(ruleShare(page, footerArea, Qt::Horizontal) > 0.97);
        const QRectF outside(twipsToLayout(600), headerArea.top(), twipsToLayout(700), headerArea.height());
        QCOMPARE(ruleShare(page, outside, Qt::Horizontal), 0.0);
    }

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
        for (QTextBlock b = s.copy.body->begin(); b.isValid(); b = b.next()) {
            const QRectF r = onSheet(s, b);
            for (int i = 0; i < b.layout()->lineCount(); ++i) {
                const QTextLine line = b.layout()->lineAt(i);
                if (line.textLength() == 0)
                    continue;
                const double top = r.top() + line.y();
                const bool level = top < body.rect.bottom() && top + line.height() > body.rect.top();
                const double x = r.left() + line.x();
                QVERIFY2(level ? x >= body.rect.right() + twipsToLayout(180) - 1
                               : qAbs(x - twipsToLayout(1440)) < 1,
                         qPrintable(b.text()));
                beside += level;
            }
        }
        QVERIFY(beside >= 2);
    }

    void tableListsAndLeaders() {
        const Shown s = show("offers.rtf");
        const QTextDocument& doc = *s.copy.body;
        QTextTable* table = nullptr;
        for (QTextFrame* f : doc.rootFrame()->childFrames())
            table = table ? table : qobject_cast<QTextTable*>(f);
        QVERIFY(table);
        // The table hangs a cell gap left of the margin, so that the cells' text starts on the margin:
        // its rules are looked for there.
        const auto cellRect = [&](int row) {
            return onSheet(s, table->cellAt(row, 0).firstCursorPosition().block());
        };
        const double top = cellRect(0).top(), bottom = cellRect(table->rows() - 1).bottom();
        const QRectF frame(twipsToLayout(1440 - 108), top, twipsToLayout(9252 + 108), bottom - top);
        const QImage page = sheet(s, 0);
        // Borders along the table's outer edges and between its columns, the heading row shaded.
        const QRectF edgeBand(frame.left() - 2, frame.top() + 4, 6, frame.height() - 8);
        QVERIFY(ruleShare(page, edgeBand, Qt::Vertical) > 0.97);
        const double column = frame.left() + twipsToLayout(2891 + 108);
        QVERIFY(ruleShare(page, QRectF(column - 4, frame.top() + 4, 8, frame.height() - 8), Qt::Vertical) >
                0.97);
        QVERIFY(ruleShare(page, QRectF(frame.left() + 4, frame.bottom() - 4, frame.width() - 8, 6),
                          Qt::Horizontal) > 0.97);
        // Through the middle of a row's text no rule runs.
        QVERIFY(ruleShare(page, QRectF(frame.left() + 4, cellRect(1).center().y(), frame.width() - 8, 1),
                          Qt::Horizontal) < 0.5);
        const QColor heading = page.pixelColor(px(column) - 8, px(frame.top() + frame.height() / 8));
        QCOMPARE(heading, QColor(217, 217, 217));
        // The rules are half-point lines stroked on the cells' edges, not rectangles filled on whole
        // pixels. LibreOffice's PDF of offers.rtf has its rows' rules 98.05, 112.35, 126.65, 140.95 and
        // 155.25 pt from the sheet's top (Qt sets each row on whole layout pixels, a quarter point at
        // most); its columns' edges are where the file puts them.
        const auto drawn = record(s, 0);
        const auto distinct = [](QList<double> v) {
            std::sort(v.begin(), v.end());
            QList<double> out;
            for (double x : v)
                if (out.isEmpty() || x - out.last() > 0.05)
                    out << x;
            return out;
        };
        QList<double> across, down;
        for (const Recorder::Line& l : drawn->lines) {
            if (l.color != QColor(Qt::black) || !frame.adjusted(-8, -8, 8, 8).contains(l.line.center()))
                continue;
            QCOMPARE(l.width, twipsToLayout(10));
            (l.line.dy() == 0 ? across : down)
                << (l.line.dy() == 0 ? l.line.y1() : l.line.x1()) * 72 / kLayoutDpi;
        }
        const auto near = [](const QList<double>& ours, const QList<double>& theirs, double within) {
            QString out;
            for (qsizetype i = 0; i < qMax(ours.size(), theirs.size()); ++i)
                if (i >= ours.size() || i >= theirs.size() || qAbs(ours[i] - theirs[i]) > within)
                    out += QStringLiteral("%1 not %2; ").arg(ours.value(i, -1)).arg(theirs.value(i, -1));
            return out;
        };
        QCOMPARE(near(distinct(across), {98.05, 112.35, 126.65, 140.95, 155.25}, 0.25), QString());
        QCOMPARE(near(distinct(down), {66.6, 216.55, 366.55, 534.6}, 0.5), QString());
        for (const Recorder::Fill& f : drawn->fills)
            QVERIFY(f.color != QColor(Qt::black));
        // The space after the paragraph before the table and before the one after it stays.
        const QRectF before = onSheet(s, blockStarting(doc, QStringLiteral("Dear")));
        const QRectF after = onSheet(s, blockStarting(doc, QStringLiteral("Every offer")));
        QVERIFY(frame.top() - before.bottom() >= twipsToLayout(240) - 2);
        QVERIFY(after.top() - frame.bottom() >= twipsToLayout(240) - 2);

        // List items: marker at a quarter inch, text at half an inch (the hanging indent).
        for (const QString& item : {QStringLiteral("A full tank"), QStringLiteral("Call your")}) {
            bool seen = false;
            for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
                const int tab = int(b.text().indexOf(QLatin1Char('\t')));
                if (tab < 0 || !b.text().mid(tab + 1).startsWith(item))
                    continue;
                seen = true;
                QVERIFY2(qAbs(afterTab(b, tab) - twipsToLayout(720)) < 1, qPrintable(b.text()));
                QVERIFY(qAbs(b.layout()->lineAt(0).cursorToX(0) - twipsToLayout(360)) < 1);
            }
            QVERIFY2(seen, qPrintable(item));
        }

        // Leaders: dots up to the right-aligned price, a rule for \tlul, nothing without a leader.
        const QTextBlock oil = blockStarting(doc, QStringLiteral("Oil change\t"));
        const QTextBlock brake = blockStarting(doc, QStringLiteral("Brake inspection\t"));
        QVERIFY(oil.isValid() && brake.isValid());
        const auto gap = [&](const QTextBlock& b) {
            const int tab = int(b.text().indexOf(QLatin1Char('\t')));
            const QTextLine line = b.layout()->lineAt(0);
            const QRectF r = onSheet(s, b);
            return QRectF(r.left() + line.cursorToX(tab) + 4, r.top() + line.y(),
                          line.cursorToX(tab + 1) - line.cursorToX(tab) - 8, line.height());
        };
        QVERIFY(qAbs(onSheet(s, oil).left() + oil.layout()->lineAt(0).naturalTextWidth() -
                     twipsToLayout(1440 + 9360)) < 2);
        const int dots = marksAlong(page, gap(oil));
        const auto leaders = record(s, 0);
        QVERIFY2(dots > 40, qPrintable(QString::number(dots)));
        QVERIFY(ruleShare(page, gap(brake), Qt::Horizontal) > 0.97);
        // As LibreOffice sets them, leaders start where the text before the tab ends and fill the space
        // to the stop: 127 dots after "Oil change", 63 underscores after "Tyre rotation" in its PDF (a
        // rule takes one character more than fit, set closer, so that it has no gap), one more or less where
        // the fonts differ a little.
        for (const auto& [start, c, count] :
             {std::tuple{QStringLiteral("Oil change\t"), QLatin1Char('.'), 127},
              std::tuple{QStringLiteral("Tyre rotation\t"), QLatin1Char('_'), 63}}) {
            const QTextBlock b = blockStarting(doc, start);
            const QTextLine line = b.layout()->lineAt(0);
            const double baseline = onSheet(s, b).top() + line.y() + line.ascent();
            const double from = onSheet(s, b).left() + line.cursorToX(int(start.size()) - 1);
            QList<double> xs;
            for (const Recorder::Text& t : leaders->texts)
                if (t.text == QString(c) && qAbs(t.baseline.y() - baseline) < 4)
                    xs << t.baseline.x();
            QVERIFY2(qAbs(xs.size() - count) <= 1, qPrintable(QString::number(xs.size())));
            QVERIFY2(qAbs(*std::min_element(xs.begin(), xs.end()) - from) < 1, qPrintable(start));
        }
        // The text before them is as wide as in LibreOffice's PDF (52.2 and 62.1 pt): the fonts' own
        // widths, not whole layout pixels, and pairs such as "Ty" kerned, as the file asks.
        for (const auto& [start, width] : {std::pair{QStringLiteral("Oil change\t"), 52.2},
                                           std::pair{QStringLiteral("Tyre rotation\t"), 62.1}}) {
            const QTextBlock b = blockStarting(doc, start);
            const double ours = b.layout()->lineAt(0).cursorToX(int(start.size()) - 1) * 72 / kLayoutDpi;
            QVERIFY2(qAbs(ours - width) < 0.15, qPrintable(QStringLiteral("%1: %2 pt").arg(start).arg(ours)));
        }
        const QTextBlock intro = blockStarting(doc, QStringLiteral("Every offer"));
        QVERIFY(!intro.blockFormat().hasProperty(kLeadersProperty));
    }

    void pageNumbersAndSpacing() {
        Shown s = show("two-pages.rtf");
        QCOMPARE(s.copy.pageCount(), 2);
        // The file stores "1" as both numbers; each page shows its own (as does the older \chpgn).
        for (int i = 0; i < 2; ++i) {
            sheet(s, i);
            QCOMPARE(s.copy.footer->toPlainText(), QStringLiteral("Page %1 of 2").arg(i + 1));
        }
        Shown older;
        older.t = std::make_shared<const Template>(
            readRtf("{\\rtf1 {\\footer \\pard Sheet \\chpgn\\par }\\pard One\\page Two\\par }", "older.rtf"));
        older.copy = Merger(older.t, nullptr).next();
        sheet(older, 1);
        QCOMPARE(older.copy.footer->toPlainText(), QStringLiteral("Sheet 2"));
        // Space after (12 pt) and before (6 pt) add up between paragraphs; a paragraph the text runs on
        // to the second page starts at that page's top.
        const QTextDocument& doc = *s.copy.body;
        const QAbstractTextDocumentLayout* layout = doc.documentLayout();
        const double pageHeight = doc.pageSize().height();
        QTextBlock b = blockStarting(doc, QStringLiteral("Your new car"));
        // Lines, not blocks: a line that does not fit moves on to the next page within its block.
        const auto lineTop = [&](const QTextBlock& x, int i) {
            return layout->blockBoundingRect(x).top() + x.layout()->lineAt(i).y();
        };
        int gaps = 0;
        for (QTextBlock n = b.next(); n.isValid() && n.text().startsWith(QLatin1String("Your"));
             n = n.next()) {
            const QTextBlock up = n.previous();
            const int last = up.layout()->lineCount() - 1;
            const double bottom = lineTop(up, last) + up.layout()->lineAt(last).height();
            if (std::floor(bottom / pageHeight) != std::floor(lineTop(n, 0) / pageHeight))
                continue;
            // QTextLine rounds its height up to a whole pixel; the line itself is a fraction shorter.
            QVERIFY2(qAbs(lineTop(n, 0) - bottom - twipsToLayout(240 + 120)) < 1.5,
                     qPrintable(QString::number(lineTop(n, 0) - bottom)));
            ++gaps;
        }
        QVERIFY(gaps >= 10);

        // The closing line's double rule above it and single rule below it.
        const QTextBlock closing = blockStarting(doc, QStringLiteral("Come see"));
        const QRectF text = onSheet(s, closing).translated(0, -pageHeight);
        const QImage second = sheet(s, 1);
        const double margin = twipsToLayout(1440), across = twipsToLayout(9360);
        QCOMPARE(rulesAcross(second,
                             QRectF(margin, text.top() - twipsToLayout(60 + 60), across, twipsToLayout(60))),
                 2);
        QCOMPARE(
            rulesAcross(second, QRectF(margin, text.bottom() + twipsToLayout(30), across, twipsToLayout(90))),
            1);
        double firstOnSecond = 2 * pageHeight;
        for (; b.isValid(); b = b.next())
            for (int i = 0; i < b.layout()->lineCount(); ++i) {
                const double y = layout->blockBoundingRect(b).top() + b.layout()->lineAt(i).y();
                if (y >= pageHeight - 1)
                    firstOnSecond = qMin(firstOnSecond, y);
            }
        QVERIFY2(qAbs(firstOnSecond - pageHeight) < 1,
                 qPrintable(QString::number(firstOnSecond - pageHeight)));
    }

    void paragraphShading() {
        // Shading that LibreOffice saved as \cbpat lies under the paragraph's lines from margin to
        // margin, the text over it; the space after the paragraph stays clear.
        const Shown s = show("shading.rtf");
        const QImage page = sheet(s, 0);
        const auto drawn = record(s, 0);
        const double left = twipsToLayout(1440), right = twipsToLayout(12240 - 1440);
        const std::pair<QString, QColor> shaded[]{{QStringLiteral("Zero down"), QColor(255, 230, 153)},
                                                  {QStringLiteral("A free oil"), QColor(198, 224, 180)}};
        for (const auto& [start, color] : shaded) {
            const QRectF text = onSheet(s, blockStarting(*s.copy.body, start));
            int fills = 0;
            for (const Recorder::Fill& f : drawn->fills) {
                if (f.color != color)
                    continue;
                ++fills;
                QVERIFY(qAbs(f.rect.left() - left) < 1 && qAbs(f.rect.right() - right) < 1);
                QVERIFY(qAbs(f.rect.top() - text.top()) < 1);
                QVERIFY2(qAbs(f.rect.height() - twipsToLayout(276)) < 1,
                         qPrintable(QString::number(f.rect.height())));
            }
            QCOMPARE(fills, 1);
            const int y = px(text.top() + twipsToLayout(138));
            int darkest = 255;
            for (int x = px(left); x < px(right); ++x)
                darkest = qMin(darkest, qGray(page.pixel(x, y)));
            QVERIFY(darkest < 100);
            QCOMPARE(page.pixelColor(px(right) - 2, px(text.top()) + 1), color);
            QCOMPARE(page.pixelColor(px(right) - 2, px(text.top() + twipsToLayout(276)) + 2),
                     QColor(Qt::white));
        }
    }

    void indentedRules() {
        // A paragraph indented half an inch on both sides has its rules from indent to indent, their
        // space away from its text.
        const Shown s = show("colours.rtf");
        const QRectF text = onSheet(s, blockStarting(*s.copy.body, QStringLiteral("Offer ends")));
        const auto drawn = record(s, 0);
        QList<QLineF> rules;
        for (const Recorder::Line& l : drawn->lines)
            if (l.line.dy() == 0 && qAbs(l.line.y1() - text.center().y()) < twipsToLayout(400))
                rules << l.line;
        QCOMPARE(rules.size(), 2);
        for (const QLineF& r : rules) {
            QVERIFY(qAbs(qMin(r.x1(), r.x2()) - twipsToLayout(1440 + 720)) < 1);
            QVERIFY(qAbs(qMax(r.x1(), r.x2()) - twipsToLayout(12240 - 1440 - 720)) < 1);
        }
        const double above = qMin(rules[0].y1(), rules[1].y1()), below = qMax(rules[0].y1(), rules[1].y1());
        QVERIFY(qAbs(text.top() - above - twipsToLayout(40 + 5)) < 1.5);
        QVERIFY(qAbs(below - text.top() - twipsToLayout(276 + 40 + 5)) < 1.5); // one line of 13.8 pt
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

    // A letterhead on the first page only, then left and right pages' own headers; a first page's
    // header taller than its margin moves that page's text down, and only that page's.
    void headersOfFirstEvenAndOddPages() {
        const Shown s = showRtf(
            "\\facingp\\sectd\\titlepg{\\headerf \\pard Letterhead\\par Street\\par Town\\par "
            "Phone\\par Mail\\par }{\\headerl \\pard Even head\\par }{\\headerr \\pard Odd head\\par }"
            "{\\footer \\pard Foot {\\field{\\*\\fldinst PAGE }{\\fldrslt 1}}\\par }"
            "\\pard One\\par \\page Two\\par \\page Three\\par ");
        QCOMPARE(s.copy.pageCount(), 3);
        const QStringList heads{"Letterhead", "Even head", "Odd head"};
        std::array<double, 3> bodyLine{};
        for (int page = 0; page < 3; ++page) {
            const auto drawn = record(s, page);
            for (int h = 0; h < 3; ++h)
                QCOMPARE(drawn->textsStarting(heads[h]).size(), size_t(h == page ? 1 : 0));
            // The first page has no footer of its own: none; the others, one for both sides.
            const QTextDocument* footer = bandOn(s.copy, page, false);
            QCOMPARE(footer ? footer->toPlainText() : QString(),
                     page == 0 ? QString() : QStringLiteral("Foot %1").arg(page + 1));
            bodyLine[size_t(page)] = baselineOf(*drawn, QStringList{"One", "Two", "Three"}[page]);
            QVERIFY(bodyLine[size_t(page)] > 0);
        }
        // The letterhead reaches past the top margin: page 1's text starts below it, the others' at the
        // margin, as their short headers leave it.
        const double letterhead =
            twipsToLayout(720) + s.copy.firstHeader->documentLayout()->documentSize().height();
        QVERIFY(letterhead > twipsToLayout(1440) + 20);
        QCOMPARE(s.copy.bodyTop, twipsToLayout(1440));
        QVERIFY2(qAbs(bodyLine[0] - bodyLine[1] - (letterhead - twipsToLayout(1440))) < 1,
                 qPrintable(QStringLiteral("%1 %2").arg(bodyLine[0]).arg(bodyLine[1])));
        QCOMPARE(bodyLine[1], bodyLine[2]);

        // A first page of its own without a header of its own shows none.
        const Shown bare =
            showRtf("\\sectd\\titlepg{\\header \\pard Running\\par }\\pard One\\page Two\\par ");
        QCOMPARE(bare.copy.pageCount(), 2);
        QVERIFY(!bandOn(bare.copy, 0, true));
        QVERIFY(record(bare, 0)->textsStarting(QStringLiteral("Running")).empty());
        QCOMPARE(record(bare, 1)->textsStarting(QStringLiteral("Running")).size(), size_t(1));
    }

    // A section that starts a new page starts it, with its own header from there on.
    void sectionsStartPagesWithTheirHeaders() {
        const Shown s =
            showRtf("\\sectd{\\header \\pard First part\\par }\\pard A\\par \\sect\\sectd"
                    "{\\header \\pard Second part\\par }\\pard B\\par \\page C\\par \\sect\\sectd\\sbknone"
                    "{\\header \\pard Third part\\par }\\pard D\\par ");
        QCOMPARE(s.copy.pageCount(), 3);
        const QStringList heads{"First part", "Second part", "Second part"};
        const QStringList lines{"A", "B", "C"};
        for (int page = 0; page < 3; ++page) {
            const auto drawn = record(s, page);
            QCOMPARE(drawn->textsStarting(heads[page]).size(), size_t(1));
            QVERIFY(baselineOf(*drawn, lines[page]) > 0);
        }
        // The third section runs on below C: its header would start with the next page.
        QVERIFY(baselineOf(*record(s, 2), QStringLiteral("D")) > 0);
        // The second section is laid out on sheets of its own, and the third runs on within it.
        QCOMPARE(s.copy.parts.size(), size_t(1));
        const PageCopy& second = s.copy.parts.front();
        QCOMPARE(second.sections.size(), size_t(2));
        QCOMPARE(second.sections[0].fromPage, 0);
        QCOMPARE(second.sections[1].fromPage, 2);
    }

    // A page break drops the space after the paragraph before it and keeps the space before the
    // paragraph after it, as LibreOffice sets a letter's second page (its PDF of such a letter has the
    // line 6 pt below the top margin, for 6 pt before and 12 pt after).
    void spaceAtAPageBreak() {
        const Shown s = showRtf("\\pard\\sa240 One\\par \\pard\\sb120\\sa240\\pagebb Two\\par ");
        QCOMPARE(s.copy.pageCount(), 2);
        const double first = baselineOf(*record(s, 0), QStringLiteral("One"));
        const double second = baselineOf(*record(s, 1), QStringLiteral("Two"));
        QVERIFY2(qAbs(second - first - twipsToLayout(120)) < 1, qPrintable(QString::number(second - first)));
    }

    // PAGE in the body of a letter that runs on to a second page shows, on each page, that page.
    void pageFieldsInTheBody() {
        // A text area of 594.6 pt, which Qt's 64ths of a pixel do not hold exactly.
        QByteArray body = "\\margt2508 ";
        for (int i = 0; i < 60; ++i)
            body += "\\pard Line " + QByteArray::number(i) +
                    " on page {\\b{\\field{\\*\\fldinst PAGE }{\\fldrslt 9}}}\\par ";
        body += "\\pard\\pagebb Last on page {\\b{\\field{\\*\\fldinst PAGE }{\\fldrslt 9}}}\\par ";
        const Shown s = showRtf(body);
        QCOMPARE(s.copy.pageCount(), 3);
        std::array<int, 3> seen{};
        for (int page = 0; page < 3; ++page) {
            const auto drawn = record(s, page);
            double top = 1e9;
            QString topNumber;
            for (const Recorder::Text& t : drawn->texts) {
                bool number = false;
                t.text.toInt(&number);
                if (!number)
                    continue;
                QCOMPARE(t.text, QString::number(page + 1));
                ++seen[size_t(page)];
                if (t.baseline.y() < top) {
                    top = t.baseline.y();
                    topNumber = t.text;
                }
            }
            // The first line of each page numbers its own page, whatever the rounding of its place.
            QCOMPARE(topNumber, QString::number(page + 1));
        }
        QVERIFY(seen[0] > 20 && seen[1] > 0 && seen[2] == 1);
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

    // Lines are as tall as LibreOffice sets them (the font's spacing, 13.8 pt for 12-point Liberation
    // Serif, not Qt's whole layout pixels), and their text sits where LibreOffice sets it, under the
    // font's line gap (Qt would set the gap below the text), so that a page holds the same lines at the
    // same heights.
    void lineHeights() {
        Shown s = show("two-pages.rtf");
        const double textBottom = s.bodyTop() + s.copy.body->pageSize().height();
        // Each body line's baseline as painted, in points from its sheet's top, by page.
        std::array<QList<double>, 2> baselines;
        for (int page = 0; page < 2; ++page) {
            QList<double> ys;
            const auto drawn = record(s, page);
            for (const Recorder::Text& t : drawn->texts)
                if (t.baseline.y() < textBottom && !t.text.trimmed().isEmpty())
                    ys << t.baseline.y() * 72 / kLayoutDpi;
            std::sort(ys.begin(), ys.end());
            for (double y : ys)
                if (baselines[size_t(page)].isEmpty() || y - baselines[size_t(page)].last() > 0.2)
                    baselines[size_t(page)] << y;
        }
        // Measured once in LibreOffice 7.4's PDF of two-pages.rtf (its text positions, with the fonts
        // of tools/fresh-fonts): 32 lines on the first page, the first baseline of each page 83.2 pt
        // from the sheet's top, the last on the first page 703.0 pt.
        QCOMPARE(baselines[0].size(), 32);
        QVERIFY(!baselines[1].isEmpty());
        const auto near = [](double ours, double theirs) {
            return qAbs(ours - theirs) < 0.25 ? QString()
                                              : QStringLiteral("%1 pt, not %2").arg(ours).arg(theirs);
        };
        QCOMPARE(near(baselines[0].first(), 83.2), QString());
        QCOMPARE(near(baselines[0].last(), 703.0), QString());
        QCOMPARE(near(baselines[1].first(), 83.2), QString());
        // The third to fifth lines are one paragraph (140.8, 154.6 and 168.4 pt in LibreOffice's PDF).
        QCOMPARE(near(baselines[0][2], 140.8), QString());
        const double pitch = (baselines[0][4] - baselines[0][2]) / 2;
        QVERIFY2(qAbs(pitch - 13.8) < 0.05, qPrintable(QString::number(pitch)));
    }

    // Word's tables as LibreOffice prints them. A row's edges stand its left padding left of where Word
    // gives them, so that the first cell's text starts at \trleft.
    void wordTableBorders() {
        // Row 1: a 1.5-point rule round the first cell, the second ruled 1 point (\brdrth, twice its
        // 0.5 point) above and below and 0.5 point on the right, none on the left: the first cell's right
        // rule stands alone on the edge they share. Row 2: the first cell has no right rule, the second a
        // left one.
        const QByteArray row1 =
            "\\trowd\\trgaph108\\trleft108\\trpaddl108\\trpaddr108\\trpaddfl3\\trpaddfr3" +
            ruledCell(3108, 30) +
            "\\clbrdrt\\brdrth\\brdrw10 \\clbrdrb\\brdrth\\brdrw10 \\clbrdrr\\brdrs\\brdrw10 "
            "\\cellx6108";
        const QByteArray row2 = "\\trowd\\trgaph108\\trleft108\\trpaddl108\\trpaddr108\\trpaddfl3\\trpaddfr3"
                                "\\clbrdrb\\brdrs\\brdrw10 \\cellx3108\\clbrdrl\\brdrs\\brdrw20 \\cellx6108";
        const Shown s = showWord("\\pard Before\\par " + row1 + "\\pard\\intbl One\\cell Two\\cell \\row " +
                                 row2 + "\\pard\\intbl Three\\cell Four\\cell \\row \\pard After\\par ");
        QTextTable* table = firstTable(*s.copy.body);
        QVERIFY(table);
        QCOMPARE(QList<int>({table->rows(), table->columns()}), QList<int>({2, 2}));
        const double margin = twipsToLayout(1440);
        const double left = margin, shared = margin + twipsToLayout(3000),
                     right = margin + twipsToLayout(6000);
        // The text starts at \trleft, and half the rule beyond.
        QVERIFY(qAbs(cellText(s, table, 0, 0).left() - twipsToLayout(1440 + 108 + 15)) < 1);
        const auto drawn = record(s, 0);
        // Each edge is ruled once, with its own rule's width, on the edge itself.
        const auto shared1 = linesAt(*drawn, Qt::Vertical, shared);
        QCOMPARE(shared1.size(), size_t(2));
        const double top = cellText(s, table, 0, 0).top(), middle = cellText(s, table, 1, 0).top();
        for (const Recorder::Line& l : shared1) {
            const bool first = qMin(l.line.y1(), l.line.y2()) < middle - 4;
            QCOMPARE(l.width, twipsToLayout(first ? 30 : 20));
        }
        const auto outer = linesAt(*drawn, Qt::Vertical, left);
        QVERIFY(outer.size() == 1 && outer.front().width == twipsToLayout(30));
        QVERIFY(qMax(outer.front().line.y1(), outer.front().line.y2()) < middle + 1);
        const auto far = linesAt(*drawn, Qt::Vertical, right);
        QVERIFY(far.size() == 1 && far.front().width == twipsToLayout(10));
        for (const Recorder::Line& l : drawn->lines)
            if (l.line.dx() == 0)
                QVERIFY2(qAbs(l.line.x1() - left) < 0.5 || qAbs(l.line.x1() - shared) < 0.5 ||
                             qAbs(l.line.x1() - right) < 0.5,
                         qPrintable(QString::number(l.line.x1())));
        // The edge between the rows: the first cell's 1.5-point rule, and the second's 1-point one.
        int across = 0;
        for (const Recorder::Line& l : drawn->lines)
            if (l.line.dy() == 0 && qAbs(l.line.y1() - middle) < twipsToLayout(200)) {
                ++across;
                const bool first = l.line.center().x() < shared;
                QCOMPARE(l.width, twipsToLayout(first ? 30 : 20));
            }
        QCOMPARE(across, 2);
        // On the painted sheet the rules are as thick as their widths: 1.5 and 1 point, 0.5 point.
        const QImage page = sheet(s, 0);
        const double ruleTop = top - twipsToLayout(15);
        QCOMPARE(darkRun(page, left + twipsToLayout(1500), ruleTop, Qt::Horizontal), 3);
        QCOMPARE(darkRun(page, shared + twipsToLayout(1500), ruleTop, Qt::Horizontal), 2);
        QCOMPARE(darkRun(page, right, top + twipsToLayout(100), Qt::Vertical), 1);
        QCOMPARE(darkRun(page, shared, top + twipsToLayout(100), Qt::Vertical), 3);
    }

    void wordCellPadding() {
        // The row's padding (left 360, top 240, bottom 120) and the second cell's own (\clpadt is its
        // left, 720; \clpadl its top, 600): a row's cells all take its largest top padding.
        const Shown s = showWord(
            "\\trowd\\trgaph108\\trleft0\\trpaddl360\\trpaddt240\\trpaddb120\\trpaddr108\\trpaddfl3\\trpaddft"
            "3"
            "\\trpaddfb3\\trpaddfr3" +
            ruledCell(3000) + ruledCell(6000, 10, "\\clpadl600\\clpadt720\\clpadfl3\\clpadft3 ") +
            "\\pard\\intbl One\\cell Two\\cell \\row \\pard Between\\par "
            "\\trowd\\trgaph108\\trleft0\\trpaddl360\\trpaddfl0" +
            ruledCell(3000) + ruledCell(6000) +
            "\\pard\\intbl Three\\cell Four\\cell \\row \\pard After\\par ");
        QTextTable* table = firstTable(*s.copy.body);
        QVERIFY(table);
        const auto drawn = record(s, 0);
        const double edge = twipsToLayout(1440 - 360);
        QCOMPARE(linesAt(*drawn, Qt::Vertical, edge).size(), size_t(1));
        const QRectF one = cellText(s, table, 0, 0), two = cellText(s, table, 0, 1);
        const double x1 =
            one.left() + table->cellAt(0, 0).firstCursorPosition().block().layout()->lineAt(0).x();
        const double x2 =
            two.left() + table->cellAt(0, 1).firstCursorPosition().block().layout()->lineAt(0).x();
        // Each text stands its padding and half its cell's left rule in from the edge.
        QVERIFY2(qAbs(x1 - (edge + twipsToLayout(360 + 5))) < 1, qPrintable(QString::number(x1 - edge)));
        QVERIFY2(qAbs(x2 - (edge + twipsToLayout(3000 + 720 + 5))) < 1,
                 qPrintable(QString::number(x2 - edge)));
        // Below the table's top rule (half of its half point inside the cell) by the top padding.
        const auto rules = linesAt(*drawn, Qt::Horizontal, one.top() - twipsToLayout(600 + 5));
        QVERIFY2(!rules.empty(), qPrintable(QString::number(one.top())));
        QVERIFY(qAbs(two.top() - one.top()) < 0.5);
        // Units of 0 leave the row's left padding to the cell gap: its edges stand 108 twips left.
        QVERIFY(linesAt(*drawn, Qt::Vertical, twipsToLayout(1440 - 108)).size() == 1);
        const QRectF three = onSheet(s, blockStarting(*s.copy.body, QStringLiteral("Three")));
        QVERIFY(qAbs(three.left() - twipsToLayout(1440 + 5)) < 1);
        // The first row ends 120 twips below its text, where its bottom rule is.
        const QTextBlock b = table->cellAt(0, 0).firstCursorPosition().block();
        const double textEnd = one.top() + b.layout()->lineAt(0).height();
        int closing = 0;
        for (const Recorder::Line& l : drawn->lines)
            closing += l.line.dy() == 0 && qAbs(l.line.y1() - textEnd - twipsToLayout(120 + 5)) < 2;
        QCOMPARE(closing, 1);
    }

    void wordRowHeights() {
        // An exact row of half an inch shows the paragraphs that fit in it; a row of at least 1000 twips
        // with one line is that tall; a row set lower than its line grows to hold it.
        const QByteArray def = "\\trowd\\trgaph108\\trleft0";
        const Shown s =
            showWord(def + "\\trrh-720" + ruledCell(4000) + ruledCell(8000) +
                     "\\pard\\intbl Kept\\par Second\\par Third\\par Lost\\cell B\\cell \\row " + def +
                     "\\trrh1000" + ruledCell(4000) + ruledCell(8000) +
                     "\\pard\\intbl Short\\cell C\\cell \\row " + def + "\\trrh100" + ruledCell(4000) +
                     ruledCell(8000) + "\\pard\\intbl Taller\\cell D\\cell \\row \\pard After\\par ");
        QTextTable* table = firstTable(*s.copy.body);
        QVERIFY(table);
        const QString text = s.copy.body->toPlainText();
        QVERIFY(text.contains(QStringLiteral("Kept")) && text.contains(QStringLiteral("Second")));
        QVERIFY(!text.contains(QStringLiteral("Third")) && !text.contains(QStringLiteral("Lost")));
        const double a = cellText(s, table, 0, 1).top(), b = cellText(s, table, 1, 1).top(),
                     c = cellText(s, table, 2, 1).top();
        // Qt sets rows on whole layout pixels.
        QVERIFY2(qAbs(b - a - twipsToLayout(720)) < 1.5, qPrintable(QString::number(b - a)));
        QVERIFY2(qAbs(c - b - twipsToLayout(1000)) < 1.5, qPrintable(QString::number(c - b)));
        const QTextBlock taller = table->cellAt(2, 0).firstCursorPosition().block();
        const double after = onSheet(s, blockStarting(*s.copy.body, QStringLiteral("After"))).top();
        QVERIFY(after - c >= taller.layout()->lineAt(0).height());
        // The rules close the exact row at its set height.
        const auto drawn = record(s, 0);
        QCOMPARE(linesAt(*drawn, Qt::Horizontal, a - twipsToLayout(5)).size(), size_t(1));
        QCOMPARE(linesAt(*drawn, Qt::Horizontal, b - twipsToLayout(5)).size(), size_t(1));
    }

    void exactRowLowerThanItsLine() {
        // A form spaces its rows with exact rows of two points holding an empty paragraph: the row is
        // two points, not a line, tall.
        const QByteArray def = "\\trowd\\trgaph108\\trleft0";
        const QByteArray row = ruledCell(4000) + "\\pard\\intbl ";
        const Shown s = showWord(def + row + "Name\\cell \\row " + def + "\\trrh-40" + row + "\\cell \\row " +
                                 def + row + "Address\\cell \\row \\pard After\\par ");
        QTextTable* table = firstTable(*s.copy.body);
        QVERIFY(table);
        const double a = cellText(s, table, 0, 0).top(), b = cellText(s, table, 1, 0).top(),
                     c = cellText(s, table, 2, 0).top();
        QVERIFY2(qAbs(c - b - twipsToLayout(40)) < 1.5, qPrintable(QString::number(c - b)));
        QVERIFY2(c - a < 2 * (b - a), qPrintable(QStringLiteral("%1 %2").arg(b - a).arg(c - a)));
    }

    void wordMergedCells() {
        // Merged across (\clmgf, \clmrg) in the first row, down (\clvmgf, \clvmrg) the first column of
        // the next two.
        const QByteArray def = "\\trowd\\trgaph108\\trleft0";
        const Shown s =
            showWord(def + ruledCell(3000, 10, "\\clmgf") + ruledCell(6000, 10, "\\clmrg") + ruledCell(9000) +
                     "\\pard\\intbl One cell across two columns here\\cell \\cell Right\\cell \\row " + def +
                     ruledCell(3000, 10, "\\clvmgf") + ruledCell(6000) + ruledCell(9000) +
                     "\\pard\\intbl Down\\cell B2\\cell C2\\cell \\row " + def +
                     ruledCell(3000, 10, "\\clvmrg") + ruledCell(6000) + ruledCell(9000) +
                     "\\pard\\intbl \\cell B3\\par more\\cell C3\\cell \\row \\pard After\\par ");
        QTextTable* table = firstTable(*s.copy.body);
        QVERIFY(table);
        QCOMPARE(QList<int>({table->rows(), table->columns()}), QList<int>({3, 3}));
        QCOMPARE(table->cellAt(0, 0).columnSpan(), 2);
        QCOMPARE(table->cellAt(1, 0).rowSpan(), 2);
        QVERIFY(table->cellAt(2, 0) == table->cellAt(1, 0));
        const QTextBlock across = table->cellAt(0, 0).firstCursorPosition().block();
        QCOMPARE(across.text(), QStringLiteral("One cell across two columns here"));
        QCOMPARE(across.layout()->lineCount(), 1);
        const auto drawn = record(s, 0);
        QCOMPARE(drawn->textsStarting(QStringLiteral("Down")).size(), size_t(1));
        // No rule inside a merged cell: none down its middle edge in the first row, none across the
        // first column between the second and third rows.
        const double r0 = cellText(s, table, 0, 2).top(), r1 = cellText(s, table, 1, 1).top(),
                     r2 = cellText(s, table, 2, 1).top();
        for (const Recorder::Line& l : linesAt(*drawn, Qt::Vertical, twipsToLayout(1440 - 108 + 3000)))
            QVERIFY(qMin(l.line.y1(), l.line.y2()) > r1 - twipsToLayout(40));
        for (const Recorder::Line& l : linesAt(*drawn, Qt::Horizontal, r2 - twipsToLayout(5)))
            QVERIFY(qMin(l.line.x1(), l.line.x2()) > twipsToLayout(1440 - 108 + 3000) - 4);
        QVERIFY(r0 < r1 && r1 < r2);
    }

    void wordCellAlignment() {
        // Beside a cell of four lines: one set in its middle (\clvertalc), one at its foot (\clvertalb),
        // and a cell merged down two rows set in the middle of both.
        const QByteArray def = "\\trowd\\trgaph108\\trleft0";
        const Shown s = showWord(
            def + ruledCell(2000) + ruledCell(4000, 10, "\\clvertalc") + ruledCell(6000, 10, "\\clvertalb") +
            ruledCell(8000, 10, "\\clvmgf\\clvertalc") +
            "\\pard\\intbl 1\\par 2\\par 3\\par 4\\cell Middle\\cell Foot\\cell Both\\cell \\row " + def +
            ruledCell(2000) + ruledCell(4000) + ruledCell(6000) + ruledCell(8000, 10, "\\clvmrg") +
            "\\pard\\intbl 5\\par 6\\cell x\\cell y\\cell \\cell \\row \\pard After\\par ");
        QTextTable* table = firstTable(*s.copy.body);
        QVERIFY(table);
        const QRectF first = cellText(s, table, 0, 0), next = cellText(s, table, 1, 0);
        const QTextBlock four = table->cellAt(0, 0).lastCursorPosition().block();
        const double textEnd = onSheet(s, four).top() + four.layout()->lineAt(0).height();
        const double line = four.layout()->lineAt(0).height();
        const QRectF middle = cellText(s, table, 0, 1), foot = cellText(s, table, 0, 2);
        QVERIFY2(qAbs(middle.top() + line / 2 - (first.top() + textEnd) / 2) < 2,
                 qPrintable(QString::number(middle.top() - first.top())));
        QVERIFY2(qAbs(foot.top() + line - textEnd) < 2,
                 qPrintable(QString::number(foot.top() - first.top())));
        const QRectF both = cellText(s, table, 0, 3);
        const QTextBlock six = table->cellAt(1, 0).lastCursorPosition().block();
        const double end = onSheet(s, six).top() + six.layout()->lineAt(0).height();
        QVERIFY2(qAbs(both.top() + line / 2 - (first.top() + end) / 2) < 2,
                 qPrintable(QString::number(both.top() - first.top())));
        QVERIFY(next.top() > textEnd - 1);
    }

    void wordHeadingRows() {
        // A heading row (\trhdr) over sixty rows: the table runs on to a second page, which opens with
        // the heading again, ruled like the first.
        QByteArray body = "\\trowd\\trgaph108\\trleft0\\trhdr" + ruledCell(4000) + ruledCell(8000) +
                          "\\pard\\intbl Heading\\cell Value\\cell \\row ";
        for (int i = 1; i <= 60; ++i)
            body += "\\trowd\\trgaph108\\trleft0" + ruledCell(4000) + ruledCell(8000) + "\\pard\\intbl Row " +
                    QByteArray::number(i) + "\\cell x\\cell \\row ";
        const Shown s = showWord(body + "\\pard After\\par ");
        QCOMPARE(s.copy.pageCount(), 2);
        const auto second = record(s, 1);
        const auto headings = second->textsStarting(QStringLiteral("Heading"));
        QCOMPARE(headings.size(), size_t(1));
        const double textTop = s.bodyTop();
        QVERIFY2(headings.front().baseline.y() - textTop < twipsToLayout(300),
                 qPrintable(QString::number(headings.front().baseline.y() - textTop)));
        for (const Recorder::Text& t : second->texts)
            if (t.text.startsWith(QLatin1String("Row")))
                QVERIFY(t.baseline.y() > headings.front().baseline.y());
        // Ruled above and below, on the same edges as on the first page, once each.
        int above = 0, below = 0;
        for (const Recorder::Line& l : second->lines) {
            if (l.line.dy() != 0)
                continue;
            const double d = l.line.y1() - headings.front().baseline.y();
            above += d < 0 && d > -twipsToLayout(300);
            below += d > 0 && d < twipsToLayout(150);
        }
        QCOMPARE(above, 1);
        QCOMPARE(below, 1);
        QCOMPARE(record(s, 0)->textsStarting(QStringLiteral("Heading")).size(), size_t(1));
    }

    void shadingBesideSpacedRule() {
        // Shading reaches out to a left rule that stands its space (\brsp) away from the text, and no
        // further; on the right, without a rule, it ends at the indent.
        const Shown s =
            showWord("\\pard\\li720\\ri720\\brdrl\\brdrs\\brdrw30\\brsp120\\cbpat2 Shaded beside a "
                     "rule\\par \\pard After\\par ");
        const QRectF text = onSheet(s, blockStarting(*s.copy.body, QStringLiteral("Shaded")));
        const auto drawn = record(s, 0);
        const QColor shade(255, 230, 153);
        std::vector<QRectF> fills;
        for (const Recorder::Fill& f : drawn->fills)
            if (f.color == shade)
                fills.push_back(f.rect);
        QCOMPARE(fills.size(), size_t(1));
        const QRectF& fill = fills.front();
        const double indent = twipsToLayout(1440 + 720);
        QVERIFY2(qAbs(fill.left() - (indent - twipsToLayout(120))) < 0.5,
                 qPrintable(QString::number(fill.left())));
        QVERIFY(qAbs(fill.right() - twipsToLayout(12240 - 1440 - 720)) < 0.5);
        QVERIFY(qAbs(fill.top() - text.top()) < 0.5);
        std::vector<Recorder::Line> rules;
        for (const Recorder::Line& l : drawn->lines)
            if (l.line.dx() == 0)
                rules.push_back(l);
        QCOMPARE(rules.size(), size_t(1));
        const Recorder::Line& rule = rules.front();
        QCOMPARE(rule.width, twipsToLayout(30));
        QVERIFY2(qAbs(rule.line.x1() + rule.width / 2 - fill.left()) < 0.5,
                 qPrintable(QString::number(rule.line.x1())));
        QVERIFY(qAbs(qMin(rule.line.y1(), rule.line.y2()) - fill.top()) < 0.5);
        QVERIFY(qAbs(qMax(rule.line.y1(), rule.line.y2()) - fill.bottom()) < 1);
        const QImage page = sheet(s, 0);
        const int y = px(text.center().y());
        QCOMPARE(page.pixelColor(px(fill.left()) + 2, y), shade);
        QCOMPARE(page.pixelColor(px(rule.line.x1() - rule.width / 2) - 2, y), QColor(Qt::white));
        QVERIFY(qGray(page.pixel(px(rule.line.x1()), y)) < 100);
    }

    void emptyLineBeforeTable() {
        // An empty paragraph between a caption and a table keeps its line.
        const QByteArray row =
            "\\trowd\\trgaph108\\trleft0" + ruledCell(4000) + "\\pard\\intbl Cell\\cell \\row ";
        const Shown spaced = showWord("\\pard Caption\\par \\par " + row + "\\pard After\\par ");
        const Shown close = showWord("\\pard Caption\\par " + row + "\\pard After\\par ");
        const auto gap = [](const Shown& s) {
            return cellText(s, firstTable(*s.copy.body), 0, 0).top() -
                   onSheet(s, blockStarting(*s.copy.body, QStringLiteral("Caption"))).top();
        };
        const QTextBlock caption = blockStarting(*spaced.copy.body, QStringLiteral("Caption"));
        const double line = caption.layout()->lineAt(0).height();
        QVERIFY2(qAbs(gap(spaced) - gap(close) - line) < 1.5,
                 qPrintable(QStringLiteral("%1 %2").arg(gap(spaced)).arg(gap(close))));
        QVERIFY(gap(close) < line + twipsToLayout(40));
    }

    void emptyLineAfterTable() {
        // An empty paragraph straight after a table keeps its line, as one before it does (Qt would lay
        // it behind the table).
        const QByteArray row =
            "\\trowd\\trgaph108\\trleft0" + ruledCell(4000) + "\\pard\\intbl Cell\\cell \\row ";
        const auto gap = [&](const QByteArray& between) {
            const Shown s = showWord("\\pard Caption\\par " + row + "\\pard " + between + "After\\par ");
            return onSheet(s, blockStarting(*s.copy.body, QStringLiteral("After"))).top() -
                   cellText(s, firstTable(*s.copy.body), 0, 0).top();
        };
        const Shown one = showWord("\\pard Line\\par Next\\par ");
        const double line = onSheet(one, blockStarting(*one.copy.body, QStringLiteral("Next"))).top() -
                            onSheet(one, blockStarting(*one.copy.body, QStringLiteral("Line"))).top();
        QVERIFY2(qAbs(gap("\\par ") - gap("") - line) < 1.5,
                 qPrintable(QStringLiteral("%1 %2").arg(gap("\\par ")).arg(gap(""))));
        QVERIFY2(qAbs(gap("\\par \\par ") - gap("") - 2 * line) < 1.5,
                 qPrintable(QStringLiteral("%1 %2").arg(gap("\\par \\par ")).arg(gap(""))));
    }

    // Calibri's stand-in, Carlito, holds its line gap within its Windows ascent and descent: LibreOffice
    // sets 12-point lines 14.65 points apart (2500/2048 of the size), where Qt would add the gap again.
    void lineHeightsOfCarlito() {
        const Shown s =
            showWord("\\pard\\fs24 One\\par Two\\par Three\\par \\pard\\sl276\\slmult1 Four\\par Five\\par ",
                     "\\fswiss Calibri");
        const auto drawn = record(s, 0);
        const auto at = [&](const char* word) {
            return baselineOf(*drawn, QLatin1String(word)) * 72 / kLayoutDpi;
        };
        const double single = (at("Three") - at("One")) / 2;
        QVERIFY2(qAbs(single - 14.65) < 0.05, qPrintable(QString::number(single)));
        // 1.15 lines, as Word 2007+ sets its body text, are 1.15 of that.
        const double wider = at("Five") - at("Four");
        QVERIFY2(qAbs(wider - 14.65 * 1.15) < 0.1, qPrintable(QString::number(wider)));
        // The first line's text stands at the top of the text area: no gap above it.
        const QFontMetricsF m(QFont(QStringLiteral("Carlito"), 12), layoutDevice());
        QVERIFY2(qAbs(baselineOf(*drawn, QStringLiteral("One")) - s.bodyTop() - m.ascent()) < 1,
                 qPrintable(QString::number(baselineOf(*drawn, QStringLiteral("One")) - s.bodyTop())));
    }

    // A LibreOffice letter whose table of offers runs on to a second page: LibreOffice 7.4 ends page 1
    // with "Model 31" and starts page 2 with "Model 32", its rule on the top margin. The space after
    // the paragraph above the table stays above it, on the first page only.
    void tableRunsOnToTheNextPage() {
        const Shown s = show("table-over-break.rtf");
        QCOMPARE(s.copy.pageCount(), 2);
        const QTextDocument& doc = *s.copy.body;
        const double pageHeight = doc.pageSize().height();
        QTextTable* table = firstTable(doc);
        QVERIFY(table);
        int firstOnTwo = -1;
        for (int r = 0; r < table->rows() && firstOnTwo < 0; ++r)
            if (doc.documentLayout()
                    ->blockBoundingRect(table->cellAt(r, 0).firstCursorPosition().block())
                    .top() >= pageHeight)
                firstOnTwo = r;
        QVERIFY(firstOnTwo > 0);
        QCOMPARE(table->cellAt(firstOnTwo, 0).firstCursorPosition().block().text(),
                 QStringLiteral("Model 32"));
        // The row's rule stands wholly on page 2, at its top: its cell's text a rule and the row's (no)
        // padding below the text area's top.
        const auto drawn = record(s, 1);
        const double rowTop =
            doc.documentLayout()
                ->blockBoundingRect(table->cellAt(firstOnTwo, 0).firstCursorPosition().block())
                .top() -
            pageHeight;
        QVERIFY2(rowTop < twipsToLayout(30), qPrintable(QString::number(rowTop)));
        double topRule = 1e9, edge = 0;
        for (const Recorder::Line& l : drawn->lines)
            if (l.line.dy() == 0 && l.line.y1() < topRule) {
                topRule = l.line.y1();
                edge = l.line.y1() - l.width / 2;
            }
        QVERIFY2(edge >= s.bodyTop() - 0.01 && edge < s.bodyTop() + 1,
                 qPrintable(QString::number(edge - s.bodyTop())));
        // Page 1 draws no rule at or past its text area's foot, not even half of page 2's first.
        const auto first = record(s, 0);
        const double foot = s.bodyTop() + pageHeight;
        for (const Recorder::Line& l : first->lines)
            QVERIFY2(qMin(l.line.y1(), l.line.y2()) < foot - 0.01 || l.line.dy() != 0,
                     qPrintable(QString::number(l.line.y1())));
        // On page 1, 12 points (\\sa240) between the paragraph above and the table's first rule.
        const QRectF above = onSheet(s, blockStarting(doc, QStringLiteral("These are")));
        const double tableTop = cellText(s, table, 0, 0).top();
        QVERIFY2(qAbs(tableTop - above.bottom() - twipsToLayout(240)) < twipsToLayout(30),
                 qPrintable(QString::number(tableTop - above.bottom())));
    }
};

QTEST_MAIN(TestRendering)
#include "tst_rendering.moc"
