#include "wordproc/Pages.h"

#include "errors/Failure.h"
#include "platform/Fonts.h"
#include "wordproc/Template.h"
#include "wordproc/WordErrors.h"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QFontMetricsF>
#include <QImage>
#include <QPageLayout>
#include <QPrinter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <QTextOption>
#include <cmath>

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

std::unique_ptr<QTextDocument> newDocument(const PageSetup& page, const QString& defaultFamily) {
    auto doc = std::make_unique<QTextDocument>();
    doc->setUndoRedoEnabled(false);
    doc->documentLayout()->setPaintDevice(layoutDevice());
    doc->setDocumentMargin(0);
    // Templates name Windows faces; they print in the installed faces with the same metrics.
    QFont font =
        platform::namedFont(defaultFamily.isEmpty() ? QStringLiteral("Times New Roman") : defaultFamily, 12);
    doc->setDefaultFont(font);
    QTextOption option = doc->defaultTextOption();
    option.setTabStopDistance(twipsToLogical(page.defaultTabTwips));
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    doc->setDefaultTextOption(option);
    return doc;
}

double contentWidth(const PageSetup& page) {
    return twipsToLayout(double(page.widthTwips) - page.leftTwips - page.rightTwips);
}

} // namespace

std::unique_ptr<QTextDocument> newPagedDocument(const PageSetup& page, const QString& defaultFamily,
                                                double height) {
    auto doc = newDocument(page, defaultFamily);
    if (height <= 0)
        height = twipsToLayout(double(page.heightTwips) - page.topTwips - page.bottomTwips);
    doc->setPageSize(QSizeF(contentWidth(page), height));
    return doc;
}

std::unique_ptr<QTextDocument> newBandDocument(const PageSetup& page, const QString& defaultFamily) {
    auto doc = newDocument(page, defaultFamily);
    doc->setTextWidth(contentWidth(page));
    return doc;
}

int PageCopy::pageCount() const {
    return body ? qMax(1, body->pageCount()) : 0;
}

int MergedDocument::pageCount() const {
    int n = 0;
    for (const PageCopy& c : copies)
        n += c.pageCount();
    return n;
}

QString MergedDocument::plainText() const {
    QStringList parts;
    for (const PageCopy& c : copies)
        if (c.body)
            parts << c.body->toPlainText();
    return parts.join(QLatin1Char('\n'));
}

