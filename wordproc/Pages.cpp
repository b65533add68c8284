#include "wordproc/Pages.h"

#include "errors/Failure.h"
#include "platform/Fonts.h"
#include "wordproc/FormBoxes.h"
#include "wordproc/ListNumbers.h"
#include "wordproc/Metafile.h"
#include "wordproc/PaintRules.h"
#include "wordproc/Template.h"
#include "wordproc/TurnedText.h"
#include "wordproc/WordErrors.h"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <QPageLayout>
#include <QPainterPath>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <QTextOption>
#include <QTextTable>
#include <QtMath>
#include <algorithm>
#include <cmath>
#include <limits>

namespace wordproc {

QPaintDevice* layoutDevice() {
    static QImage device = [] {
        QImage image(1, 1, QImage::Format_ARGB32);
        const int dotsPerMeter = qRound(kLayoutDpi / 0.0254);
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
        return image;
    }();
    return &device;
}

namespace {

// `size`: the pages' size; a height of -1 gives one page as tall as the text.
std::unique_ptr<QTextDocument> newDocument(const PageSetup& page, const QString& defaultFamily, QSizeF size) {
    auto doc = std::make_unique<QTextDocument>();
    doc->setUndoRedoEnabled(false);
    // Each of these lays an existing layout out again: all are set before the layout is made, which a
    // merge does once per letter.
    doc->setDocumentMargin(0);
    // Templates name Windows faces; they print in the installed faces with the same metrics.
    QFont font =
        platform::namedFont(defaultFamily.isEmpty() ? QStringLiteral("Times New Roman") : defaultFamily, 12);
    font.setHintingPreference(QFont::PreferNoHinting); // as the text's own formats
    doc->setDefaultFont(font);
    QTextOption option = doc->defaultTextOption();
    option.setTabStopDistance(twipsToLogical(page.defaultTabTwips));
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    doc->setDefaultTextOption(option);
    if (size.height() < 0)
        doc->setTextWidth(size.width());
    else
        doc->setPageSize(size);
    doc->documentLayout()->setPaintDevice(layoutDevice());
    allowTurnedText(*doc);
    allowCheckBoxes(*doc);
    allowPictureText(*doc);
    return doc;
}

double contentWidth(const PageSetup& page) {
    return twipsToLayout(double(page.widthTwips) - page.leftTwips - page.rightTwips);
}

} // namespace

std::unique_ptr<QTextDocument> newPagedDocument(const PageSetup& page, const QString& defaultFamily,
                                                double height) {
    if (height <= 0)
        height = twipsToLayout(double(page.heightTwips) - page.topTwips - page.bottomTwips);
    // A body in columns is laid out a column wide: its pages are the columns.
    double width = contentWidth(page);
    if (page.columns > 1) {
        const double gaps = twipsToLayout(page.columnGapTwips) * (page.columns - 1);
        width = qMax(twipsToLayout(720), (width - gaps) / page.columns);
    }
    return newDocument(page, defaultFamily, QSizeF(width, height));
}

std::unique_ptr<QTextDocument> newBandDocument(const PageSetup& page, const QString& defaultFamily) {
    return newDocument(page, defaultFamily, QSizeF(contentWidth(page), -1));
}

int PageCopy::ownSheets() const {
    if (!body)
        return 0;
    const int across = qMax(1, columns);
    return qMax(1, (body->pageCount() + across - 1) / across);
}

int PageCopy::pageCount() const {
    int n = ownSheets();
    for (const PageCopy& part : parts)
        n += part.pageCount();
    return n;
}

std::pair<const PageCopy*, int> partOf(const PageCopy& copy, int index) {
    const int own = copy.ownSheets();
    if (index < own || copy.parts.empty())
        return {&copy, index};
    index -= own;
    for (const PageCopy& part : copy.parts) {
        const int sheets = part.pageCount();
        if (index < sheets)
            return partOf(part, index);
        index -= sheets;
    }
    return {&copy.parts.back(), index + copy.parts.back().pageCount()};
}

const PageSetup& sheetPage(const PageCopy& copy, int index, const PageSetup& page) {
    const PageCopy* part = partOf(copy, index).first;
    return part->page ? *part->page : page;
}

int MergedDocument::pageCount() const {
    int n = 0;
    for (const PageCopy& c : copies)
        n += c.pageCount();
    return n;
}

QString MergedDocument::plainText() const {
    QStringList parts;
    const auto add = [&parts](const auto& self, const PageCopy& c) -> void {
        if (c.body)
            parts << c.body->toPlainText();
        for (const PageCopy& part : c.parts)
            self(self, part);
    };
    for (const PageCopy& c : copies)
        add(add, c);
    // Without the zero-width breaks and joiners the layout puts in to break lines as LibreOffice does:
    // a phone number reads as typed.
    return parts.join(QLatin1Char('\n')).remove(QChar(0x200B)).remove(QChar(0x2060));
}

double bandHeight(const QTextDocument& band) {
    QAbstractTextDocumentLayout* layout = band.documentLayout();
    double height = layout->documentSize().height();
    // A picture that the band's lines flow beside may reach below them: the band ends with its text,
    // as LibreOffice prints it, the picture hanging over the body.
    const QList<QTextFrame*> frames = band.rootFrame()->childFrames();
    if (std::any_of(frames.begin(), frames.end(), [](const QTextFrame* f) {
            return f->frameFormat().position() != QTextFrameFormat::InFlow;
        })) {
        double bottom = 0;
        for (auto it = band.rootFrame()->begin(); !it.atEnd(); ++it) {
            if (const QTextFrame* f = it.currentFrame()) {
                if (f->frameFormat().position() == QTextFrameFormat::InFlow)
                    bottom = qMax(bottom, layout->frameBoundingRect(const_cast<QTextFrame*>(f)).bottom());
            } else {
                bottom = qMax(bottom, layout->blockBoundingRect(it.currentBlock()).bottom());
            }
        }
        height = qMin(height, bottom + band.documentMargin());
    }
    const QTextBlock last = band.lastBlock();
    if (!last.isValid() || QTextCursor(last).currentFrame() != band.rootFrame())
        return height;
    return height + last.blockFormat().bottomMargin() * kLayoutDpi / 96.0;
}

void setPageNumbers(QTextDocument& doc, int page, int pages, double pageHeight, int firstPage, int columns) {
    struct Spot {
        int position, length, kind;
        QTextCharFormat format;
        int page;
    };
    std::vector<Spot> spots;
    const QAbstractTextDocumentLayout* layout = pageHeight > 0 ? doc.documentLayout() : nullptr;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            const int kind = f.charFormat().intProperty(kPageFieldProperty);
            if (kind == 0)
                continue;
            int on = page;
            if (layout) {
                const QTextLine line = block.layout()->lineForTextPosition(f.position() - block.position());
                const double y = line.isValid() ? lineRoomTop(block, line.lineNumber())
                                                : layout->blockBoundingRect(block).top();
                on = firstPage + pageAt(y, pageHeight) / qMax(1, columns);
            }
            spots.push_back(Spot{f.position(), f.length(), kind, f.charFormat(), on});
        }
    }
    // From the end, so that a number that changes length leaves the earlier positions alone.
    QTextCursor cursor(&doc);
    for (auto it = spots.rbegin(); it != spots.rend(); ++it) {
        const int number = it->kind == 1 ? it->page + it->format.intProperty(kPageOffsetProperty) : pages;
        const QString style = it->format.stringProperty(kPageFormatProperty);
        const QString text = style.isEmpty() ? QString::number(number) : listNumberText(number, style);
        cursor.setPosition(it->position);
        cursor.setPosition(it->position + it->length, QTextCursor::KeepAnchor);
        if (cursor.selectedText() != text)
            cursor.insertText(text, it->format);
    }
}

