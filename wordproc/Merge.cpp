#include "wordproc/Merge.h"

#include "errors/Failure.h"
#include "wordproc/WordErrors.h"

#include <QAbstractTextDocumentLayout>
#include <QLocale>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextTable>
#include <QUrl>
#include <algorithm>
#include <set>

namespace wordproc {

QString applyCaseSwitches(QString value, const QStringList& switches) {
    for (const QString& sw : switches) {
        if (sw == QLatin1String("Upper")) {
            value = value.toUpper();
        } else if (sw == QLatin1String("Lower")) {
            value = value.toLower();
        } else if (sw == QLatin1String("Caps")) {
            bool start = true;
            for (QChar& c : value) {
                if (c.isLetter()) {
                    if (start)
                        c = c.toUpper();
                    start = false;
                } else if (c.isSpace() || c == QLatin1Char('-')) {
                    start = true;
                }
            }
        } else if (sw == QLatin1String("FirstCap")) {
            for (QChar& c : value) {
                if (c.isLetter()) {
                    c = c.toUpper();
                    break;
                }
            }
        }
    }
    return value;
}

QString formatDatePicture(const QDateTime& when, const QString& picture) {
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QDate date = when.date();
    const QTime time = when.time();
    QString out;
    const int n = int(picture.size());
    int i = 0;
    while (i < n) {
        const QChar c = picture.at(i);
        if (c == QLatin1Char('\\') && i + 1 < n) {
            // A backslash takes the next character as it stands: LibreOffice writes "MMMM\ d', 'yyyy".
            out += picture.at(i + 1);
            i += 2;
            continue;
        }
        if (c == QLatin1Char('\'')) {
            ++i;
            while (i < n && picture.at(i) != QLatin1Char('\''))
                out += picture.at(i++);
            ++i;
            continue;
        }
        if (picture.mid(i, 5).compare(QLatin1String("AM/PM"), Qt::CaseInsensitive) == 0) {
            const bool upper = picture.at(i).isUpper();
            const QString s = time.hour() < 12 ? QStringLiteral("AM") : QStringLiteral("PM");
            out += upper ? s : s.toLower();
            i += 5;
            continue;
        }
        int run = 1;
        while (i + run < n && picture.at(i + run) == c)
            ++run;
        const auto two = [](int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); };
        switch (c.unicode()) {
        case 'M':
            out += run == 1   ? QString::number(date.month())
                   : run == 2 ? two(date.month())
                   : run == 3 ? english.monthName(date.month(), QLocale::ShortFormat)
                              : english.monthName(date.month(), QLocale::LongFormat);
            break;
        case 'd':
        case 'D':
            out += run == 1   ? QString::number(date.day())
                   : run == 2 ? two(date.day())
                   : run == 3 ? english.dayName(date.dayOfWeek(), QLocale::ShortFormat)
                              : english.dayName(date.dayOfWeek(), QLocale::LongFormat);
            break;
        case 'y':
        case 'Y':
            out += run <= 2 ? two(date.year() % 100) : QString::number(date.year());
            break;
        case 'h': {
            const int h12 = time.hour() % 12 == 0 ? 12 : time.hour() % 12;
            out += run == 1 ? QString::number(h12) : two(h12);
            break;
        }
        case 'H':
            out += run == 1 ? QString::number(time.hour()) : two(time.hour());
            break;
        case 'm':
            out += run == 1 ? QString::number(time.minute()) : two(time.minute());
            break;
        case 's':
        case 'S':
            out += run == 1 ? QString::number(time.second()) : two(time.second());
            break;
        default:
            out += QString(run, c);
            break;
        }
        i += run;
    }
    return out;
}

struct Merger::Cursor {
    int record = 0;
    bool exhausted = false; // a NEXT found no further record: the rest of the copy stays blank
};

