#include "wordproc/MergeBuilder.h"

#include "errors/Failure.h"
#include "wordproc/FormBoxes.h"
#include "wordproc/MarginReach.h"
#include "wordproc/MergeSymbols.h"
#include "wordproc/Metafile.h"
#include "wordproc/PaintRules.h"
#include "wordproc/WordErrors.h"

#include <QFontMetricsF>
#include <QLocale>
#include <QPainter>
#include <QRawFont>
#include <QUrl>
#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>

namespace wordproc {

namespace {

// A cursor at a block's start that stays there as the block's own text goes in after it.
QTextCursor anchorAt(const QTextBlock& block) {
    QTextCursor mark(block);
    mark.setKeepPositionOnInsert(true);
    return mark;
}

// How a PAGE field writes its number: its own \* switch (roman, ROMAN, alphabetic, ALPHABETIC,
// Arabic), else the section's numbering.
QString pageNumberStyle(const QString& instruction, const QString& section) {
    const QStringList parts = instruction.split(QLatin1String("\\*"));
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QString name = parts[i].trimmed().section(QLatin1Char(' '), 0, 0);
        if (name == QLatin1String("roman"))
            return QStringLiteral("lowerRoman");
        if (name == QLatin1String("ROMAN"))
            return QStringLiteral("upperRoman");
        if (name == QLatin1String("alphabetic"))
            return QStringLiteral("lowerLetter");
        if (name == QLatin1String("ALPHABETIC"))
            return QStringLiteral("upperLetter");
        if (name.compare(QLatin1String("Arabic"), Qt::CaseInsensitive) == 0)
            return {};
    }
    return section;
}

} // namespace

Merger::TextFaces Merger::textFaces(const QTextBlock& block) {
    Merger::TextFaces faces;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextCharFormat f = it.fragment().charFormat();
        const auto at = std::find(faces.formats.begin(), faces.formats.end(), f);
        const size_t i = size_t(at - faces.formats.begin());
        if (at == faces.formats.end()) {
            faces.formats.push_back(f);
            faces.wide.emplace_back();
        }
        for (QChar ch : it.fragment().text())
            if (ch.unicode() >= 0x80 && !faces.wide[i].contains(ch))
                faces.wide[i] += ch;
    }
    for (QString& wide : faces.wide)
        std::sort(wide.begin(), wide.end());
    return faces;
}

namespace {

// Whether runs anchor a floating picture or text box, which splits their paragraph's block.
bool anchorsFloats(const Template& t, const std::vector<Run>& runs) {
    return std::any_of(runs.begin(), runs.end(), [&](const Run& r) {
        return r.kind == Run::Floating ||
               (r.kind == Run::Field && r.index >= 0 && size_t(r.index) < t.fields.size() &&
                anchorsFloats(t, t.fields[size_t(r.index)].result));
    });
}

} // namespace

void Merger::Builder::end() {
    flush();
    m_cursor.endEditBlock();
    // Qt knows the frames, the tables', once the edit is over.
    reachPastMargins(m_doc, m_reachLeft, m_reachRight);
    reachPastCellEdges(m_doc);
    // Qt gives a line the height of the picture that did not fit at its end and went on to the next
    // line: the text before such a picture would stand at the foot of a line as tall as the picture.
    // The common word processors end the line there; so does a line separator before the picture.
    QAbstractTextDocumentLayout* layout = m_doc.documentLayout();
    for (QTextCursor& at : m_pictureAfterText) {
        const QTextBlock block = at.block();
        const int offset = at.position() - block.position();
        layout->blockBoundingRect(block);
        const QTextLayout* lines = block.layout();
        if (!lines || offset <= 0 || block.text().at(offset - 1) == QChar::LineSeparator)
            continue;
        const QTextLine line = lines->lineForTextPosition(offset);
        if (!line.isValid() || line.lineNumber() == 0 || line.textStart() != offset)
            continue;
        // The cursor kept its place as the picture went in, its anchor did not.
        QTextCursor before(block);
        before.setPosition(at.position());
        before.insertText(QString(QChar::LineSeparator), before.charFormat());
    }
    m_pictureAfterText.clear();
}