namespace {

// A rule from `a` to `b` as the style asks; `width` and lengths in the painter's units.
void drawRule(QPainter& painter, QPointF a, QPointF b, int style, double width, const QColor& color) {
    QPen pen(color, qMax(width, 1.0), Qt::SolidLine, Qt::FlatCap);
    if (style == Border::Dotted)
        pen.setStyle(Qt::DotLine);
    else if (style == Border::Dashed)
        pen.setStyle(Qt::DashLine);
    if (style == Border::Double) {
        // Two lines of the width, that far apart.
        const QPointF d = a.y() == b.y() ? QPointF(0, width) : QPointF(width, 0);
        painter.setPen(pen);
        painter.drawLine(a - d, b - d);
        painter.drawLine(a + d, b + d);
        return;
    }
    painter.setPen(pen);
    painter.drawLine(a, b);
}

void paintBorders(QPainter& painter, const QRectF& text, const QTextBlockFormat& format) {
    const QList<qreal> e = format.property(kBordersProperty).value<QList<qreal>>();
    if (e.size() != 16)
        return;
    struct Edge {
        int style;
        double width, space;
        QColor color;
    };
    std::array<Edge, 4> edges;
    for (size_t i = 0; i < 4; ++i) {
        const qsizetype k = qsizetype(i) * 4;
        edges[i] = Edge{int(e[k]), twipsToLayout(e[k + 1]), twipsToLayout(e[k + 2]),
                        QColor::fromRgba(QRgb(quint32(e[k + 3])))};
    }
    const Edge& top = edges[size_t(Side::Top)];
    const Edge& bottom = edges[size_t(Side::Bottom)];
    // The rules stand their space away from the text, on the paragraph's indents.
    // Half of what a rule takes across: a double rule is two lines with a line's width between them.
    const auto half = [](const Edge& e) { return e.width * (e.style == Border::Double ? 1.5 : 0.5); };
    const double y0 = top.style ? text.top() - top.space - half(top) : text.top();
    const double y1 = bottom.style ? text.bottom() + bottom.space + half(bottom) : text.bottom();
    const double x0 = text.left() + format.leftMargin() + qMin(0.0, format.textIndent());
    const double x1 = text.right() - format.rightMargin();
    if (top.style)
        drawRule(painter, {x0, y0}, {x1, y0}, top.style, top.width, top.color);
    if (bottom.style)
        drawRule(painter, {x0, y1}, {x1, y1}, bottom.style, bottom.width, bottom.color);
    const Edge& left = edges[size_t(Side::Left)];
    const Edge& right = edges[size_t(Side::Right)];
    if (left.style)
        drawRule(painter, {x0 - left.space - half(left), y0}, {x0 - left.space - half(left), y1}, left.style,
                 left.width, left.color);
    if (right.style)
        drawRule(painter, {x1 + right.space + half(right), y0}, {x1 + right.space + half(right), y1},
                 right.style, right.width, right.color);
}

QTextCharFormat formatAt(const QTextBlock& block, int position) {
    for (auto it = block.begin(); !it.atEnd(); ++it)
        if (it.fragment().contains(position))
            return it.fragment().charFormat();
    return block.charFormat();
}

void paintLeaders(QPainter& painter, const QTextBlock& block, const QPointF& origin) {
    const QString leaders = block.blockFormat().property(kLeadersProperty).toString();
    if (leaders.trimmed().isEmpty())
        return;
    const QList<QTextOption::Tab> tabs = block.blockFormat().tabPositions();
    const QString text = block.text();
    const QTextLayout* layout = block.layout();
    const double logical = kLayoutDpi / 96.0;
    for (int i = 0; i < text.size(); ++i) {
        if (text.at(i) != QLatin1Char('\t'))
            continue;
        const QTextLine line = layout->lineForTextPosition(i);
        if (!line.isValid())
            continue;
        const double x0 = line.cursorToX(i), x1 = line.cursorToX(i + 1);
        // The stop this tab went to: the first one past where it starts, as Qt chooses it.
        const double from = (x0 - line.x()) / logical;
        qsizetype stop = 0;
        while (stop < tabs.size() && tabs[stop].position <= from + 0.01)
            ++stop;
        if (stop >= tabs.size() || stop >= leaders.size() || leaders[stop] == QLatin1Char('0'))
            continue;
        const int kind = leaders[stop].unicode() - '0';
        const QTextCharFormat f = formatAt(block, block.position() + i);
        QFont font = f.font();
        // The painter sizes a font for its own device; the layout's pixels are what the text uses.
        font.setPointSizeF(font.pointSizeF() * kLayoutDpi / painter.device()->logicalDpiY());
        const QFontMetricsF metrics(QFont(f.font(), layoutDevice()));
        const double baseline = origin.y() + line.y() + line.ascent();
        const QColor color = f.foreground().color();
        // Rules are drawn with underscores, as LibreOffice draws them: they line up with the text's.
        const QChar c = kind == TabStop::Hyphens      ? QLatin1Char('-')
                        : kind == TabStop::Equals     ? QLatin1Char('=')
                        : kind == TabStop::MiddleDots ? QChar(0x00B7)
                        : kind == TabStop::Dots       ? QLatin1Char('.')
                                                      : QLatin1Char('_');
        const double w = metrics.horizontalAdvance(c);
        // Leaders keep clear of the text before them and end at the stop, as the common word processors
        // set them.
        const int n = int(std::floor((x1 - x0 - w / 2) / w));
        if (n <= 0)
            continue;
        painter.setFont(font);
        painter.setPen(color);
        painter.drawText(QPointF(origin.x() + x1 - n * w, baseline), QString(n, c));
    }
}

} // namespace