namespace {

QTextCharFormat toCharFormat(const CharFormat& c, const QString& defaultFamily) {
    QTextCharFormat f;
    const QString family = c.family.isEmpty() ? defaultFamily : c.family;
    if (!family.isEmpty())
        f.setFontFamilies(QStringList{family});
    f.setFontPointSize(c.halfPoints / 2.0);
    // Letters are set without kerning or ligatures, as the common word processors set them by default;
    // that also spares the shaper for plain Latin text.
    f.setFontStyleStrategy(QFont::PreferNoShaping);
    f.setFontWeight(c.bold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(c.italic);
    f.setFontUnderline(c.underline);
    f.setFontStrikeOut(c.strike);
    f.setForeground(c.color.isValid() ? c.color : QColor(Qt::black));
    if (c.script == CharFormat::Script::Super)
        f.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    else if (c.script == CharFormat::Script::Sub)
        f.setVerticalAlignment(QTextCharFormat::AlignSubScript);
    if (c.caps == CharFormat::Caps::All)
        f.setFontCapitalization(QFont::AllUppercase);
    else if (c.caps == CharFormat::Caps::Small)
        f.setFontCapitalization(QFont::SmallCaps);
    return f;
}

QTextBlockFormat toBlockFormat(const ParaFormat& p) {
    QTextBlockFormat b;
    switch (p.align) {
    case ParaFormat::Left:
        b.setAlignment(Qt::AlignLeft);
        break;
    case ParaFormat::Center:
        b.setAlignment(Qt::AlignHCenter);
        break;
    case ParaFormat::Right:
        b.setAlignment(Qt::AlignRight);
        break;
    case ParaFormat::Justify:
        b.setAlignment(Qt::AlignJustify);
        break;
    }
    b.setLeftMargin(twipsToLayout(p.leftTwips));
    b.setRightMargin(twipsToLayout(p.rightTwips));
    b.setTextIndent(twipsToLayout(p.firstTwips));
    b.setTopMargin(twipsToLogical(p.beforeTwips));
    b.setBottomMargin(twipsToLogical(p.afterTwips));
    if (p.lineMultiple && p.lineTwips > 0)
        b.setLineHeight(p.lineTwips * 100.0 / 240.0, QTextBlockFormat::ProportionalHeight);
    else if (p.lineTwips > 0)
        b.setLineHeight(twipsToLogical(p.lineTwips), QTextBlockFormat::MinimumHeight);
    else if (p.lineTwips < 0)
        b.setLineHeight(twipsToLogical(-double(p.lineTwips)), QTextBlockFormat::FixedHeight);
    if (!p.tabs.empty()) {
        QList<QTextOption::Tab> tabs;
        std::vector<TabStop> sorted = p.tabs;
        std::stable_sort(sorted.begin(), sorted.end(),
                         [](const TabStop& a, const TabStop& b) { return a.twips < b.twips; });
        for (const TabStop& t : sorted) {
            QTextOption::TabType type = QTextOption::LeftTab;
            if (t.kind == TabStop::Right)
                type = QTextOption::RightTab;
            else if (t.kind == TabStop::Center)
                type = QTextOption::CenterTab;
            else if (t.kind == TabStop::Decimal)
                type = QTextOption::DelimiterTab;
            // Word measures tab stops from the margin, Qt from the paragraph's indent.
            tabs.append(QTextOption::Tab(twipsToLogical(t.twips - p.leftTwips), type, QLatin1Char('.')));
        }
        b.setTabPositions(tabs);
    }
    if (p.pageBreakBefore)
        b.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    if (p.keepTogether)
        b.setNonBreakableLines(true);
    return b;
}

} // namespace

// Writes stories into one QTextDocument.
class Merger::Builder {
public:
    Builder(Merger& merger, QTextDocument& doc) : m(merger), m_doc(doc), m_cursor(&doc) {}

    // Changes are batched into one edit, so that Qt lays the text out once, not after every run.
    void begin() { m_cursor.beginEditBlock(); }
    void end() {
        flush();
        m_cursor.endEditBlock();
    }

    void story(const Story& s, Cursor& c) {
        // Empty paragraphs that only follow a closing table take no room: a label sheet that fills its
        // page must not spill an empty line onto a page of its own.
        size_t end = s.blocks.size();
        while (end > 0 && isEmptyParagraph(s.blocks[end - 1]))
            --end;
        if (end == 0 || !std::holds_alternative<Table>(s.blocks[end - 1]))
            end = s.blocks.size();
        for (size_t i = 0; i < end; ++i) {
            if (const Paragraph* p = std::get_if<Paragraph>(&s.blocks[i]))
                paragraph(m_cursor, *p, c, m_fresh);
            else
                table(std::get<Table>(s.blocks[i]), c);
        }
        if (end < s.blocks.size() || (end > 0 && std::holds_alternative<Table>(s.blocks[end - 1]))) {
            QTextBlockFormat none;
            none.setLineHeight(0, QTextBlockFormat::FixedHeight);
            QTextCharFormat tiny;
            tiny.setFontPointSize(1);
            m_cursor.setBlockFormat(none);
            m_cursor.setBlockCharFormat(tiny);
        }
    }