void Merger::Builder::reachStopsPastEnd() {
    QAbstractTextDocumentLayout* layout = m_doc.documentLayout();
    struct Widened {
        QTextBlock block;
        QTextBlockFormat was;
        double past; // layout pixels
    };
    std::vector<Widened> widened;
    double reach = m_reachRight;
    for (QTextBlock b = m_doc.begin(); b.isValid(); b = b.next()) {
        const QTextBlockFormat f = b.blockFormat();
        // A paragraph's rules and shading keep to the margin: its text does too.
        if (!f.hasProperty(kStopsPastEndProperty) || f.hasProperty(kBordersProperty) ||
            f.hasProperty(kShadingProperty) || !b.text().contains(QLatin1Char('\t')))
            continue;
        const QList<qreal> wanted = f.property(kStopsPastEndProperty).value<QList<qreal>>();
        QList<QTextOption::Tab> tabs = f.tabPositions();
        if (wanted.size() != tabs.size())
            continue;
        layout->blockBoundingRect(b);
        if (!b.layout() || b.layout()->lineCount() != 1)
            continue;
        // A stop at the line's very end stays a hair inside it; one past the end is set where the file
        // puts it, the same hair inside the line's new end.
        const double hair = twipsToLogical(8);
        double past = 0; // Qt's units
        for (qsizetype i = 0; i < tabs.size(); ++i)
            if (wanted[i] > tabs[i].position + hair + 1e-6) {
                past = qMax(past, wanted[i] - tabs[i].position);
                tabs[i].position = wanted[i];
            }
        if (past <= 0)
            continue;
        past *= kLayoutDpi / 96.0;
        QTextBlockFormat wider = f;
        wider.setTabPositions(tabs);
        wider.clearProperty(kStopsPastEndProperty);
        wider.setRightMargin(f.rightMargin() - past);
        reach = qMax(reach, rightReach(b) + past);
        QTextCursor(b).setBlockFormat(wider);
        widened.push_back({b, f, past});
    }
    if (widened.empty())
        return;
    if (reach > m_reachRight) {
        m_reachRight = reach;
        reachPastMargins(m_doc, m_reachLeft, m_reachRight);
    }
    // A paragraph that would now wrap otherwise stays as it was.
    for (const Widened& w : widened) {
        layout->blockBoundingRect(w.block);
        if (w.block.layout() && w.block.layout()->lineCount() == 1)
            continue;
        QTextBlockFormat back = w.block.blockFormat();
        back.setRightMargin(back.rightMargin() + w.past);
        back.setTabPositions(w.was.tabPositions());
        back.setProperty(kStopsPastEndProperty, w.was.property(kStopsPastEndProperty));
        QTextCursor(w.block).setBlockFormat(back);
        layout->blockBoundingRect(w.block);
    }
}

void Merger::Builder::story(const Story& s, Cursor& c) {
    // Empty paragraphs that only follow a closing table take no room on a label sheet or in a catalog:
    // a sheet that fills its page must not spill an empty line onto a page of its own, nor a catalog's
    // record add a line after its row. A letter keeps their lines, as Word does, even where they run on
    // to a page that holds nothing but them.
    size_t end = s.blocks.size();
    while (end > 0 && isEmptyParagraph(s.blocks[end - 1]))
        --end;
    if (end == 0 || !std::holds_alternative<Table>(s.blocks[end - 1]) || m_band ||
        m.m_t->type == MainType::Letters)
        end = s.blocks.size();
    // Qt gives a frame's first block no space above it. Where the first paragraph needs some (its
    // space before, the room of a rule above it, or room for a picture above it) an empty block of no
    // height comes first.
    const Paragraph* first = end > 0 ? std::get_if<Paragraph>(&s.blocks.front()) : nullptr;
    if (m_flow.fresh && m_cursor.position() == 0 && first &&
        (first->format.beforeTwips > 0 || edge(first->format.borders, Side::Top).visible() ||
         !m.m_t->floats.empty())) {
        makeBlockEmptyOfHeight();
        m_flow.fresh = false;
        m_ledIn = true;
    }
    m_blockStarts.clear();
    for (const Block& b : s.blocks)
        if (const Paragraph* p = std::get_if<Paragraph>(&b)) {
            m_reachLeft = qMax(m_reachLeft, twipsToLayout(-p->format.leftTwips));
            m_reachRight = qMax(m_reachRight, twipsToLayout(-p->format.rightTwips));
        }
    for (size_t i = 0; i < end; ++i) {
        m_blockStarts.push_back(nextBlock());
        if (const Paragraph* p = std::get_if<Paragraph>(&s.blocks[i]))
            paragraph(m_cursor, *p, c, m_flow,
                      i + 1 < end ? std::get_if<Paragraph>(&s.blocks[i + 1]) : nullptr);
        else
            table(std::get<Table>(s.blocks[i]), c);
    }
    if (end < s.blocks.size() || (end > 0 && std::holds_alternative<Table>(s.blocks[end - 1])))
        makeBlockEmptyOfHeight();
}

