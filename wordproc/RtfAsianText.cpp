// Where Japanese, Chinese or Korean text meets Western letters or digits in a paragraph, a fifth of the
// font's size is left between them, as LibreOffice sets them whether the paragraph asks for it
// (\aspalpha, which Word gives nearly every paragraph) or not.

#include "wordproc/RtfReaderPrivate.h"

namespace wordproc::rtf {

namespace {

bool isAsian(char16_t c) {
    return (c >= 0x3040 && c <= 0x30FF) || // hiragana, katakana
           (c >= 0x3400 && c <= 0x4DBF) || // ideographs, extension A
           (c >= 0x4E00 && c <= 0x9FFF) || // ideographs
           (c >= 0xAC00 && c <= 0xD7AF) || // Hangul syllables
           (c >= 0xF900 && c <= 0xFAFF) || // compatibility ideographs
           (c >= 0xFF66 && c <= 0xFF9F) || // half-width katakana
           (c >= 0x1100 && c <= 0x11FF) || // Hangul jamo
           (c >= 0x3130 && c <= 0x318F) || // Hangul compatibility jamo
           (c >= 0x31F0 && c <= 0x31FF);   // katakana extensions
}

bool isWestern(QChar c) {
    return c.unicode() < 0x3000 && c.isLetterOrNumber();
}

// Punctuation among the kana (the middle dot, the double hyphen) keeps close to its neighbours.
bool isAsianLetter(QChar c) {
    return isAsian(c.unicode()) && c.isLetterOrNumber();
}

bool meet(QChar a, QChar b) {
    return (isAsianLetter(a) && isWestern(b)) || (isWestern(a) && isAsianLetter(b));
}

} // namespace

void Reader::spaceAsianText(std::vector<Run>& runs) {
    // Most paragraphs have no Asian text at all.
    const bool any = std::any_of(runs.begin(), runs.end(), [](const Run& r) {
        return r.kind == Run::Text &&
               std::any_of(r.text.begin(), r.text.end(), [](QChar c) { return isAsian(c.unicode()); });
    });
    if (!any)
        return;
    std::vector<Run> out;
    out.reserve(runs.size());
    for (size_t i = 0; i < runs.size(); ++i) {
        Run& run = runs[i];
        if (run.kind != Run::Text || run.text.isEmpty()) {
            out.push_back(std::move(run));
            continue;
        }
        // The character after this run's last, where the next run is text that goes on from it.
        const QChar after =
            i + 1 < runs.size() && runs[i + 1].kind == Run::Text && !runs[i + 1].text.isEmpty()
                ? runs[i + 1].text.front()
                : QChar();
        const QString& text = run.text;
        int from = 0;
        for (int k = 0; k < text.size(); ++k) {
            const QChar next = k + 1 < text.size() ? text.at(k + 1) : after;
            if (next.isNull() || !meet(text.at(k), next))
                continue;
            CharFormat spaced = m_t.formats.at(size_t(run.format));
            spaced.spacingTwips = spaced.halfPoints * 2; // a fifth of the size, in twips
            if (k > from)
                out.push_back(Run{Run::Text, run.format, -1, text.mid(from, k - from)});
            out.push_back(Run{Run::Text, format(spaced), -1, QString(text.at(k))});
            from = k + 1;
        }
        if (from == 0) {
            out.push_back(std::move(run));
        } else if (from < text.size()) {
            out.push_back(Run{Run::Text, run.format, -1, text.mid(from)});
        }
    }
    runs = std::move(out);
}

} // namespace wordproc::rtf