    static bool isEmptyParagraph(const Block& b) {
        const Paragraph* p = std::get_if<Paragraph>(&b);
        return p && p->runs.empty() && !p->format.pageBreakBefore;
    }

    // Gives rows with a set height their height, once the text is in and laid out.
    void finish() {
        if (m_sized.empty())
            return;
        QAbstractTextDocumentLayout* layout = m_doc.documentLayout();
        layout->documentSize();
        for (const auto& [qt, t] : m_sized) {
            for (int r = 0; r < qt->rows() && r < int(t->rows.size()); ++r) {
                const Row& row = t->rows[size_t(r)];
                if (row.heightTwips == 0)
                    continue;
                // Measured in device pixels, set as a padding in Qt's 96-dpi units.
                const double height = twipsToLayout(std::abs(double(row.heightTwips)));
                for (int col = 0; col < qt->columns(); ++col) {
                    QTextTableCell cell = qt->cellAt(r, col);
                    const QRectF first = layout->blockBoundingRect(cell.firstCursorPosition().block());
                    const QRectF last = layout->blockBoundingRect(cell.lastCursorPosition().block());
                    const double content = last.bottom() - first.top();
                    QTextTableCellFormat f = cell.format().toTableCellFormat();
                    f.setBottomPadding(qMax(0.0, height - content) * 96.0 / kLayoutDpi);
                    cell.setFormat(f);
                }
            }
        }
    }

private:
    void paragraph(QTextCursor& cur, const Paragraph& p, Cursor& c, bool& fresh) {
        auto it = m.m_blockFormats.find(&p);
        if (it == m.m_blockFormats.end())
            it = m.m_blockFormats.emplace(&p, toBlockFormat(p.format)).first;
        const QTextCharFormat& mark = m.m_charFormats[size_t(p.markFormat)];
        if (fresh && cur.position() == 0 && p.format.pageBreakBefore) {
            // A break before the very first paragraph would leave an empty first page.
            QTextBlockFormat f = it->second;
            f.setPageBreakPolicy(QTextFormat::PageBreak_Auto);
            cur.setBlockFormat(f);
            cur.setBlockCharFormat(mark);
            fresh = false;
        } else if (fresh) {
            cur.setBlockFormat(it->second);
            cur.setBlockCharFormat(mark);
            fresh = false;
        } else {
            cur.insertBlock(it->second, mark);
        }
        runs(cur, p.runs, c);
        flush();
    }

    // Text of one format is gathered and inserted at once: fewer, longer insertions lay out faster.
    void text(QTextCursor& cur, const QString& s, int format, const Cursor& c) {
        if (c.exhausted || s.isEmpty())
            return;
        if (m_pendingCursor != &cur || m_pendingFormat != format)
            flush();
        m_pendingCursor = &cur;
        m_pendingFormat = format;
        m_pending += s;
    }

    void flush() {
        if (m_pendingCursor && !m_pending.isEmpty())
            m_pendingCursor->insertText(m_pending, m.m_charFormats[size_t(m_pendingFormat)]);
        m_pending.clear();
        m_pendingCursor = nullptr;
        m_pendingFormat = -1;
    }

    void runs(QTextCursor& cur, const std::vector<Run>& list, Cursor& c) {
        for (const Run& r : list) {
            switch (r.kind) {
            case Run::Text:
                text(cur, r.text, r.format, c);
                break;
            case Run::Tab:
                text(cur, QStringLiteral("\t"), r.format, c);
                break;
            case Run::LineBreak:
                text(cur, QString(QChar::LineSeparator), r.format, c);
                break;
            case Run::Picture:
                picture(cur, r, c);
                break;
            case Run::Field:
                field(cur, r, c);
                break;
            }
        }
    }