void Merger::Builder::makeBlockEmptyOfHeight() {
    QTextBlockFormat none;
    none.setLineHeight(0, QTextBlockFormat::FixedHeight);
    QTextCharFormat tiny;
    tiny.setFontPointSize(1);
    m_cursor.setBlockFormat(none);
    m_cursor.setBlockCharFormat(tiny);
}

bool Merger::Builder::isEmptyParagraph(const Block& b) {
    const Paragraph* p = std::get_if<Paragraph>(&b);
    return p && p->runs.empty() && !p->format.pageBreakBefore;
}

bool Merger::Builder::sameBorders(const Paragraph* a, const Paragraph* b) {
    return a && b && anyVisible(a->format.borders) && a->format.borders == b->format.borders;
}

bool Merger::Builder::emptyMergeLine(const Paragraph& p, const Cursor& c) const {
    bool anyField = false;
    for (const Run& r : p.runs) {
        if (r.kind == Run::Tab || (r.kind == Run::Text && r.text.trimmed().isEmpty()))
            continue;
        if (r.kind != Run::Field || r.index < 0 || size_t(r.index) >= m.m_t->fields.size())
            return false;
        const Field& f = m.m_t->fields[size_t(r.index)];
        if (f.kind != Field::Merge)
            return false;
        if (m.m_data) {
            // Blank labels after the last record keep their lines.
            if (c.exhausted || !m.m_data->value(c.record, m.m_columns[size_t(r.index)]).isEmpty())
                return false;
        } else if (std::any_of(f.result.begin(), f.result.end(), [](const Run& shown) {
                       return shown.kind != Run::Text || !shown.text.isEmpty();
                   })) {
            return false;
        }
        anyField = true;
    }
    return anyField;
}

// A list number set to end at the first line's indent, or centred on it, starts that much before it:
// the line starts there, and its tab stops, measured from where it starts, lie that much further on.
void Merger::Builder::alignListNumber(QTextBlockFormat& f, const Paragraph& p) const {
    if (p.format.numberAlign == ParaFormat::Left || p.runs.empty() || p.runs.front().kind != Run::Text)
        return;
    const Run& number = p.runs.front();
    if (number.format < 0 || size_t(number.format) >= m.m_charFormats.size())
        return;
    QString text = number.text;
    while (text.endsWith(QLatin1Char(' ')))
        text.chop(1);
    const double width =
        QFontMetricsF(m.m_charFormats[size_t(number.format)].font(), layoutDevice()).horizontalAdvance(text);
    const double shift = p.format.numberAlign == ParaFormat::Right ? width : width / 2;
    if (shift <= 0)
        return;
    f.setTextIndent(f.textIndent() - shift);
    QList<QTextOption::Tab> tabs = f.tabPositions();
    for (QTextOption::Tab& t : tabs)
        t.position += shift * 96.0 / kLayoutDpi;
    f.setTabPositions(tabs);
}

