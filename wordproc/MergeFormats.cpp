#include "wordproc/MergeFormats.h"

#include "wordproc/Pages.h"
#include "wordproc/Twips.h"

#include <QBrush>
#include <QColor>
#include <QFontMetricsF>
#include <algorithm>
#include <cmath>

// How the template's character, paragraph and border formats become Qt's.

namespace wordproc {

QTextCharFormat toCharFormat(const CharFormat& c, const QString& defaultFamily) {
    QTextCharFormat f;
    const QString family = c.family.isEmpty() ? defaultFamily : c.family;
    if (!family.isEmpty())
        f.setFontFamilies(QStringList{family});
    f.setFontPointSize(c.halfPoints / 2.0);
    // Letters are set without kerning or ligatures unless the template asks for kerning, as the common
    // word processors set them (LibreOffice asks for it in every paragraph); that also spares the
    // shaper for plain Latin text.
    if (c.kerningFrom > 0 && c.halfPoints >= c.kerningFrom)
        f.setFontKerning(true);
    else
        f.setFontStyleStrategy(QFont::PreferNoShaping);
    // Characters as wide as the font designs them, as the common word processors set them: hinted to
    // the layout device's whole pixels, a line of text comes out up to half a point narrower and breaks
    // elsewhere.
    f.setFontHintingPreference(QFont::PreferNoHinting);
    if (c.spacingTwips != 0) {
        f.setFontLetterSpacingType(QFont::AbsoluteSpacing);
        // In 96-dpi units, which Qt scales to the layout's device as it does table lengths.
        f.setFontLetterSpacing(c.spacingTwips * 96.0 / 1440.0);
    }
    f.setFontWeight(c.bold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(c.italic);
    f.setFontUnderline(c.underline);
    f.setFontStrikeOut(c.strike);
    f.setForeground(c.color.isValid() ? c.color : QColor(Qt::black));
    if (c.background.isValid())
        f.setBackground(c.background);
    if (c.script == CharFormat::Script::Super)
        f.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    else if (c.script == CharFormat::Script::Sub)
        f.setVerticalAlignment(QTextCharFormat::AlignSubScript);
    if (c.raiseHalfPoints != 0) {
        // Qt raises text by a share of its font's height.
        QFont font(family);
        font.setPointSizeF(c.halfPoints / 2.0);
        const double height = QFontMetricsF(font, layoutDevice()).height() * 72.0 / kLayoutDpi;
        if (height > 0)
            f.setBaselineOffset(c.raiseHalfPoints / 2.0 / height * 100);
    }
    if (c.widthPercent != 100)
        f.setFontStretch(c.widthPercent);
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
            QTextOption::TabType type = QTextOption::LeftTab;
            if (t.kind == TabStop::Right)
                type = QTextOption::RightTab;
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

void setBorders(QTextBlockFormat& f, const Borders& borders, bool joinsPrevious, bool joinsNext) {
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
        // LibreOffice stands a side rule on the paragraph's indent and sets the text in by its room.
        else if (b.visible() && Side(i) == Side::Left)
            f.setLeftMargin(f.leftMargin() + twipsToLayout(room));
        else if (b.visible() && Side(i) == Side::Right)
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