void drawWordArt(QPainter& painter, const QRectF& box, const QString& family, const QString& text,
                 int rotation) {
    // Drawn as the letters' outlines, as LibreOffice draws WordArt: a picture, not text to read.
    QPainterPath letters;
    letters.addText(0, 0, QFont(family, 100), text);
    const QRectF bounds = letters.boundingRect();
    if (bounds.width() <= 0 || bounds.height() <= 0 || box.isEmpty())
        return;
    painter.save();
    painter.translate(box.center());
    painter.rotate(rotation);
    painter.scale(box.width() / bounds.width(), box.height() / bounds.height());
    painter.translate(-bounds.center());
    painter.setPen(Qt::NoPen);
    painter.drawPath(letters);
    painter.restore();
}

namespace {

// A box or an ellipse starts, as LibreOffice draws them, in the middle of its foot, going left: the
// first dash of a dashed outline stands there.
QPainterPath outline(const PlacedPicture& p, Floating::Shape shape) {
    QPainterPath path;
    const QRectF& r = p.rect;
    if (shape == Floating::Shape::Ellipse) {
        path.arcMoveTo(r, 270);
        path.arcTo(r, 270, -360);
    } else if (p.rounding > 0) {
        const double radius = qMin(p.rounding, 1.0) * qMin(p.rect.width(), p.rect.height()) / 2;
        path.addRoundedRect(p.rect, radius, radius);
    } else {
        path.moveTo(r.center().x(), r.bottom());
        path.lineTo(r.bottomLeft());
        path.lineTo(r.topLeft());
        path.lineTo(r.topRight());
        path.lineTo(r.bottomRight());
        path.closeSubpath();
    }
    return path;
}

// The pen of a shape's or text box's outline: LibreOffice's dashes end square with the dash.
QPen outlinePen(const PlacedPicture& p, double width) {
    QPen pen(p.line, width, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
    if (!p.dashes.isEmpty()) {
        pen.setCapStyle(Qt::FlatCap);
        pen.setDashPattern(p.dashes);
    }
    return pen;
}

} // namespace

QBrush fillBrush(const PlacedPicture& p) {
    if (p.gradient.size() < 2)
        return p.fill.isValid() ? QBrush(p.fill) : QBrush(Qt::NoBrush);
    const QRectF& r = p.rect;
    QGradientStops stops;
    for (const auto& [at, colour] : p.gradient)
        stops.append({qBound(0.0, at, 1.0), colour});
    if (p.gradientFromMiddle) {
        // Out from the middle, the last colour reached at the corners.
        QRadialGradient g(r.center(), std::hypot(r.width(), r.height()) / 2);
        g.setStops(stops);
        return QBrush(g);
    }
    // Along the line at its angle through the box's middle, from the corner it leaves to the one it
    // reaches, so that the first and last colours just touch the box.
    const double a = qDegreesToRadians(p.gradientAngle);
    const QPointF along(std::cos(a), std::sin(a));
    const double half = std::abs(r.width() / 2 * along.x()) + std::abs(r.height() / 2 * along.y());
    QLinearGradient g(r.center() - along * half, r.center() + along * half);
    g.setStops(stops);
    return QBrush(g);
}

void turnAndMirror(QPainter& painter, const PlacedPicture& p, bool mirror) {
    const double fx = mirror && p.flipH ? -1 : 1, fy = mirror && p.flipV ? -1 : 1;
    if (p.rotation == 0 && fx > 0 && fy > 0)
        return;
    // Mirrored within its box first, then turned about the box's middle: the box itself stays where
    // the file places it.
    const QPointF middle = p.rect.center();
    painter.translate(middle);
    painter.rotate(p.rotation);
    painter.scale(fx, fy);
    painter.translate(-middle);
}

namespace {

void paintShape(QPainter& painter, const PlacedPicture& p) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(p.line.isValid() ? outlinePen(p, qMax(1.0, p.lineWidth)) : QPen(Qt::NoPen));
    painter.setBrush(fillBrush(p));
    switch (p.shape) {
    case Floating::Shape::Box:
    case Floating::Shape::Ellipse:
        painter.drawPath(outline(p, p.shape));
        break;
    case Floating::Shape::WordArt:
        drawWordArt(painter, p.rect, p.wordArtFamily, p.wordArt, p.rotation);
        break;
    default: {
        // Each figure a polygon of its own; where figures overlap the fill leaves a hole, as Word's
        // does. The fill closes a figure left open, its outline does not: it runs only where the
        // figure's own lines go.
        const QPolygonF points = p.points.translated(p.rect.topLeft());
        QPainterPath filled, outlined;
        filled.setFillRule(Qt::OddEvenFill);
        qsizetype from = 0;
        for (size_t i = 0; i <= p.figures.size(); ++i) {
            const qsizetype to =
                i < p.figures.size() ? qBound(from, qsizetype(p.figures[i]), points.size()) : points.size();
            if (to > from) {
                const QPolygonF figure = points.mid(from, to - from);
                filled.addPolygon(figure);
                filled.closeSubpath();
                outlined.addPolygon(figure);
                if (figure.size() > 2 && figure.isClosed())
                    outlined.closeSubpath();
            }
            from = to;
        }
        if (painter.brush().style() != Qt::NoBrush)
            painter.fillPath(filled, painter.brush());
        painter.strokePath(outlined, painter.pen());
    }
    }
    painter.restore();
}

} // namespace