void Merger::Builder::paragraph(QTextCursor& cur, const Paragraph& p, Cursor& c, Flow& flow,
                                const Paragraph* next) {
    // Word's merge leaves out a line whose merge fields all come out empty, such as an address's
    // second street line, rather than print it blank; so does LibreOffice showing such a template.
    if (!p.format.pageBreakBefore && emptyMergeLine(p, c))
        return;
    auto it = m.m_blockFormats.find(&p);
    if (it == m.m_blockFormats.end())
        it = m.m_blockFormats.emplace(&p, toBlockFormat(p.format)).first;
    QTextBlockFormat f = it->second;
    const int width = qRound(m_doc.pageSize().width() * 1440 / kLayoutDpi);
    addDefaultTabs(f, p.format, qRound(m_doc.defaultTextOption().tabStopDistance() * 15), width);
    if (!cur.currentTable())
        keepTabsOnLine(f, p.format, width);
    alignListNumber(f, p);
    // Space after a paragraph and space before the next add up in the common word processors, unless
    // the template takes the larger; Qt would take the larger of the two.
    f.setTopMargin(twipsToLogical(m.m_t->largerSpaceBetween ? qMax(p.format.beforeTwips, flow.afterTwips)
                                                            : p.format.beforeTwips + flow.afterTwips));
    const double spaceAbove = f.topMargin();
    f.setProperty(kCarriedSpaceProperty, spaceAbove - twipsToLogical(p.format.beforeTwips));
    f.setProperty(kOwnSpaceBeforeProperty,
                  twipsToLogical(m.m_t->largerSpaceBetween ? qMax(0, p.format.beforeTwips - flow.afterTwips)
                                                           : p.format.beforeTwips));
    setBorders(f, p.format.borders, sameBorders(flow.previous, &p), sameBorders(&p, next),
               m.m_t->sideRulesOutside);
    // A new page keeps the room of the rule above the paragraph with its space before.
    const double ruleAbove = f.topMargin() - spaceAbove;
    // Qt lets the larger of a block's bottom margin and the next one's top margin stand between them: the
    // room of the rule below the paragraph before goes above this one as well, so that both count.
    if (flow.previous && !sameBorders(flow.previous, &p))
        f.setTopMargin(f.topMargin() + twipsToLogical(ruleRoom(
                                           edge(flow.previous->format.borders, Side::Bottom), Side::Bottom)));
    if (m_table && &flow == &m_flow) {
        // Qt lays an empty block straight after a table behind the table, where it takes no room:
        // an empty paragraph there goes into a block of its own after it.
        const bool ownBlock = p.runs.empty() && flow.fresh;
        if (ownBlock)
            flow.fresh = false;
        // Qt gives the block after a table no space above it; the table keeps that space below. An empty
        // paragraph in a block of its own keeps it as well: the table then keeps none, LibreOffice
        // setting the space once.
        QTextTableFormat tf = m_table->format();
        tf.setBottomMargin(ownBlock ? 0.0 : f.topMargin());
        m_table->setFormat(tf);
        m_table = nullptr;
    }
    if (flow.table) {
        // The same after a table in a cell: an empty paragraph there is a line of its own, unless it
        // only closes the cell; the space above the text after the table stands below the table.
        if (p.runs.empty() && flow.fresh && next) {
            flow.fresh = false;
        } else if (p.runs.empty() && flow.fresh) {
            // Closing the cell it takes no room, and neither does the space around it.
            f.setTopMargin(0);
            f.setBottomMargin(0);
        }
        QTextTableFormat tf = flow.table->format();
        tf.setBottomMargin(f.topMargin());
        flow.table->setFormat(tf);
        flow.table = nullptr;
    }
    if (p.format.pageBreakBefore && !flow.fresh)
        // A new page drops the space after the paragraph before the break, and keeps the space
        // before this one, as LibreOffice sets it.
        f.setTopMargin(twipsToLogical(p.format.beforeTwips) + ruleAbove);
    if (m_breakNext && &flow == &m_flow) {
        f.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        f.setTopMargin(twipsToLogical(p.format.beforeTwips) + ruleAbove);
        m_breakNext = false;
    }
    if (m_lowered && &flow == &m_flow) {
        // Only the first page's lowered start comes before it: no page of its own.
        f.setPageBreakPolicy(QTextFormat::PageBreak_Auto);
        m_lowered = false;
    }
    const QTextCharFormat& mark = m.m_charFormats[size_t(p.markFormat)];
    // A break before the very first paragraph would leave an empty first page, also where an empty
    // block of no height stands before it.
    const bool veryFirst = (flow.fresh && cur.position() == 0) || (m_ledIn && &flow == &m_flow);
    if (&flow == &m_flow)
        m_ledIn = false;
    if (veryFirst && p.format.pageBreakBefore)
        f.setPageBreakPolicy(QTextFormat::PageBreak_Auto);
    // Each letter gives most paragraphs text of the same formats, and so lines of the same heights:
    // the block takes the format they had in the letter before, and keeps it when its text agrees.
    const auto seen = m.m_lineHeights.find(&p);
    const bool known = seen != m.m_lineHeights.end() && seen->second.before == f;
    const QTextBlockFormat& set = known ? seen->second.after : f;
    if (flow.fresh) {
        cur.setBlockFormat(set);
        cur.setBlockCharFormat(mark);
    } else {
        cur.insertBlock(set, mark);
    }
    flow = Flow{false, p.format.afterTwips, &p};
    const QTextBlock start = cur.block();
    runs(cur, p.runs, c);
    flush();
    lightenAutoText(start, cur.block(), p.format.shading.isValid() ? p.format.shading : m_behind);
    breakAfterOpeningSpaces(start, cur.block());
    dropClosingSpaces(start, cur.block());
    if (p.blankFormat >= 0 && size_t(p.blankFormat) < m.m_charFormats.size())
        lowerBlanks(start, cur.block(), m.m_charFormats[size_t(p.blankFormat)]);
    // After the blanks are lowered: the break before a box is no blank that takes a face's room.
    roomForLetterBoxes(start, cur.block());
    // Whether a character comes from another face than its own sets a line's height too, and East
    // Asian letters beside Latin ones are set apart: text of the same faces and characters is set as
    // before only where neither happened, nor was a line measured.
    const bool single = start == cur.block();
    const bool asian = m.m_t->spaceAsianText && hasAsianLetter(start.text());
    if (known && single && !asian && textFaces(start) == seen->second.faces &&
        (!seen->second.oneLine || oneLine(start) == *seen->second.oneLine))
        return;
    if (asian)
        spaceAsianFromWestern(start, cur.block());
    if (known)
        QTextCursor(start).setBlockFormat(f);
    if (m.m_t->italicsKeepRoom)
        keepRoomAfterItalics(start, cur.block());
    HeightsBasis basis;
    setExactLineHeights(start, cur.block(), &flow == &m_flow, p.format.snapToGrid ? m_lineGrid : 0.0, &basis);
    if (!basis.lent && single && !asian && !anchorsFloats(*m.m_t, p.runs))
        m.m_lineHeights[&p] = LineHeightsSeen{f, start.blockFormat(), textFaces(start), basis.oneLine};
}

