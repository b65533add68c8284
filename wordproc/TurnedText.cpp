#include "wordproc/TurnedText.h"

#include "wordproc/Pages.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QSharedPointer>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextObjectInterface>

namespace wordproc {

namespace {

QSharedPointer<QTextDocument> turnedDocument(const QTextFormat& format) {
    return format.property(kTurnedTextProperty).value<QSharedPointer<QTextDocument>>();
}

class TurnedTextHandler : public QObject, public QTextObjectInterface {
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)

public:
    QSizeF intrinsicSize(QTextDocument*, int, const QTextFormat& format) override {
        const QSharedPointer<QTextDocument> text = turnedDocument(format);
        if (!text)
            return {};
        const QSizeF size = text->documentLayout()->documentSize();
        return {size.height(), text->textWidth()};
    }

    void drawObject(QPainter* painter, const QRectF& rect, QTextDocument*, int,
                    const QTextFormat& format) override {
        const QSharedPointer<QTextDocument> text = turnedDocument(format);
        if (!text)
            return;
        painter->save();
        // Up: the lines' tops face the cell's left and they start at its foot; down: the other way.
        if (format.intProperty(kTurnedDirectionProperty) == int(Cell::Direction::Up)) {
            painter->translate(rect.left(), rect.bottom());
            painter->rotate(-90);
        } else {
            painter->translate(rect.right(), rect.top());
            painter->rotate(90);
        }
        paintDocument(*painter, *text);
        painter->restore();
    }
};

} // namespace

void allowTurnedText(QTextDocument& doc) {
    // One handler serves every document; it keeps no state of its own.
    static TurnedTextHandler* const handler = new TurnedTextHandler;
    doc.documentLayout()->registerHandler(kTurnedTextObject, handler);
}

void turnCellText(QTextTableCell cell, Cell::Direction direction, Cell::VAlign align, double length) {
    if (direction == Cell::Direction::Across || !cell.isValid())
        return;
    QTextCursor cursor = cell.firstCursorPosition();
    QTextDocument* doc = cursor.document();
    cursor.setPosition(cell.lastCursorPosition().position(), QTextCursor::KeepAnchor);
    const QTextDocumentFragment content = cursor.selection();
    const QTextCharFormat mark = cell.firstCursorPosition().charFormat();

    auto text = QSharedPointer<QTextDocument>::create();
    text->setUndoRedoEnabled(false);
    text->documentLayout()->setPaintDevice(layoutDevice());
    text->setDocumentMargin(0);
    text->setDefaultFont(doc->defaultFont());
    text->setDefaultTextOption(doc->defaultTextOption());
    QTextCursor(text.data()).insertFragment(content);
    text->setTextWidth(length > 0 ? length : qMax(-length, text->idealWidth()));
    allowTurnedText(*text);

    cursor.removeSelectedText();
    // The object character's own line is no taller than the turned text: a tiny font leaves no room
    // below its baseline.
    QTextCharFormat object = mark;
    object.setObjectType(kTurnedTextObject);
    object.setProperty(kTurnedTextProperty, QVariant::fromValue(text));
    object.setProperty(kTurnedDirectionProperty, int(direction));
    object.setFontPointSize(1);
    QTextBlockFormat block = cursor.blockFormat();
    block.setTopMargin(0);
    block.setBottomMargin(0);
    block.setLineHeight(100, QTextBlockFormat::ProportionalHeight);
    block.setTextIndent(0);
    block.setLeftMargin(0);
    block.setRightMargin(0);
    // Across the cell the turned lines' tops lead: to the left when they read up, to the right down.
    const bool up = direction == Cell::Direction::Up;
    block.setAlignment(align == Cell::VAlign::Center        ? Qt::AlignHCenter
                       : (align == Cell::VAlign::Top) == up ? Qt::AlignLeft
                                                            : Qt::AlignRight);
    cursor.setBlockFormat(block);
    cursor.insertText(QString(QChar::ObjectReplacementCharacter), object);
}

} // namespace wordproc

#include "TurnedText.moc"