QTextDocument* bandOn(const PageCopy& whole, int sheet, bool header) {
    const std::pair<const PageCopy*, int> at = partOf(whole, sheet);
    const PageCopy& copy = *at.first;
    const int index = at.second;
    const int number = copy.firstPage + index;
    const bool even = copy.evenPages && number % 2 == 0;
    const SectionBands* section = nullptr;
    for (const SectionBands& s : copy.sections)
        if (s.fromPage <= index)
            section = &s;
    if (section) {
        if (section->titlePage && index == section->fromPage)
            return (header ? section->firstHeader : section->firstFooter).get();
        if (even)
            return (header ? section->evenHeader : section->evenFooter).get();
        return (header ? section->header : section->footer).get();
    }
    if (copy.titlePage && number == 1)
        return (header ? copy.firstHeader : copy.firstFooter).get();
    if (even)
        return (header ? copy.evenHeader : copy.evenFooter).get();
    return (header ? copy.header : copy.footer).get();
}

double bodyTopOn(const PageCopy& copy, int index, const PageSetup& page) {
    if (index == 0 && copy.firstBodyTop)
        return *copy.firstBodyTop;
    if (copy.evenPages && (copy.firstPage + index) % 2 == 0 && copy.evenBodyTop)
        return *copy.evenBodyTop;
    return copy.bodyTop >= 0 ? copy.bodyTop : twipsToLayout(page.topTwips);
}