void Merger::Builder::text(QTextCursor& cur, const QString& s, int format, const Cursor& c) {
    if (c.exhausted || s.isEmpty())
        return;
    if (m_pendingCursor != &cur || m_pendingFormat != format)
        flush();
    m_pendingCursor = &cur;
    m_pendingFormat = format;
    m_pending += s;
}

void Merger::Builder::lightenAutoText(const QTextBlock& first, const QTextBlock& last,
                                      const QColor& background) {
    if (!background.isValid() || !darkBehindText(background))
        return;
    // The ranges first: changing a fragment's format merges and splits the fragments being walked.
    std::vector<std::pair<int, int>> ranges;
    for (QTextBlock b = first; b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().boolProperty(kAutoColorProperty))
                ranges.emplace_back(it.fragment().position(), it.fragment().length());
        if (b == last)
            break;
    }
    QTextCharFormat white;
    white.setForeground(QColor(Qt::white));
    QTextCursor cursor(first);
    for (const auto& [from, length] : ranges) {
        cursor.setPosition(from);
        cursor.setPosition(from + length, QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(white);
    }
}

void Merger::Builder::flush() {
    // A non-breaking hyphen prints as the font's own hyphen joined to the letter after it: few fonts
    // draw U+2011, and a PDF's text then reads as the hyphen typed, as in LibreOffice's.
    if (m_pending.contains(QChar(0x2011)))
        m_pending.replace(QChar(0x2011), QStringLiteral("-\u2060"));
    m_pending = joinUnbrokenWords(std::move(m_pending));
    if (m_pendingCursor && !m_pending.isEmpty()) {
        const QTextCharFormat& format = m.m_charFormats[size_t(m_pendingFormat)];
        // Words-only underlining leaves the spaces between the words bare.
        const bool wordsOnly = format.intProperty(kExtraLinesProperty) & kWordsUnderline;
        const auto insertPlain = [&](const QString& text, const QTextCharFormat& f) {
            if (text.isEmpty())
                return;
            if (!wordsOnly) {
                m_pendingCursor->insertText(text, f);
                return;
            }
            QTextCharFormat bare = f;
            bare.setFontUnderline(false);
            qsizetype i = 0;
            while (i < text.size()) {
                const bool space = text.at(i).isSpace();
                qsizetype j = i;
                while (j < text.size() && text.at(j).isSpace() == space)
                    ++j;
                m_pendingCursor->insertText(text.mid(i, j - i), space ? bare : f);
                i = j;
            }
        };
        // Small capitals as LibreOffice sets them: the small letters as capitals four fifths of the
        // size (Qt's are seven tenths), so that lines fill and break where its do.
        const auto insertText = [&](const QString& text, const QTextCharFormat& f) {
            if (f.fontCapitalization() != QFont::SmallCaps) {
                insertPlain(text, f);
                return;
            }
            QTextCharFormat big = f;
            big.setFontCapitalization(QFont::MixedCase);
            QTextCharFormat small = big;
            small.setFontPointSize(f.fontPointSize() * 0.8);
            small.setProperty(kSmallCapsSizeProperty, f.fontPointSize());
            for (qsizetype i = 0; i < text.size();) {
                const bool lower = text.at(i).isLower();
                qsizetype j = i;
                while (j < text.size() && text.at(j).isLower() == lower)
                    ++j;
                QString piece = text.mid(i, j - i);
                for (QChar& ch : piece)
                    ch = lower ? ch.toUpper() : ch;
                insertPlain(piece, lower ? small : big);
                i = j;
            }
        };
        // A word joiner stands apart, tiny: where the font lacks it (Liberation's do), Qt takes it from
        // another face, whose taller line the text's would otherwise take.
        const auto insert = [&](const QString& text, const QTextCharFormat& f) {
            qsizetype from = 0;
            for (qsizetype at = from; at < text.size(); ++at) {
                if (text.at(at) != kWordJoiner && text.at(at) != kBreakHere)
                    continue;
                insertText(text.mid(from, at - from), f);
                // A break in the text's own face, where it has one, keeps the word whole in the PDF's text.
                QTextCharFormat own = f;
                own.setFontLetterSpacingType(QFont::AbsoluteSpacing);
                own.setFontLetterSpacing(0);
                const bool inOwn =
                    text.at(at) == kBreakHere &&
                    QRawFont::fromFont(f.font()).supportsCharacter(char32_t(kBreakHere.unicode()));
                m_pendingCursor->insertText(QString(text.at(at)), inOwn ? own : joinerFormat(f));
                from = at + 1;
            }
            insertText(text.mid(from), f);
        };
        // Words lined up with runs of spaces keep their columns only with the runs' spaces set wider.
        const auto put = [&](const QString& text, const QTextCharFormat& f) {
            if (!m.m_t->balanceSpaces) {
                insert(text, f);
                return;
            }
            qsizetype from = 0;
            for (qsizetype i = 0; i < text.size();) {
                if (text.at(i) != QLatin1Char(' ') || i + 1 == text.size() ||
                    text.at(i + 1) != QLatin1Char(' ')) {
                    ++i;
                    continue;
                }
                qsizetype j = i;
                while (j < text.size() && text.at(j) == QLatin1Char(' '))
                    ++j;
                insert(text.mid(from, i - from), f);
                insert(text.mid(i, j - i), spaceRun(f));
                from = i = j;
            }
            insert(text.mid(from), f);
        };
        // A symbol font's pictures go to the face that names them by their private-use codes.
        const QStringList families = format.fontFamilies().toStringList();
        const PrivateSymbols symbols = toPrivateSymbols(m_pending, format.intProperty(kSymbolSetProperty),
                                                        families.isEmpty() ? QString() : families.front());
        qsizetype from = 0;
        for (const PrivateSymbols::Stretch& stretch : symbols.stretches) {
            put(symbols.text.mid(from, stretch.start - from), format);
            QTextCharFormat drawn = format;
            drawn.setFontFamilies(QStringList{stretch.family});
            // Qt's unshaped path finds no glyph for a private-use code.
            drawn.setFontStyleStrategy(
                QFont::StyleStrategy(drawn.fontStyleStrategy() & ~QFont::PreferNoShaping));
            put(symbols.text.mid(stretch.start, stretch.end - stretch.start), drawn);
            from = stretch.end;
        }
        put(symbols.text.mid(from), format);
    }
    m_pending.clear();
    m_pendingCursor = nullptr;
    m_pendingFormat = -1;
}

