// Styles, theme fonts and colours, and the character and paragraph properties that a rPr or pPr
// element gives.

#include "wordproc/DocxPrivate.h"
#include "wordproc/Twips.h"

#include <QRegularExpression>
#include <QSet>
#include <algorithm>

namespace wordproc::docx {

void StyleSheet::readTheme(const Node& theme) {
    if (const Node* fonts = theme.find(u"a:fontScheme")) {
        if (const Node* major = fonts->child(u"a:majorFont"))
            if (const Node* latin = major->child(u"a:latin"))
                m_majorFont = latin->attr(u"typeface");
        if (const Node* minor = fonts->child(u"a:minorFont"))
            if (const Node* latin = minor->child(u"a:latin"))
                m_minorFont = latin->attr(u"typeface");
        for (const auto& [tag, complex] :
             {std::pair{u"a:majorFont", &m_majorComplex}, {u"a:minorFont", &m_minorComplex}})
            if (const Node* scheme = fonts->child(tag))
                if (const Node* cs = scheme->child(u"a:cs"))
                    *complex = cs->attr(u"typeface");
        for (const auto& [tag, asian] :
             {std::pair{u"a:majorFont", &m_majorAsian}, {u"a:minorFont", &m_minorAsian}})
            if (const Node* scheme = fonts->child(tag))
                for (const Node& c : scheme->children) {
                    if (c.name == QLatin1String("a:ea"))
                        asian->insert(QString(), c.attr(u"typeface"));
                    else if (c.name == QLatin1String("a:font"))
                        asian->insert(c.attr(u"script"), c.attr(u"typeface"));
                }
    }
    if (const Node* scheme = theme.find(u"a:clrScheme"))
        for (const Node& c : scheme->children) {
            const QString name = c.name.mid(2);
            for (const Node& value : c.children) {
                if (value.name == QLatin1String("a:srgbClr"))
                    m_colors.insert(name, hexColor(value.attr(u"val")));
                else if (value.name == QLatin1String("a:sysClr"))
                    m_colors.insert(name, hexColor(value.attr(u"lastClr")));
            }
        }
}

QColor themeShaded(QColor color, const QString& tint, const QString& shade) {
    bool ok = false;
    if (!color.isValid())
        return color;
    float h = 0, s = 0, l = 0;
    color.getHslF(&h, &s, &l);
    if (const int t = tint.toInt(&ok, 16); ok && t >= 0 && t <= 255)
        l = l * float(t) / 255 + 1 - float(t) / 255;
    else if (const int d = shade.toInt(&ok, 16); ok && d >= 0 && d <= 255)
        l = l * float(d) / 255;
    else
        return color;
    return QColor::fromHslF(h, s, l).toRgb();
}

QColor StyleSheet::themeColor(const QString& name) const {
    // The names text and backgrounds go by stand for the scheme's dark and light colours.
    static const QHash<QString, QString> aliases = {{QStringLiteral("tx1"), QStringLiteral("dk1")},
                                                    {QStringLiteral("bg1"), QStringLiteral("lt1")},
                                                    {QStringLiteral("tx2"), QStringLiteral("dk2")},
                                                    {QStringLiteral("bg2"), QStringLiteral("lt2")},
                                                    {QStringLiteral("text1"), QStringLiteral("dk1")},
                                                    {QStringLiteral("background1"), QStringLiteral("lt1")},
                                                    {QStringLiteral("text2"), QStringLiteral("dk2")},
                                                    {QStringLiteral("background2"), QStringLiteral("lt2")}};
    const QString key = aliases.value(name, name);
    const QColor c = m_colors.value(key);
    if (c.isValid())
        return c;
    return key == QLatin1String("lt1")   ? QColor(Qt::white)
           : key == QLatin1String("dk1") ? QColor(Qt::black)
                                         : QColor();
}

void StyleSheet::applyDefaultRPr(CharProps& p) const {
    p.format.halfPoints = m_hasRPrDefault ? 20 : 22;
    applyRPr(m_defaultRPr, p);
}

// A document whose settings take its styles from the template it names (w:linkStyles) is spaced by
// LibreOffice, which has no such template, as a new Word document is where the document's defaults
// give no spacing: 10pt below each paragraph, lines 1.15 apart.
void StyleSheet::applyDefaultPPr(ParaProps& p) const {
    if (m_linkedStyles) {
        p.format.afterTwips = 200;
        p.format.lineTwips = 276;
        p.format.lineMultiple = true;
    }
    applyPPr(m_defaultPPr, p);
}

// A theme without a font for all East Asian text names one for each script, which the text's language
// picks.
QString StyleSheet::themeAsianFont(const QString& which, const QString& language) const {
    const QHash<QString, QString>& fonts =
        which.startsWith(QLatin1String("major")) ? m_majorAsian : m_minorAsian;
    const QString all = fonts.value(QString());
    if (!all.isEmpty())
        return all;
    const QString lang = language.toLower();
    const char* script =
        lang.startsWith(QLatin1String("ja"))   ? "Jpan"
        : lang.startsWith(QLatin1String("ko")) ? "Hang"
        : lang == QLatin1String("zh-tw") || lang == QLatin1String("zh-hk") || lang == QLatin1String("zh-hant")
            ? "Hant"
        : lang.startsWith(QLatin1String("zh")) ? "Hans"
                                               : nullptr;
    return script ? fonts.value(QLatin1String(script)) : QString();
}

QString StyleSheet::themeFont(const QString& which) const {
    const bool major = which.startsWith(QLatin1String("major"));
    // LibreOffice takes the right-to-left theme fonts as the theme's face for the script the settings
    // name, before the theme's one face for all such scripts.
    if (which.endsWith(QLatin1String("Bidi"))) {
        const QString scripted =
            m_bidiScript.isEmpty() ? QString() : (major ? m_majorAsian : m_minorAsian).value(m_bidiScript);
        return scripted.isEmpty() ? (major ? m_majorComplex : m_minorComplex) : scripted;
    }
    return major ? m_majorFont : m_minorFont;
}

void StyleSheet::setBidiLanguage(const QString& language) {
    const QString lang = language.toLower();
    m_bidiScript = lang.startsWith(QLatin1String("he")) || lang.startsWith(QLatin1String("yi"))
                       ? QStringLiteral("Hebr")
                   : lang.startsWith(QLatin1String("ar")) || lang.startsWith(QLatin1String("fa")) ||
                           lang.startsWith(QLatin1String("ur")) || lang.startsWith(QLatin1String("ps"))
                       ? QStringLiteral("Arab")
                       : QString();
}

void StyleSheet::readStyles(const Node& styles) {
    if (const Node* defaults = styles.child(u"w:docDefaults")) {
        if (const Node* r = defaults->child(u"w:rPrDefault")) {
            m_defaultRPr = r->child(u"w:rPr");
            m_hasRPrDefault = true;
        }
        if (const Node* p = defaults->child(u"w:pPrDefault"))
            m_defaultPPr = p->child(u"w:pPr");
    }
    for (const Node& s : styles.children) {
        if (s.name != QLatin1String("w:style"))
            continue;
        Style style;
        style.type = s.attr(u"w:type");
        // A style without an id goes by its name, as a paragraph names it (Word's reporting tools write
        // their layout styles so).
        const Node* nameNode = s.child(u"w:name");
        const QString name = nameNode ? nameNode->attr(u"w:val") : QString();
        const QString id = s.has(u"w:styleId") ? s.attr(u"w:styleId") : name;
        if (!name.isEmpty() && !m_named.contains(name))
            m_named.insert(name, id);
        if (const Node* based = s.child(u"w:basedOn"))
            style.basedOn = based->attr(u"w:val");
        style.pPr = s.child(u"w:pPr");
        style.rPr = s.child(u"w:rPr");
        style.tblPr = s.child(u"w:tblPr");
        style.trPr = s.child(u"w:trPr");
        style.tcPr = s.child(u"w:tcPr");
        if (style.pPr)
            style.numPr = style.pPr->child(u"w:numPr");
        for (const Node& c : s.children)
            if (c.name == QLatin1String("w:tblStylePr"))
                style.conditions.emplace_back(c.attr(u"w:type"), &c);
        if (onOff(&s) && s.has(u"w:default") && !m_defaults.contains(style.type))
            m_defaults.insert(style.type, id);
        static const QRegularExpression heading(QStringLiteral("^(heading [1-9]|title|subtitle)$"),
                                                QRegularExpression::CaseInsensitiveOption);
        style.headingLike = heading.match(name).hasMatch();
        style.order = int(m_styles.size());
        if (!m_styles.contains(id))
            m_styles.insert(id, std::move(style));
    }
    for (Style& s : m_styles) {
        auto base = m_styles.constFind(s.basedOn);
        if (base == m_styles.constEnd())
            base = m_styles.constFind(m_named.value(s.basedOn));
        s.baseLater = base != m_styles.constEnd() && base->order > s.order;
    }
}

// LibreOffice reads styles in the order they come and keeps the space above and below a paragraph as
// one setting, and its indents as another. A style that gives only part of either, before the style
// it is based on has been read, gets the rest from the document's defaults, and a heading, title or
// subtitle from LibreOffice's own heading style (12pt above, 6pt below), not from its base.
void StyleSheet::applyStylePPr(const Style& s, ParaProps& p) const {
    if (s.baseLater && s.pPr) {
        ParaProps fallback;
        applyDefaultPPr(fallback);
        if (s.headingLike) {
            fallback.format.beforeTwips = 240;
            fallback.format.afterTwips = 120;
            fallback.autoBefore = fallback.autoAfter = false;
        }
        if (const Node* spacing = s.pPr->child(u"w:spacing")) {
            const bool before = spacing->has(u"w:before") || spacing->has(u"w:beforeAutospacing");
            const bool after = spacing->has(u"w:after") || spacing->has(u"w:afterAutospacing");
            if (before && !after) {
                p.format.afterTwips = fallback.format.afterTwips;
                p.autoAfter = fallback.autoAfter;
            } else if (after && !before) {
                p.format.beforeTwips = fallback.format.beforeTwips;
                p.autoBefore = fallback.autoBefore;
            }
        }
        const Node* ind = s.pPr->child(u"w:ind");
        if (ind && std::any_of(ind->attributes.begin(), ind->attributes.end(), [](const auto& a) {
                static const QStringList sides{QStringLiteral("w:left"),      QStringLiteral("w:start"),
                                               QStringLiteral("w:right"),     QStringLiteral("w:end"),
                                               QStringLiteral("w:firstLine"), QStringLiteral("w:hanging")};
                return sides.contains(a.first);
            })) {
            p.format.leftTwips = fallback.format.leftTwips;
            p.format.rightTwips = fallback.format.rightTwips;
            p.format.firstTwips = fallback.format.firstTwips;
        }
    }
    applyPPr(s.pPr, p);
}

std::vector<const Style*> StyleSheet::chain(const QString& id) const {
    std::vector<const Style*> out;
    QSet<QString> seen;
    QString at = id;
    // A style based on itself, or a circle of them, ends where it comes round.
    while (!at.isEmpty() && !seen.contains(at) && out.size() < 64) {
        seen.insert(at);
        auto it = m_styles.constFind(at);
        // LibreOffice finds a style that no id names by its name.
        if (it == m_styles.constEnd())
            it = m_styles.constFind(m_named.value(at));
        if (it == m_styles.constEnd())
            break;
        out.push_back(&it.value());
        at = it->basedOn;
    }
    std::reverse(out.begin(), out.end());
    return out;
}

namespace {

bool on(const Node& n) {
    return onOff(&n);
}

int twipsValue(const Node& n, QStringView key, int fallback) {
    return clampTwips(intAttr(n, key, fallback));
}

// Symbol and Wingdings bullets stand in the private use area; the nearest Unicode characters print
// them in any font.
QString symbolText(QChar c) {
    switch (c.unicode()) {
    case 0xF0B7:
    case 0x00B7:
        return QStringLiteral("\u2022");
    case 0xF0A7:
        return QStringLiteral("\u25AA");
    case 0xF06E:
        return QStringLiteral("\u25A0");
    case 0xF071:
        return QStringLiteral("\u2751");
    case 0xF076:
        return QStringLiteral("\u2756");
    case 0xF0D8:
        return QStringLiteral("\u27A2");
    case 0xF0FC:
        return QStringLiteral("\u2713");
    case 0xF0A8:
        return QStringLiteral("\u25A1");
    case 0xF0E0:
        return QStringLiteral("\u2192");
    default:
        break;
    }
    if (c.unicode() >= 0xF000 && c.unicode() <= 0xF0FF)
        return QStringLiteral("\u2022");
    return QString(c);
}

} // namespace

QString symbolCharacters(const QString& s) {
    QString out;
    for (QChar c : s)
        out += symbolText(c);
    return out;
}

QString symbolCharacters(const QString& s, SymbolSet set) {
    QString out;
    for (QChar c : s) {
        const char16_t u = c.unicode();
        const bool byte = (u >= 0x20 && u < 0x100) || (u >= 0xF020 && u <= 0xF0FF);
        out += byte ? QString(symbolCharacter(set, uchar(u & 0xFF), symbolText(c).at(0))) : symbolText(c);
    }
    return out;
}

namespace {

// The highlighter's colours, by the names Word gives them.
QColor highlightColor(const QString& name) {
    static const std::array<std::pair<const char*, QRgb>, 16> colours{{{"yellow", 0xFFFF00},
                                                                       {"green", 0x00FF00},
                                                                       {"cyan", 0x00FFFF},
                                                                       {"magenta", 0xFF00FF},
                                                                       {"blue", 0x0000FF},
                                                                       {"red", 0xFF0000},
                                                                       {"darkBlue", 0x000080},
                                                                       {"darkCyan", 0x008080},
                                                                       {"darkGreen", 0x008000},
                                                                       {"darkMagenta", 0x800080},
                                                                       {"darkRed", 0x800000},
                                                                       {"darkYellow", 0x808000},
                                                                       {"darkGray", 0x808080},
                                                                       {"lightGray", 0xC0C0C0},
                                                                       {"black", 0x000000},
                                                                       {"white", 0xFFFFFF}}};
    for (const auto& [n, rgb] : colours)
        if (name == QLatin1String(n))
            return QColor::fromRgb(rgb);
    return {};
}

// Capitals and small capitals as one run property sets them, over `inherited`. Capitals win over small
// capitals; either one switched off clears what the styles below set, but never the other one switched
// on beside it (LibreOffice prints a table style's "caps, smallCaps off" in capitals).
CharFormat::Caps letterCase(const Node& rPr, CharFormat::Caps inherited) {
    const Node* caps = rPr.child(u"w:caps");
    const Node* small = rPr.child(u"w:smallCaps");
    if (caps && on(*caps))
        return CharFormat::Caps::All;
    if (small && on(*small))
        return CharFormat::Caps::Small;
    return caps || small ? CharFormat::Caps::None : inherited;
}

} // namespace

CharFormat CharProps::complexFormat() const {
    CharFormat f = format;
    if (!complexFamily.isEmpty())
        f.family = complexFamily;
    if (complexHalfPoints > 0)
        f.halfPoints = complexHalfPoints;
    f.bold = complexBold;
    f.italic = complexItalic;
    return f;
}

bool complexLetter(QChar c) {
    const char16_t u = c.unicode();
    return (u >= 0x0590 && u <= 0x08FF) || (u >= 0xFB1D && u <= 0xFDFF) || (u >= 0xFE70 && u <= 0xFEFF);
}

bool weakCharacter(QChar c) {
    return !c.isLetter() && !c.isMark() && !complexLetter(c);
}

void StyleSheet::applyRPr(const Node* rPr, CharProps& p) const {
    if (!rPr)
        return;
    CharFormat& f = p.format;
    // Where the document gives its own defaults, LibreOffice takes Word's for what they leave out: no
    // kerning.
    if (rPr == m_defaultRPr)
        f.kerningFrom = 0;
    for (const Node& c : rPr->children) {
        const QStringView name = QStringView(c.name).mid(2);
        if (!c.name.startsWith(QLatin1String("w:")))
            continue;
        if (name == u"rFonts") {
            QString family;
            for (const char16_t* theme : {u"w:asciiTheme", u"w:hAnsiTheme"})
                if (family.isEmpty() && c.has(theme))
                    family = themeFont(c.attr(theme));
            for (const char16_t* plain : {u"w:ascii", u"w:hAnsi"})
                if (family.isEmpty())
                    family = c.attr(plain);
            if (!family.isEmpty())
                f.family = family;
            if (c.has(u"w:cstheme"))
                p.complexFamily = themeFont(c.attr(u"w:cstheme"));
            else if (c.has(u"w:cs"))
                p.complexFamily = c.attr(u"w:cs");
            // The theme's font for the language this run property gives, or the one in force.
            QString language = f.asianLanguage;
            if (const Node* lang = rPr->child(u"w:lang"); lang && lang->has(u"w:eastAsia"))
                language = lang->attr(u"w:eastAsia");
            if (c.has(u"w:eastAsiaTheme"))
                f.asianFamily = themeAsianFont(c.attr(u"w:eastAsiaTheme"), language);
            else if (c.has(u"w:eastAsia"))
                f.asianFamily = c.attr(u"w:eastAsia");
        } else if (name == u"lang") {
            if (c.has(u"w:eastAsia"))
                f.asianLanguage = c.attr(u"w:eastAsia");
        } else if (name == u"sz") {
            f.halfPoints = qBound(2, intAttr(c, u"w:val", f.halfPoints), 3276);
        } else if (name == u"szCs") {
            p.complexHalfPoints = qBound(2, intAttr(c, u"w:val", f.halfPoints), 3276);
        } else if (name == u"b") {
            f.bold = on(c);
        } else if (name == u"i") {
            f.italic = on(c);
        } else if (name == u"bCs") {
            p.complexBold = on(c);
        } else if (name == u"iCs") {
            p.complexItalic = on(c);
        } else if (name == u"strike" || name == u"dstrike") {
            f.strike = on(c);
            f.doubleStrike = f.strike && name == u"dstrike";
        } else if (name == u"caps" || name == u"smallCaps") {
            f.caps = letterCase(*rPr, f.caps);
        } else if (name == u"vanish") {
            p.hidden = on(c);
        } else if (name == u"u") {
            const QString v = c.attr(u"w:val");
            // A w:u that gives only a colour underlines nothing: Word takes a missing value as none.
            f.underline = !v.isEmpty() && v != QLatin1String("none") && v != QLatin1String("0");
            using Line = CharFormat::Line;
            f.underlineStyle = v == QLatin1String("double") || v == QLatin1String("wavyDouble") ? Line::Double
                               : v == QLatin1String("thick")                                    ? Line::Thick
                               : v == QLatin1String("dotted") || v == QLatin1String("dottedHeavy")
                                   ? Line::Dotted
                               : v.startsWith(QLatin1String("dash")) || v.startsWith(QLatin1String("dot")) ||
                                       v.startsWith(QLatin1String("dashLong"))
                                   ? Line::Dashed
                               : v.startsWith(QLatin1String("wav")) ? Line::Wave
                               : v == QLatin1String("words")        ? Line::Words
                                                                    : Line::Single;
        } else if (name == u"color") {
            f.color = hexColor(c.attr(u"w:val"));
            // Word writes the theme colour's value beside its name; a file that gives only the name
            // takes it from the theme, lightened or darkened by its luminance as Word does.
            if (!f.color.isValid() && c.has(u"w:themeColor"))
                f.color = themeShaded(themeColor(c.attr(u"w:themeColor")), c.attr(u"w:themeTint"),
                                      c.attr(u"w:themeShade"));
        } else if (name == u"vertAlign") {
            const QString v = c.attr(u"w:val");
            f.script = v == QLatin1String("superscript") ? CharFormat::Script::Super
                       : v == QLatin1String("subscript") ? CharFormat::Script::Sub
                                                         : CharFormat::Script::Normal;
        } else if (name == u"spacing") {
            f.spacingTwips = qBound(-1440, intAttr(c, u"w:val"), 1440);
        } else if (name == u"position") {
            f.raiseHalfPoints = qBound(-3276, intAttr(c, u"w:val"), 3276);
        } else if (name == u"w") {
            const int percent = intAttr(c, u"w:val", 100);
            f.widthPercent = percent > 0 ? qBound(1, percent, 600) : 100;
        } else if (name == u"kern") {
            f.kerningFrom = qBound(0, intAttr(c, u"w:val"), 3276);
        } else if (name == u"highlight") {
            f.background = highlightColor(c.attr(u"w:val"));
            p.highlighted = f.background.isValid();
        } else if (name == u"shd" && !p.highlighted) {
            f.background = shading(c);
        } else if (name == u"bdr") {
            f.border = border(c);
        }
    }
}

Border border(const Node& b) {
    Border out;
    const QString v = b.attr(u"w:val");
    // Word's line styles; the rest are its art borders (apples, stars...), which LibreOffice leaves out.
    static const QSet<QString> lines{QStringLiteral("single"),
                                     QStringLiteral("thick"),
                                     QStringLiteral("double"),
                                     QStringLiteral("dotted"),
                                     QStringLiteral("dashed"),
                                     QStringLiteral("dotDash"),
                                     QStringLiteral("dotDotDash"),
                                     QStringLiteral("triple"),
                                     QStringLiteral("wave"),
                                     QStringLiteral("doubleWave"),
                                     QStringLiteral("dashSmallGap"),
                                     QStringLiteral("dashDotStroked"),
                                     QStringLiteral("threeDEmboss"),
                                     QStringLiteral("threeDEngrave"),
                                     QStringLiteral("outset"),
                                     QStringLiteral("inset"),
                                     QStringLiteral("thinThickSmallGap"),
                                     QStringLiteral("thickThinSmallGap"),
                                     QStringLiteral("thinThickThinSmallGap"),
                                     QStringLiteral("thinThickMediumGap"),
                                     QStringLiteral("thickThinMediumGap"),
                                     QStringLiteral("thinThickThinMediumGap"),
                                     QStringLiteral("thinThickLargeGap"),
                                     QStringLiteral("thickThinLargeGap"),
                                     QStringLiteral("thinThickThinLargeGap")};
    if (!lines.contains(v))
        return out;
    out.style = v == QLatin1String("double")                                                ? Border::Double
                : v == QLatin1String("dotted")                                              ? Border::Dotted
                : v.startsWith(QLatin1String("dash")) || v.startsWith(QLatin1String("dot")) ? Border::Dashed
                                                                                            : Border::Single;
    // Widths in eighths of a point, the distance to the text in points.
    out.widthTwips = qBound(1, intAttr(b, u"w:sz", 4) * 5 / 2, 255);
    // Thick and thin lines, three lines, or a sunken or raised rule (about twice its width across), as a
    // double rule as wide across: each of its lines a share of the width, as the RTF reader takes them.
    const bool triple = v == QLatin1String("triple") || v.startsWith(QLatin1String("thinThickThin"));
    const bool sunkenOrRaised = v == QLatin1String("outset") || v == QLatin1String("inset") ||
                                v == QLatin1String("threeDEmboss") || v == QLatin1String("threeDEngrave");
    if (triple || sunkenOrRaised || v.startsWith(QLatin1String("thinThick")) ||
        v.startsWith(QLatin1String("thickThin"))) {
        out.style = Border::Double;
        const int share = triple                                   ? 167
                          : sunkenOrRaised                         ? 67
                          : v.endsWith(QLatin1String("LargeGap"))  ? 100
                          : v.endsWith(QLatin1String("MediumGap")) ? 78
                                                                   : 60;
        out.widthTwips = qMax(1, out.widthTwips * share / 100);
    }
    out.spaceTwips = qBound(0, intAttr(b, u"w:space") * 20, 1440);
    out.color = hexColor(b.attr(u"w:color"));
    return out;
}

QColor shading(const Node& shd) {
    const QString pattern = shd.attr(u"w:val");
    const QColor fill = hexColor(shd.attr(u"w:fill"));
    const QColor color = hexColor(shd.attr(u"w:color"));
    if (pattern == QLatin1String("solid"))
        return color.isValid() ? color : QColor(Qt::black);
    if (pattern.startsWith(QLatin1String("pct"))) {
        // A percentage mixes the pattern colour into the fill.
        const double share = qBound(0, pattern.mid(3).toInt(), 100) / 100.0;
        const QColor under = fill.isValid() ? fill : QColor(Qt::white);
        const QColor over = color.isValid() ? color : QColor(Qt::black);
        const auto mix = [share](int a, int z) { return qRound(a + (z - a) * share); };
        return QColor(mix(under.red(), over.red()), mix(under.green(), over.green()),
                      mix(under.blue(), over.blue()));
    }
    return fill;
}

void StyleSheet::applyPPr(const Node* pPr, ParaProps& p) const {
    if (!pPr)
        return;
    ParaFormat& f = p.format;
    for (const Node& c : pPr->children) {
        if (!c.name.startsWith(QLatin1String("w:")))
            continue;
        const QStringView name = QStringView(c.name).mid(2);
        if (name == u"jc") {
            const QString v = c.attr(u"w:val");
            f.align = v == QLatin1String("center")                                     ? ParaFormat::Center
                      : v == QLatin1String("right") || v == QLatin1String("end")       ? ParaFormat::Right
                      : v == QLatin1String("both") || v == QLatin1String("distribute") ? ParaFormat::Justify
                                                                                       : ParaFormat::Left;
        } else if (name == u"ind") {
            for (const char16_t* k : {u"w:left", u"w:start"})
                if (c.has(k))
                    f.leftTwips = twipsValue(c, k, 0);
            for (const char16_t* k : {u"w:right", u"w:end"})
                if (c.has(k))
                    f.rightTwips = twipsValue(c, k, 0);
            if (c.has(u"w:firstLine"))
                f.firstTwips = twipsValue(c, u"w:firstLine", 0);
            if (c.has(u"w:hanging"))
                f.firstTwips = -twipsValue(c, u"w:hanging", 0);
        } else if (name == u"spacing") {
            if (c.has(u"w:before"))
                f.beforeTwips = clampPositiveTwips(intAttr(c, u"w:before"));
            if (c.has(u"w:after"))
                f.afterTwips = clampPositiveTwips(intAttr(c, u"w:after"));
            // Automatic spacing is what a web page's paragraph gets: 14 points.
            const auto automatic = [&](QStringView key) {
                const QString v = c.attr(key);
                return v != QLatin1String("0") && v != QLatin1String("false") && v != QLatin1String("off");
            };
            if (c.has(u"w:beforeAutospacing")) {
                p.autoBefore = automatic(u"w:beforeAutospacing");
                if (p.autoBefore)
                    f.beforeTwips = 280;
            }
            if (c.has(u"w:afterAutospacing")) {
                p.autoAfter = automatic(u"w:afterAutospacing");
                if (p.autoAfter)
                    f.afterTwips = 280;
            }
            if (c.has(u"w:line")) {
                const int line = qBound(1, intAttr(c, u"w:line", 240), kMaxTwips);
                const QString rule = c.attr(u"w:lineRule");
                f.lineMultiple = rule.isEmpty() || rule == QLatin1String("auto");
                f.lineTwips = rule == QLatin1String("exact") ? -line : line;
                if (f.lineMultiple) {
                    // LibreOffice reads a Word document's spaced lines in whole percent by way of
                    // hundredths of a millimetre: 259 twips (1.079 lines) are 108%, where an RTF
                    // letter's 259 are 107%. They are kept as the twips an RTF letter gives that percent.
                    const qint64 percent = (qint64(line) * 127 + 36) / 72 * 100 / 423;
                    f.lineTwips = int((percent * 240 + 99) / 100);
                }
            } else if (const QString rule = c.attr(u"w:lineRule");
                       rule == QLatin1String("auto") || rule == QLatin1String("atLeast")) {
                // A rule with no spacing to go by sets single lines, as LibreOffice reads it: the
                // spacing the style gives goes.
                f.lineMultiple = false;
                f.lineTwips = 0;
            }
        } else if (name == u"bidi") {
            f.rightToLeft = on(c);
        } else if (name == u"keepNext") {
            f.keepWithNext = on(c);
        } else if (name == u"widowControl") {
            f.widowControl = on(c);
        } else if (name == u"keepLines") {
            f.keepTogether = on(c);
        } else if (name == u"snapToGrid") {
            f.snapToGrid = on(c);
        } else if (name == u"pageBreakBefore") {
            f.pageBreakBefore = on(c);
        } else if (name == u"contextualSpacing") {
            p.contextual = on(c);
        } else if (name == u"tabs") {
            for (const Node& t : c.children) {
                if (t.name != QLatin1String("w:tab"))
                    continue;
                const int pos = twipsValue(t, u"w:pos", 0);
                std::erase_if(f.tabs, [pos](const TabStop& s) { return s.twips == pos; });
                std::erase(f.barTabs, pos);
                const QString v = t.attr(u"w:val");
                if (v == QLatin1String("bar") && f.barTabs.size() < kMaxTabs)
                    f.barTabs.push_back(pos);
                if (v == QLatin1String("clear") || v == QLatin1String("bar") || f.tabs.size() >= kMaxTabs)
                    continue;
                TabStop stop;
                stop.twips = pos;
                stop.kind = v == QLatin1String("center")                               ? TabStop::Center
                            : v == QLatin1String("right") || v == QLatin1String("end") ? TabStop::Right
                            : v == QLatin1String("decimal")                            ? TabStop::Decimal
                                                                                       : TabStop::Left;
                const QString leader = t.attr(u"w:leader");
                stop.leader = leader == QLatin1String("dot")          ? TabStop::Dots
                              : leader == QLatin1String("hyphen")     ? TabStop::Hyphens
                              : leader == QLatin1String("underscore") ? TabStop::Underline
                              : leader == QLatin1String("heavy")      ? TabStop::Thick
                              : leader == QLatin1String("middleDot")  ? TabStop::MiddleDots
                                                                      : TabStop::NoLeader;
                f.tabs.push_back(stop);
            }
            std::sort(f.tabs.begin(), f.tabs.end(),
                      [](const TabStop& a, const TabStop& b) { return a.twips < b.twips; });
        } else if (name == u"pBdr") {
            for (const Node& b : c.children) {
                const QStringView side = QStringView(b.name).mid(2);
                if (side == u"top")
                    edge(f.borders, Side::Top) = border(b);
                else if (side == u"bottom")
                    edge(f.borders, Side::Bottom) = border(b);
                else if (side == u"left" || side == u"start")
                    edge(f.borders, Side::Left) = border(b);
                else if (side == u"right" || side == u"end")
                    edge(f.borders, Side::Right) = border(b);
            }
        } else if (name == u"shd") {
            f.shading = shading(c);
        } else if (name == u"numPr") {
            const Node* id = c.child(u"w:numId");
            const Node* level = c.child(u"w:ilvl");
            if (id) {
                p.numId = id->attr(u"w:val");
                p.hasNumbering = p.numId != QLatin1String("0") && !p.numId.isEmpty();
            }
            if (level)
                p.level = qBound(0, intAttr(*level, u"w:val"), 8);
        }
    }
}

} // namespace wordproc::docx
