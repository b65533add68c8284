#pragma once

// Templates shown as they stand and painted, and what to measure on the sheets, for the tests of the
// page painting (tst_rendering, tst_tablerendering, tst_framerendering).

#include "Sheets.h"
#include "wordproc/DataSource.h"
#include "wordproc/Merge.h"
#include "wordproc/Pages.h"
#include "wordproc/RtfReader.h"

#include <QAbstractTextDocumentLayout>
#include <QDate>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QTextBlock>
#include <QTextLayout>
#include <QTextTable>
#include <memory>
#include <vector>

namespace rendering {

using namespace wordproc;

// Letters designed in LibreOffice 7.4 and saved by it as RTF, shown as they stand: every field shows
// its stored result, as a merge with one record of those values would.
struct Shown {
    std::shared_ptr<const Template> t;
    PageCopy copy;
    double bodyTop() const { return copy.bodyTop; }
};

inline Shown show(const char* name) {
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
inline Shown showRtf(const QByteArray& body) {
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

inline constexpr double kDpi = 144;

inline QImage sheet(const Shown& s, int page) {
    return sheets::paint(s.copy, page, s.t->page, kDpi);
}

// Layout pixels to the image's pixels.
inline int px(double layout) {
    return qRound(layout * kDpi / kLayoutDpi);
}

// The largest share of dark pixels on one row (or column) of the image within a rectangle in layout
// pixels: 1 where a rule runs the rectangle's whole length.
inline double ruleShare(const QImage& image, const QRectF& r, Qt::Orientation along) {
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
inline int rulesAcross(const QImage& image, const QRectF& r) {
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
inline int marksAlong(const QImage& image, const QRectF& r) {
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

inline QTextBlock blockStarting(const QTextDocument& doc, const QString& text) {
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        if (b.text().startsWith(text))
            return b;
    return {};
}

// A block's text rectangle on the sheet, in layout pixels (for the first page's blocks).
inline QRectF onSheet(const Shown& s, const QTextBlock& b) {
    return s.copy.body->documentLayout()->blockBoundingRect(b).translated(twipsToLayout(s.t->page.leftTwips),
                                                                          s.bodyTop());
}

// The foot of the room of a block's last line on the sheet. A line set closer than its face's own
// height (as Calibri's lines are) is drawn in a rectangle that reaches into the room of the line below.
inline double roomFoot(const Shown& s, const QTextBlock& b) {
    const QTextLine last = b.layout()->lineAt(b.layout()->lineCount() - 1);
    const QTextBlockFormat f = b.blockFormat();
    double height = last.height();
    if (f.lineHeightType() == QTextBlockFormat::ProportionalHeight)
        height *= f.lineHeight() / 100;
    else if (f.lineHeightType() == QTextBlockFormat::FixedHeight)
        height = f.lineHeight() * kLayoutDpi / 96;
    return lineRoomTop(b, last.lineNumber()) + height + s.bodyTop();
}

// Each printed line of the body's first page: its left and right edges and its top and bottom on the
// sheet, in layout pixels.
struct SheetLine {
    QRectF rect;
    QString text;
};

inline std::vector<SheetLine> bodyLines(const Shown& s) {
    std::vector<SheetLine> out;
    for (QTextBlock b = s.copy.body->begin(); b.isValid(); b = b.next()) {
        const QRectF r = onSheet(s, b);
        for (int i = 0; i < b.layout()->lineCount(); ++i) {
            const QTextLine line = b.layout()->lineAt(i);
            if (line.textLength() == 0)
                continue;
            out.push_back(
                SheetLine{QRectF(r.left() + line.x(), r.top() + line.y(), line.width(), line.height()),
                          b.text().mid(line.textStart(), line.textLength())});
        }
    }
    return out;
}

// Where the text after the tab at `tab` starts, in layout pixels from the margin.
inline double afterTab(const QTextBlock& b, int tab) {
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
        QTransform transform; // the painter's: turned text is drawn rotated
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
    std::vector<QRectF> images; // where pictures are drawn

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
            m_r.texts.push_back(Text{m_transform.map(p), item.text(), m_transform});
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
        void drawPixmap(const QRectF& r, const QPixmap&, const QRectF&) override {
            m_r.images.push_back(m_transform.mapRect(r));
        }
        void drawImage(const QRectF& r, const QImage&, const QRectF&, Qt::ImageConversionFlags) override {
            m_r.images.push_back(m_transform.mapRect(r));
        }

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
inline std::unique_ptr<Recorder> record(const Shown& s, int page) {
    auto r = std::make_unique<Recorder>(s.t->page);
    QPainter painter(r.get());
    paintSheet(painter, s.copy, page, s.t->page);
    return r;
}

// A letter of the body given, in Word's words, on US Letter with one-inch margins, shown as it stands;
// its text in Times New Roman or the face given.
inline Shown showWord(const QByteArray& body, const QByteArray& face = "\\froman Times New Roman") {
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
inline QByteArray ruledCell(int right, int width = 10, const QByteArray& more = {}) {
    const QByteArray w = "\\brdrs\\brdrw" + QByteArray::number(width) + ' ';
    return "\\clbrdrt" + w + "\\clbrdrl" + w + "\\clbrdrb" + w + "\\clbrdrr" + w + more + "\\cellx" +
           QByteArray::number(right);
}

inline QTextTable* firstTable(const QTextDocument& doc) {
    for (QTextFrame* f : doc.rootFrame()->childFrames())
        if (auto* t = qobject_cast<QTextTable*>(f))
            return t;
    return nullptr;
}

// The text rectangle of a cell's first paragraph on the sheet (first page).
inline QRectF cellText(const Shown& s, QTextTable* table, int row, int column) {
    return onSheet(s, table->cellAt(row, column).firstCursorPosition().block());
}

// The stroked lines across (dy == 0) or down the sheet whose position across lies within half a layout
// pixel of `at`.
inline std::vector<Recorder::Line> linesAt(const Recorder& r, Qt::Orientation along, double at) {
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
inline int darkRun(const QImage& image, double x, double y, Qt::Orientation rule) {
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
inline double baselineOf(const Recorder& r, const QString& start) {
    const auto found = r.textsStarting(start);
    return found.empty() ? -1 : found.front().baseline.y();
}

} // namespace rendering
