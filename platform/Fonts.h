#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

// Every face the program draws with is chosen here. The windows were laid out for Windows' small
// sans-serif faces and the letter templates name Windows faces too; on this platform those names
// resolve to metric-compatible faces (Liberation, Carlito, Caladea, the URW faces), with DejaVu as the
// last resort, so that text measures the same on every machine. All come from Debian packages that the
// build scripts install and the program's package depends on.
namespace platform {

// Makes the Windows face names resolve to the faces above wherever a font is asked for by name (the
// windows, the templates' font tables). Safe to call more than once.
void useMetricCompatibleFonts();

// The face the windows are drawn in: `family` at 8.25 points.
QFont windowFont(const QString& family = QStringLiteral("MS Sans Serif"));

// `family` at `points`, for the few captions drawn in another size.
QFont namedFont(const QString& family, qreal points);

// The face everything else uses unless a window sets its own.
QFont applicationFont();

// The face a letter's text named `family` is drawn in. Windows' small sans-serif face, which the
// windows themselves are drawn in a face of its widths, stands in a letter for the wider face that
// LibreOffice prints it with, so that the letter breaks its lines where it does there. A style named
// after a comma is left out.
QString letterFamily(const QString& named);

// The face the system gives for East Asian text asked in `family` (empty: none named) and `language`
// (an RFC 3066 tag such as "ja-JP"), as LibreOffice takes it to set the height of the text's lines:
// the language can pick a face that has its letters over the one the name alone would.
QString asianFace(const QString& family, const QString& language);

} // namespace platform
