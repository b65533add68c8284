// Word's symbol fonts print their pictures at private-use codes, and a PDF of Word's or LibreOffice's
// names them so: a bullet of Symbol reads back as U+F0B7, not U+2022. Qt's PDF writer names each glyph
// by the character the face's own table gives it, so the pictures are drawn by a face made here from
// the one they are printed in otherwise, whose table gives them their private-use codes only.

#include "wordproc/MergeSymbols.h"

#include <QFontDatabase>
#include <QHash>
#include <QRawFont>
#include <QtEndian>
#include <algorithm>
#include <map>
#include <mutex>

namespace wordproc {

namespace {

constexpr char16_t kPrivateBase = 0xF000;

void put16(QByteArray& b, quint16 v) {
    b.append(char(v >> 8)).append(char(v & 0xFF));
}

void put32(QByteArray& b, quint32 v) {
    put16(b, quint16(v >> 16));
    put16(b, quint16(v & 0xFFFF));
}

quint32 checksum(const QByteArray& table) {
    QByteArray padded = table;
    padded.append(QByteArray((4 - padded.size() % 4) % 4, '\0'));
    quint32 sum = 0;
    for (qsizetype i = 0; i < padded.size(); i += 4)
        sum += qFromBigEndian<quint32>(padded.constData() + i);
    return sum;
}

// A character map of one format-4 table for Windows' Unicode encoding, a segment per code.
QByteArray characterMap(const std::map<char16_t, quint16>& glyphs) {
    QByteArray sub;
    const quint16 segments = quint16(glyphs.size() + 1);
    put16(sub, 4);
    put16(sub, quint16(16 + segments * 8));
    put16(sub, 0);
    put16(sub, quint16(segments * 2));
    quint16 power = 1, log = 0;
    while (power * 2 <= segments) {
        power *= 2;
        ++log;
    }
    put16(sub, quint16(power * 2));
    put16(sub, log);
    put16(sub, quint16(segments * 2 - power * 2));
    for (const auto& [code, glyph] : glyphs)
        put16(sub, code);
    put16(sub, 0xFFFF);
    put16(sub, 0);
    for (const auto& [code, glyph] : glyphs)
        put16(sub, code);
    put16(sub, 0xFFFF);
    for (const auto& [code, glyph] : glyphs)
        put16(sub, quint16(glyph - code));
    put16(sub, 1);
    for (quint16 i = 0; i < segments; ++i)
        put16(sub, 0);
    QByteArray cmap;
    put16(cmap, 0);
    put16(cmap, 1);
    put16(cmap, 3);
    put16(cmap, 1);
    put32(cmap, 12);
    return cmap + sub;
}

// A naming table that gives the face `family` as its family, full and PostScript name.
QByteArray names(const QString& family) {
    const std::array<std::pair<quint16, QString>, 4> records{{{1, family},
                                                              {2, QStringLiteral("Regular")},
                                                              {4, family},
                                                              {6, QString(family).remove(QLatin1Char(' '))}}};
    QByteArray strings, table;
    put16(table, 0);
    put16(table, quint16(records.size()));
    put16(table, quint16(6 + records.size() * 12));
    for (const auto& [id, text] : records) {
        put16(table, 3);
        put16(table, 1);
        put16(table, 0x409);
        put16(table, id);
        put16(table, quint16(text.size() * 2));
        put16(table, quint16(strings.size()));
        for (const QChar c : text)
            put16(strings, c.unicode());
    }
    return table + strings;
}

// The face `base` with `glyphs` as its only characters and `family` as its name, as a font file.
QByteArray privateFace(const QRawFont& base, const std::map<char16_t, quint16>& glyphs,
                       const QString& family) {
    std::map<QByteArray, QByteArray> tables;
    for (const char* tag :
         {"head", "hhea", "maxp", "hmtx", "loca", "glyf", "OS/2", "cvt ", "fpgm", "prep", "gasp"}) {
        const QByteArray table = base.fontTable(tag);
        if (!table.isEmpty())
            tables[tag] = table;
    }
    for (const char* needed : {"head", "hhea", "maxp", "hmtx", "loca", "glyf"})
        if (!tables.count(needed))
            return {};
    QByteArray post;
    put32(post, 0x00030000);
    post.append(base.fontTable("post").mid(4, 28).leftJustified(28, '\0'));
    tables["post"] = post;
    tables["cmap"] = characterMap(glyphs);
    tables["name"] = names(family);
    // The file's own checksum is left out of the header's sum; font readers do not check it.
    QByteArray& head = tables["head"];
    if (head.size() >= 12)
        qToBigEndian<quint32>(0, head.data() + 8);

    const quint16 count = quint16(tables.size());
    quint16 power = 1, log = 0;
    while (power * 2 <= count) {
        power *= 2;
        ++log;
    }
    QByteArray file;
    put32(file, 0x00010000);
    put16(file, count);
    put16(file, quint16(power * 16));
    put16(file, log);
    put16(file, quint16(count * 16 - power * 16));
    quint32 offset = quint32(12 + count * 16);
    QByteArray body;
    for (const auto& [tag, table] : tables) {
        file.append(tag.leftJustified(4, ' ', true));
        put32(file, checksum(table));
        put32(file, offset + quint32(body.size()));
        put32(file, quint32(table.size()));
        body.append(table);
        body.append(QByteArray((4 - body.size() % 4) % 4, '\0'));
    }
    return file + body;
}

// The pictures LibreOffice's symbol face draws Word's usual bullets with: its own private-use glyphs,
// not those of the Unicode characters the bullets stand for (its U+2022 is a smaller dot than the one
// it prints for Symbol's bullet). Seen in LibreOffice's PDFs; 0 where it prints the Unicode character.
char16_t libreOfficeBullet(SymbolSet set, uchar byte) {
    if (set == SymbolSet::Symbol)
        return byte == 0xB7 ? u'\uE12C' : 0;
    if (set != SymbolSet::Wingdings)
        return 0;
    switch (byte) {
    case 0x6E:
        return u'\uE439'; // black square
    case 0x76:
        return u'\uE441'; // four diamonds
    case 0xA7:
        return u'\uE46F'; // small square
    case 0xB2:
        return u'\uE47A'; // hollow diamond
    case 0xD8:
        return u'\uE49E'; // arrowhead
    case 0xFC:
        return u'\uE4C2'; // tick
    default:
        return 0;
    }
}

struct Face {
    QString family;
    // The byte of each character the face draws at its private-use code.
    QHash<char16_t, uchar> bytes;
};

Face makeFace(SymbolSet set, const QString& baseFamily) {
    Face face;
    QFont font(baseFamily);
    font.setPixelSize(64);
    const QRawFont base = QRawFont::fromFont(font);
    if (!base.isValid())
        return face;
    std::map<char16_t, quint16> glyphs;
    QHash<char16_t, uchar> bytes;
    const bool libreOffices =
        base.familyName().compare(QLatin1String("OpenSymbol"), Qt::CaseInsensitive) == 0;
    // Where two bytes show one symbol, the later stands for both: Wingdings' small square is Word's
    // bullet at 0xA7, not at 0xA0.
    for (int byte = 0xFF; byte >= 0x21; --byte) {
        const QChar c = symbolCharacter(set, uchar(byte), QChar());
        const QChar own(libreOffices ? libreOfficeBullet(set, uchar(byte)) : u'\0');
        const bool ownDrawn = !own.isNull() && base.supportsCharacter(own);
        if (c.isNull() || bytes.contains(c.unicode()) || (!ownDrawn && !base.supportsCharacter(c)))
            continue;
        const QList<quint32> index = base.glyphIndexesForString(QString(ownDrawn ? own : c));
        if (index.size() != 1 || index.front() == 0)
            continue;
        glyphs[char16_t(kPrivateBase + byte)] = quint16(index.front());
        bytes.insert(c.unicode(), uchar(byte));
    }
    if (glyphs.empty())
        return face;
    const QString family = QStringLiteral("Quillmark %1 %2")
                               .arg(set == SymbolSet::Symbol      ? QStringLiteral("Symbol")
                                    : set == SymbolSet::Wingdings ? QStringLiteral("Wingdings")
                                                                  : QStringLiteral("Dingbats"),
                                    base.familyName());
    const int id = QFontDatabase::addApplicationFontFromData(privateFace(base, glyphs, family));
    if (id < 0 || !QFontDatabase::applicationFontFamilies(id).contains(family))
        return face;
    face.family = family;
    face.bytes = std::move(bytes);
    return face;
}

// Made once for each face and set, by whichever merge asks first.
const Face& faceFor(SymbolSet set, const QString& family) {
    static std::mutex guard;
    static std::map<std::pair<int, QString>, Face> faces;
    const std::lock_guard<std::mutex> lock(guard);
    const auto key = std::make_pair(int(set), family);
    auto it = faces.find(key);
    if (it == faces.end())
        it = faces.emplace(key, makeFace(set, family)).first;
    return it->second;
}

} // namespace

int symbolSetsOfFamily(const QString& family) {
    if (family.compare(QLatin1String("OpenSymbol"), Qt::CaseInsensitive) == 0)
        return 1 << int(SymbolSet::Symbol) | 1 << int(SymbolSet::Wingdings) | 1 << int(SymbolSet::Dingbats);
    const SymbolSet set = symbolSetOfFont(family);
    return set == SymbolSet::None ? 0 : 1 << int(set);
}

PrivateSymbols toPrivateSymbols(const QString& text, int sets, const QString& family) {
    PrivateSymbols out{text, {}};
    if (!sets || family.isEmpty())
        return out;
    std::vector<const Face*> faces;
    for (const SymbolSet set : {SymbolSet::Symbol, SymbolSet::Wingdings, SymbolSet::Dingbats})
        if (sets & (1 << int(set)))
            if (const Face& face = faceFor(set, family); !face.family.isEmpty())
                faces.push_back(&face);
    for (qsizetype i = 0; i < out.text.size(); ++i) {
        const Face* drawn = nullptr;
        for (const Face* face : faces)
            if (const auto byte = face->bytes.constFind(out.text.at(i).unicode());
                byte != face->bytes.cend()) {
                out.text[i] = QChar(char16_t(kPrivateBase + *byte));
                drawn = face;
                break;
            }
        if (!drawn)
            continue;
        if (!out.stretches.empty() && out.stretches.back().end == i &&
            out.stretches.back().family == drawn->family)
            out.stretches.back().end = i + 1;
        else
            out.stretches.push_back({i, i + 1, drawn->family});
    }
    return out;
}

} // namespace wordproc