void Merger::Builder::runs(QTextCursor& cur, const std::vector<Run>& list, Cursor& c) {
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
        case Run::Floating:
            if (!c.exhausted && r.index >= 0 && size_t(r.index) < m.m_t->floats.size()) {
                const Floating& fl = m.m_t->floats[size_t(r.index)];
                flush();
                // A picture that leaves room beside it has the text flow around it from its
                // paragraph's top, wherever in the paragraph it is anchored.
                QTextFrame* clear = nullptr;
                const int block = cur.block().blockNumber();
                // The pieces of a group keep clear by the first piece's frame, as Qt would set their
                // frames side by side.
                const bool cleared = std::any_of(m_anchors.begin(), m_anchors.end(), [&](const Anchor& a) {
                    return a.block.blockNumber() == block && a.clear &&
                           clearsLeft(m.m_t->floats[size_t(a.index)]) == clearsLeft(fl);
                });
                if (besideText(fl) && !cur.currentTable() && !cleared) {
                    if (cur.block().length() == 1) {
                        clear = keepClear(cur, fl);
                    } else {
                        QTextCursor start(cur.block());
                        clear = keepClear(start, fl);
                        // The frame goes before the paragraph's text: what is anchored there moves on.
                        for (Anchor& a : m_anchors)
                            if (a.block.blockNumber() == block)
                                a.block = anchorAt(cur.block());
                    }
                }
                m_anchors.push_back(Anchor{anchorAt(cur.block()), r.index, c.record, clear});
            }
            break;
        case Run::CheckBox:
            if (!c.exhausted) {
                flush();
                insertCheckBox(cur, m.m_charFormats[size_t(r.format)], r.index == 1);
            }
            break;
        case Run::Note:
            if (m_collectNotes && !c.exhausted && r.index >= 0 && size_t(r.index) < m.m_t->notes.size()) {
                flush();
                // The text that follows is inserted at the cursor's place, which stays before it.
                QTextCursor at = cur;
                at.setKeepPositionOnInsert(true);
                m_noteRefs.push_back(NoteRef{at, r.index, c.record});
            }
            break;
        }
    }
}