namespace {

// The rules around a page: their spaces from the page's edge, or from the margins, to the rules' outer
// or inner edges; the top and bottom rules reach across the side ones.
void paintPageBorders(QPainter& painter, const PageSetup& page) {
    Rules rules;
    bool any = false;
    for (size_t i = 0; i < 4; ++i) {
        const Border& b = page.pageBorders[i];
        rules[i] = Rule{b.style, twipsToLayout(b.widthTwips), twipsToLayout(b.spaceTwips),
                        b.color.isValid() ? b.color : QColor(Qt::black)};
        any = any || b.visible();
    }
    if (!any)
        return;
    const auto rule = [&](Side s) -> const Rule& { return rules[size_t(s)]; };
    // The line through each rule's middle.
    const auto at = [&](Side s, double margin, double edge) {
        const Rule& r = rule(s);
        return page.pageBordersFromText ? margin - r.space - r.half() : edge + r.space + r.half();
    };
    const double width = twipsToLayout(page.widthTwips), height = twipsToLayout(page.heightTwips);
    const double top = at(Side::Top, twipsToLayout(page.topTwips), 0);
    const double left = at(Side::Left, twipsToLayout(page.leftTwips), 0);
    const double bottom = height - at(Side::Bottom, twipsToLayout(page.bottomTwips), 0);
    const double right = width - at(Side::Right, twipsToLayout(page.rightTwips), 0);
    const double x0 = left - rule(Side::Left).half(), x1 = right + rule(Side::Right).half();
    painter.save();
    drawRule(painter, {x0, top}, {x1, top}, rule(Side::Top));
    drawRule(painter, {x0, bottom}, {x1, bottom}, rule(Side::Bottom));
    drawRule(painter, {left, top}, {left, bottom}, rule(Side::Left));
    drawRule(painter, {right, top}, {right, bottom}, rule(Side::Right));
    painter.restore();
}

// Whether a block's lines are numbered: the body's own paragraphs, not a table's.
bool numberedBlock(const QTextBlock& b) {
    return !qobject_cast<QTextTable*>(QTextCursor(b).currentFrame()) &&
           QTextCursor(b).currentFrame() == b.document()->rootFrame();
}

// The body's lines on the page `area` shows (document coordinates), numbered in the margin `x` left of
// the text at `origin` (the area's top left on the sheet), in the font of the body's first text.
void paintLineNumbers(QPainter& painter, const QTextDocument& doc, const QRectF& area, QPointF origin,
                      const PageSetup& page) {
    const int step = page.lineNumberStep;
    if (step <= 0)
        return;
    const QAbstractTextDocumentLayout* layout = doc.documentLayout();
    int number = page.lineNumberStart;
    const LeadingAbove gaps(doc, area);
    QFont font = doc.defaultFont();
    for (auto it = doc.begin().begin(); !it.atEnd(); ++it)
        if (it.fragment().isValid()) {
            font = it.fragment().charFormat().font().resolve(font);
            break;
        }
    const QFontMetricsF metrics(QFont(font, layoutDevice()));
    // The painter sizes a font for its own device; the layout's pixels are what the text uses.
    font.setPointSizeF(font.pointSizeF() * kLayoutDpi / painter.device()->logicalDpiY());
    painter.save();
    painter.setFont(font);
    painter.setPen(Qt::black);
    // Word's automatic distance is a quarter inch.
    const double right =
        origin.x() - twipsToLayout(page.lineNumberGapTwips > 0 ? page.lineNumberGapTwips : 360);
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        const QRectF rect = layout->blockBoundingRect(b);
        if (rect.top() >= area.bottom())
            break;
        if (!numberedBlock(b))
            continue;
        const QTextLayout* lines = b.layout();
        for (int i = 0; i < lines->lineCount(); ++i) {
            const QTextLine line = lines->lineAt(i);
            const double y = rect.top() + line.y();
            if (y + line.height() / 2 < area.top()) {
                // A line of an earlier page: counted unless the count starts on each page.
                if (page.lineNumberRestart != PageSetup::Restart::Page)
                    ++number;
                continue;
            }
            if (y + line.height() / 2 >= area.bottom())
                break;
            if (number % step == 0) {
                const QString text = QString::number(number);
                const double baseline = origin.y() + y - area.top() + line.ascent();
                painter.drawText(QPointF(right - metrics.horizontalAdvance(text), baseline), text);
            }
            ++number;
        }
    }
    painter.restore();
}

} // namespace