void paintDecorations(QPainter& painter, const QTextDocument& doc, const QRectF& clip) {
    const QAbstractTextDocumentLayout* layout = doc.documentLayout();
    painter.save();
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        const QTextBlockFormat format = block.blockFormat();
        if (!format.hasProperty(kBordersProperty) && !format.hasProperty(kLeadersProperty))
            continue;
        const QRectF rect = layout->blockBoundingRect(block);
        if (!clip.isEmpty() && !rect.adjusted(0, -kLayoutDpi, 0, kLayoutDpi).intersects(clip))
            continue;
        paintBorders(painter, rect, format);
        paintLeaders(painter, block, rect.topLeft());
    }
    painter.restore();
}

void setExactLineHeights(QTextBlock block, const QTextBlock& last) {
    for (; block.isValid(); block = block.next()) {
        QTextBlockFormat f = block.blockFormat();
        const int type = f.lineHeightType();
        // A line is as tall as the tallest ascent, descent and leading of the text on it.
        double ascent = 0, descent = 0, leading = 0;
        const QFont base = block.document()->defaultFont();
        const auto take = [&](const QTextCharFormat& c) {
            const QFontMetricsF m(c.font().resolve(base), layoutDevice());
            ascent = qMax(ascent, m.ascent());
            descent = qMax(descent, m.descent());
            leading = qMax(leading, m.leading());
        };
        bool text = false;
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (!it.fragment().charFormat().isImageFormat()) {
                take(it.fragment().charFormat());
                text = true;
            }
        if (!text)
            take(block.charFormat());
        const double exact = ascent + descent + leading;
        const double rounded = std::ceil(exact);
        // Qt's minimum and proportional heights are of the rounded height: scaled by the same factor.
        const double factor = exact > 0 && rounded > exact ? exact / rounded : 1.0;
        const double scale = kLayoutDpi / 96.0;
        bool changed = false;
        if (factor < 1 && type == QTextBlockFormat::SingleHeight) {
            f.setLineHeight(100 * factor, QTextBlockFormat::ProportionalHeight);
            changed = true;
        } else if (factor < 1 && type == QTextBlockFormat::ProportionalHeight) {
            f.setLineHeight(f.lineHeight() * factor, QTextBlockFormat::ProportionalHeight);
            changed = true;
        } else if (factor < 1 && type == QTextBlockFormat::MinimumHeight && f.lineHeight() * scale < exact) {
            f.setLineHeight(100 * factor, QTextBlockFormat::ProportionalHeight);
            changed = true;
        }
        if (changed)
            QTextCursor(block).setBlockFormat(f);
        if (block == last)
            break;
    }
}

void setPageNumbers(QTextDocument& doc, int page, int pages, double pageHeight, int firstPage) {
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
                const double y = layout->blockBoundingRect(block).top() + (line.isValid() ? line.y() : 0);
                on = firstPage + int(std::floor(y / pageHeight));
            }
            spots.push_back(Spot{f.position(), f.length(), kind, f.charFormat(), on});
        }
    }
    // From the end, so that a number that changes length leaves the earlier positions alone.
    QTextCursor cursor(&doc);
    for (auto it = spots.rbegin(); it != spots.rend(); ++it) {
        const QString text = QString::number(it->kind == 1 ? it->page : pages);
        cursor.setPosition(it->position);
        cursor.setPosition(it->position + it->length, QTextCursor::KeepAnchor);
        if (cursor.selectedText() != text)
            cursor.insertText(text, it->format);
    }
}