void Merger::Builder::picture(QTextCursor& cur, const Run& r, const Cursor& c) {
    if (c.exhausted || r.index < 0 || size_t(r.index) >= m.m_t->pictures.size())
        return;
    const Picture& pic = m.m_t->pictures[size_t(r.index)];
    flush();
    const QString name = QStringLiteral("qm-picture-%1").arg(r.index);
    const QMargins room(qMax(0, pic.leftTwips), qMax(0, pic.topTwips), qMax(0, pic.rightTwips),
                        qMax(0, pic.bottomTwips));
    const QMargins bleed = pictureBleed(pic, room);
    const int wide = pic.widthTwips + room.left() + room.right(),
              high = pic.heightTwips + room.top() + room.bottom();
    if (m_pictures.insert(r.index).second) {
        const QSizeF pixels(twipsToLayout(pic.widthTwips), twipsToLayout(pic.heightTwips));
        // The room round the picture is a clear part of its image: Qt keeps none round an image in a
        // line, and so keeps the room on the picture's line.
        const QImage shown = !room.isNull() || pic.lineColor.isValid() || pic.shadowColor.isValid()
                                 ? m.framedPictureImage(r.index, pixels, room + bleed)
                                 : m.pictureImage(r.index, pixels);
        m_doc.addResource(QTextDocument::ImageResource, QUrl(name), QVariant(shown));
    }
    QTextImageFormat f;
    f.merge(m.m_charFormats[size_t(r.format)]);
    f.setName(name);
    f.setWidth(twipsToLogical(wide));
    f.setHeight(twipsToLogical(high));
    // An outline round the picture and its shadow may reach past the room kept round it: LibreOffice
    // draws them over what lies there.
    if (!bleed.isNull())
        f.setProperty(kPictureBleedProperty, QRectF(-bleed.left() / double(wide), -bleed.top() / double(high),
                                                    (wide + bleed.left() + bleed.right()) / double(wide),
                                                    (high + bleed.top() + bleed.bottom()) / double(high)));
    // The picture's place, to see once laid out whether it went on to a line of its own.
    if (cur.positionInBlock() > 0) {
        QTextCursor at = cur;
        at.setKeepPositionOnInsert(true);
        m_pictureAfterText.push_back(at);
    }
    cur.insertImage(f);
}