    void picture(QTextCursor& cur, const Run& r, const Cursor& c) {
        if (c.exhausted || r.index < 0 || size_t(r.index) >= m.m_t->pictures.size())
            return;
        const Picture& pic = m.m_t->pictures[size_t(r.index)];
        flush();
        const QString name = QStringLiteral("qm-picture-%1").arg(r.index);
        if (m_pictures.insert(r.index).second)
            m_doc.addResource(QTextDocument::ImageResource, QUrl(name), QVariant(pic.image));
        QTextImageFormat f;
        f.merge(m.m_charFormats[size_t(r.format)]);
        f.setName(name);
        f.setWidth(twipsToLogical(pic.widthTwips));
        f.setHeight(twipsToLogical(pic.heightTwips));
        cur.insertImage(f);
    }

    // The format a field's value takes: the stored result's with MERGEFORMAT, else the field code's.
    int valueFormat(const Field& f) const {
        if (f.mergeFormat)
            for (const Run& r : f.result)
                if (r.kind == Run::Text)
                    return r.format;
        return f.codeFormat;
    }

    void field(QTextCursor& cur, const Run& r, Cursor& c) {
        if (r.index < 0 || size_t(r.index) >= m.m_t->fields.size())
            return;
        const Field& f = m.m_t->fields[size_t(r.index)];
        const bool merging = m.m_data != nullptr;
        switch (f.kind) {
        case Field::Merge: {
            if (!merging) {
                runs(cur, f.result, c);
                return;
            }
            const QString value =
                applyCaseSwitches(m.m_data->value(c.record, m.m_columns[size_t(r.index)]), f.caseSwitches);
            if (!value.isEmpty())
                text(cur, f.before + value + f.after, valueFormat(f), c);
            return;
        }
        case Field::Next:
            if (merging && !c.exhausted) {
                ++c.record;
                if (c.record >= m.m_data->recordCount()) {
                    c.record = m.m_data->recordCount() - 1;
                    c.exhausted = true;
                }
            }
            return;
        case Field::Date:
            text(cur, formatDatePicture(m.m_now, f.datePicture), valueFormat(f), c);
            return;
        case Field::Other:
            runs(cur, f.result, c);
            return;
        }
    }

    void table(const Table& t, Cursor& c) {
        if (t.rows.empty() || t.rows.front().cells.empty())
            return;
        const Row& def = t.rows.front();
        const int rows = int(t.rows.size());
        const int cols = int(def.cells.size());
        QTextTableFormat tf;
        tf.setCellSpacing(0);
        tf.setCellPadding(0);
        tf.setMargin(0);
        tf.setBorder(def.borders ? twipsToLogical(10) : 0);
        tf.setBorderStyle(def.borders ? QTextFrameFormat::BorderStyle_Solid
                                      : QTextFrameFormat::BorderStyle_None);
        tf.setBorderCollapse(true);
        tf.setLeftMargin(twipsToLogical(qMax(0, def.leftTwips)));
        tf.setAlignment(def.align == Row::Center  ? Qt::AlignHCenter
                        : def.align == Row::Right ? Qt::AlignRight
                                                  : Qt::AlignLeft);
        QList<QTextLength> widths;
        // A row that starts left of the margin (Word's default: minus the cell gap) cannot hang out of
        // Qt's text area; the first column gives up that much width and padding instead, so that the
        // text stays where it belongs.
        const int overhang = qMax(0, -def.leftTwips);
        int left = def.leftTwips + overhang;
        for (const Cell& cell : def.cells) {
            widths.append(
                QTextLength(QTextLength::FixedLength, twipsToLogical(qMax(1, cell.rightTwips - left))));
            left = cell.rightTwips;
        }
        tf.setColumnWidthConstraints(widths);
        if (t.pageBreakBefore)
            tf.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);

        QTextTable* qt = m_cursor.insertTable(rows, cols, tf);
        bool sized = false;
        for (int r = 0; r < rows; ++r) {
            const Row& row = t.rows[size_t(r)];
            sized = sized || row.heightTwips != 0;
            for (int col = 0; col < cols && col < int(row.cells.size()); ++col) {
                QTextTableCell cell = qt->cellAt(r, col);
                QTextTableCellFormat cf = cell.format().toTableCellFormat();
                cf.setLeftPadding(twipsToLogical(col == 0 ? qMax(0, row.gapTwips - overhang) : row.gapTwips));
                cf.setRightPadding(twipsToLogical(row.gapTwips));
                cf.setTopPadding(0);
                cf.setBottomPadding(0);
                cell.setFormat(cf);
                QTextCursor cc = cell.firstCursorPosition();
                bool fresh = true;
                for (const Paragraph& p : row.cells[size_t(col)].paragraphs)
                    paragraph(cc, p, c, fresh);
            }
        }
        if (sized)
            m_sized.emplace_back(qt, &t);
        m_cursor.movePosition(QTextCursor::End);
        m_fresh = true; // the empty paragraph Qt keeps after a table takes the next paragraph
    }

