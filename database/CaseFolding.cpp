// The collation and like() that replace the engine's own on a connection (CaseFolding.h).
#include "database/CaseFolding.h"

#include <sqlite3.h>
#include <string>
#include <string_view>

namespace db {

namespace {

// The user_version from which on the text indexes of a database follow the order below.
constexpr int FoldedIndexesVersion = 1;

// Below this code point a character may have a case partner or an accent; above it, it stands for
// itself.
constexpr char32_t TableSize = 0x180;

struct Tables {
    char32_t fold[TableSize]; // the lower-case letter, or the character itself
    char32_t base[TableSize]; // the plain lower-case letter that orders it
};

constexpr Tables makeTables() {
    Tables t{};
    for (char32_t c = 0; c < TableSize; ++c)
        t.fold[c] = t.base[c] = c;
    for (char32_t c = 'A'; c <= 'Z'; ++c)
        t.fold[c] = t.base[c] = c + 0x20;
    // À..Þ are the capitals of à..þ, 0x20 apart, except × and ÷ which are no letters.
    for (char32_t c = 0xC0; c <= 0xDE; ++c)
        if (c != 0xD7)
            t.fold[c] = c + 0x20;
    // The plain letter of à..ÿ, one per character; '.' keeps the character's own place (÷, þ).
    constexpr char plain[] = "aaaaaaaceeeeiiiidnooooo.ouuuuy.y";
    for (char32_t i = 0; i < 32; ++i) {
        if (plain[i] == '.')
            continue;
        t.base[0xE0 + i] = char32_t(plain[i]);
        if (i != 31) // 0xDF is ß, not the capital of ÿ
            t.base[0xC0 + i] = char32_t(plain[i]);
    }
    t.base[0xDF] = 's';
    t.base[0xDE] = 0xFE; // Þ orders with þ, after z
    const char32_t pairs[][3] = {
        {0x152, 0x153, 'o'}, {0x160, 0x161, 's'}, {0x17D, 0x17E, 'z'}, {0x178, 0xFF, 'y'}};
    for (const auto& p : pairs) {
        t.fold[p[0]] = p[1];
        t.base[p[0]] = t.base[p[1]] = p[2];
    }
    return t;
}

constexpr Tables tables = makeTables();

inline char32_t fold(char32_t c) {
    return c < TableSize ? tables.fold[c] : c;
}
inline char32_t base(char32_t c) {
    return c < TableSize ? tables.base[c] : c;
}

// A byte that starts no valid UTF-8 sequence stands for itself, above every character, so that any
// bytes still compare in one consistent order.
constexpr char32_t StrayByte = 0x110000;

// The character at p (p < end) of UTF-8 text, moving p past it.
inline char32_t nextChar(const unsigned char*& p, const unsigned char* end) {
    const unsigned char lead = *p++;
    if (lead < 0x80)
        return lead;
    int extra = 0;
    char32_t c = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1;
        c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2;
        c = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3;
        c = lead & 0x07;
    } else {
        return StrayByte + lead;
    }
    if (end - p < extra)
        return StrayByte + lead;
    for (int i = 0; i < extra; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return StrayByte + lead;
        c = (c << 6) | (p[i] & 0x3F);
    }
    p += extra;
    return c;
}

// The collation: first by plain letters (case and accents ignored), then, for texts equal so far, by
// the first difference in accents. Case alone never makes a difference. The name list sorts up to a
// million rows with it, hence the path for ASCII that decodes nothing.
int compareFolded(void*, int lengthA, const void* textA, int lengthB, const void* textB) {
    auto a = static_cast<const unsigned char*>(textA);
    auto b = static_cast<const unsigned char*>(textB);
    const unsigned char* const endA = a + lengthA;
    const unsigned char* const endB = b + lengthB;
    int accents = 0;
    while (a < endA && b < endB) {
        if (*a < 0x80 && *b < 0x80) {
            const char32_t x = tables.base[*a++];
            const char32_t y = tables.base[*b++];
            if (x != y)
                return x < y ? -1 : 1;
            continue;
        }
        const char32_t x = nextChar(a, endA);
        const char32_t y = nextChar(b, endB);
        if (x == y)
            continue;
        const char32_t plainX = base(x);
        const char32_t plainY = base(y);
        if (plainX != plainY)
            return plainX < plainY ? -1 : 1;
        if (accents == 0 && fold(x) != fold(y))
            accents = fold(x) < fold(y) ? -1 : 1;
    }
    if (a < endA)
        return 1;
    if (b < endB)
        return -1;
    return accents;
}

// A LIKE pattern, its letters folded, kept for every row of one statement.
constexpr char32_t AnyText = 0xFFFFFFFF;      // %
constexpr char32_t AnyChar = 0xFFFFFFFE;      // _
constexpr char32_t MatchesNever = 0xFFFFFFFD; // the escape character as the pattern's last character

struct Pattern {
    std::string source; // the pattern as given, to tell whether the next row brings the same one
    char32_t escape = 0;
    std::u32string tokens;
};

void decodeFolded(const unsigned char* text, int length, std::u32string& out) {
    out.clear();
    for (const unsigned char* end = text + length; text < end;)
        out.push_back(fold(nextChar(text, end)));
}

// The escape character is compared as written, as the engine does; everything else is folded.
std::u32string compile(const unsigned char* text, int length, char32_t escape) {
    std::u32string tokens;
    tokens.reserve(size_t(length));
    for (const unsigned char* end = text + length; text < end;) {
        const char32_t c = nextChar(text, end);
        if (escape && c == escape)
            tokens.push_back(text < end ? fold(nextChar(text, end)) : MatchesNever);
        else
            tokens.push_back(c == '%' ? AnyText : c == '_' ? AnyChar : fold(c));
    }
    return tokens;
}

// Wildcard matching that goes back only to the last % seen: at most pattern x text steps.
bool matches(const std::u32string& pattern, const std::u32string& text) {
    size_t p = 0, t = 0;
    size_t afterPercent = std::u32string::npos, resumeAt = 0;
    while (t < text.size()) {
        if (p < pattern.size() && (pattern[p] == AnyChar || pattern[p] == text[t])) {
            ++p;
            ++t;
        } else if (p < pattern.size() && pattern[p] == AnyText) {
            afterPercent = ++p;
            resumeAt = t;
        } else if (afterPercent != std::u32string::npos) {
            p = afterPercent;
            t = ++resumeAt;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == AnyText)
        ++p;
    return p == pattern.size();
}

void deletePattern(void* pattern) {
    delete static_cast<Pattern*>(pattern);
}

// like(pattern, text [, escape]): "text LIKE pattern [ESCAPE escape]", Null when any is Null, with the
// engine's own limits and messages.
void like(sqlite3_context* context, int argc, sqlite3_value** argv) {
    const auto* patternText = sqlite3_value_text(argv[0]);
    const int patternBytes = sqlite3_value_bytes(argv[0]);
    const auto* text = sqlite3_value_text(argv[1]);
    const int textBytes = sqlite3_value_bytes(argv[1]);
    if (!patternText || !text)
        return;
    if (patternBytes >
        sqlite3_limit(sqlite3_context_db_handle(context), SQLITE_LIMIT_LIKE_PATTERN_LENGTH, -1)) {
        sqlite3_result_error(context, "LIKE or GLOB pattern too complex", -1);
        return;
    }
    thread_local std::u32string folded;
    char32_t escape = 0;
    if (argc == 3) {
        const auto* escapeText = sqlite3_value_text(argv[2]);
        if (!escapeText)
            return;
        const unsigned char* end = escapeText + sqlite3_value_bytes(argv[2]);
        if (escapeText < end)
            escape = nextChar(escapeText, end);
        if (escape == 0 || escapeText != end) {
            sqlite3_result_error(context, "ESCAPE expression must be a single character", -1);
            return;
        }
    }
    decodeFolded(text, textBytes, folded);
    const std::string_view source(reinterpret_cast<const char*>(patternText), size_t(patternBytes));
    const auto* kept = static_cast<const Pattern*>(sqlite3_get_auxdata(context, 0));
    if (kept && kept->escape == escape && kept->source == source) {
        sqlite3_result_int(context, matches(kept->tokens, folded) ? 1 : 0);
        return;
    }
    auto* fresh = new Pattern{std::string(source), escape, compile(patternText, patternBytes, escape)};
    sqlite3_result_int(context, matches(fresh->tokens, folded) ? 1 : 0);
    // Last: the engine may free it at once.
    sqlite3_set_auxdata(context, 0, fresh, deletePattern);
}

// One statement on the handle; the handle's message says why when it fails.
int run(sqlite3* handle, const char* sql) {
    return sqlite3_exec(handle, sql, nullptr, nullptr, nullptr);
}

int userVersion(sqlite3* handle, int* version) {
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(handle, "PRAGMA user_version", -1, &stmt, nullptr);
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(stmt);
        if (rc == SQLITE_ROW) {
            *version = sqlite3_column_int(stmt, 0);
            rc = SQLITE_OK;
        }
    }
    sqlite3_finalize(stmt);
    return rc;
}

} // namespace

