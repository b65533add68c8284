#pragma once

#include <QTextFormat>

class QTextCursor;
class QTextDocument;

// A form's check box, as Word draws one: a square as tall as the text is large, crossed when ticked. It
// is drawn in place of one object character, so that a PDF's text holds no character for it, as it holds
// none for Word's or LibreOffice's.
namespace wordproc {

// Characters that stand for a check box.
constexpr int kCheckBoxObject = QTextFormat::UserObject + 2;
// Object character: whether the box is ticked (bool).
constexpr int kCheckBoxTickedProperty = QTextFormat::UserProperty + 102;

// Picture object: where its image is drawn beyond the room it takes in its line, an outline or shadow
// reaching out of it (QRectF, a share of the room's width and height from its corner).
constexpr int kPictureBleedProperty = QTextFormat::UserProperty + 103;

// Lets `doc` lay out and draw check boxes.
void allowCheckBoxes(QTextDocument& doc);

// Lets `doc` draw the text its metafile pictures carry (see Metafile.h) over them.
void allowPictureText(QTextDocument& doc);

// Inserts a check box at `cursor`, sized to the text of `format`.
void insertCheckBox(QTextCursor& cursor, const QTextCharFormat& format, bool ticked);

} // namespace wordproc