int Merger::Builder::valueFormat(const Field& f) const {
    if (f.mergeFormat)
        for (const Run& r : f.result)
            if (r.kind == Run::Text)
                return r.format;
    return f.codeFormat;
}

void Merger::Builder::field(QTextCursor& cur, const Run& r, Cursor& c) {
    if (r.index < 0 || size_t(r.index) >= m.m_t->fields.size())
        return;
    const Field& f = m.m_t->fields[size_t(r.index)];
    // LibreOffice orders a right-to-left paragraph's fields as single marks, neither side's letters,
    // and sets each one's text right to left within itself: two names merged side by side keep their
    // order from the right, each name's brackets turned about it. Unicode's isolates say as much to Qt.
    const bool isolated = f.kind != Field::Next && cur.blockFormat().layoutDirection() == Qt::RightToLeft;
    if (isolated)
        text(cur, QString(QChar(0x2067)), valueFormat(f), c);
    fieldContent(cur, r, c);
    if (isolated)
        text(cur, QString(QChar(0x2069)), valueFormat(f), c);
}

void Merger::Builder::fieldContent(QTextCursor& cur, const Run& r, Cursor& c) {
    const Field& f = m.m_t->fields[size_t(r.index)];
    const bool merging = m.m_data != nullptr;
    switch (f.kind) {
    case Field::Merge: {
        if (!merging) {
            flush();
            FieldSpan span{cur, {}};
            span.from.setKeepPositionOnInsert(true);
            runs(cur, f.result, c);
            flush();
            span.to = cur;
            span.to.setKeepPositionOnInsert(true);
            if (span.to.position() > span.from.position())
                m_fieldSpans.push_back(std::move(span));
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
    case Field::Page:
    case Field::NumPages: {
        if (c.exhausted)
            return;
        // The stored number stands until the pages are known; the painting sets each page's own.
        QString shown;
        for (const Run& run : f.result)
            if (run.kind == Run::Text)
                shown += run.text;
        shown = shown.trimmed();
        flush();
        QTextCharFormat format = m.m_charFormats[size_t(valueFormat(f))];
        format.setProperty(kPageFieldProperty, f.kind == Field::Page ? 1 : 2);
        // The section's way of writing numbers serves the page count as well, as LibreOffice prints it.
        const PageSetup& section = m.page();
        const QString style = pageNumberStyle(f.instruction, section.pageNumberFormat);
        if (!style.isEmpty())
            format.setProperty(kPageFormatProperty, style);
        // A later section that starts its numbers anew starts its sheets' count there instead.
        if (f.kind == Field::Page && &section == &m.m_t->page && section.pageNumberStart > 0)
            format.setProperty(kPageOffsetProperty, section.pageNumberStart - 1);
        cur.insertText(shown.isEmpty() ? QStringLiteral("1") : shown, format);
        m_pageFields = true;
        return;
    }
    case Field::If: {
        std::optional<std::vector<Run>> chosen;
        if (merging)
            chosen = ifChoice(r.index, c, 0);
        runs(cur, chosen ? *chosen : f.result, c);
        return;
    }
    case Field::Other:
        runs(cur, f.result, c);
        return;
    }
}

} // namespace wordproc