QString useCaseFolding(sqlite3* handle) {
    auto reason = [handle] { return QString::fromUtf8(sqlite3_errmsg(handle)); };
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    if (sqlite3_create_collation_v2(handle, "NOCASE", SQLITE_UTF8, nullptr, compareFolded, nullptr) !=
            SQLITE_OK ||
        sqlite3_create_function_v2(handle, "like", 2, flags, nullptr, like, nullptr, nullptr, nullptr) !=
            SQLITE_OK ||
        sqlite3_create_function_v2(handle, "like", 3, flags, nullptr, like, nullptr, nullptr, nullptr) !=
            SQLITE_OK)
        return reason();

    int version = 0;
    if (userVersion(handle, &version) != SQLITE_OK)
        return reason();
    if (version >= FoldedIndexesVersion)
        return {};
    // Another instance may be doing the same: the write lock decides, and the version is read again
    // under it.
    if (run(handle, "BEGIN IMMEDIATE") != SQLITE_OK)
        return reason();
    QString failure;
    if (userVersion(handle, &version) != SQLITE_OK)
        failure = reason();
    else if (version < FoldedIndexesVersion &&
             (run(handle, "REINDEX NOCASE") != SQLITE_OK ||
              run(handle, ("PRAGMA user_version = " + std::to_string(FoldedIndexesVersion)).c_str()) !=
                  SQLITE_OK))
        failure = reason();
    else if (run(handle, "COMMIT") != SQLITE_OK)
        failure = reason();
    if (!failure.isEmpty() && !sqlite3_get_autocommit(handle))
        run(handle, "ROLLBACK");
    return failure;
}

} // namespace db