void paintSheet(QPainter& painter, const PageCopy& whole, int sheet, const PageSetup& paper) {
    // Plain names rather than a structured binding: the lambdas below capture them.
    const std::pair<const PageCopy*, int> at = partOf(whole, sheet);
    const PageCopy& copy = *at.first;
    const int index = at.second;
    const PageSetup& page = copy.page ? *copy.page : paper;
    if (!copy.body)
        return;
    QTextDocument* const header = bandOn(copy, index, true);
    QTextDocument* const footer = bandOn(copy, index, false);
    const QTextDocument& doc = *copy.body;
    const QSizeF size = doc.pageSize();
    const double left = twipsToLayout(page.leftTwips);
    const double pageWidth = twipsToLayout(page.widthTwips);
    const int columns = qMax(1, copy.columns);
    const double columnStep = size.width() + twipsToLayout(page.columnGapTwips);
    if (copy.pageColor.isValid())
        painter.fillRect(QRectF(0, 0, pageWidth, twipsToLayout(page.heightTwips)), copy.pageColor);
    // Drawings stacked as Word stacks them: a header's and footer's under the body's, each lot in its
    // order front to back.
    std::vector<const PlacedPicture*> stacked;
    stacked.reserve(copy.pictures.size());
    for (const PlacedPicture& p : copy.pictures)
        stacked.push_back(&p);
    std::stable_sort(stacked.begin(), stacked.end(), [](const PlacedPicture* a, const PlacedPicture* b) {
        return std::make_pair(a->band == nullptr, a->zOrder) < std::make_pair(b->band == nullptr, b->zOrder);
    });
    const auto pictures = [&](bool behind) {
        for (const PlacedPicture* placed : stacked) {
            const PlacedPicture& p = *placed;
            if ((p.page / columns != index && p.page >= 0) || p.behindText != behind ||
                (p.band && p.band != header && p.band != footer))
                continue;
            if (p.shape != Floating::Shape::None || !p.text) {
                painter.save();
                // WordArt turns its own letters.
                if (p.shape != Floating::Shape::WordArt)
                    turnAndMirror(painter, p, true);
                if (p.shape != Floating::Shape::None)
                    paintShape(painter, p);
                else
                    drawPicture(painter, p.rect, p.image);
                painter.restore();
                continue;
            }
            painter.save();
            turnAndMirror(painter, p, false);
            // A text box covers what lies under it, as in the common word processors.
            const bool plain = p.frame == Floating::Shape::Box && p.rounding <= 0;
            const QBrush fill = fillBrush(p);
            if (fill.style() != Qt::NoBrush && plain) {
                painter.fillRect(p.rect, fill);
            } else if (fill.style() != Qt::NoBrush) {
                painter.save();
                painter.setRenderHint(QPainter::Antialiasing);
                painter.fillPath(outline(p, p.frame), fill);
                painter.restore();
            }
            // A page number in a frame or text box is the number of the page it prints on.
            setPageNumbers(*p.text, copy.firstPage + index, copy.numberedPages());
            painter.save();
            if (p.turned == Floating::Flow::Up) {
                painter.translate(p.rect.left() + p.textOffset.y(), p.rect.bottom() - p.textOffset.x());
                painter.rotate(-90);
            } else if (p.turned == Floating::Flow::Down) {
                painter.translate(p.rect.right() - p.textOffset.y(), p.rect.top() + p.textOffset.x());
                painter.rotate(90);
            } else {
                painter.translate(p.rect.topLeft() + p.textOffset);
            }
            paintDocument(painter, *p.text);
            painter.restore();
            if (p.line.isValid()) {
                painter.save();
                painter.setPen(outlinePen(p, p.lineWidth));
                painter.setBrush(Qt::NoBrush);
                if (plain && p.dashes.isEmpty()) {
                    painter.drawRect(p.rect);
                } else {
                    painter.setRenderHint(QPainter::Antialiasing);
                    painter.drawPath(outline(p, p.frame));
                }
                painter.restore();
            }
            painter.restore();
        }
    };
    const auto band = [&](QTextDocument* band, bool header) {
        if (!band)
            return;
        setPageNumbers(*band, copy.firstPage + index, copy.numberedPages());
        const double top = header ? twipsToLayout(page.headerTwips)
                                  : twipsToLayout(page.heightTwips - page.footerTwips) - bandHeight(*band);
        painter.save();
        painter.translate(left, top);
        paintDocument(painter, *band);
        painter.restore();
    };
    pictures(true);
    const double top = bodyTopOn(copy, index, page);
    // A body in columns: its pages side by side, each column's notes at its own foot.
    for (int column = 0; column < columns; ++column) {
        const int at = index * columns + column;
        if (column > 0 && at >= doc.pageCount())
            break;
        const double x = left + column * columnStep;
        if (column > 0 && page.columnRule) {
            const double ruleX = x - (columnStep - size.width()) / 2;
            painter.save();
            painter.setPen(QPen(Qt::black, twipsToLayout(10), Qt::SolidLine, Qt::FlatCap));
            painter.drawLine(QPointF(ruleX, top), QPointF(ruleX, top + size.height()));
            painter.restore();
        }
        painter.save();
        painter.translate(x, top);
        // Lines of a paragraph that runs on to the next page lie below this page's text area. Text may
        // reach out of its column, as a table set left of the margin does: into the margin beside it, or
        // halfway across the gap to the next column.
        const double gap = columnStep - size.width();
        const double before = column == 0 ? left : gap / 2;
        const double after = column + 1 == columns ? pageWidth - x - size.width() : gap / 2;
        const QRectF area(-before, at * size.height(), before + size.width() + after, size.height());
        painter.translate(0, -at * size.height());
        painter.setClipRect(area);
        paintDocument(painter, doc, area);
        painter.restore();
        paintLineNumbers(painter, doc, QRectF(0, at * size.height(), size.width(), size.height()), {x, top},
                         page);
        if (size_t(at) < copy.notes.size() && !copy.notes[size_t(at)].empty()) {
            const std::vector<NoteSlice>& slices = copy.notes[size_t(at)];
            double y = top + size.height();
            for (const NoteSlice& slice : slices)
                y -= slice.to - slice.from;
            const double width = size.width();
            const double ruleY = y - twipsToLayout(kNoteRuleGapTwips);
            if (page.noteRule) {
                painter.save();
                painter.setPen(QPen(Qt::black, twipsToLayout(kNoteRuleTwips), Qt::SolidLine, Qt::FlatCap));
                painter.drawLine(QPointF(x, ruleY), QPointF(x + width / 4, ruleY));
                painter.restore();
            }
            for (const NoteSlice& slice : slices) {
                const QRectF part(0, slice.from, width, slice.to - slice.from);
                painter.save();
                painter.translate(x, y - slice.from);
                painter.setClipRect(part.adjusted(-left, 0, left, 0));
                paintDocument(painter, *slice.text, part);
                painter.restore();
                y += slice.to - slice.from;
            }
        }
    }
    band(header, true);
    band(footer, false);
    pictures(false);
    paintPageBorders(painter, page);
}

} // namespace wordproc