    Merger& m;
    QTextDocument& m_doc;
    QTextCursor m_cursor;
    bool m_fresh = true;
    QString m_pending;
    int m_pendingFormat = -1;
    QTextCursor* m_pendingCursor = nullptr;
    std::set<int> m_pictures;
    std::vector<std::pair<QTextTable*, const Table*>> m_sized;
};

Merger::Merger(std::shared_ptr<const Template> tmpl, std::shared_ptr<const DataSource> data)
    : m_t(std::move(tmpl)), m_data(std::move(data)), m_now(QDateTime::currentDateTime()) {
    m_columns.assign(m_t->fields.size(), -1);
    if (m_data) {
        for (size_t i = 0; i < m_t->fields.size(); ++i) {
            const Field& f = m_t->fields[i];
            if (f.kind != Field::Merge)
                continue;
            m_columns[i] = m_data->fieldIndex(f.name);
            if (m_columns[i] < 0)
                throw Failure(
                    errors::MergeFieldMissing,
                    QStringLiteral("The merge field \"%1\" of the template \"%2\" is not in the data "
                                   "source \"%3\".")
                        .arg(f.name, m_t->fileName, m_data->name()));
        }
        if (m_data->recordCount() == 0)
            throw Failure(
                errors::NoRecords,
                QStringLiteral("The data source \"%1\" holds no records to merge.").arg(m_data->name()));
    }
    m_charFormats.reserve(m_t->formats.size());
    for (const CharFormat& f : m_t->formats)
        m_charFormats.push_back(toCharFormat(f, m_t->defaultFamily));
}

Merger::~Merger() = default;

bool Merger::atEnd() const {
    return m_done;
}

void Merger::buildCopy(PageCopy& copy, Cursor& cursor) {
    const int first = cursor.record;
    const PageSetup& page = m_t->page;
    const auto band = [&](const Story& story, std::unique_ptr<QTextDocument>& out) -> double {
        if (story.empty())
            return 0;
        out = newBandDocument(page, m_t->defaultFamily);
        Cursor c{first, false};
        Builder b(*this, *out);
        b.begin();
        b.story(story, c);
        b.end();
        b.finish();
        return out->documentLayout()->documentSize().height();
    };
    // A header or footer taller than its margin pushes the body away, as in the common word processors.
    double top = twipsToLayout(page.topTwips);
    double bottom = twipsToLayout(page.bottomTwips);
    if (const double h = band(m_t->header, copy.header); h > 0)
        top = qMax(top, twipsToLayout(page.headerTwips) + h);
    if (const double h = band(m_t->footer, copy.footer); h > 0)
        bottom = qMax(bottom, twipsToLayout(page.footerTwips) + h);
    const double height = qMax(twipsToLayout(720), twipsToLayout(page.heightTwips) - top - bottom);
    copy.bodyTop = top;
    copy.body = newPagedDocument(page, m_t->defaultFamily, height);
    Builder body(*this, *copy.body);
    body.begin();
    if (m_t->type == MainType::Catalog && m_data) {
        // The body once per record, one after the other.
        for (int r = first; r < m_data->recordCount(); ++r) {
            cursor = Cursor{r, false};
            body.story(m_t->body, cursor);
            r = cursor.record;
        }
    } else {
        body.story(m_t->body, cursor);
    }
    body.end();
    body.finish();
}

PageCopy Merger::next() {
    PageCopy copy;
    if (m_done)
        return copy;
    Cursor cursor{m_record, false};
    buildCopy(copy, cursor);
    m_record = cursor.record + 1;
    m_done = !m_data || m_t->type == MainType::Catalog || m_record >= m_data->recordCount();
    return copy;
}

std::shared_ptr<MergedDocument> Merger::all(const QString& name) {
    auto doc = std::make_shared<MergedDocument>();
    doc->page = m_t->page;
    doc->name = name;
    while (!atEnd())
        doc->copies.push_back(next());
    return doc;
}

} // namespace wordproc
