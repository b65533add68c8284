#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QString>
#include <memory>
#include <vector>

// Shortens a column's text to the width of its header button, measured in twips in the window's font:
// a text that fits with a blank after it stays whole; one that does not loses characters from its end
// until it and "... " fit, and then ends in "...".
//
// Laying text out is by far the dearest part of building a long list, and the list's text is
// Windows-1252, so widths come from a table kept per font for the whole run: each character's advance
// and, for each pair of neighbours met, what the layout adds or takes between them (kerning). A text
// with a character outside the code page, or with a pair the layout turns into other glyphs (a
// ligature, the soft hyphen), is laid out in full at every step instead. The sum relies on the layout
// placing each glyph by its neighbours alone, as kerning tables do; the tests hold it against full
// layouts in every installed face.
class ColumnFitter {
public:
    explicit ColumnFitter(const QFont& font);

    // Width of `text` in twips, as the layout measures it.
    int widthTwips(const QString& text) const { return m_metrics.horizontalAdvance(text) * 15; }
    // Width of `text` in pixels, as the layout measures it, from the table where it can follow.
    int widthPixels(QStringView text) const;
    QString fit(const QString& text, int widthTwips) const;
    // How many texts fit() has laid out in full rather than summed from the table.
    int laidOutInFull() const { return m_laidOutInFull; }

    class Widths;

private:
    // Fills m_slots and m_prefix (m_prefix[k]: the width of the first k characters laid out together);
    // false when the table cannot follow the text.
    bool addUp(QStringView text) const;
    QString fitMeasured(const QString& text, int width) const;

    QFontMetrics m_metrics;
    std::shared_ptr<Widths> m_widths;
    mutable std::vector<int> m_slots;
    mutable std::vector<qint64> m_prefix;
    mutable int m_laidOutInFull = 0;
};
