#include "wordproc/MergeFormats.h"

#include "platform/Fonts.h"
#include "wordproc/MergeSymbols.h"
#include "wordproc/Pages.h"
#include "wordproc/Twips.h"

#include <QBrush>
#include <QColor>
#include <QFontMetricsF>
#include <algorithm>
#include <cmath>

// How the template's character, paragraph and border formats become Qt's.

namespace wordproc {

bool darkBehindText(const QColor& background) {
    // A see-through background darkens the white paper only by its share.
    const QRgb c = background.rgba();
    const int luminance = (qRed(c) * 76 + qGreen(c) * 151 + qBlue(c) * 29) / 256;
    return qAlpha(c) > 0 && (luminance * qAlpha(c) + 255 * (255 - qAlpha(c))) / 255 <= 62;
}

QTextCharFormat toCharFormat(const CharFormat& c, const QString& defaultFamily) {
    QTextCharFormat f;
    const QString family = platform::letterFamily(c.family.isEmpty() ? defaultFamily : c.family);
    if (!family.isEmpty())
        f.setFontFamilies(QStringList{family});
    f.setFontPointSize(c.halfPoints / 2.0);
    // LibreOffice kerns every pair unless kerning is turned off outright, whatever size the template
    // names for it; its lines hold as many words as ours only when the letters are set the same way.
    // Unkerned text is spared the shaper, which a merge of many letters feels.
    if (c.kerningFrom != 0)
        f.setFontKerning(true);
    else
        f.setFontStyleStrategy(QFont::PreferNoShaping);
    // Letters are never joined into ligatures, though LibreOffice joins some: Qt's PDF writer names a
    // glyph only by the one character the font's table gives it, so "office" would read back as
    // "o\uFB03ce", and a joined "ti" or "fj" (Carlito's), which no character stands for, would lose its
    // letters to anyone who searches the PDF or copies from it. Any letter spacing stops Qt's shaper
    // from joining letters (scripts that need joined forms keep them); 100 percent moves nothing.
    if (c.spacingTwips != 0) {
        f.setFontLetterSpacingType(QFont::AbsoluteSpacing);
        // In 96-dpi units, which Qt scales to the layout's device as it does table lengths.
        f.setFontLetterSpacing(c.spacingTwips * 96.0 / 1440.0);
    } else {
        f.setFontLetterSpacingType(QFont::PercentageSpacing);
        f.setFontLetterSpacing(100);
    }
    // Characters as wide as the font designs them, as the common word processors set them: hinted to
    // the layout device's whole pixels, a line of text comes out up to half a point narrower and breaks
    // elsewhere.
    f.setFontHintingPreference(QFont::PreferNoHinting);
    if (!c.asianFamily.isEmpty())
        f.setProperty(kAsianFaceProperty, platform::asianFace(c.asianFamily, c.asianLanguage));
    f.setFontWeight(c.bold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(c.italic);
    f.setFontUnderline(c.underline);
    f.setFontStrikeOut(c.strike && !c.doubleStrike);
    int extra = c.strike && c.doubleStrike ? kDoubleStrike : 0;
    if (c.underline) {
        using Line = CharFormat::Line;
        switch (c.underlineStyle) {
        case Line::Dotted:
            f.setUnderlineStyle(QTextCharFormat::DotLine);
            break;
        case Line::Dashed:
            f.setUnderlineStyle(QTextCharFormat::DashUnderline);
            break;
        case Line::Wave:
            f.setUnderlineStyle(QTextCharFormat::WaveUnderline);
            break;
        case Line::Double:
            f.setFontUnderline(false);
            extra |= kDoubleUnderline;
            break;
        case Line::Thick:
            extra |= kThickUnderline;
            break;
        case Line::Words:
            extra |= kWordsUnderline;
            break;
        case Line::Single:
            break;
        }
    }
    if (extra)
        f.setProperty(kExtraLinesProperty, extra);
    if (const int sets = symbolSetsOfFamily(c.family.isEmpty() ? defaultFamily : c.family))
        f.setProperty(kSymbolSetProperty, sets);
    f.setForeground(c.color.isValid()                                        ? c.color
                    : c.background.isValid() && darkBehindText(c.background) ? QColor(Qt::white)
                                                                             : QColor(Qt::black));
    if (!c.color.isValid() && !c.background.isValid())
        f.setProperty(kAutoColorProperty, true);
    if (c.background.isValid())
        f.setBackground(c.background);
    if (c.border.visible()) {
        const QColor rule = c.border.color.isValid() ? c.border.color : QColor(Qt::black);
        f.setProperty(kLetterBoxProperty,
                      QVariant::fromValue(QList<qreal>{qreal(c.border.style), qreal(c.border.widthTwips),
                                                       qreal(c.border.spaceTwips), qreal(rule.rgba())}));
    }
    if (c.script == CharFormat::Script::Super)
        f.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    else if (c.script == CharFormat::Script::Sub)
        f.setVerticalAlignment(QTextCharFormat::AlignSubScript);
    if (c.raiseHalfPoints != 0) {
        // LibreOffice raises text by the share of its size it is asked to, taken of its single line's
        // height: 3 points of 12-point Liberation Serif (13.8 points a line) are 3.45. Qt raises it by a
        // share of its font's height.
        QFont font(family);
        font.setPointSizeF(c.halfPoints / 2.0);
        QTextCharFormat face;
        face.setFont(font);
        const double height = QFontMetricsF(font, layoutDevice()).height();
        const double line = singleLineHeight(face, font);
        if (height > 0 && line > 0)
            f.setBaselineOffset(c.raiseHalfPoints / double(c.halfPoints) * line / height * 100);
    }
    if (c.widthPercent != 100)
        f.setFontStretch(c.widthPercent);
    if (c.caps == CharFormat::Caps::All)
        f.setFontCapitalization(QFont::AllUppercase);
    else if (c.caps == CharFormat::Caps::Small)
        f.setFontCapitalization(QFont::SmallCaps);
    return f;
}

QString joinUnbrokenWords(QString text) {
    const auto word = [](QChar c) { return c.isLetterOrNumber(); };
    for (qsizetype i = text.size() - 2; i >= 1; --i) {
        const QChar c = text.at(i), before = text.at(i - 1), after = text.at(i + 1);
        // LibreOffice breaks no line after a slash that text follows, in a word or a web address
        // ("and/or", "http://www.example.com/path", "/usr"); before East Asian text it may.
        const bool slash = c == QLatin1Char('/') && !after.isSpace() && after.unicode() < 0x2E80;
        const bool stop =
            (c == QLatin1Char('.') || c == QLatin1Char(':')) && before.isLetter() && after.isDigit();
        if (slash || stop)
            text.insert(i + 1, kWordJoiner);
        else if (c == QLatin1Char('-') && word(before) && after.isDigit())
            text.insert(i + 1, kBreakHere);
    }
    return text;
}

QTextCharFormat joinerFormat(QTextCharFormat format) {
    format.setFontPointSize(1);
    format.setFontLetterSpacingType(QFont::AbsoluteSpacing);
    format.setFontLetterSpacing(0);
    return format;
}

QTextCharFormat spaceRun(QTextCharFormat format) {
    const double points = format.fontPointSize() > 0 ? format.fontPointSize() : 12.0;
    const double own =
        format.fontLetterSpacingType() == QFont::AbsoluteSpacing ? format.fontLetterSpacing() : 0.0;
    format.setFontLetterSpacingType(QFont::AbsoluteSpacing);
    // In 96-dpi units, as letter spacing is given everywhere here.
    format.setFontLetterSpacing(own + points / 6 * 96.0 / 72.0);
    format.setFontKerning(false);
    return format;
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
    // The paragraph's direction is the file's, never guessed from its first letter as Qt would: a
    // right-to-left paragraph's start indent stands at the right, and Qt sets its Left alignment and its
    // first line's indent there itself.
    b.setLayoutDirection(p.rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
    b.setLeftMargin(twipsToLayout(p.rightToLeft ? p.rightTwips : p.leftTwips));
    b.setRightMargin(twipsToLayout(p.rightToLeft ? p.leftTwips : p.rightTwips));
    // Qt keeps a paragraph's lines from reaching left of the margin, but not its first line's indent:
    // an indent into the margin moves the first line there at least, as a heading set out in the
    // margin is.
    b.setTextIndent(twipsToLayout(p.firstTwips + qMin(0, p.leftTwips)));
    b.setTopMargin(twipsToLogical(p.beforeTwips));
    b.setBottomMargin(twipsToLogical(p.afterTwips));
    // LibreOffice keeps spaced lines in whole percent, cut down: 278 twips (1.158 lines) are 115%, 16.1
    // points a line of 14, not 16.2. A page of such lines would otherwise drift down by a line's gap.
    if (p.lineMultiple && p.lineTwips > 0)
        b.setLineHeight(double(qint64(p.lineTwips) * 100 / 240), QTextBlockFormat::ProportionalHeight);
    else if (p.lineTwips > 0)
        b.setLineHeight(twipsToLogical(p.lineTwips), QTextBlockFormat::MinimumHeight);
    else if (p.lineTwips < 0)
        b.setLineHeight(twipsToLogical(-double(p.lineTwips)), QTextBlockFormat::FixedHeight);
    // Word measures tab stops from the margin; Qt measures a first line's stops from where that line
    // starts, which is where the tabs of a list item or a price list are.
    const int origin = p.leftTwips + p.firstTwips;
    std::vector<TabStop> sorted = p.tabs;
    // A hanging indent is a stop of its own: a list item's text starts there.
    if (p.firstTwips < 0 && std::none_of(sorted.begin(), sorted.end(), [&](const TabStop& t) {
            return t.twips > origin && t.twips <= p.leftTwips;
        }))
        sorted.push_back(TabStop{p.leftTwips, TabStop::Left, TabStop::NoLeader});
    if (!sorted.empty()) {
        QList<QTextOption::Tab> tabs;
        QString leaders;
        bool anyLeader = false;
        std::stable_sort(sorted.begin(), sorted.end(),
                         [](const TabStop& a, const TabStop& b) { return a.twips < b.twips; });
        for (const TabStop& t : sorted) {
            // Qt takes a right-to-left line's Left stop as the side it names; Word's left stop there
            // starts the text at the stop, as its right one ends it there.
            const bool mirrored = p.rightToLeft;
            QTextOption::TabType type = mirrored ? QTextOption::RightTab : QTextOption::LeftTab;
            if (t.kind == TabStop::Right)
                type = mirrored ? QTextOption::LeftTab : QTextOption::RightTab;
            else if (t.kind == TabStop::Center)
                type = QTextOption::CenterTab;
            else if (t.kind == TabStop::Decimal)
                type = QTextOption::DelimiterTab;
            tabs.append(QTextOption::Tab(twipsToLogical(double(t.twips) - origin), type, QLatin1Char('.')));
            leaders += QChar(u'0' + t.leader);
            anyLeader = anyLeader || t.leader != TabStop::NoLeader;
        }
        b.setTabPositions(tabs);
        if (anyLeader)
            b.setProperty(kLeadersProperty, leaders);
    }
    if (!p.barTabs.empty()) {
        QList<qreal> bars;
        for (int twips : p.barTabs)
            bars.append(twipsToLayout(twips));
        b.setProperty(kBarTabsProperty, QVariant::fromValue(bars));
    }
    if (p.shading.isValid())
        b.setProperty(kShadingProperty, qulonglong(p.shading.rgba()));
    if (p.pageBreakBefore)
        b.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    // Not Qt's non-breakable lines: those are lines that do not wrap.
    if (p.widowControl || p.keepWithNext || p.keepTogether)
        b.setProperty(kKeepProperty, (p.widowControl ? kWidowControl : 0) |
                                         (p.keepWithNext ? kKeepWithNext : 0) |
                                         (p.keepTogether ? kKeepTogether : 0));
    return b;
}

void keepTabsOnLine(QTextBlockFormat& b, const ParaFormat& p, int widthTwips) {
    QList<QTextOption::Tab> tabs = b.tabPositions();
    // Qt measures the stops from where the first line starts, as toBlockFormat() sets them.
    const double end = twipsToLogical(widthTwips - p.rightTwips - p.leftTwips - p.firstTwips);
    // A stop at the line's very end is set a hair inside it (under half a point): Qt lets no glyph's ink
    // stand past the line, so the last figure of a page number set flush right there would wrap.
    const double inside = end - twipsToLogical(8);
    QList<qreal> wanted;
    for (const QTextOption::Tab& t : tabs)
        wanted.append(t.position);
    bool moved = false;
    for (QTextOption::Tab& t : tabs) {
        if (t.type != (p.rightToLeft ? QTextOption::LeftTab : QTextOption::RightTab))
            continue;
        if (t.position > inside && t.position <= end + twipsToLogical(1440)) {
            t.position = inside;
            moved = true;
        }
    }
    if (!moved)
        return;
    b.setTabPositions(tabs);
    b.setProperty(kStopsPastEndProperty, QVariant::fromValue(wanted));
}

void addDefaultTabs(QTextBlockFormat& b, const ParaFormat& p, int defaultTwips, int widthTwips) {
    // Toward the first line's start, as toBlockFormat() measures the stops.
    const int origin = p.leftTwips + p.firstTwips;
    if (defaultTwips <= 0 || origin % defaultTwips == 0)
        return;
    QList<QTextOption::Tab> tabs = b.tabPositions();
    double last = origin;
    for (const QTextOption::Tab& t : tabs)
        last = qMax(last, origin + t.position * 15);
    const int end = widthTwips - p.rightTwips;
    // No more stops than a line of the narrowest default stops holds.
    for (qint64 at = (qint64(std::floor(last / defaultTwips)) + 1) * defaultTwips;
         at < end && tabs.size() < 200; at += defaultTwips)
        tabs.append(QTextOption::Tab(twipsToLogical(double(at) - origin),
                                     p.rightToLeft ? QTextOption::RightTab : QTextOption::LeftTab));
    b.setTabPositions(tabs);
}

bool anyVisible(const Borders& borders) {
    return std::any_of(borders.begin(), borders.end(), [](const Border& b) { return b.visible(); });
}

int ruleRoom(const Border& b, Side side) {
    if (!b.visible())
        return 0;
    // LibreOffice sets a shadow as wide as the rule below the paragraph and to its right.
    const bool shadowed = b.shadow && (side == Side::Bottom || side == Side::Right);
    return b.spaceTwips + b.widthTwips * (b.style == Border::Double ? 3 : 1) + (shadowed ? b.widthTwips : 0);
}

void setBorders(QTextBlockFormat& f, const Borders& borders, bool joinsPrevious, bool joinsNext,
                bool sidesOutside) {
    if (!anyVisible(borders))
        return;
    QList<qreal> list;
    for (size_t i = 0; i < 4; ++i) {
        const Border& b = borders[i];
        const bool shown = b.visible() && !(joinsPrevious && Side(i) == Side::Top) &&
                           !(joinsNext && Side(i) == Side::Bottom);
        const QColor color = b.color.isValid() ? b.color : QColor(Qt::black);
        list << (shown ? b.style : 0) << qMax(b.widthTwips, 1) << b.spaceTwips << qreal(color.rgba());
        const int room = ruleRoom(b, Side(i));
        if (shown && Side(i) == Side::Top)
            f.setTopMargin(f.topMargin() + twipsToLogical(room));
        else if (shown && Side(i) == Side::Bottom)
            f.setBottomMargin(f.bottomMargin() + twipsToLogical(room));
        // LibreOffice stands a side rule on the paragraph's indent and sets the text in by its room, unless
        // the rules stand outside the indents.
        else if (!sidesOutside && b.visible() && Side(i) == Side::Left)
            f.setLeftMargin(f.leftMargin() + twipsToLayout(room));
        else if (!sidesOutside && b.visible() && Side(i) == Side::Right)
            f.setRightMargin(f.rightMargin() + twipsToLayout(room));
    }
    f.setProperty(kBordersProperty, QVariant::fromValue(list));
}

void setCellBorders(QTextTableCellFormat& f, const Borders& borders) {
    const auto width = [](const Border& b) {
        return b.visible() ? twipsToLogical(qMax(b.widthTwips, 1) * (b.style == Border::Double ? 3 : 1))
                           : 0.0;
    };
    // Qt keeps the room of the rules, and paints them in a brush that leaves no mark (it would paint
    // one of no style black); paintDocument() draws them.
    const QBrush none(Qt::transparent);
    QList<qreal> list;
    for (size_t i = 0; i < 4; ++i) {
        const Border& b = borders[i];
        const QColor color = b.color.isValid() ? b.color : QColor(Qt::black);
        list << (b.visible() ? b.style : 0) << qMax(b.widthTwips, 1) << 0 << qreal(color.rgba());
    }
    f.setTopBorder(width(edge(borders, Side::Top)));
    f.setLeftBorder(width(edge(borders, Side::Left)));
    f.setBottomBorder(width(edge(borders, Side::Bottom)));
    f.setRightBorder(width(edge(borders, Side::Right)));
    const auto style = [](const Border& b) {
        return b.visible() ? QTextFrameFormat::BorderStyle_Solid : QTextFrameFormat::BorderStyle_None;
    };
    f.setTopBorderStyle(style(edge(borders, Side::Top)));
    f.setLeftBorderStyle(style(edge(borders, Side::Left)));
    f.setBottomBorderStyle(style(edge(borders, Side::Bottom)));
    f.setRightBorderStyle(style(edge(borders, Side::Right)));
    f.setTopBorderBrush(none);
    f.setLeftBorderBrush(none);
    f.setBottomBorderBrush(none);
    f.setRightBorderBrush(none);
    if (anyVisible(borders))
        f.setProperty(kCellRulesProperty, QVariant::fromValue(list));
}

} // namespace wordproc
