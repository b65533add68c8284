#include "platform/Fonts.h"

#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHash>
#include <algorithm>
#include <array>
#include <fontconfig/fontconfig.h>
#include <map>
#include <mutex>
#include <tuple>
#include <vector>

namespace platform {

namespace {

const QString kSans = QStringLiteral("Liberation Sans");
const QString kSerif = QStringLiteral("Liberation Serif");
const QString kMono = QStringLiteral("Liberation Mono");
const QString kLastSans = QStringLiteral("DejaVu Sans");
const QString kLastSerif = QStringLiteral("DejaVu Serif");
const QString kLastMono = QStringLiteral("DejaVu Sans Mono");

// Windows faces and the installed faces that stand for them. Where a face of the same metrics is
// installed it stands in (Liberation for Arial, Times New Roman and Courier New, Carlito for Calibri,
// Caladea for Cambria, the URW faces for Palatino, Bookman, Century Schoolbook and Arial Narrow);
// elsewhere the face that LibreOffice draws it with on the same machine, so that a letter breaks its
// lines where it does there. A face asked for by its own name (Liberation Sans itself) needs no entry.
// The kind of a face, whose DejaVu face is the last resort for it.
enum class FaceKind { Serif, Sans, Fixed };

struct StandIn {
    const char* face;
    const char* standIn;
    FaceKind kind; // the last resort, the DejaVu face of this kind
};
constexpr std::array<StandIn, 41> kWindowsFaces{{
    {"MS Sans Serif", "Liberation Sans", FaceKind::Sans},
    {"Microsoft Sans Serif", "Liberation Sans", FaceKind::Sans},
    {"Arial", "Liberation Sans", FaceKind::Sans},
    {"Helvetica", "Nimbus Sans", FaceKind::Sans},
    {"Times New Roman", "Liberation Serif", FaceKind::Serif},
    {"Times", "Nimbus Roman", FaceKind::Serif},
    {"Courier New", "Liberation Mono", FaceKind::Fixed},
    {"Courier", "Nimbus Mono PS", FaceKind::Fixed},
    {"Calibri", "Carlito", FaceKind::Sans},
    {"Cambria", "Caladea", FaceKind::Serif},
    {"Palatino Linotype", "P052", FaceKind::Serif},
    {"Palatino", "P052", FaceKind::Serif},
    {"Bookman Old Style", "URW Bookman", FaceKind::Serif},
    {"Century Schoolbook", "C059", FaceKind::Serif},
    {"Arial Narrow", "Nimbus Sans Narrow", FaceKind::Sans},
    {"Calibri Light", "DejaVu Sans", FaceKind::Sans},
    {"Tahoma", "DejaVu Sans", FaceKind::Sans},
    {"Verdana", "DejaVu Sans", FaceKind::Sans},
    {"Segoe UI", "DejaVu Sans", FaceKind::Sans},
    {"Century Gothic", "DejaVu Sans", FaceKind::Sans},
    {"Trebuchet MS", "DejaVu Sans", FaceKind::Sans},
    {"Franklin Gothic Book", "DejaVu Sans", FaceKind::Sans},
    {"Franklin Gothic Medium", "DejaVu Sans", FaceKind::Sans},
    {"Franklin Gothic Demi", "DejaVu Sans", FaceKind::Sans},
    {"Candara", "DejaVu Sans", FaceKind::Sans},
    {"Corbel", "DejaVu Sans", FaceKind::Sans},
    {"Gill Sans MT", "DejaVu Sans", FaceKind::Sans},
    {"Lucida Sans Unicode", "DejaVu Sans", FaceKind::Sans},
    {"Arial Black", "DejaVu Sans", FaceKind::Sans},
    // fontconfig takes it for a handwriting face, and LibreOffice draws it in the URW one.
    {"Comic Sans MS", "Z003", FaceKind::Sans},
    {"Impact", "DejaVu Sans", FaceKind::Sans},
    {"Book Antiqua", "DejaVu Sans", FaceKind::Serif},
    {"Century", "DejaVu Sans", FaceKind::Serif},
    {"Lucida Console", "DejaVu Sans", FaceKind::Fixed},
    {"Symbol", "DejaVu Sans", FaceKind::Sans},
    {"Wingdings", "DejaVu Sans", FaceKind::Sans},
    {"Georgia", "DejaVu Serif", FaceKind::Serif},
    {"Garamond", "DejaVu Serif", FaceKind::Serif},
    {"Constantia", "DejaVu Serif", FaceKind::Serif},
    {"Cambria Math", "DejaVu Math TeX Gyre", FaceKind::Serif},
    {"Consolas", "DejaVu Sans Mono", FaceKind::Fixed},
}};

const QString& lastResort(FaceKind kind) {
    return kind == FaceKind::Serif ? kLastSerif : kind == FaceKind::Fixed ? kLastMono : kLastSans;
}

// Some packages install a face twice under one name, foundry and style (Droid Sans Fallback: a file
// with more Chinese characters but without Hangul, and one with Hangul). Qt keeps one file for each
// name and style, so Korean could print as boxes where fontconfig, and so LibreOffice, draws it. Of
// such files, those whose languages another one's take in are left out, and Qt's list is made anew.
void leaveOutFilesCoveringFewerLanguages() {
    FcPattern* any = FcPatternCreate();
    FcObjectSet* wanted =
        FcObjectSetBuild(FC_FAMILY, FC_STYLE, FC_FOUNDRY, FC_FILE, FC_INDEX, FC_LANG, FC_FONTFORMAT, nullptr);
    FcFontSet* fonts = FcFontList(nullptr, any, wanted);
    FcObjectSetDestroy(wanted);
    FcPatternDestroy(any);
    if (!fonts)
        return;
    struct Face {
        QByteArray file;
        const FcLangSet* languages;
    };
    const auto text = [](const FcChar8* s) { return QByteArray(s ? reinterpret_cast<const char*>(s) : ""); };
    std::map<std::tuple<QByteArray, QByteArray, QByteArray>, std::vector<Face>> byName;
    // A face installed both as Type 1 and as OpenType (the URW faces): LibreOffice sets lines by the
    // OpenType file's heights, which the Type 1 one lacks, so that one is left out.
    std::map<std::pair<QByteArray, QByteArray>, std::vector<std::pair<QByteArray, bool>>> byFormat;
    for (int i = 0; i < fonts->nfont; ++i) {
        FcPattern* p = fonts->fonts[i];
        FcChar8 *family = nullptr, *style = nullptr, *file = nullptr, *format = nullptr;
        if (FcPatternGetString(p, FC_FAMILY, 0, &family) == FcResultMatch &&
            FcPatternGetString(p, FC_STYLE, 0, &style) == FcResultMatch &&
            FcPatternGetString(p, FC_FILE, 0, &file) == FcResultMatch &&
            FcPatternGetString(p, FC_FONTFORMAT, 0, &format) == FcResultMatch)
            byFormat[{text(family), text(style)}].emplace_back(text(file), text(format) == "Type 1");
    }
    QByteArray rejected;
    for (const auto& [name, files] : byFormat) {
        if (std::none_of(files.begin(), files.end(), [](const auto& f) { return !f.second; }))
            continue;
        for (const auto& [file, type1] : files)
            if (type1)
                rejected += "<glob>" + QFile::decodeName(file).toHtmlEscaped().toUtf8() + "</glob>";
    }
    for (int i = 0; i < fonts->nfont; ++i) {
        FcPattern* p = fonts->fonts[i];
        FcChar8 *family = nullptr, *style = nullptr, *foundry = nullptr, *file = nullptr;
        FcLangSet* languages = nullptr;
        int index = 0;
        if (FcPatternGetString(p, FC_FAMILY, 0, &family) != FcResultMatch ||
            FcPatternGetString(p, FC_FILE, 0, &file) != FcResultMatch ||
            FcPatternGetLangSet(p, FC_LANG, 0, &languages) != FcResultMatch ||
            (FcPatternGetInteger(p, FC_INDEX, 0, &index) == FcResultMatch && index != 0))
            continue;
        FcPatternGetString(p, FC_STYLE, 0, &style);
        FcPatternGetString(p, FC_FOUNDRY, 0, &foundry);
        byName[{text(family), text(style), text(foundry)}].push_back({text(file), languages});
    }
    for (const auto& [name, faces] : byName) {
        for (const Face& face : faces) {
            const bool narrower = std::any_of(faces.begin(), faces.end(), [&](const Face& other) {
                return &other != &face && FcLangSetContains(other.languages, face.languages) &&
                       !FcLangSetEqual(other.languages, face.languages);
            });
            if (narrower)
                rejected += "<glob>" + QFile::decodeName(face.file).toHtmlEscaped().toUtf8() + "</glob>";
        }
    }
    FcFontSetDestroy(fonts);
    if (rejected.isEmpty())
        return;
    const QByteArray config = "<?xml version=\"1.0\"?><fontconfig><selectfont><rejectfont>" + rejected +
                              "</rejectfont></selectfont></fontconfig>";
    FcConfig* current = FcConfigGetCurrent();
    if (FcConfigParseAndLoadFromMemory(current, reinterpret_cast<const FcChar8*>(config.constData()),
                                       FcFalse) &&
        FcConfigBuildFonts(current))
        QFontDatabase::removeAllApplicationFonts(); // which has Qt list the faces again
}

} // namespace

void useMetricCompatibleFonts() {
    static const bool done = [] {
        if (QGuiApplication::instance())
            leaveOutFilesCoveringFewerLanguages();
        for (const StandIn& s : kWindowsFaces) {
            QStringList faces{QString::fromLatin1(s.standIn)};
            if (faces.front() != lastResort(s.kind))
                faces << lastResort(s.kind);
            QFont::insertSubstitutions(QString::fromLatin1(s.face), faces);
        }
        QFont::insertSubstitution(kSans, kLastSans);
        QFont::insertSubstitution(kSerif, kLastSerif);
        QFont::insertSubstitution(kMono, kLastMono);
        return true;
    }();
    (void)done;
}

QFont namedFont(const QString& family, qreal points) {
    useMetricCompatibleFonts();
    QFont font(family);
    font.setPointSizeF(points);
    return font;
}

QFont windowFont(const QString& family) {
    return namedFont(family, 8.25);
}

QFont applicationFont() {
    return namedFont(kLastSans, 8);
}

QString asianFace(const QString& family, const QString& language) {
    static std::mutex lock;
    static QHash<QString, QString> known;
    const QString key = family + QLatin1Char('\n') + language;
    const std::lock_guard<std::mutex> hold(lock);
    if (const auto it = known.constFind(key); it != known.cend())
        return it.value();
    // fontconfig knows Chinese by its written forms and other languages without their country.
    QString lang = language.toLower();
    if (lang.startsWith(QLatin1String("zh")))
        lang = lang == QLatin1String("zh-tw") || lang == QLatin1String("zh-hant") ||
                       lang == QLatin1String("zh-hk") || lang == QLatin1String("zh-mo")
                   ? QStringLiteral("zh-tw")
                   : QStringLiteral("zh-cn");
    else
        lang = lang.section(QLatin1Char('-'), 0, 0);
    QString face;
    if (FcPattern* p = FcPatternCreate()) {
        if (!family.isEmpty())
            FcPatternAddString(p, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.toUtf8().constData()));
        if (!lang.isEmpty())
            FcPatternAddString(p, FC_LANG, reinterpret_cast<const FcChar8*>(lang.toUtf8().constData()));
        FcConfigSubstitute(nullptr, p, FcMatchPattern);
        FcDefaultSubstitute(p);
        FcResult result = FcResultNoMatch;
        if (FcPattern* match = FcFontMatch(nullptr, p, &result)) {
            FcChar8* name = nullptr;
            if (FcPatternGetString(match, FC_FAMILY, 0, &name) == FcResultMatch && name)
                face = QString::fromUtf8(reinterpret_cast<const char*>(name));
            FcPatternDestroy(match);
        }
        FcPatternDestroy(p);
    }
    known.insert(key, face);
    return face;
}

QString letterFamily(const QString& named) {
    // Files made from PDFs name faces with their style after a comma ("Calibri,Italic"): LibreOffice
    // prints such text in the family before the comma, and in its regular style unless the text asks.
    const qsizetype comma = named.indexOf(QLatin1Char(','));
    const QString family = comma > 0 ? named.left(comma).trimmed() : named;
    if (family.compare(QLatin1String("MS Sans Serif"), Qt::CaseInsensitive) == 0 ||
        family.compare(QLatin1String("Microsoft Sans Serif"), Qt::CaseInsensitive) == 0)
        return kLastSans;
    return family;
}

} // namespace platform
