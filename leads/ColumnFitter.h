#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QString>
#include <array>

// Shortens a column's text to the width of its header button, measured in twips in the window's font:
// a text that fits with a blank after it stays whole; one that does not loses characters from its end
// until it and "... " fit, and then ends in "...".
//
// Laying text out is by far the dearest part of building a long list, so widths of plain Latin-1 text
// are added up from each character's advance, remembered per character. That sum is what the layout
// gives whenever the font neither kerns nor joins such characters; the fitter checks that on a few
// telling samples when it is made and measures every text in full when the font does.
class ColumnFitter {
public:
    explicit ColumnFitter(const QFont& font);

    // Width of `text` in twips, as the layout measures it.
    int widthTwips(const QString& text) const { return m_metrics.horizontalAdvance(text) * 15; }
    QString fit(const QString& text, int widthTwips) const;
    bool addsAdvances() const { return m_addAdvances; }

private:
    qreal advance(QChar c) const;
    bool plain(const QString& text) const;
    QString fitMeasured(const QString& text, int width) const;

    QFontMetrics m_metrics;
    QFontMetricsF m_metricsF;
    mutable std::array<qreal, 256> m_advances;
    bool m_addAdvances = false;
};