void paintSheet(QPainter& painter, const PageCopy& copy, int index, const PageSetup& page) {
    if (!copy.body)
        return;
    const QTextDocument& doc = *copy.body;
    const QSizeF size = doc.pageSize();
    const double left = twipsToLayout(page.leftTwips);
    const double pageWidth = twipsToLayout(page.widthTwips);
    const auto pictures = [&](bool behind) {
        for (const PlacedPicture& p : copy.pictures)
            if ((p.page == index || p.page < 0) && p.behindText == behind)
                painter.drawImage(p.rect, p.image);
    };
    QAbstractTextDocumentLayout::PaintContext ctx;
    ctx.palette.setColor(QPalette::Text, Qt::black);
    const auto band = [&](QTextDocument* band, bool header) {
        if (!band)
            return;
        setPageNumbers(*band, copy.firstPage + index, copy.numberedPages());
        const double top = header ? twipsToLayout(page.headerTwips)
                                  : twipsToLayout(page.heightTwips - page.footerTwips) -
                                        band->documentLayout()->documentSize().height();
        painter.save();
        painter.translate(left, top);
        band->documentLayout()->draw(&painter, ctx);
        paintDecorations(painter, *band);
        painter.restore();
    };
    pictures(true);
    painter.save();
    painter.translate(left, copy.bodyTop >= 0 ? copy.bodyTop : twipsToLayout(page.topTwips));
    // Lines of a paragraph that runs on to the next page lie below this page's text area.
    const QRectF area(-left, index * size.height(), pageWidth, size.height());
    painter.translate(0, -index * size.height());
    painter.setClipRect(area);
    // A line that only touches the page's edge belongs to the neighbouring page: not even an invisible
    // copy of it goes into this page (a PDF would hold its text twice).
    ctx.clip = area.adjusted(0, 0.5, 0, -0.5);
    doc.documentLayout()->draw(&painter, ctx);
    paintDecorations(painter, doc, area);
    painter.restore();
    ctx.clip = QRectF();
    band(copy.header.get(), true);
    band(copy.footer.get(), false);
    pictures(false);
}

void preparePrinter(QPrinter& printer, const PageSetup& page) {
    const bool landscape = page.widthTwips > page.heightTwips;
    const QSizeF portrait(qMin(page.widthTwips, page.heightTwips) / 20.0,
                          qMax(page.widthTwips, page.heightTwips) / 20.0);
    const QPageLayout layout(QPageSize(portrait, QPageSize::Point, QString(), QPageSize::FuzzyMatch),
                             landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                             QMarginsF(0, 0, 0, 0));
    printer.setFullPage(true);
    printer.setPageLayout(layout);
}

PageWriter::PageWriter(QPrinter& printer, const PageSetup& page) : m_printer(printer), m_page(page) {}

PageWriter::~PageWriter() {
    if (m_painter.isActive())
        m_painter.end();
}

void PageWriter::begin() {
    preparePrinter(m_printer, m_page);
    if (!m_painter.begin(&m_printer)) {
        const QString target = m_printer.outputFileName().isEmpty()
                                   ? m_printer.printerName()
                                   : QDir::toNativeSeparators(m_printer.outputFileName());
        throw Failure(errors::PrinterError,
                      QStringLiteral("The printer \"%1\" could not be started.").arg(target));
    }
    m_scale = m_printer.resolution() / kLayoutDpi;
}

void PageWriter::write(const PageCopy& copy) {
    if (!copy.body)
        return;
    const int pages = copy.pageCount();
    for (int i = 0; i < pages; ++i) {
        if (m_pages > 0)
            m_printer.newPage();
        ++m_pages;
        m_painter.save();
        m_painter.scale(m_scale, m_scale);
        paintSheet(m_painter, copy, i, m_page);
        m_painter.restore();
    }
}

void PageWriter::write(const MergedDocument& document) {
    for (const PageCopy& c : document.copies)
        write(c);
}

void PageWriter::end() {
    if (m_painter.isActive())
        m_painter.end();
}

} // namespace wordproc
